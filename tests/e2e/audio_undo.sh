#!/usr/bin/env bash
# Undo and Redo in one run of the program: an effect, Convert, delete after and a
# recording each undone and redone, byte for byte, with the format, the length and the
# position they had; Ctrl+Z and Ctrl+Y; the items grayed when there is nothing to do, in
# both languages; no question at close once undone back to the opened sound; the steps'
# files, and those a crashed run left, gone; with its step files deleted, Undo says so and
# the sound stays as shown.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
source "$E2E_DIR/file_edit_lib.sh"

files="$E2E_TMP/files"
mkdir -p "$files"
wav_make "$files/st16.wav" rate=44100 bits=16 ch=2 bytes=264600 seed=7  # 1.50 s

PATH_UNDO_JA="${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[9]}"
PATH_REDO_JA="${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[10]}"
PATH_UNDO_EN="${MENU_EDIT_EN[0]}/${MENU_EDIT_EN[9]}"
PATH_REDO_EN="${MENU_EDIT_EN[0]}/${MENU_EDIT_EN[10]}"
PATH_REVERSE="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[6]}"
PATH_CONVERT="${MENU_FILE_JA[0]}/${MENU_FILE_JA[5]}/${MENU_FILE_JA[6]}/${MENU_FILE_JA[10]}"
DIALOG=AurechoFormatDialog

# expect_undo_items WHAT UNDO_GRAYED REDO_GRAYED [en]
expect_undo_items() {
  local undo="$PATH_UNDO_JA" redo="$PATH_REDO_JA"
  [ "${4:-}" == en ] && undo="$PATH_UNDO_EN" redo="$PATH_REDO_EN"
  drv grayed "$undo" grayed "$redo"
  expect_eq "$1: undo grayed" "$(field "grayed $undo")" "$2"
  expect_eq "$1: redo grayed" "$(field "grayed $redo")" "$3"
}

# expect_work WHAT FILE: the working file holds what FILE holds.
expect_work() {
  if cmp -s "$(work_file)" "$2"; then pass "$1: working file as it was"
  else fail "$1: working file differs: $(cmp "$(work_file)" "$2" 2>&1 | head -1)"; fi
}

# ctrl_key LETTER ITEM: Ctrl+LETTER typed; handled once the menu item ITEM is no longer grayed.
ctrl_key() {
  drv ctrlkey "$1"
  poll_field 5 "grayed $2" 0 grayed "$2" || fail "Ctrl+$1: $2 still grayed after 5 s"
}

step_files() { (cd "$APP_DIR" && ls aurecho_undo_* 2>/dev/null) || true; }

app_copy
# What a run that crashed left: steps whose run holds no lock.
touch "$APP_DIR/aurecho_undo_99999_3.undo" "$APP_DIR/aurecho_undo_99999.lock"
app_start
expect_eq "steps of an ended run are gone at start" "$(step_files | grep -c 99999)" 0
expect_undo_items "at start" 1 1

open_file "$files/st16.wav"
expect_undo_items "opened" 1 1
cp "$(work_file)" "$files/opened.wav"

echo "=== an effect, undone and redone through the menu and the keys ==="
slide_to 40
drv choose "$PATH_REVERSE" nodialog 300
cp "$(work_file)" "$files/reversed.wav"
cmp -s "$files/opened.wav" "$files/reversed.wav" && fail "reverse changed nothing"
expect_undo_items "reversed" 0 1
expect_eq "a step file beside the program" "$(step_files | grep -c '\.undo$')" 1
drv choose "$PATH_UNDO_JA" nodialog 300 slider
expect_work "undo reverse" "$files/opened.wav"
expect_eq "undo reverse: the slider where it was" "$(field slider)" "0 150 $POSITION"
expect_undo_items "reverse undone" 1 0
ctrl_key Y "$PATH_UNDO_JA"
expect_work "Ctrl+Y" "$files/reversed.wav"
expect_undo_items "Ctrl+Y" 0 1
ctrl_key Z "$PATH_REDO_JA"
expect_work "Ctrl+Z" "$files/opened.wav"
drv choose "$PATH_REDO_JA" nodialog 300
expect_work "redo reverse" "$files/reversed.wav"

echo "=== Convert, undone ==="
drv choose "$PATH_CONVERT"
drv pick $DIALOG bitList 8 pick $DIALOG rateList 22050 pick $DIALOG channelList mono
drv press $DIALOG okButton
read_state
expect_state "converted" "format checked" "22050Hz 8bit mono" "text lengthLabel" "1.50 秒"
drv choose "$PATH_UNDO_JA" nodialog 300
read_state
expect_state "convert undone" "format checked" "44100Hz 16bit stereo" "text lengthLabel" "1.50 秒" \
  "format grayed" 32
expect_work "convert undone" "$files/reversed.wav"
expect_undo_items "convert undone" 0 0

