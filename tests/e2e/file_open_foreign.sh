#!/usr/bin/env bash
# The WAV files other programs write open converted to the nearest of the program's
# formats: files made by SoX (24-bit 96 kHz stereo, float mono, six channels, µ-law)
# opened through the dialog; the message naming both formats, the format menu's check,
# the length, the data against the core's tool, and Save going through Save As. A file
# named on the command line opens as a copy and stays as it was; insert takes one too.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
source "$E2E_DIR/file_edit_lib.sh"

require_fx
files="$E2E_TMP/files"
mkdir -p "$files"
sox -n -r 96000 -b 24 -c 2 "$files/hi.wav" synth 1 sine 1000 vol 0.5
sox -n -r 44100 -e floating-point -b 32 -c 1 "$files/float.wav" synth 1.5 sine 440 vol 0.9
sox -n -r 48000 -b 16 -c 6 "$files/six.wav" synth 0.5 sine 300 sine 400 sine 500 sine 60 sine 600 sine 700 vol 0.5
sox -n -r 8000 -e u-law -c 1 "$files/ulaw.wav" synth 2 sine 440 vol 0.5

app_copy
app_start

# opens NAME FROM TO FORMAT LENGTH: opened through the dialog with the message, then the
# format menu's check and the length; Save asks for a name first; the sound saved equals
# the tool's opening of the file.
opens() {
  local name="$1" from="$2" to="$3" format="$4" length="$5"
  drv choose "$PATH_OPEN_JA" filedialog "$files/$name.wav" msgbox
  expect_eq "$name: message" "$(field "msgbox text")" "このファイルは${from}なので、${to}に変換して開きました。"
  drv answer ok
  read_state
  expect_state "$name" caption "$name.wav" "format checked" "$format" "text lengthLabel" "$length"
  # Save never overwrites the better original unasked.
  drv choose "$PATH_SAVE_JA" filedialog-cancel
  expect_eq "$name: Save asks for a name" "$(field filedialog)" cancelled
  save_as "$files/$name-saved.wav"
  "$FX" "$files/$name.wav" "$files/$name-tool.wav" save || fail "$name: the tool failed"
  if cmp -s "$files/$name-saved.wav" "$files/$name-tool.wav"; then pass "$name: saved equals the tool's"
  else fail "$name: saved differs from the tool's: $(cmp "$files/$name-saved.wav" "$files/$name-tool.wav" 2>&1)"; fi
  # Saved under a name of its own, Save writes there without asking.
  drv choose "$PATH_SAVE_JA" nodialog 500
}

opens hi "24bit, 96000Hz, stereo" "16bit, 48000Hz, stereo" "48000Hz 16bit stereo" "1.00 秒"
opens float "32bit float, 44100Hz, mono" "16bit, 44100Hz, mono" "44100Hz 16bit mono" "1.50 秒"
opens six "16bit, 48000Hz, 6ch" "16bit, 48000Hz, stereo" "48000Hz 16bit stereo" "0.50 秒"
opens ulaw "μ-law, 8000Hz, mono" "16bit, 8000Hz, mono" "8000Hz 16bit mono" "2.00 秒"
expect_eq "hi.wav itself unchanged" "$(sox --i -b "$files/hi.wav")" 24

# The message in English.
drv choose "$PATH_ENGLISH_JA" choose "$PATH_OPEN_EN" filedialog "$files/float.wav" msgbox
expect_eq "float: message in English" "$(field "msgbox text")" \
  "This file is 32bit float, 44100Hz, mono; it was opened as 16bit, 44100Hz, mono."
drv answer ok choose "$PATH_JAPANESE_EN"

# Inserting a foreign file brings it to the sound's format as well.
slide_to 100
drv choose "$PATH_INSERT_FILE" filedialog "$files/hi.wav" nodialog 500 text lengthLabel
expect_eq "hi.wav inserted into the float sound: length" "$(field "text lengthLabel")" "2.50 秒"
app_close_asking() {
  drv close msgbox
  drv answer no waitexit 15000
  expect_eq "program ends with exit code 0" "$(field waitexit)" 0
  APP_PID=""
}
app_close_asking

# Named on the command line, a foreign file opens as a copy: edits never reach it.
app_copy -direct
cp "$files/hi.wav" "$APP_DIR/take.wav"
app_start take.wav msgbox
expect_eq "direct: message" "$(field "msgbox text")" \
  "このファイルは24bit, 96000Hz, stereoなので、16bit, 48000Hz, stereoに変換して開きました。"
drv answer ok choose "${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[6]}" nodialog 300
expect_eq "direct: a working copy beside the program" "$(scratch_files | grep -c .)" 1
app_close_asking
expect_eq "direct: the file stays as it was" "$(cmp "$APP_DIR/take.wav" "$files/hi.wav" && echo same)" same
e2e_finish
