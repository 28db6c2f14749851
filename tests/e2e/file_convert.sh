#!/usr/bin/env bash
# File > Format > Others > Convert through the real format dialog: its captions, lists and
# layout in both languages, the current format, Cancel and the close box; conversions saved
# and compared with a plain reference and with the core's tool; the format menu following;
# the same format; a temporary file that cannot be made; direct mode across a restart.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

FX="${WAVCHECK%/tests/tools/wavcheck}/aurecho-fx"
[ -x "$FX" ] || { echo "missing $FX (build with make native)" >&2; exit 1; }

DIALOG=AurechoFormatDialog
PATH_CONVERT_JA="${MENU_FILE_JA[0]}/${MENU_FILE_JA[5]}/${MENU_FILE_JA[6]}/${MENU_FILE_JA[10]}"
PATH_CONVERT_EN="${MENU_FILE_EN[0]}/${MENU_FILE_EN[5]}/${MENU_FILE_EN[6]}/${MENU_FILE_EN[10]}"
PATH_ENGLISH="${MENU_HELP_JA[0]}/${MENU_HELP_JA[1]}/${MENU_HELP_JA[4]}"
PATH_JAPANESE="${MENU_HELP_EN[0]}/${MENU_HELP_EN[1]}/${MENU_HELP_EN[3]}"

# choose_targets BITS RATE CHANNELS: the three lists of the open dialog.
choose_targets() {
  drv pick $DIALOG bitList "$1" pick $DIALOG rateList "$2" pick $DIALOG channelList "$3"
}

# convert_to BITS RATE CHANNELS: Convert, the three lists, OK.
convert_to() {
  drv choose "$PATH_CONVERT_JA"
  choose_targets "$@"
  drv press $DIALOG okButton
}

# expect_dialog_hidden WHAT
expect_dialog_hidden() {
  drv visible $DIALOG
  expect_eq "$1: dialog hidden" "$(field "visible $DIALOG")" 0
}

# expect_saved_equal WHAT SAVED REFERENCE
expect_saved_equal() {
  if cmp -s "$2" "$3"; then pass "$1"; else fail "$1: $(cmp "$2" "$3" 2>&1 | head -1)"; fi
}

# reference_conversion IN OUT BITS RATE CHANNELS: the file Convert and Save As must give,
# made the plain way over whole arrays.
reference_conversion() {
  python3 "$E2E_DIR/edit_refs.py" convert "$1" "$3" "$4" "$5" "$2"
}

files="$E2E_TMP/files"
mkdir -p "$files"
wav_make "$files/st16.wav" rate=44100 bits=16 ch=2 bytes=176400 seed=3
wav_make "$files/mono8.wav" rate=22050 bits=8 ch=1 bytes=22051 seed=4
wav_make "$files/adpcm.wav" tag=0x11 bits=4 ch=1 fmtsize=20 bytes=1024

app_copy
app_start

# --- no sound: nothing happens --------------------------------------------------------------
drv choose "$PATH_CONVERT_JA" visible $DIALOG caption
expect_field "visible $DIALOG" 0
expect_field caption "$TITLE_JA"
expect_eq "no sound: no working file" "$(scratch_files)" ""

# --- the dialog in Japanese -----------------------------------------------------------------
open_file "$files/st16.wav"
read_state
before="$STATE"
work="$APP_DIR/$(scratch_files)"
cp "$work" "$E2E_TMP/work-before.wav"
drv choose "$PATH_CONVERT_JA" visible $DIALOG title $DIALOG dialog $DIALOG
expect_field "visible $DIALOG" 1
expect_field "title $DIALOG" "変換 - $TITLE_JA"
expect_field "dialog client" "319,121"
expect_field "dialog centred" 1
for kv in "bitCaption|Static 16,8|Bit" "rateCaption|Static 96,8|Frequency[Hz]" "channelCaption|Static 216,8|Channel" \
  "bitList|ComboBox 16,24 57|16" "rateList|ComboBox 96,24 97|44100" "channelList|ComboBox 216,24 81|stereo" \
  "currentFormatGroup|Button 16,64 177,41|現在のフォーマット" "currentFormatLabel|Static 24,80|16bit , 44100Hz , stereo" \
  "okButton|Button 224,56 75,25|OK" "cancelButton|Button 224,88 75,25|Cancel"; do
  IFS='|' read -r name place text <<<"$kv"
  got="$(field "dialog control $name")"
  expect_eq "dialog: $name at $place" "${got:0:${#place}}" "$place"
  expect_field "dialog text $name" "$text"
