# The main window's menu tree as the user must see it, in both languages: the captions
# of the five menus' text tables, "Waiting(&W)" and the 32 format items, which have one
# caption in both languages. Sourced by the tests.

MENU_FILE_JA=("ファイル(&F)" "新規(&N)" "開く(&O)..." "上書き保存(&S)" "名前を付けて保存(&S)..."
  "形式(&R)" "その他" "PCM" "その他" "終了(&X)" "変換...")
MENU_FILE_EN=("File(&F)" "New(&N)" "Open(&O)..." "Save(&S)" "Save As(&S)..." "Format(&R)"
  "Others" "PCM" "Others" "Exit(&X)" "Convert...")

MENU_EDIT_JA=("編集(&E)" "コピー(&C)" "貼り付け(&P)" "ミキシング貼り付け(&X)" "ファイルの挿入(&I)..."
  "ファイルミキシング(&M)..." "現在位置までを削除(&B)" "現在位置から後を削除(&A)"
  "オーディオのプロパティ(&U)" "元に戻す(&Z)" "やり直し(&Y)" "選択範囲を削除(&D)" "選択範囲以外を削除(&T)")
MENU_EDIT_EN=("Edit(&E)" "Copy(&C)" "Paste(&P)" "Mixing Paste(&X)" "Insertion of Files(&I)..."
  "Mixing Files(&M)..." "Present location is deleted.(&B)"
  "The back is deleted from present location.(&A)" "Property Of Audio(&U)" "Undo(&Z)" "Redo(&Y)"
  "Delete Selection(&D)" "Trim to Selection(&T)")

MENU_VIEW_JA=("表示(&V)" "波形(&W)")
MENU_VIEW_EN=("View(&V)" "Waveform(&W)")

MENU_EFFECT_JA=("エフェクタ(&S)" "音量を上げる (25%)(&I)" "音量を下げる(&D)" "再生速度を上げる(100%)(&N)"
  "再生速度を下げる(&E)" "エコーをかける(&A)" "逆転再生(&R)" "イコライザー(&E)"
  "イコライザーファイル出力(&S)...")
MENU_EFFECT_EN=("Effect(&S)" "Volume Up (25%)(&I)" "Volume Down(&D)" "Speed Up(100%)(&N)"
  "Speed Down(&E)" "Echo(&A)" "Reverse(&R)" "Equalizer(&E)" "Save the equalizer effect.(&S)...")

MENU_HELP_JA=("ヘルプ(&H)" "言語(&L)" "バージョン情報(&A)" "日本語(&J)" "英語(&E)" "再生バッファ(&B)"
  "標準" "少ない" "録音デバイス(&I)" "再生デバイス(&O)" "既定のデバイス")
MENU_HELP_EN=("Help(&H)" "Language(&L)" "Version Info.(&A)" "Japanese(&J)" "English(&E)"
  "Buffer for playing.(&B)" "Standard" "A little." "Recording Device(&I)" "Playback Device(&O)" "Default Device")

# One rate's four items, indented.
format_group() {
  local indent="$1" rate="$2"
  printf '%s%s\n' "$indent" "${rate}Hz 16bit stereo" "$indent" "${rate}Hz 16bit mono" \
    "$indent" "${rate}Hz 8bit stereo" "$indent" "${rate}Hz 8bit mono"
}

# Several groups with a separator between each two.
format_groups() {
  local indent="$1"; shift
  local first=1 rate
  for rate in "$@"; do
    [ $first -eq 1 ] || printf '%s-\n' "$indent"
    first=0
    format_group "$indent" "$rate"
  done
}

# expected_menu ja|en: one line per item, two blanks of indent per level, separators "-";
# of the device lists only their defaults (menu_columns leaves the devices out).
expected_menu() {
  local -n F="MENU_FILE_${1^^}" E="MENU_EDIT_${1^^}" V="MENU_VIEW_${1^^}" S="MENU_EFFECT_${1^^}" H="MENU_HELP_${1^^}"
  printf '%s\n' "${F[0]}" "  ${F[1]}" "  ${F[2]}" "  ${F[3]}" "  ${F[4]}" "  ${F[5]}" \
    "    ${F[6]}" "      ${F[10]}" "    -" "    ${F[7]}" "      ${F[8]}"
  format_groups "        " 8000 16000 24000 32000
  printf '%s\n' "      -"
  format_groups "      " 48000 44100 22050 11025
  printf '%s\n' "  -" "  ${F[9]}"
  printf '%s\n' "${E[0]}" "  ${E[9]}" "  ${E[10]}" "  -" "  ${E[1]}" "  ${E[2]}" "  ${E[3]}" "  -" "  ${E[4]}" "  ${E[5]}" "  -" \
    "  ${E[6]}" "  ${E[7]}" "  ${E[11]}" "  ${E[12]}" "  -" "  ${E[8]}"
  printf '%s\n' "${V[0]}" "  ${V[1]}"
  printf '%s\n' "${S[0]}" "  ${S[1]}" "  ${S[2]}" "  -" "  ${S[3]}" "  ${S[4]}" "  -" "  ${S[5]}" \
    "  ${S[6]}" "  -" "  ${S[7]}" "  ${S[8]}"
  printf '%s\n' "${H[0]}" "  Waiting(&W)" "  -" "  ${H[1]}" "    ${H[3]}" "    ${H[4]}" "  -" \
    "  ${H[5]}" "    ${H[6]}" "    ${H[7]}" "  ${H[8]}" "    ${H[10]}" "  ${H[9]}" "    ${H[10]}" \
    "  -" "  ${H[2]}"
}

# Menu paths the tests choose, by language.
PATH_ENGLISH_JA="${MENU_HELP_JA[0]}/${MENU_HELP_JA[1]}/${MENU_HELP_JA[4]}"
PATH_JAPANESE_EN="${MENU_HELP_EN[0]}/${MENU_HELP_EN[1]}/${MENU_HELP_EN[3]}"
PATH_VERSION_JA="${MENU_HELP_JA[0]}/${MENU_HELP_JA[2]}"
