// Opening, saving and the working file's name.
#include "win32/commands/commands.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include <shlobj.h>

#include "core/program/texts.h"
#include "core/sound/foreign_samples.h"
#include "core/wav/wave_header.h"

std::wstring programDirectory() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

namespace {

// Whether a new file can be made in the folder; nothing is left behind.
bool canCreateFileIn(const std::wstring& folder) {
    const std::wstring probe = folder + L"aurecho_probe_" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

}  // namespace

std::wstring userDirectory() {
    wchar_t local[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, local)))
        return {};
    return std::wstring(local) + L"\\Aurecho\\";
}

std::wstring workingDirectory() {
    // Decided once: a folder that changed while the program runs would lose its files.
    static const std::wstring folder = [] {
        const std::wstring beside = programDirectory();
        if (canCreateFileIn(beside)) return beside;
        const std::wstring user = userDirectory();
        if (!user.empty() && (CreateDirectoryW(user.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) &&
            canCreateFileIn(user))
            return user;
        wchar_t temp[MAX_PATH + 1] = L"";
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        return n > 0 && n <= MAX_PATH ? std::wstring(temp, n) : beside;
    }();
    return folder;
}

std::wstring settingsFileToRead(const wchar_t* name) {
    const std::wstring beside = programDirectory() + name;
    if (workingDirectory() != programDirectory()) {
        const std::wstring user = userDirectory() + name;
        if (GetFileAttributesW(user.c_str()) != INVALID_FILE_ATTRIBUTES) return user;
    }
    return beside;
}

std::wstring settingsFolderToWrite() {
    if (workingDirectory() == programDirectory()) return programDirectory();
    const std::wstring user = userDirectory();
    if (!user.empty()) CreateDirectoryW(user.c_str(), nullptr);
    return user;
}

std::wstring newWorkFileName() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u%02u%02u_%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    const std::wstring base = workingDirectory() + L"aurecho_" + stamp;
    std::wstring name = base + L".wav";
    for (int n = 2; GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        name = base + L"_" + std::to_wstring(n) + L".wav";
    return name;
}

namespace {

// Files in the working folder matching pattern that no running program holds open, newest first.
std::vector<std::wstring> unheldFiles(const wchar_t* pattern) {
    std::vector<std::pair<ULONGLONG, std::wstring>> found;
    const std::wstring folder = workingDirectory();
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + pattern).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return {};
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring path = folder + entry.cFileName;
        // A running program keeps its working file open, and this open shares nothing.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        CloseHandle(h);
        const ULONGLONG written = (ULONGLONG{entry.ftLastWriteTime.dwHighDateTime} << 32) | entry.ftLastWriteTime.dwLowDateTime;
        found.emplace_back(written, path);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::wstring> paths;
    for (auto& f : found) paths.push_back(std::move(f.second));
    return paths;
}

}  // namespace

std::vector<std::wstring> leftoverWorkFiles() { return unheldFiles(L"aurecho_*.wav"); }
std::vector<std::wstring> leftoverTemporaryFiles() { return unheldFiles(L"*.aurecho-tmp*"); }

namespace {

const wchar_t* const undoStem = L"aurecho_undo_";

std::wstring undoLockPath(const std::wstring& process) { return workingDirectory() + undoStem + process + L".lock"; }

}  // namespace

