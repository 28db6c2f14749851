// The main menu and the texts of the current language: building the tree and applying
// the captions.
#include "win32/main_window.h"

#include <iterator>

#include "win32/ids.h"
#include "core/wav/format_table.h"

namespace {
using texts::Text;

// The row of a table for both languages.
template <size_t N>
const Text* column(const Text (&table)[texts::languageCount][N], size_t entry, Text (&out)[2]) {
    out[0] = table[0][entry];
    out[1] = table[1][entry];
    return out;
}
}  // namespace

void MainWindow::createMenu() {
    captionBindings.clear();
    auto bind = [this](HMENU parent, const Text ja, const Text en, const wchar_t* shortcut = nullptr) {
        captionBindings.push_back({parent, static_cast<UINT>(GetMenuItemCount(parent)), {ja, en}, shortcut});
    };
    // Appends an item whose caption follows the language; the text is set by applyLanguage.
    auto item = [&](HMENU parent, UINT id, const auto& table, size_t entry, const wchar_t* shortcut = nullptr) {
        Text t[2];
        column(table, entry, t);
        bind(parent, t[0], t[1], shortcut);
        AppendMenuW(parent, MF_STRING, id, t[0]);
    };
    auto popup = [&](HMENU parent, HMENU sub, const auto& table, size_t entry) {
        Text t[2];
        column(table, entry, t);
        bind(parent, t[0], t[1]);
        AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), t[0]);
    };
    auto separator = [](HMENU parent) { AppendMenuW(parent, MF_SEPARATOR, 0, nullptr); };
    using texts::editMenuTexts;
    using texts::effectMenuTexts;
    using texts::fileMenuTexts;
    using texts::helpMenuTexts;

    menuBar = CreateMenu();

    // File, with Format > Others and Format > PCM (> Others)
    HMENU fileMenu = CreatePopupMenu(), formatOthersMenu = CreatePopupMenu();
    HMENU formatMenu = CreatePopupMenu();
    HMENU pcmMenu = CreatePopupMenu(), pcmOthersMenu = CreatePopupMenu();
    item(fileMenu, ids::New, fileMenuTexts, 1);
    item(fileMenu, ids::Open, fileMenuTexts, 2);
    item(fileMenu, ids::Save, fileMenuTexts, 3);
    item(fileMenu, ids::SaveAs, fileMenuTexts, 4);
    popup(fileMenu, formatMenu, fileMenuTexts, 5);
    separator(fileMenu);
    item(fileMenu, ids::Exit, fileMenuTexts, 9);
    popup(formatMenu, formatOthersMenu, fileMenuTexts, 6);
    item(formatOthersMenu, ids::Convert, fileMenuTexts, 10);
    separator(formatMenu);
    popup(formatMenu, pcmMenu, fileMenuTexts, 7);
    popup(pcmMenu, pcmOthersMenu, fileMenuTexts, 8);
    separator(pcmMenu);
    for (int i = 0; i < formatCount; ++i) {
        HMENU parent = formatTable[i].inOthers ? pcmOthersMenu : pcmMenu;
        if (i % formatsPerGroup == 0 && i != 0 && i != formatCount / 2) separator(parent);
        AppendMenuW(parent, MF_STRING, ids::FormatFirst + i, formatItemCaption(formatTable[i]).c_str());
    }
    popup(menuBar, fileMenu, fileMenuTexts, 0);

    // Edit
    HMENU editMenu = CreatePopupMenu();
    item(editMenu, ids::Undo, texts::undoMenuTexts, 0, L"Ctrl+Z");
    item(editMenu, ids::Redo, texts::undoMenuTexts, 1, L"Ctrl+Y");
    separator(editMenu);
    item(editMenu, ids::Copy, editMenuTexts, 1, L"Ctrl+C");
    item(editMenu, ids::Paste, editMenuTexts, 2, L"Ctrl+V");
    item(editMenu, ids::MixingPaste, editMenuTexts, 3);
    separator(editMenu);
    item(editMenu, ids::InsertFile, editMenuTexts, 4);
    item(editMenu, ids::MixFile, editMenuTexts, 5);
    separator(editMenu);
    item(editMenu, ids::DeleteBefore, editMenuTexts, 6);
    item(editMenu, ids::DeleteAfter, editMenuTexts, 7);
    item(editMenu, ids::DeleteSelection, texts::selectionMenuTexts, 0, L"Del");
    item(editMenu, ids::TrimToSelection, texts::selectionMenuTexts, 1, L"Ctrl+T");
    separator(editMenu);
    item(editMenu, ids::AudioProperties, editMenuTexts, 8);
    EnableMenuItem(editMenu, ids::Undo, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(editMenu, ids::Redo, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(editMenu, ids::DeleteBefore, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(editMenu, ids::DeleteAfter, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(editMenu, ids::DeleteSelection, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(editMenu, ids::TrimToSelection, MF_BYCOMMAND | MF_GRAYED);
    popup(menuBar, editMenu, editMenuTexts, 0);

    // View
    HMENU viewMenu = CreatePopupMenu();
    item(viewMenu, ids::Waveform, texts::viewMenuTexts, 1);
    popup(menuBar, viewMenu, texts::viewMenuTexts, 0);

    // Effect
    HMENU effectMenu = CreatePopupMenu();
    item(effectMenu, ids::VolumeUp, effectMenuTexts, 1);
    item(effectMenu, ids::VolumeDown, effectMenuTexts, 2);
    separator(effectMenu);
    item(effectMenu, ids::SpeedUp, effectMenuTexts, 3);
    item(effectMenu, ids::SpeedDown, effectMenuTexts, 4);
    separator(effectMenu);
    item(effectMenu, ids::Echo, effectMenuTexts, 5);
    item(effectMenu, ids::Reverse, effectMenuTexts, 6);
    separator(effectMenu);
    item(effectMenu, ids::Equalizer, effectMenuTexts, 7);
    item(effectMenu, ids::EqualizedOutput, effectMenuTexts, 8);
    popup(menuBar, effectMenu, effectMenuTexts, 0);

    // Help
    HMENU helpMenu = CreatePopupMenu(), languageMenu = CreatePopupMenu(), playBufferMenu = CreatePopupMenu();
    AppendMenuW(helpMenu, MF_STRING, ids::Waiting, texts::waitingCaption);
    separator(helpMenu);
    popup(helpMenu, languageMenu, helpMenuTexts, 1);
    item(languageMenu, ids::Japanese, helpMenuTexts, 3);
    item(languageMenu, ids::English, helpMenuTexts, 4);
    separator(helpMenu);
    popup(helpMenu, playBufferMenu, helpMenuTexts, 5);
    item(playBufferMenu, ids::StandardPlayBuffer, helpMenuTexts, 6);
    item(playBufferMenu, ids::SmallPlayBuffer, helpMenuTexts, 7);
    CheckMenuItem(playBufferMenu, ids::StandardPlayBuffer, MF_BYCOMMAND | MF_CHECKED);
    HMENU inputMenu = CreatePopupMenu(), outputMenu = CreatePopupMenu();
    popup(helpMenu, inputMenu, texts::deviceTexts, texts::RecordingDeviceMenu);
    popup(helpMenu, outputMenu, texts::deviceTexts, texts::PlaybackDeviceMenu);
    devices.create(inputMenu, outputMenu);
    separator(helpMenu);
    item(helpMenu, ids::VersionInformation, helpMenuTexts, 2);
    popup(menuBar, helpMenu, helpMenuTexts, 0);

    ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'C', ids::Copy},
                    {FCONTROL | FVIRTKEY, 'V', ids::Paste},
                    {FCONTROL | FVIRTKEY, 'Z', ids::Undo},
                    {FCONTROL | FVIRTKEY, 'Y', ids::Redo},
                    {FVIRTKEY, VK_DELETE, ids::DeleteSelection},
                    {FCONTROL | FVIRTKEY, 'T', ids::TrimToSelection},
                    {FCONTROL | FVIRTKEY, 'A', ids::SelectAll},
                    {FVIRTKEY, VK_ESCAPE, ids::ClearSelection},
                    {FSHIFT | FVIRTKEY, VK_HOME, ids::SelectToStart},
                    {FSHIFT | FVIRTKEY, VK_END, ids::SelectToEnd}};
    document.setMenus(menuBar, formatMenu);
    accelerators = CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));
}

