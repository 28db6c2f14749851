#include "core/program/texts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace texts {

const Text fileMenuTexts[languageCount][11] = {
    {L"ファイル(&F)", L"新規(&N)", L"開く(&O)...", L"上書き保存(&S)", L"名前を付けて保存(&S)...",
     L"形式(&R)", L"その他", L"PCM", L"その他", L"終了(&X)", L"変換..."},
    {L"File(&F)", L"New(&N)", L"Open(&O)...", L"Save(&S)", L"Save As(&S)...", L"Format(&R)",
     L"Others", L"PCM", L"Others", L"Exit(&X)", L"Convert..."},
};

const Text editMenuTexts[languageCount][9] = {
    {L"編集(&E)", L"コピー(&C)", L"貼り付け(&P)", L"ミキシング貼り付け(&X)", L"ファイルの挿入(&I)...",
     L"ファイルミキシング(&M)...", L"現在位置までを削除(&B)", L"現在位置から後を削除(&A)",
     L"オーディオのプロパティ(&U)"},
    {L"Edit(&E)", L"Copy(&C)", L"Paste(&P)", L"Mixing Paste(&X)", L"Insertion of Files(&I)...",
     L"Mixing Files(&M)...", L"Present location is deleted.(&B)",
     L"The back is deleted from present location.(&A)", L"Property Of Audio(&U)"},
};

const Text undoMenuTexts[languageCount][2] = {
    {L"元に戻す(&Z)", L"やり直し(&Y)"},
    {L"Undo(&Z)", L"Redo(&Y)"},
};

const Text selectionMenuTexts[languageCount][2] = {
    {L"選択範囲を削除(&D)", L"選択範囲以外を削除(&T)"},
    {L"Delete Selection(&D)", L"Trim to Selection(&T)"},
};

const Text viewMenuTexts[languageCount][2] = {
    {L"表示(&V)", L"波形(&W)"},
    {L"View(&V)", L"Waveform(&W)"},
};

const Text undoFailedMessages[languageCount][2] = {
    {L"元に戻せませんでした。", L"やり直せませんでした。"},
    {L"Could not undo.", L"Could not redo."},
};

const Text effectMenuTexts[languageCount][9] = {
    {L"エフェクタ(&S)", L"音量を上げる (25%)(&I)", L"音量を下げる(&D)", L"再生速度を上げる(100%)(&N)",
     L"再生速度を下げる(&E)", L"エコーをかける(&A)", L"逆転再生(&R)", L"イコライザー(&E)",
     L"イコライザーファイル出力(&S)..."},
    {L"Effect(&S)", L"Volume Up (25%)(&I)", L"Volume Down(&D)", L"Speed Up(100%)(&N)",
     L"Speed Down(&E)", L"Echo(&A)", L"Reverse(&R)", L"Equalizer(&E)",
     L"Save the equalizer effect.(&S)..."},
};

const Text helpMenuTexts[languageCount][8] = {
    {L"ヘルプ(&H)", L"言語(&L)", L"バージョン情報(&A)", L"日本語(&J)", L"英語(&E)", L"再生バッファ(&B)",
     L"標準", L"少ない"},
    {L"Help(&H)", L"Language(&L)", L"Version Info.(&A)", L"Japanese(&J)", L"English(&E)",
     L"Buffer for playing.(&B)", L"Standard", L"A little."},
};

const Text panelTexts[languageCount][4] = {
    {L"位置", L"0.00 秒", L"長さ", L"0.00 秒"},
    {L"Position", L"0.00 sec", L"Length", L"0.00 sec"},
};

const Text fileMessages[languageCount][5] = {
    {L"は変更されています。保存しますか？", L"ファイルの作成でエラーが発生しました。",
     L"ファイル読み込みでエラーが発生しました。", L"ファイル ", L" は有効な WAVE ファイルではありません。"},
    {L" is changing. Do you save it?", L"The error occurred by making the file.",
     L"The error occurred by the file reading.", L"File ", L" is not an effective WAVE file."},
};

const Text progressTexts[languageCount][11] = {
    {L"保存中...", L"保存中..", L"保存中.", L"保存中", L"ファイルを開いています...", L"コピーしています...",
     L"貼り付け中...", L"ファイル挿入中...", L"ファイルミキシング中...", L"削除中...", L"変更中..."},
    {L"Saving a file...", L"Saving a file..", L"Saving a file.", L"Saving a file",
     L"The file is opened...", L"copying...", L"pasting...", L"inserted...", L"mixing...",
     L"deleting...", L"changing..."},
};

const Text deviceMessages[languageCount][2] = {
    {L"再生デバイスが開けません。", L"録音デバイスが開けません。"},
    {L"The output device doesn't open it.", L"The input device doesn't open it."},
};

