// The main menu and the texts of the current language: building the tree, applying the
// captions, and the Help and Edit commands that belong to the texts.
#include "app/main_window.h"

#include <shellapi.h>

#include "app/ids.h"
#include "document/format_table.h"

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

void TForm1::createMenu() {
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

    mainMenu1 = CreateMenu();

    // File, with Format > Others and Format > PCM (> Others)
    HMENU kf1 = CreatePopupMenu(), k6 = CreatePopupMenu();
    HMENU k2 = formatParentMenu = CreatePopupMenu();
    formatMenu = CreatePopupMenu();
    formatOthersMenu = CreatePopupMenu();
    item(kf1, ids::K1, fileMenuTexts, 1);
    item(kf1, ids::KO1, fileMenuTexts, 2);
    item(kf1, ids::KS2, fileMenuTexts, 3);
    item(kf1, ids::KA1, fileMenuTexts, 4);
    popup(kf1, k2, fileMenuTexts, 5);
    separator(kf1);
    item(kf1, ids::KE2, fileMenuTexts, 9);
    popup(k2, k6, fileMenuTexts, 6);
    item(k6, ids::K14, fileMenuTexts, 10);
    separator(k2);
    popup(k2, formatMenu, fileMenuTexts, 7);
    popup(formatMenu, formatOthersMenu, fileMenuTexts, 8);
    separator(formatMenu);
    for (int i = 0; i < formatCount; ++i) {
        HMENU parent = formatTable[i].inOthers ? formatOthersMenu : formatMenu;
        if (i % formatsPerGroup == 0 && i != 0 && i != formatCount / 2) separator(parent);
        AppendMenuW(parent, MF_STRING, ids::FormatFirst + i, formatItemCaption(formatTable[i]).c_str());
    }
    popup(mainMenu1, kf1, fileMenuTexts, 0);

    // Edit
    HMENU ke1 = CreatePopupMenu();
    item(ke1, ids::KC1, editMenuTexts, 1, L"Ctrl+C");
    item(ke1, ids::KV1, editMenuTexts, 2, L"Ctrl+V");
    item(ke1, ids::K7, editMenuTexts, 3);
    separator(ke1);
    item(ke1, ids::KI1, editMenuTexts, 4);
    item(ke1, ids::K8, editMenuTexts, 5);
    separator(ke1);
    item(ke1, ids::K9, editMenuTexts, 6);
    item(ke1, ids::KA2, editMenuTexts, 7);
    separator(ke1);
    item(ke1, ids::K5, editMenuTexts, 8);
    EnableMenuItem(ke1, ids::K9, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(ke1, ids::KA2, MF_BYCOMMAND | MF_GRAYED);
    popup(mainMenu1, ke1, editMenuTexts, 0);

    // Effect
    HMENU ks1 = CreatePopupMenu();
    item(ks1, ids::K251, effectMenuTexts, 1);
    item(ks1, ids::KD1, effectMenuTexts, 2);
    separator(ks1);
    item(ks1, ids::K1001, effectMenuTexts, 3);
    item(ks1, ids::KE3, effectMenuTexts, 4);
    separator(ks1);
    item(ks1, ids::K13, effectMenuTexts, 5);
    item(ks1, ids::KR1, effectMenuTexts, 6);
    separator(ks1);
    item(ks1, ids::KE4, effectMenuTexts, 7);
    item(ks1, ids::K18, effectMenuTexts, 8);
    popup(mainMenu1, ks1, effectMenuTexts, 0);

    // Help
    HMENU kh1 = CreatePopupMenu(), k10 = CreatePopupMenu(), k15 = CreatePopupMenu();
    AppendMenuW(kh1, MF_STRING, ids::Waiting1, texts::waitingCaption);
    separator(kh1);
    popup(kh1, k10, helpMenuTexts, 1);
    item(k10, ids::K11, helpMenuTexts, 3);
    item(k10, ids::K12, helpMenuTexts, 4);
    separator(kh1);
    popup(kh1, k15, helpMenuTexts, 5);
    item(k15, ids::K16, helpMenuTexts, 6);
    item(k15, ids::K17, helpMenuTexts, 7);
    CheckMenuItem(k15, ids::K16, MF_BYCOMMAND | MF_CHECKED);
    separator(kh1);
    item(kh1, ids::K4, helpMenuTexts, 2);
    popup(mainMenu1, kh1, helpMenuTexts, 0);

    ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'C', ids::KC1}, {FCONTROL | FVIRTKEY, 'V', ids::KV1}};
    accelerators = CreateAcceleratorTableW(keys, 2);
}

void TForm1::applyLanguage() {
    const int lang = languageIndex;
    applicationTitle = texts::titleTexts[lang];
    if (!doc.hasFileName) setCaption(texts::titleTexts[lang]);

    CheckMenuItem(mainMenu1, ids::K11, MF_BYCOMMAND | (lang == 0 ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(mainMenu1, ids::K12, MF_BYCOMMAND | (lang == 1 ? MF_CHECKED : MF_UNCHECKED));
    const int labelLeft = lang == 1 ? 14 : 20;
    SetWindowPos(label1, nullptr, labelLeft, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(label3, nullptr, labelLeft, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

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

    setLabel(ids::Label1, texts::panelTexts[lang][0]);
    setLabel(ids::Label2, texts::panelTexts[lang][1]);
    setLabel(ids::Label3, texts::panelTexts[lang][2]);
    setLabel(ids::Label4, texts::panelTexts[lang][3]);
    if (doc.hasSound) {
        const double d = soundSeconds();
        setLabel(ids::Label2, texts::formatSeconds(d, texts::panelTexts[lang][1]));
        setLabel(ids::Label4, texts::formatSeconds(d, texts::panelTexts[lang][3]));
    }
    setEqualizerCaption(std::wstring(texts::equalizerCaption[lang]) + L" - " + texts::titleTexts[lang]);
}

void TForm1::K11Click() {
    languageIndex = 0;
    applyLanguage();
}

void TForm1::K12Click() {
    languageIndex = 1;
    applyLanguage();
}

void TForm1::K4Click() { plainMessage(std::wstring(texts::titleTexts[languageIndex]) + texts::versionText); }

void TForm1::K5Click() { ShellExecuteW(hwnd, nullptr, L"mmsys.cpl", nullptr, nullptr, SW_SHOW); }