void MainWindow::applyLanguage() {
    const int lang = language();
    applicationTitle = texts::titleTexts[lang];
    if (sound.documentFile().empty()) setCaption(texts::titleTexts[lang]);

    CheckMenuItem(menuBar, ids::Japanese, MF_BYCOMMAND | (lang == 0 ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menuBar, ids::English, MF_BYCOMMAND | (lang == 1 ? MF_CHECKED : MF_UNCHECKED));
    layoutControls();

    for (const CaptionBinding& b : captionBindings) {
        std::wstring text = b.text[lang];
        if (b.shortcut) text += std::wstring(L"\t") + b.shortcut;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = text.data();
        SetMenuItemInfoW(b.parent, b.position, TRUE, &info);
    }
    if (hwnd) DrawMenuBar(hwnd);

    setLabel(ids::PositionCaption, texts::panelTexts[lang][texts::PositionCaption]);
    setLabel(ids::PositionLabel, texts::panelTexts[lang][texts::PositionZero]);
    setLabel(ids::LengthCaption, texts::panelTexts[lang][texts::LengthCaption]);
    setLabel(ids::LengthLabel, texts::panelTexts[lang][texts::LengthZero]);
    if (sound.hasSound()) {
        const double d = sound.seconds();
        setLabel(ids::PositionLabel, texts::formatSeconds(d, texts::panelTexts[lang][texts::PositionZero]));
        setLabel(ids::LengthLabel, texts::formatSeconds(d, texts::panelTexts[lang][texts::LengthZero]));
    }
    document.pane().setLanguage(lang);
    devices.setLanguage(lang);
    equalizerWindow.setCaption(std::wstring(texts::equalizerCaption[lang]) + L" - " + texts::titleTexts[lang]);
}
