#!/usr/bin/env bash
# A program killed while it records leaves its working file; the next start offers the
# sound back. Yes opens it as an unsaved sound holding what was recorded; No deletes it.
# Leftover temporary files of rewrites are deleted at start either way.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

QUESTION="前回正常に終了しなかったときの音が残っています。開きますか？"

# record_then_kill: records about 2.5 s of the tone and kills the program mid-recording.
record_then_kill() {
  app_start
  drv click recordButton
  poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "recording did not start"
  sleep 2.5
  drv kill
  APP_PID=""
}

monitor_keep || e2e_finish
app_copy
tone_start 30 440
sleep 1

record_then_kill
left="$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null)"
expect_eq "killed while recording: one working file left" "$(printf '%s\n' "$left" | grep -c .)" 1
touch "$APP_DIR/$left.aurecho-tmp"

app_start
if drv_try msgbox 5000; then
  expect_field "msgbox text" "$QUESTION"
  drv answer yes
else
  fail "no offer of the sound left by the killed program"
fi
expect_eq "the leftover temporary file is deleted" "$(cd "$APP_DIR" && ls | grep -c aurecho-tmp)" 0
drv text lengthLabel caption
seconds="$(label_number "$(field "text lengthLabel")")"
awk -v s="$seconds" 'BEGIN { exit !(s >= 1.5 && s <= 4) }' &&
  pass "recovered: $seconds s of sound" || fail "recovered: $seconds s, expected about 2.5"
expect_buttons "recovered" 1 1 1 0 1
# An unsaved sound: Save As keeps it, and the file holds the tone.
drv choose "$PATH_SAVEAS_JA" filedialog "$E2E_TMP/recovered.wav"
wavcheck_expect "recovered and saved: the tone recorded before the kill" "$E2E_TMP/recovered.wav" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2 --expect-freq 440 --freq-tolerance 3
app_close
expect_eq "closed normally: no working file left" "$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null)" ""

record_then_kill
app_start
if drv_try msgbox 5000; then
  drv answer no
else
  fail "no offer of the sound left by the second killed program"
fi
expect_eq "declined: the working file is deleted" "$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null)" ""
drv text lengthLabel
expect_field "text lengthLabel" "0.00 秒"
app_close
tone_stop

e2e_finish
