#!/usr/bin/env bash
# The program's folder on a small disk: a recording that fills it stops with the write
# failure message, and the working file holds what was written under a header that says
# so; saving over a file on the full disk says the disk is full and keeps that file.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

DISK=""
unmount_disk() { [ -n "$DISK" ] && mountpoint -q "$DISK" && umount -l "$DISK"; DISK=""; }
trap 'audio_cleanup; unmount_disk; e2e_cleanup' EXIT

monitor_keep || e2e_finish
DISK="$E2E_TMP/disk"
mkdir -p "$DISK"
if ! mount -t tmpfs -o size=3m tmpfs "$DISK" 2>"$E2E_TMP/mount.err"; then
  echo "cannot mount a small disk here: $(cat "$E2E_TMP/mount.err")"
  DISK=""
  pass "skipped: no small disk could be mounted"
  e2e_finish
fi
APP_DIR="$DISK"
cp "$AURECHO_EXE" "$APP_DIR/Aurecho32.exe"
APP_COPY="$APP_DIR/Aurecho32.exe"
printf 'the previous version' >"$APP_DIR/keep.wav"

tone_start 40 440
sleep 1
app_start
drv click recordButton
poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "recording did not start"
if drv_try msgbox 30000; then
  expect_field "msgbox text" "ファイルの作成でエラーが発生しました。"
  drv answer ok
else
  fail "no message within 30 s of recording onto a disk that fills"
fi
tone_stop
expect_buttons "stopped when the disk filled" 1 1 1 0 1
work="$(ls "$APP_DIR"/aurecho_*.wav)"
size="$(stat -c %s "$work")"
declared="$(python3 -c 'import struct,sys; print(struct.unpack("<I", open(sys.argv[1],"rb").read(44)[40:44])[0])' "$work")"
if [ "$declared" -gt 0 ] && [ $((size - 44 - declared)) -ge 0 ] && [ $((size - 44 - declared)) -lt 4 ]; then
  pass "the working file's header declares the $declared bytes it holds"
else
  fail "the working file holds $((size - 44)) bytes and declares $declared"
fi

drv choose "$PATH_SAVEAS_JA" filedialog "$APP_DIR/keep.wav"
drv msgbox answer yes  # it exists: replace it?
drv msgbox
expect_field "msgbox text" "ディスクの空き容量が足りません。"
drv answer ok
expect_eq "the file saved over is as it was" "$(cat "$APP_DIR/keep.wav")" "the previous version"
drv close msgbox
drv answer no waitexit
expect_field waitexit 0
APP_PID=""
expect_eq "nothing is left on the disk but the program and its settings" \
  "$(cd "$APP_DIR" && ls | grep -v -x -e Aurecho32.exe -e Aurecho32.dat -e keep.wav || true)" ""
unmount_disk

e2e_finish
