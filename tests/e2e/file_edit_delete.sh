#!/usr/bin/env bash
# Deleting before and after the position on the real program: the items' grayed state,
# the kept sound, its length display, and Save writing the shortened sound to the file it
# came from; at the start, at the end, and on a file edited in place (direct mode).
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
source "$E2E_DIR/file_edit_lib.sh"

f="$E2E_TMP/files"
mkdir -p "$f"
wav_make "$f/five.wav" rate=44100 bits=16 ch=2 bytes=882000 seed=11   # 5.00 s
wav_make "$f/short.wav" rate=11025 bits=16 ch=1 bytes=600 seed=12     # 0.027 s: Max 2
PATH_SAVE="$PATH_SAVE_JA"

# delete_case NAME SOUND POSITION OP LENGTH SLIDER: a copy of SOUND opened, the delete at
# the position, then Save onto that copy; its data must be the reference.
delete_case() {
  local name="$1" sound="$2" position="$3" op="$4" length="$5" slider="$6"
  cp "$f/$sound.wav" "$f/$name.wav"
  open_file "$f/$name.wav"
  slide_to "$position"
  local path="$PATH_DELETE_BEFORE"
  [ "$op" = delete-after ] && path="$PATH_DELETE_AFTER"
  drv choose "$path" nodialog 300 caption text positionLabel text lengthLabel slider enabled playButton
  expect_eq "$name: caption" "$(field caption)" "$name.wav"
  expect_eq "$name: position" "$(field "text positionLabel")" "0.00 秒"
  expect_eq "$name: length" "$(field "text lengthLabel")" "$length"
  expect_eq "$name: slider" "$(field slider)" "$slider"
  expect_eq "$name: still a sound" "$(field "enabled playButton")" 1
  drv choose "$PATH_SAVE" nodialog 300 caption
  expect_eq "$name: saved under its name" "$(field caption)" "$name.wav"
  edit_refs edit "$op" "$f/$sound.wav" "$POSITION" "$f/$name.ref"
  expect_saved_data "$name: the file it came from" "$f/$name.wav" "$f/$name.ref"
}

app_copy
app_start

# --- grayed until the slider moves, and again after New ----------------------------------
drv grayed "$PATH_DELETE_BEFORE" grayed "$PATH_DELETE_AFTER"
expect_field "grayed $PATH_DELETE_BEFORE" 1
expect_field "grayed $PATH_DELETE_AFTER" 1

# --- 5.00 s of 16-bit stereo, position 200; then the start and the end ------------------
delete_case before-200 five 200 delete-before "3.00 秒" "0 300 0"
delete_case after-200 five 200 delete-after "2.00 秒" "0 200 0"
delete_case before-0 five 0 delete-before "5.00 秒" "0 500 0"
delete_case after-0 five 0 delete-after "0.00 秒" "0 0 0"
delete_case after-end five 500 delete-after "5.00 秒" "0 500 0"
delete_case before-end five 500 delete-before "0.00 秒" "0 0 0"
# 16-bit mono at 11025 Hz, 600 bytes, Max 2: position 2 is byte 441, so the sound from the
# frame at 440 to its real end stays: 160 bytes.
delete_case before-short-end short 2 delete-before "0.01 秒" "0 0 0"

drv choose "$PATH_NEW_JA" nodialog 300 grayed "$PATH_DELETE_BEFORE" grayed "$PATH_DELETE_AFTER"
expect_field "grayed $PATH_DELETE_BEFORE" 1
expect_field "grayed $PATH_DELETE_AFTER" 1
app_close

# --- direct mode: the file named on the command line is the working file ----------------
cp "$f/five.wav" "$f/direct.wav"
app_start "$(win_path "$f/direct.wav")"
# The start opens the file and plays it; stop it once it plays.
for _ in $(seq 50); do
  drv enabled stopButton
  [ "$(field "enabled stopButton")" = 1 ] && break
  sleep 0.2
done
drv click stopButton
slide_to 100
drv choose "$PATH_DELETE_AFTER" nodialog 300 text lengthLabel
expect_field "text lengthLabel" "1.00 秒"
app_close  # direct mode asks nothing and keeps the file
edit_refs edit delete-after "$f/five.wav" "$POSITION" "$f/direct.ref"
expect_saved_data "direct mode: the file itself" "$f/direct.wav" "$f/direct.ref"

e2e_finish