std::string undoStepPrefix(HANDLE& lock) {
    const std::wstring process = std::to_wstring(GetCurrentProcessId());
    // The system deletes the lock when the run ends, even by a crash.
    lock = CreateFileW(undoLockPath(process).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    return "aurecho_undo_" + std::string(process.begin(), process.end()) + "_";
}

std::vector<std::wstring> leftoverUndoSteps() {
    std::vector<std::wstring> found;
    const std::wstring folder = workingDirectory();
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + undoStem + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return {};
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring name = entry.cFileName;
        const size_t from = std::wcslen(undoStem), to = name.find_first_not_of(L"0123456789", from);
        if (to == from || to == std::wstring::npos) continue;
        // A lock that can be opened is no longer held: its run ended.
        const std::wstring lock = undoLockPath(name.substr(from, to - from));
        if (GetFileAttributesW(lock.c_str()) == INVALID_FILE_ATTRIBUTES || canReadExclusively(lock))
            found.push_back(folder + name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

bool canReadExclusively(const std::wstring& path) {
    HANDLE check = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (check == INVALID_HANDLE_VALUE || !check) return false;
    CloseHandle(check);
    return true;
}

bool roomFor(const std::wstring& path, uint64_t bytes) {
    std::wstring folder = std::filesystem::path(path).parent_path().wstring();
    if (folder.empty()) folder = L".";
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return true;
    return available.QuadPart >= bytes;
}

std::wstring fullPath(const std::wstring& path) {
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    return n > 0 && n < buffer.size() ? buffer.substr(0, n) : path;
}

namespace {

bool samePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(fullPath(a).c_str(), -1, fullPath(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool askSaveChanges(WorkingSound& sound, Ui& ui) {
    if (!sound.modified()) return true;
    const std::wstring question = ui.caption() + texts::fileMessages[ui.language()][texts::AskSave];
    switch (ui.message(question, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES: return saveSoundAs(sound, ui);
    case IDNO: return true;
    default: return false;
    }
}

bool inspectForOpen(const std::wstring& path, Ui& ui, WaveInfo& info) {
    const int lang = ui.language();
    std::FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) {
        ui.warning(texts::fileMessages[lang][texts::ReadError]);
        return false;
    }
    FileByteSource source(f);
    info = inspectWave(source);
    std::fclose(f);
    if (info.check == WaveCheck::NotValid) {
        ui.warning(std::wstring(texts::fileMessages[lang][texts::NotValidBefore]) + path +
                   texts::fileMessages[lang][texts::NotValidAfter]);
        return false;
    }
    if (info.check == WaveCheck::FourBit) {
        ui.warning(texts::fourBitMessage[lang]);
        return false;
    }
    return true;
}

bool loadSound(const std::wstring& path, const WaveInfo& info, WorkingSound& sound, Ui& ui) {
    const int lang = ui.language();
    if (!canReadExclusively(path)) {
        ui.message(texts::fileMessages[lang][texts::ReadError]);
        return false;
    }
    ui.beginWork(texts::progressTexts[lang][texts::Opening]);
    ui.beginBusy(0);
    bool ok;
    // A file holding more than a WAV file can, or in a format opening converts, is opened
    // as a copy even in direct mode: the file itself stays as it is.
    if (info.pastLimit || info.check == WaveCheck::Foreign) sound.setDirectMode(false);
    if (!sound.directMode()) {
        // A new working file with this program's header and the file's samples.
        ok = sound.create(newWorkFileName());
        std::unique_ptr<ByteSource> file = ok ? openFileSource(std::filesystem::path(path)) : nullptr;
        std::unique_ptr<SampleStream> samples =
            file ? openedSamples(std::move(file), info, largestDataSize(sound.frameBytes())) : nullptr;
        ok = samples && sound.appendFrom(*samples, [&](uint64_t done, uint64_t total) {
            return ui.workProgress(done, total);
        });
        if (!ok) sound.abandon();
    } else {
        sound.adopt(path, info);
        ok = true;
    }
    ui.endBusy();
    const bool cancelled = ui.endWork();
    if (!ok) {
        ui.setCaption(texts::titleTexts[lang]);
        if (!cancelled) ui.message(texts::fileMessages[lang][texts::CreateError]);
    }
    return ok;
}

bool saveSound(WorkingSound& sound, Ui& ui, const std::wstring& destination) {
    if (!roomFor(destination, waveHeaderSize + sound.length())) {
        ui.message(texts::diskFullMessage[ui.language()]);
        return false;
    }
    ui.beginWork(texts::progressTexts[ui.language()][texts::Saving]);
    ui.beginBusy(0);
    // In direct mode the working file can be the destination itself: then it is only
    // finished in place.
    const bool saved = sound.saveCopy(destination, samePath(destination, sound.path().wstring()),
                                      [&](uint64_t done, uint64_t total) { return ui.workProgress(done, total); });
    ui.endBusy();
    // A cancelled save leaves the file it was saving to as it was, and says nothing.
    if (ui.endWork() && !saved) return false;
    if (!saved) {
        ui.message(roomFor(destination, waveHeaderSize + sound.length())
                       ? texts::fileMessages[ui.language()][texts::CreateError]
                       : texts::diskFullMessage[ui.language()]);
        return false;
    }
    sound.setModified(false);
    sound.setSaveAsOnly(false);
    sound.setDocumentFile(destination);
    ui.showDocumentName(destination);
    return true;
}

bool saveSoundAs(WorkingSound& sound, Ui& ui) {
    if (!sound.hasSound()) return false;
    std::wstring name;
    return ui.askFileName(true, name) && saveSound(sound, ui, name);
}

bool saveToDocumentFile(WorkingSound& sound, Ui& ui) {
    if (sound.documentFile().empty() || sound.saveAsOnly()) return saveSoundAs(sound, ui);
    return saveSound(sound, ui, sound.documentFile().wstring());
}
