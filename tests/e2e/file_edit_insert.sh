#!/usr/bin/env bash
# Inserting and mixing WAV files on the real program: with no sound both behave as Open;
# insert at the start, inside and at the end, mix inside and past the end, each saved and
# compared with the plain-way references of edit_refs.py and with the fx tool; the files
# they refuse, with their messages, leave the sound and the working file as they were.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
source "$E2E_DIR/file_edit_lib.sh"

FX="${WAVCHECK%/tests/tools/wavcheck}/aurecho-fx"
[ -x "$FX" ] || { echo "missing $FX (build with make native)" >&2; exit 1; }

f="$E2E_TMP/files"
mkdir -p "$f"
wav_make "$f/a.wav" rate=44100 bits=16 ch=2 bytes=176400 seed=3      # 1.00 s
wav_make "$f/b.wav" rate=44100 bits=16 ch=2 bytes=88200 seed=5       # 0.50 s
wav_make "$f/long.wav" rate=44100 bits=16 ch=2 bytes=141120 seed=8 list=1 fmtsize=18  # 0.80 s
wav_make "$f/m8.wav" rate=11025 bits=8 ch=1 bytes=11025 seed=6       # 1.00 s
wav_make "$f/d8.wav" rate=11025 bits=8 ch=1 bytes=2001 seed=7
wav_make "$f/w8.wav" rate=44100 bits=8 ch=2 bytes=8820 seed=9
wav_make "$f/o8.wav" rate=22050 bits=8 ch=1 bytes=11025 seed=10      # 0.50 s, another format
wav_make "$f/o16.wav" rate=22050 bits=16 ch=1 bytes=22050 seed=11    # 0.50 s, the same width
wav_make "$f/bad.wav" riff=RIFX
wav_make "$f/adpcm.wav" tag=0x11 bits=4 ch=1 fmtsize=20 bytes=1024
for n in b long d8; do edit_refs data "$f/$n.wav" "$f/$n.raw"; done

# edit_case NAME PATH FILE POSITION OP LENGTH SOUND: open SOUND.wav; the command at a slider
# position with FILE chosen in its dialog, then Save As NAME.wav and the comparisons. A FILE
# without FILE.raw is of another format: the reference converts its samples first.
edit_case() {
  local name="$1" path="$2" file="$3" position="$4" op="$5" length="$6" sound="$7"
  local added="$f/$file.raw"
  [ -e "$added" ] || added="$f/$file.wav"
  open_file "$f/$sound.wav"
  slide_to "$position"
  drv choose "$path" filedialog "$f/$file.wav" nodialog 300 caption text lengthLabel slider
  expect_eq "$name: caption restored" "$(field caption)" "$sound.wav"
  expect_eq "$name: length" "$(field "text lengthLabel")" "$length"
  expect_eq "$name: slider at the start" "$(field slider | cut -d' ' -f3)" 0
  save_as "$f/$name.wav"
  edit_refs edit "$op" "$f/$sound.wav" "$POSITION" "$added" "$f/$name.ref"
  expect_saved_data "$name" "$f/$name.wav" "$f/$name.ref"
  local seconds; seconds="$(printf '%d.%02d' $((POSITION / 100)) $((POSITION % 100)))"
  "$FX" "$f/$sound.wav" "$f/$name.fx.wav" "$op" "$f/$file.wav" "$seconds" || fail "$name: the fx tool failed"
  expect_same "$name: the fx tool agrees" "$f/$name.wav" "$f/$name.fx.wav"
}

app_copy
app_start

# --- no sound: both commands are Open ---------------------------------------------------
# Opening pumps messages on its way: nodialog lets it finish before the window is read.
drv choose "$PATH_INSERT_FILE" filedialog "$f/a.wav" nodialog 300 caption text lengthLabel
expect_field caption a.wav
expect_field "text lengthLabel" "1.00 秒"
drv choose "$PATH_NEW_JA" nodialog 300 choose "$PATH_MIX_FILE" filedialog "$f/m8.wav" nodialog 300 caption text lengthLabel
expect_field caption m8.wav
expect_field "text lengthLabel" "1.00 秒"

# --- insert and mix ---------------------------------------------------------------------
edit_case insert-start "$PATH_INSERT_FILE" b 0 insert "1.50 秒" a
edit_case insert-inside "$PATH_INSERT_FILE" b 40 insert "1.50 秒" a
edit_case insert-end "$PATH_INSERT_FILE" b 100 insert "1.50 秒" a
# At 94 the slider goes back to 93 (see file_edit_clipboard.sh): the odd offset 10253.
edit_case insert-8bit "$PATH_INSERT_FILE" d8 94 insert "1.18 秒" m8
edit_case mix-inside "$PATH_MIX_FILE" b 30 mix "1.00 秒" a
edit_case mix-past-end "$PATH_MIX_FILE" long 60 mix "1.40 秒" a
edit_case mix-8bit "$PATH_MIX_FILE" d8 92 mix "1.09 秒" m8
# Files of another format come in the sound's format: 22050 Hz mono to 44100 Hz stereo,
# and 8 bits to 16 for insert (mixing takes only the sound's width).
edit_case insert-other-format "$PATH_INSERT_FILE" o8 40 insert "1.50 秒" a
edit_case mix-other-format "$PATH_MIX_FILE" o16 30 mix "1.00 秒" a

# --- refused files: a message each, nothing changed -------------------------------------
open_file "$f/a.wav"
cp "$(work_file)" "$f/before.wav"
read_state
before="$STATE"
refused() {  # refused WHAT PATH FILE TEXT
  slide_to 50
  drv choose "$2" filedialog "$f/$3" msgbox
  expect_eq "$1: box title" "$(field "msgbox title")" "$TITLE_JA"
  expect_eq "$1: box text" "$(field "msgbox text")" "$4"
  drv answer ok setslider 0
  read_state
  compare_text "$1: the window as it was" "$STATE" "$before"
  expect_same "$1: the working file as it was" "$(work_file)" "$f/before.wav"
}
refused "mixing another width" "$PATH_MIX_FILE" w8.wav "ビットレートが違うファイルはミキシングできません。"
refused "inserting a file that is not WAVE" "$PATH_INSERT_FILE" bad.wav \
  "ファイル $(win_path "$f/bad.wav") は有効な WAVE ファイルではありません。"
refused "mixing a file that is not WAVE" "$PATH_MIX_FILE" bad.wav \
  "ファイル $(win_path "$f/bad.wav") は有効な WAVE ファイルではありません。"
refused "inserting a 4-bit file" "$PATH_INSERT_FILE" adpcm.wav "4bitフォーマットファイルは開けません。"
refused "inserting a missing file" "$PATH_INSERT_FILE" missing.wav "ファイル読み込みでエラーが発生しました。"

# A cancelled dialog changes nothing either.
drv choose "$PATH_INSERT_FILE" filedialog-cancel nodialog 300
read_state
compare_text "cancelled: the window as it was" "$STATE" "$before"
expect_same "cancelled: the working file as it was" "$(work_file)" "$f/before.wav"

app_close
e2e_finish
