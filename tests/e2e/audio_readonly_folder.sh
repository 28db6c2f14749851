#!/usr/bin/env bash
# The program's folder read-only, as Program Files or a share is for most users: it records
# with no message, the recording saves elsewhere, English holds across a restart, and the
# program's folder holds nothing new; the working file and the settings went to the
# per-user folder.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

files="$E2E_TMP/files"
mkdir -p "$files"
app_copy
# The per-user folder of the prefix's user, as the program finds it; emptied around the test.
user_dirs() { find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -name Aurecho 2>/dev/null; }
user_dirs | while read -r d; do rm -rf "$d"; done

if ! { mount --bind "$APP_DIR" "$APP_DIR" 2>/dev/null && mount -o remount,bind,ro "$APP_DIR" 2>/dev/null; }; then
  mountpoint -q "$APP_DIR" && umount "$APP_DIR"
  pass "skipped: no read-only folder could be made here"
  e2e_finish
  exit 0
fi
unmount_app() { mountpoint -q "$APP_DIR" && umount "$APP_DIR"; }
trap 'unmount_app; audio_cleanup; e2e_cleanup' EXIT
before="$(ls -A "$APP_DIR")"

app_start
tone_start 20
sleep 1
drv click recordButton
sleep 1.5
drv_try nodialog 300 || fail "a message while recording: $DRV_ERR"
drv click stopButton text lengthLabel
tone_stop
recorded="$(field "text lengthLabel")"
[ "$(hundredths "$(label_number "$recorded")")" -ge 100 ] && pass "recorded $recorded" || fail "recorded $recorded"
save_as "$files/take.wav"
wavcheck_says "the recording saved elsewhere" "$files/take.wav" format=PCM channels=2 rate=44100 canonical=1
drv choose "$PATH_ENGLISH_JA"
app_close

app_start
drv caption
expect_eq "English after a restart" "$(field caption)" "$TITLE_EN"
app_close

expect_eq "the program's folder holds nothing new" "$(ls -A "$APP_DIR")" "$before"
user="$(user_dirs | head -1)"
expect_eq "the settings in the per-user folder" "$(cd "$user" 2>/dev/null && ls Aurecho32.dat)" Aurecho32.dat
expect_eq "no working file left there" "$(cd "$user" 2>/dev/null && ls aurecho_* 2>/dev/null)" ""
unmount_app
user_dirs | while read -r d; do rm -rf "$d"; done
e2e_finish