done
expect_field "dialog list bitList" "16|8"
expect_field "dialog list rateList" "48000|44100|22050|11025|8000|16000|24000|32000"
expect_field "dialog list channelList" "stereo|mono"
for name in bitList rateList channelList; do
  expect_eq "dialog: $name first selection" "$(field "dialog selected $name")" "$(field "dialog text $name")"
done
if drv_try choose "$PATH_NEW_JA"; then fail "the main window takes commands while the dialog is open"
else pass "the main window waits for the dialog"; fi
screenshot format_dialog_ja $DIALOG

# --- Cancel and the close box change nothing -------------------------------------------------
drv press $DIALOG cancelButton
expect_dialog_hidden "Cancel"
read_state
compare_text "Cancel: window state" "$STATE" "$before"
expect_saved_equal "Cancel: working file as it was" "$work" "$E2E_TMP/work-before.wav"

drv choose "$PATH_CONVERT_JA"
choose_targets 8 22050 mono
drv closebox $DIALOG
expect_dialog_hidden "close box"
read_state
compare_text "close box: window state" "$STATE" "$before"
expect_saved_equal "close box: working file as it was" "$work" "$E2E_TMP/work-before.wav"
# Still unmodified: New asks nothing.
drv choose "$PATH_NEW_JA" nodialog 500
expect_eq "after Cancel and the close box: no working file left by New" "$(scratch_files)" ""

# --- 16-bit stereo 44100 Hz to 8-bit mono 22050 Hz --------------------------------------------
open_file "$files/st16.wav"
drv choose "$PATH_CONVERT_JA" dialog $DIALOG
# The selections made before the close box stay.
expect_field "dialog selected bitList" 8
expect_field "dialog selected rateList" 22050
expect_field "dialog selected channelList" mono
drv press $DIALOG okButton
expect_dialog_hidden "OK"
read_state
expect_state "converted" caption st16.wav "text positionLabel" "0.00 秒" "text lengthLabel" "1.00 秒" \
  slider "0 100 0" "enabled playButton" 1 "format checked" "22050Hz 8bit mono" "format grayed" 32 "PCM grayed" 0
expect_eq "converted: one working file" "$(scratch_files | grep -c .)" 1
expect_eq "converted: working file's header" "$(head44 "$APP_DIR/$(scratch_files)")" "$(canonical_header 22050 8 1 22050)"
expect_eq "converted: no temporary file left" "$(ls "$APP_DIR" | grep -c aurecho-tmp)" 0
# Modified: New asks first.
drv choose "$PATH_NEW_JA" msgbox
expect_field "msgbox text" "st16.wavは変更されています。保存しますか？"
drv answer cancel
save_as "$files/st16-8-22050-1.wav"
reference_conversion "$files/st16.wav" "$files/st16-8-22050-1-reference.wav" 8 22050 1
expect_saved_equal "16-bit stereo 44100 to 8-bit mono 22050 equals the plain reference" \
  "$files/st16-8-22050-1.wav" "$files/st16-8-22050-1-reference.wav"

# --- the current format, whatever the lists show ---------------------------------------------
drv choose "$PATH_CONVERT_JA"
choose_targets 16 48000 stereo
drv press $DIALOG cancelButton choose "$PATH_CONVERT_JA" dialog $DIALOG
expect_field "dialog text currentFormatLabel" "8bit , 22050Hz , mono"
expect_field "dialog selected bitList" 16
expect_field "dialog selected rateList" 48000
expect_field "dialog selected channelList" stereo
drv press $DIALOG cancelButton

# --- the dialog in English ----------------------------------------------------------------------
drv choose "$PATH_ENGLISH" choose "$PATH_CONVERT_EN" title $DIALOG dialog $DIALOG
expect_field "title $DIALOG" "Convert - $TITLE_EN"
expect_field "dialog text currentFormatGroup" "A current format."
for kv in "bitCaption|Bit" "rateCaption|Frequency[Hz]" "channelCaption|Channel" "okButton|OK" "cancelButton|Cancel" \
  "currentFormatLabel|8bit , 22050Hz , mono"; do
  expect_field "dialog text ${kv%%|*}" "${kv#*|}"
done
expect_field "dialog list rateList" "48000|44100|22050|11025|8000|16000|24000|32000"
expect_field "dialog list channelList" "stereo|mono"
screenshot format_dialog_en $DIALOG
drv press $DIALOG cancelButton choose "$PATH_JAPANESE"

