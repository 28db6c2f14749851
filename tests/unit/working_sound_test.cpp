#include "core/sound/working_sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/sound/effects.h"
#include "core/wav/file_position.h"
#include "core/wav/file_steps.h"
#include "core/wav/wave_header.h"
#include "rewrite_files.h"
#include "stream_helpers.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winioctl.h>
#else
#include <sys/stat.h>
#endif

namespace {

const PcmFormat stereo16{44100, 16, 2};

Bytes withHeader(const PcmFormat& f, uint32_t declared, const Bytes& data) {
    const WaveHeader h = makeWaveHeaderForData(f.samplesPerSec, f.bitsPerSample, f.channels, declared);
    Bytes b(h.size() + data.size());
    std::copy(data.begin(), data.end(), std::copy(h.begin(), h.end(), b.begin()));
    return b;
}

// Read apart from WorkingSound, through the 64-bit positions; empty when short.
Bytes bytesAt(const fs::path& p, uint64_t offset, size_t n) {
    std::FILE* f = openFile(p, "rb");
    Bytes b(n);
    const bool ok = f && seekFile(f, offset) && std::fread(b.data(), 1, n, f) == n;
    if (f) std::fclose(f);
    return ok ? b : Bytes{};
}

bool writeRange(WorkingSound& s, const Bytes& b, size_t from, size_t to) {
    size_t written = 0;
    return s.writeData(b.data() + from, to - from, written) && written == to - from;
}

// Sparse on purpose: writing gigabytes would make the test slow and fill small disks.
bool extendSparse(const fs::path& p, uint64_t size) {
#ifdef _WIN32
    // MinGW's resize_file may write the zeros; an NTFS file not marked sparse fills them in later.
    HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
#else
    std::error_code error;
    fs::resize_file(p, size, error);
    return !error;
#endif
}

uint64_t allocatedBytes(const fs::path& p) {
#ifdef _WIN32
    // Not GetCompressedFileSizeW: Wine answers it with the file's size.
    HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    FILE_STANDARD_INFO info{};
    const bool ok = h != INVALID_HANDLE_VALUE && GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok ? static_cast<uint64_t>(info.AllocationSize.QuadPart) : UINT64_MAX;
#else
    struct stat st;
    return stat(p.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_blocks) * 512 : UINT64_MAX;
#endif
}

// 16-bit stereo to its left channel: a new format and length the test can follow by hand.
class LeftChannel : public SoundTransform {
public:
    uint64_t outputSize(uint64_t in) const override { return in / 4 * 2; }
    PcmFormat outputFormat(const PcmFormat& in) const override { return {in.samplesPerSec, 16, 1}; }
    void process(const uint8_t* in, size_t n, TransformOutput& out) override {
        for (size_t i = 0; i + 4 <= n; i += 4) out.insert(out.end(), in + i, in + i + 2);
    }
};

// Gives up halfway through the new header, as a full disk would.
class FailingRewrite : public SoundRewrite {
public:
    uint64_t outputSize(uint64_t in) const override { return in / 2; }
    bool write(ByteSource&, const SoundData&, ByteSink& out, const TransformOptions&) override {
        const Bytes half(22, 0);
        out.write(half.data(), half.size());
        return false;
    }
};

class WorkingSoundFiles : public RewriteFiles {
protected:
    // A working file holding data, its header refreshed.
    fs::path makeSound(WorkingSound& s, const PcmFormat& f, const Bytes& data) {
        s.setFormat(f);
        EXPECT_TRUE(s.create(dir_ / "work.wav"));
        EXPECT_TRUE(writeRange(s, data, 0, data.size()));
        s.setLength(data.size());
        EXPECT_TRUE(s.refreshHeader());
        return s.path();
    }
};

TEST_F(WorkingSoundFiles, WritesLandBehindTheHeaderWhichDeclaresWholeFrames) {
    // A new sound's header claims one 0.4 s recording buffer.
    const struct { PcmFormat format; uint32_t newDeclared, declared; } cases[] = {{stereo16, 17640, 1000}, {{22050, 8, 2}, 8820, 1002}, {{8000, 16, 1}, 3200, 1002}, {{11025, 8, 1}, 4410, 1003}};
    const Bytes data = randomBytes(1003, 1);
    WorkingSound s;
    s.setLength(5000);  // create starts the length again
    for (const auto& c : cases) {
        s.setFormat(c.format);
        ASSERT_TRUE(s.create(dir_ / "work.wav"));
        s.flush();
        EXPECT_EQ(s.length(), 0u);
        EXPECT_EQ(read(s.path()), withHeader(c.format, c.newDeclared, {}));
        // Out of order, then a write after the header refresh that must follow the last one.
        EXPECT_TRUE(s.seekWrite(0) && writeRange(s, data, 0, 500));
        EXPECT_TRUE(s.seekWrite(700) && writeRange(s, data, 700, 1003));
        EXPECT_TRUE(s.seekWrite(500) && writeRange(s, data, 500, 600));
        s.setLength(1003);
        EXPECT_TRUE(s.refreshHeader());
        EXPECT_TRUE(writeRange(s, data, 600, 700));
        EXPECT_EQ(read(s.path()), withHeader(c.format, c.declared, data)) << c.format.bitsPerSample << c.format.channels;
        Bytes tail(4);
        EXPECT_TRUE(s.readData(999, tail.data(), 4) && tail == Bytes(data.begin() + 999, data.end()));
        EXPECT_FALSE(s.readData(1000, tail.data(), 4));
    }
}

TEST_F(WorkingSoundFiles, AFailedWriteIsCutOffAndWritingGoesOnAtTheLength) {
    const Bytes data = randomBytes(1000, 6);
    WorkingSound s;
    const fs::path work = makeSound(s, stereo16, Bytes(data.begin(), data.begin() + 800));
    EXPECT_TRUE(writeRange(s, data, 800, 1000));  // as much as a full disk took of a buffer
    ASSERT_TRUE(s.cutToLength());
    EXPECT_EQ(read(work), withHeader(stereo16, 800, Bytes(data.begin(), data.begin() + 800)));
    EXPECT_TRUE(writeRange(s, data, 800, 900));
    s.setLength(900);
    s.close();
    EXPECT_EQ(read(work), withHeader(stereo16, 900, Bytes(data.begin(), data.begin() + 900)));
}

TEST_F(WorkingSoundFiles, ARewriteReplacesTheSoundOnlyWhenItSucceeds) {
    const Bytes data = randomBytes(4002, 2);  // ends on half a frame
    WorkingSound s;
    const fs::path work = makeSound(s, stereo16, data);
    const Bytes before = read(work);
    const PcmFormat mono16{44100, 16, 1};
    FailingRewrite failing;
    EXPECT_FALSE(s.rewrite(failing, mono16));
    EXPECT_EQ(read(work), before);
    EXPECT_EQ(s.length(), 4002u);
    EXPECT_EQ(s.format().channels, 2);
    EXPECT_TRUE(s.isOpen());
    EXPECT_EQ(filesInFolder(), 1u);
    LeftChannel left;
    TransformRewrite rewrite(left);
    ASSERT_TRUE(s.rewrite(rewrite, mono16));
    Bytes expected(2000);
    for (size_t k = 0; k < 1000; ++k) setSample(expected, k, sampleAt(data, 2 * k));
    EXPECT_EQ(read(work), withHeader(mono16, 2000, expected));
    EXPECT_EQ(s.length(), 2000u);
    EXPECT_EQ(s.format().channels, 1);
    ASSERT_TRUE(s.isOpen());
    EXPECT_TRUE(writeRange(s, Bytes{0xAB, 0xCD}, 0, 2));  // open at the end of the new data
    expected.insert(expected.end(), {0xAB, 0xCD});
    EXPECT_EQ(read(work), withHeader(mono16, 2000, expected));
}

TEST_F(WorkingSoundFiles, ASavedCopyIsFinishedWhileTheWorkingFileKeepsItsBytes) {
    const struct { PcmFormat format; uint32_t declared; } cases[] = {{stereo16, 1000}, {{11025, 8, 1}, 1003}};
    const Bytes data = randomBytes(1003, 3);
    for (const auto& c : cases) {
        WorkingSound s;
        const fs::path work = makeSound(s, c.format, data);
        // Bytes past the length, as a write cut short by a full disk leaves them: never saved.
        std::ofstream(work, std::ios::binary | std::ios::app).write("stray bytes", 11);
        const Bytes before = read(work);
        const Bytes finished = withHeader(c.format, c.declared, Bytes(data.begin(), data.begin() + c.declared));
        fs::remove(dir_ / "copy.wav");
        fs::create_directory(dir_ / "copy.wav");  // what is there cannot be replaced by a file
        const Bytes previous = read(write("copy.wav/inside", Bytes{'o', 'l', 'd'}));
        EXPECT_FALSE(s.saveCopy(dir_ / "copy.wav", false));
        EXPECT_EQ(read(dir_ / "copy.wav" / "inside"), previous) << "a failed save leaves what was there";
        EXPECT_EQ(filesInFolder(), 2u) << "and no temporary file";
        fs::remove_all(dir_ / "copy.wav");
        ASSERT_TRUE(s.saveCopy(dir_ / "copy.wav", false));
        EXPECT_EQ(read(dir_ / "copy.wav"), finished);
        EXPECT_EQ(read(work), before);
        EXPECT_EQ(s.length(), 1003u);
        ASSERT_TRUE(s.saveCopy(work, true));
        EXPECT_EQ(read(work), finished);
        EXPECT_EQ(s.length(), c.declared);
        EXPECT_TRUE(s.isOpen());
    }
}

TEST_F(WorkingSoundFiles, ACancelAtAnyBufferLeavesTheSoundAndTheDestinationAsTheyWere) {
    const Bytes data = randomBytes(5000, 9);
    WorkingSound s;
    const fs::path work = makeSound(s, stereo16, data);
    const Bytes before = read(work);
    const Bytes previous = read(write("saved.wav", Bytes{'o', 'l', 'd'}));
    // Five buffers of a rewrite, cancelled at each in turn; a save (one buffer) at its only one.
    for (int cancelAt = 1; cancelAt <= 5; ++cancelAt) {
        int calls = 0;
        TransformOptions options;
        options.bufferBytes = 1000;
        options.progress = [&](uint64_t, uint64_t) { return ++calls < cancelAt; };
        auto reverse = makeEffect(Effect::Reverse, stereo16);
        TransformRewrite rewrite(*reverse);
        EXPECT_FALSE(s.rewrite(rewrite, stereo16, options)) << cancelAt;
        EXPECT_EQ(calls, cancelAt);
        EXPECT_FALSE(s.saveCopy(dir_ / "saved.wav", false, [](uint64_t, uint64_t) { return false; }));
        EXPECT_EQ(read(work), before) << cancelAt;
        EXPECT_EQ(s.length(), 5000u);
        EXPECT_TRUE(s.isOpen());
        EXPECT_EQ(read(dir_ / "saved.wav"), previous) << cancelAt;
        EXPECT_EQ(filesInFolder(), 2u) << "no temporary file is left";
    }
    // A write or a rename that fails on the way ends the same, and a save without either
    // then goes through.
    for (const FileStep failing : {FileStep::Write, FileStep::Rename}) {
        setFileFailure([&](FileStep step, uint64_t, size_t) { return step == failing; });
        auto reverse = makeEffect(Effect::Reverse, stereo16);
        TransformRewrite rewrite(*reverse);
        EXPECT_FALSE(s.rewrite(rewrite, stereo16, TransformOptions{}));
        EXPECT_FALSE(s.saveCopy(dir_ / "saved.wav", false));
        setFileFailure(nullptr);
        EXPECT_EQ(read(work), before);
        EXPECT_EQ(read(dir_ / "saved.wav"), previous);
        EXPECT_EQ(filesInFolder(), 2u);
    }
    ASSERT_TRUE(s.saveCopy(dir_ / "saved.wav", false));
    EXPECT_EQ(read(dir_ / "saved.wav"), before);
}

TEST_F(WorkingSoundFiles, AnAdoptedFileIsMadeCanonicalOnlyWhenFirstWritten) {
    const Bytes data = randomBytes(1002, 4);
    const Bytes canonical = withHeader(stereo16, 1002, data);
    Bytes chunked = canonical;  // a LIST chunk between fmt and data
    const Bytes list{'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
    chunked.insert(chunked.begin() + 36, list.begin(), list.end());
    put32(&chunked[4], 1002 + 36 + 12);
    const struct { const Bytes& file; bool canonical; Bytes adopted; } cases[] = {{canonical, true, canonical}, {chunked, false, withHeader(stereo16, 1000, data)}};
    for (const auto& c : cases) {
        const fs::path p = write("opened.wav", c.file);
        MemoryByteSource source(c.file.data(), c.file.size());
        const WaveInfo info = inspectWave(source);
        ASSERT_EQ(info.canonical, c.canonical);
        WorkingSound s;
        s.adopt(p, info);
        EXPECT_EQ(read(p), c.file) << "opening changes no file";
        EXPECT_EQ(s.length(), 1002u);
        EXPECT_FALSE(s.isOpen());
        Bytes samples(1002);
        EXPECT_TRUE(s.readData(0, samples.data(), samples.size()) && samples == data);
        ASSERT_TRUE(s.saveCopy(dir_ / "copy.wav", false));
        EXPECT_EQ(read(p), c.file) << "a copy leaves it too";
        EXPECT_EQ(read(dir_ / "copy.wav"), withHeader(stereo16, 1000, Bytes(data.begin(), data.begin() + 1000)));
        fs::remove(dir_ / "copy.wav");
        ASSERT_TRUE(s.openForUpdate());
        EXPECT_EQ(read(p), c.adopted);
        EXPECT_EQ(filesInFolder(), 1u);
    }
}

TEST_F(WorkingSoundFiles, DiscardDeletesOnlyAFileOfItsOwn) {
    const Bytes data = randomBytes(1008, 5);
    for (bool direct : {false, true}) {
        WorkingSound s;
        s.setDirectMode(direct);
        makeSound(s, stereo16, Bytes(data.begin(), data.begin() + 1000));
        EXPECT_TRUE(writeRange(s, data, 1000, 1008));  // recorded, not yet declared
        s.setLength(1008);
        s.discard();
        EXPECT_EQ(fs::exists(s.path()), direct);
    }
    EXPECT_EQ(read(dir_ / "work.wav"), withHeader(stereo16, 1008, data)) << "the user's file is left truthful";
}

// Where `long` is 32 bits, a position past 2 GiB taken through it fails or wraps.
TEST_F(WorkingSoundFiles, PositionsPast2GiBReachTheirPlace) {
    const uint64_t big = 0xA0000000ull + 3;  // 2.5 GiB and half a frame
    const uint64_t at = 0x80000000ull + 12345;
    WorkingSound s;
    s.setFormat(stereo16);
    ASSERT_TRUE(s.create(dir_ / "big.wav"));
    s.close();
    const fs::path p = s.path();
    ASSERT_TRUE(extendSparse(p, 44 + big));
    s.setLength(big);
    ASSERT_TRUE(s.openForUpdate());
    const Bytes mark{'M', 'A', 'R', 'K'}, next{'n', 'e', 'x', 't'};
    ASSERT_TRUE(s.seekWrite(at) && writeRange(s, mark, 0, 4));
    ASSERT_TRUE(s.refreshHeader());
    ASSERT_TRUE(writeRange(s, next, 0, 4));
    s.close();
    EXPECT_EQ(fs::file_size(p), 44 + big);
    EXPECT_EQ(bytesAt(p, 0, 44), withHeader(stereo16, 0xA0000000u, {}));
    EXPECT_EQ(bytesAt(p, 44 + at, 4), mark);
    EXPECT_EQ(bytesAt(p, 48 + at, 4), next);
    EXPECT_EQ(bytesAt(p, 44, 16), Bytes(16, 0));
    EXPECT_EQ(bytesAt(p, 44 + 12345, 8), Bytes(8, 0)) << "wrapped at 2^31";
    auto reader = s.openReader(at + 4);
    char b[5] = {};
    EXPECT_TRUE(reader && reader->read(b, 4) == 4 && std::strcmp(b, "next") == 0);
    reader.reset();
    const uint64_t allocated = allocatedBytes(p);
    RecordProperty("allocatedBytes", std::to_string(allocated));
    EXPECT_LT(allocated, uint64_t{64} << 20) << "the file was filled in, not left sparse";
    s.discard();
    EXPECT_FALSE(fs::exists(p));
}

}  // namespace