const Text deviceTexts[languageCount][5] = {
    {L"録音デバイス(&I)", L"再生デバイス(&O)", L"既定のデバイス", L"録音デバイスが使えなくなったため、録音を止めました。",
     L"再生デバイスが使えなくなったため、再生を止めました。"},
    {L"Recording Device(&I)", L"Playback Device(&O)", L"Default Device",
     L"The recording device is no longer available, so recording stopped.",
     L"The playback device is no longer available, so playback stopped."},
};

const Text fourBitMessage[languageCount] = {L"4bitフォーマットファイルは開けません。",
                                             L"The 4bit format file doesn't open out."};

const Text bitMixMessage[languageCount] = {L"ビットレートが違うファイルはミキシングできません。",
                                            L"A bit rate cannot mix the different file."};

const Text convertTexts[languageCount][2] = {
    {L"変換中...", L"エラーが発生しました。"},
    {L"converting...", L"An error occurred."},
};

const Text settingsMessages[languageCount][2] = {
    {L"エラー。設定ファイルが作成できません。",
     L"設定ファイル出力中に例外エラーが発生しました。設定ファイルが正しく作成されなかった可能性があります。"},
    {L"An error. Cannot make a configuration file.",
     L"An exception error occurred in the configuration file output.\n"
     L"There is a possibility that the configuration file is not correctly made."},
};

// The largest sound a WAV file can hold: its data size + 36 must fit in 32 bits.
const Text limitTexts[languageCount][3] = {
    {L"WAVファイルに入る最大の長さに達したため、録音を止めました。",
     L"WAVファイルに入る最大の長さを超えるため、実行できません。",
     L"WAVファイルに入る最大の長さまでを開きました。残りは読み込んでいません。"},
    {L"Recording stopped: the sound has reached the largest size a WAV file can hold.",
     L"This cannot be done: the sound would be longer than a WAV file can hold.",
     L"Opened up to the largest size a WAV file can hold; the rest of the file was not read."},
};

const Text diskFullMessage[languageCount] = {L"ディスクの空き容量が足りません。",
                                             L"There is not enough free space on the disk."};

const Text recoverQuestion[languageCount] = {
    L"前回正常に終了しなかったときの音が残っています。開きますか？",
    L"A sound from an earlier session that did not close normally was found. Open it?"};

std::wstring convertedOnOpenMessage(int language, const std::wstring& from, const std::wstring& to) {
    if (language == 1) return L"This file is " + from + L"; it was opened as " + to + L".";
    return L"このファイルは" + from + L"なので、" + to + L"に変換して開きました。";
}

const Text convertCaption[languageCount] = {L"変換", L"Convert"};
const Text currentFormatCaption[languageCount] = {L"現在のフォーマット", L"A current format."};
const Text equalizerCaption[languageCount] = {L"イコライザー", L"Equalizer"};

const Text titleTexts[languageCount] = {L"Aurecho - ちいさな録音と波形編集",
                                         L"Aurecho - a little recorder and wave editor"};

const Text versionText = L"\u3000version 1.04";
const Text waitingCaption = L"Waiting(&W)";

namespace {

// The number with two decimals, rounded half away from zero after taking its 15
// significant digits, so 12.345 (stored as 12.34499...) shows as 12.35.
std::wstring twoDecimals(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);  // d.dddddddddddddde±xx
    bool negative = buf[0] == '-';
    const char* p = buf + (negative ? 1 : 0);
    std::string digits;
    digits += p[0];
    digits.append(p + 2, 14);
    int exponent = std::atoi(std::strchr(p, 'e') + 1);

    // digits hold d0.d1d2... x 10^exponent; keep exponent + 3 digits (two decimals).
    int keep = exponent + 3;
    std::string kept;  // the value in hundredths, as decimal digits
    if (keep <= 0) {
        bool up = keep == 0 && digits[0] >= '5';
        kept = up ? "1" : "0";
    } else {
        if (keep <= static_cast<int>(digits.size())) {
            kept = digits.substr(0, keep);
            bool up = keep < static_cast<int>(digits.size()) && digits[keep] >= '5';
            if (up) {
                int i = static_cast<int>(kept.size()) - 1;
                while (i >= 0 && kept[i] == '9') kept[i--] = '0';
                if (i < 0) kept.insert(kept.begin(), '1'); else ++kept[i];
            }
        } else {
            kept = digits + std::string(keep - digits.size(), '0');
        }
    }
    while (kept.size() < 3) kept.insert(kept.begin(), '0');
    std::string text = kept.substr(0, kept.size() - 2) + "." + kept.substr(kept.size() - 2);
    if (negative && text.find_first_not_of("0.") != std::string::npos) text.insert(text.begin(), '-');
    return std::wstring(text.begin(), text.end());
}

}  // namespace

std::wstring formatSeconds(double seconds, const std::wstring& pattern) {
    const std::wstring placeholder = L"0.00";
    size_t at = pattern.find(placeholder);
    if (at == std::wstring::npos) return twoDecimals(seconds) + pattern;
    return pattern.substr(0, at) + twoDecimals(seconds) + pattern.substr(at + placeholder.size());
}

}  // namespace texts