echo "=== delete after, undone: the redo steps are gone ==="
slide_to 50
drv choose "$PATH_DELETE_AFTER" nodialog 300 text lengthLabel
expect_eq "deleted after 0.50 s" "$(field "text lengthLabel")" "0.50 秒"
expect_undo_items "deleted: no redo of the convert" 0 1
drv choose "$PATH_UNDO_JA" nodialog 300 text lengthLabel slider
expect_eq "delete undone: length" "$(field "text lengthLabel")" "1.50 秒"
expect_eq "delete undone: the slider where it was" "$(field slider)" "0 150 $POSITION"
expect_work "delete undone" "$files/reversed.wav"

echo "=== a recording appended, undone and redone ==="
tone_start 20
sleep 1
drv click goToEndButton click recordButton
sleep 1.5
drv click stopButton text lengthLabel
recorded="$(field "text lengthLabel")"
[ "$(hundredths "$(label_number "$recorded")")" -gt 200 ] && pass "recorded: $recorded" || fail "recorded: $recorded"
cp "$(work_file)" "$files/recorded.wav"
expect_undo_items "recorded" 0 1
drv choose "$PATH_UNDO_JA" nodialog 300 text lengthLabel
expect_eq "recording undone: length" "$(field "text lengthLabel")" "1.50 秒"
expect_work "recording undone" "$files/reversed.wav"
drv choose "$PATH_REDO_JA" nodialog 300 text lengthLabel
expect_eq "recording redone: length" "$(field "text lengthLabel")" "$recorded"
expect_work "recording redone" "$files/recorded.wav"

echo "=== a recording over the middle, past the end, undone ==="
slide_to 200
drv click recordButton
sleep 2
drv click stopButton text lengthLabel
tone_stop
over="$(field "text lengthLabel")"
[ "$(hundredths "$(label_number "$over")")" -gt "$(hundredths "$(label_number "$recorded")")" ] &&
  pass "recorded over and past the end: $over" || fail "recorded over: $over after $recorded"
drv choose "$PATH_UNDO_JA" nodialog 300 text lengthLabel slider
expect_eq "overwrite undone: length" "$(field "text lengthLabel")" "$recorded"
expect_eq "overwrite undone: the slider where it was" "$(field slider | cut -d' ' -f3)" "$POSITION"
expect_work "overwrite undone" "$files/recorded.wav"

# Undo while recording stops first, then undoes what was recorded.
drv click recordButton enabled stopButton
expect_field "enabled stopButton" 1
sleep 1
drv choose "$PATH_UNDO_JA" nodialog 300
poll_field 5 "enabled stopButton" 0 enabled stopButton || fail "undo while recording: still recording"
tone_stop
expect_work "undo while recording" "$files/recorded.wav"

echo "=== in English, back to the opened sound ==="
drv choose "$PATH_ENGLISH_JA"
expect_undo_items "English" 0 0 en
drv choose "$PATH_UNDO_EN" nodialog 300 choose "$PATH_UNDO_EN" nodialog 300
expect_work "back to the opened sound" "$files/opened.wav"
expect_undo_items "English, nothing to undo" 1 0 en
# The opened sound needs no saving: closing asks nothing.
app_close
expect_eq "no step files after exit" "$(step_files)" ""
expect_eq "no working file after exit" "$(scratch_files)" ""

echo "=== direct mode: the user's own file comes back as it was ==="
app_copy -direct
wav_make "$APP_DIR/take.wav" rate=44100 bits=16 ch=2 bytes=88200 list=1 seed=11
cp "$APP_DIR/take.wav" "$files/take.orig"
app_start take.wav
drv choose "$PATH_REVERSE" nodialog 300
cmp -s "$APP_DIR/take.wav" "$files/take.orig" && fail "direct mode: reverse changed nothing"
drv choose "$PATH_UNDO_JA" nodialog 300
if cmp -s "$APP_DIR/take.wav" "$files/take.orig"; then pass "direct mode: undo brings the file back byte for byte"
else fail "direct mode: the file differs after undo"; fi

echo "=== direct mode: Undo with its step files gone says so, and the user's file stays ==="
drv choose "$PATH_REVERSE" nodialog 300
cp "$APP_DIR/take.wav" "$files/take.reversed"
rm -f "$APP_DIR"/aurecho_undo_*.undo
drv choose "$PATH_UNDO_JA" msgbox
expect_eq "steps gone: the message" "$(field "msgbox text")" "元に戻せませんでした。"
drv answer ok nodialog 300
expect_eq "steps gone: the file as shown" "$(cmp "$APP_DIR/take.wav" "$files/take.reversed" && echo same)" same
expect_undo_items "steps gone: nothing to undo" 1 1
save_as "$files/saved.wav"
expect_eq "steps gone: Save As writes the sound shown" \
  "$(cmp <(tail -c +45 "$files/saved.wav") <(tail -c +45 "$files/take.reversed") && echo same)" same
# The program goes on: a new change is undone as ever.
drv choose "$PATH_REVERSE" nodialog 300
drv choose "$PATH_UNDO_JA" nodialog 300
expect_eq "steps gone: the next undo works" "$(cmp "$APP_DIR/take.wav" "$files/take.reversed" && echo same)" same
app_close
expect_eq "direct mode: the file stays after exit" "$(cmp "$APP_DIR/take.wav" "$files/take.reversed" && echo same)" same
expect_eq "direct mode: no step files after exit" "$(step_files)" ""
e2e_finish
