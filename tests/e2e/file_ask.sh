#!/usr/bin/env bash
# Unsaved changes: New, Open and Exit ask first (Yes/No/Cancel, in the current language).
# Cancel, and Yes with the save dialog cancelled, keep everything; No goes on; Yes with
# a name saves the recording and then goes on.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

files="$E2E_TMP/files"
mkdir -p "$files"

# A short recording from the sound server's null sink: enough to be an unsaved change.
# The pause after stopping lets the last buffers come back before the state is read.
record() {
  drv click recordButton sleep 1200 click stopButton sleep 1000
}

# expect_question WHAT TITLE TEXT: the last driver output shows that message box.
expect_question() {
  expect_eq "$1: question title" "$(field "msgbox title")" "$2"
  expect_eq "$1: question text" "$(field "msgbox text")" "$3"
}

# The sound and its scratch file are still there as after the recording. (The file's
# bytes are not compared: the program may still flush buffered samples into it.)
expect_kept() {
  read_state
  compare_text "$1: sound kept" "$STATE" "$recorded"
  expect_eq "$1: scratch file kept" "$(scratch_files)" "$scratch"
}

app_copy
app_start
record
read_state
recorded="$STATE"
expect_eq "caption after recording" "$(state_value caption)" "$TITLE_JA"
echo "recorded: lengthLabel $(state_value "text lengthLabel")"
scratch="$(scratch_files)"
[ -n "$scratch" ] && pass "scratch file $scratch" || fail "no scratch file after recording"
question_ja="${TITLE_JA}は変更されています。保存しますか？"

# Cancel: nothing changes.
drv choose "$PATH_NEW_JA" msgbox
expect_question "New" "$TITLE_JA" "$question_ja"
drv answer cancel nodialog 300
expect_kept "New, Cancel"

# Asked again; Yes opens the save dialog, and cancelling it stops New.
drv choose "$PATH_NEW_JA" msgbox
expect_question "New again" "$TITLE_JA" "$question_ja"
drv answer yes filedialog-cancel nodialog 300
expect_kept "New, Yes, save dialog cancelled"
expect_eq "nothing saved" "$(ls "$files")" ""

# Open asks the same question; Cancel shows no open dialog.
drv choose "$PATH_OPEN_JA" msgbox
expect_question "Open" "$TITLE_JA" "$question_ja"
drv answer cancel nodialog 500
expect_kept "Open, Cancel"

# Exit asks too; Cancel keeps the program running.
drv choose "$PATH_EXIT_JA" msgbox
expect_question "Exit" "$TITLE_JA" "$question_ja"
drv answer cancel nodialog 300
expect_kept "Exit, Cancel"

# In English the question is the English one, after the caption.
drv choose "$PATH_ENGLISH_JA" caption
caption_en="$(field caption)"
expect_eq "caption in English" "$caption_en" "$TITLE_EN"
drv choose "$PATH_NEW_EN" msgbox
expect_question "New (English)" "$TITLE_EN" "$caption_en is changing. Do you save it?"
drv answer cancel nodialog 300 text lengthLabel
case "$(field "text lengthLabel")" in
  *" sec") pass "English, Cancel: length still shown: $(field "text lengthLabel")" ;;
  *) fail "English, Cancel: lengthLabel [$(field "text lengthLabel")]" ;;
esac

# No: New goes on without saving.
drv choose "$PATH_NEW_EN" msgbox answer no nodialog 300
expect_empty_document "New, No (English)" "$TITLE_EN" "0.00 sec"
expect_eq "New, No: scratch file gone" "$(scratch_files)" ""
expect_eq "New, No: nothing saved" "$(ls "$files")" ""
drv choose "$PATH_NEW_EN" nodialog 500
pass "New on an unchanged document asks nothing"

# Yes with a name: the recording is saved, then New goes on.
drv choose "$PATH_JAPANESE_EN"
record
scratch="$(scratch_files)"
tail -c +45 "$APP_DIR/$scratch" >"$E2E_TMP/recorded.raw"
drv choose "$PATH_NEW_JA" msgbox
expect_question "New after a second recording" "$TITLE_JA" "$question_ja"
drv answer yes filedialog "$files/saved.wav"
expect_eq "save dialog took saved.wav" "$(field filedialog)" closed
expect_empty_document "New, Yes, saved" "$TITLE_JA"
wavcheck_ok "saved.wav canonical, sizes right, 16,44100,2" "$files/saved.wav" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2
# What had reached the disk before New is where the saved data starts (more may have
# been buffered then).
on_disk=$(stat -c %s "$E2E_TMP/recorded.raw")
saved_data=$(($(stat -c %s "$files/saved.wav") - 44))
if [ "$saved_data" -ge "$on_disk" ] && cmp -s -i 44:0 -n "$on_disk" "$files/saved.wav" "$E2E_TMP/recorded.raw"; then
  pass "saved.wav holds the recording ($saved_data data bytes, $on_disk of them on disk before)"
else
  fail "saved.wav ($saved_data data bytes) does not start with the $on_disk bytes recorded before"
fi

# Exit with changes, answered No: the program ends and the scratch file goes.
record
drv choose "$PATH_EXIT_JA" msgbox
expect_question "Exit after a third recording" "$TITLE_JA" "$question_ja"
drv answer no
if drv_try waitexit 10000; then
  expect_eq "Exit, No: the program ends with code 0" "$(field waitexit)" 0
else
  fail "Exit, No: the program did not end: $DRV_ERR"
fi
APP_PID=""
expect_eq "Exit, No: scratch file gone" "$(scratch_files)" ""
expect_eq "Exit, No: nothing more saved" "$(ls "$files")" "saved.wav"

e2e_finish