# --- the same format keeps the data and marks the sound modified -------------------------------
open_file "$files/mono8.wav"
convert_to 8 22050 mono
read_state
expect_state "same format" caption mono8.wav "text lengthLabel" "1.00 秒" "format checked" "22050Hz 8bit mono"
drv choose "$PATH_NEW_JA" msgbox
expect_field "msgbox text" "mono8.wavは変更されています。保存しますか？"
drv answer cancel
save_as "$files/mono8-same.wav"
expect_eq "same format: the samples as they were" "$(wav_data "$files/mono8-same.wav")" "$(wav_data "$files/mono8.wav")"
expect_eq "same format: canonical header" "$(head44 "$files/mono8-same.wav")" "$(canonical_header 22050 8 1 22051)"

# --- a ratio inexact in binary, after a refused open: the tool's result ------------------------
drv choose "$PATH_OPEN_JA" filedialog "$files/adpcm.wav" msgbox
expect_field "msgbox text" "4bitフォーマットファイルは開けません。"
drv answer ok choose "$PATH_CONVERT_JA" dialog $DIALOG
expect_field "dialog text currentFormatLabel" "8bit , 22050Hz , mono"
choose_targets 16 8000 stereo
drv press $DIALOG okButton
read_state
expect_state "22050 to 8000" caption mono8-same.wav "text lengthLabel" "1.00 秒" "format checked" "8000Hz 16bit stereo"
save_as "$files/mono8-16-8000-2.wav"
"$FX" "$files/mono8.wav" "$files/mono8-16-8000-2-tool.wav" convert 16 8000 2 || fail "the tool failed"
expect_saved_equal "8-bit mono 22050 to 16-bit stereo 8000 equals the tool's" \
  "$files/mono8-16-8000-2.wav" "$files/mono8-16-8000-2-tool.wav"
app_close

# --- direct mode: a temporary file that cannot be made, then the converted sound kept ----------
# start_direct [COMMAND LINE]: the program started on direct.wav (by default the one in its
# folder), its playback stopped.
start_direct() {
  app_start "${1:-direct.wav}"
  local i
  for i in $(seq 20); do
    drv caption
    [ "$(field caption)" == direct.wav ] && break
    sleep 0.25
  done
  drv_try click stopButton || true
}
# A folder where nothing can be written (a read-only bind mount): the temporary file cannot
# be made, and neither the window nor the file changes.
readonly_dir="$E2E_TMP/read-only"
mkdir -p "$readonly_dir"
cp "$files/st16.wav" "$readonly_dir/direct.wav"
if mount --bind "$readonly_dir" "$readonly_dir" 2>/dev/null && mount -o remount,bind,ro "$readonly_dir" 2>/dev/null; then
  start_direct "\"$(win_path "$readonly_dir/direct.wav")\""
  read_state
  before="$STATE"
  convert_to 8 22050 mono
  drv msgbox
  expect_field "msgbox title" "$TITLE_JA"
  expect_field "msgbox text" "ファイルの作成でエラーが発生しました。"
  drv answer ok msgbox
  expect_field "msgbox title" "$TITLE_JA"
  expect_field "msgbox text" "エラーが発生しました。"
  drv answer ok
  read_state
  compare_text "no temporary file: window state" "$STATE" "$before"
  expect_saved_equal "no temporary file: the file as it was" "$readonly_dir/direct.wav" "$files/st16.wav"
  app_close
  umount "$readonly_dir"
else
  mountpoint -q "$readonly_dir" && umount "$readonly_dir"
  pass "skipped: no read-only folder could be made here"
fi

# Something that has the temporary file's name is left alone: the rewrite takes another.
direct="$APP_DIR/direct.wav"
cp "$files/st16.wav" "$direct"
mkdir "$direct.aurecho-tmp"
start_direct

# Converting while playing stops the playback first.
drv click playButton enabled recordButton
expect_field "enabled recordButton" 0
convert_to 8 22050 mono
read_state
expect_state "direct mode converted while playing" caption direct.wav "format checked" "22050Hz 8bit mono" \
  "enabled recordButton" 1 "enabled stopButton" 0
app_close  # asks nothing in direct mode
expect_saved_equal "direct mode: the file holds the converted sound" "$direct" "$files/st16-8-22050-1-reference.wav"
expect_eq "direct mode: no temporary file left" "$(find "$APP_DIR" -maxdepth 1 -type f -name '*aurecho-tmp*' | grep -c .)" 0
[ -d "$direct.aurecho-tmp" ] && pass "the folder that had the temporary file's name is left alone" ||
  fail "the folder that had the temporary file's name is gone"
start_direct
read_state
expect_state "direct mode reopened" caption direct.wav "text lengthLabel" "1.00 秒" "format checked" "22050Hz 8bit mono"
app_close

e2e_finish
