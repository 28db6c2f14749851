#!/usr/bin/env bash
# A file named on the command line is edited in place. Opening changes no file, whatever
# its layout; one with another layout than the plain 44-byte header is rewritten that way
# (same samples) when the sound first changes. Closing asks nothing and keeps the file.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

# wait_caption TEXT: the program opens the file while starting; give it a moment.
wait_caption() {
  local i
  for i in $(seq 20); do
    drv caption
    [ "$(field caption)" == "$1" ] && break
    sleep 0.25
  done
  expect_eq "caption is the file name" "$(field caption)" "$1"
}

# close_quietly WHAT: closing asks nothing and the program ends with code 0.
close_quietly() {
  if drv_try close waitexit 8000; then
    expect_eq "$1: closes without a question, exit code 0" "$(field waitexit)" 0
  else
    fail "$1: the program did not end after close: $DRV_ERR"
    drv_try msgbox 100 && echo "$DRV_OUT" >&2
  fi
  APP_PID=""
}

# direct_case NAME FILE LENGTH [COMMAND LINE]: FILE (made in the program's folder) opened
# from the command line and played, then closed; SHOT names a screenshot to take.
direct_case() {
  local name="$1" file="$2" length="$3"
  local cmdline="${4:-$file}"
  echo "--- $name ---"
  local take="$APP_DIR/$file"
  local before; before="$(sha256sum <"$take")"
  app_start "$cmdline"
  wait_caption "$file"
  drv text lengthLabel slider enabled goToStartButton
  expect_eq "$name: length" "$(field "text lengthLabel")" "$length"
  expect_eq "$name: opening and playing change no byte" "$(sha256sum <"$take")" "$before"
  [ -n "${SHOT:-}" ] && screenshot "$SHOT"
  close_quietly "$name"
  expect_eq "$name: file kept as it was" "$(sha256sum <"$take" 2>/dev/null)" "$before"
  expect_eq "$name: nothing else left beside the program" \
    "$(cd "$APP_DIR" && ls | grep -v -x -e Aurecho32.exe -e Aurecho32.dat -e "$file" || true)" ""
}

# A LIST chunk between fmt and data.
app_copy -list
wav_make "$APP_DIR/take.wav" rate=44100 bits=16 ch=2 bytes=176400 list=1
SHOT=direct-opened direct_case "LIST chunk" take.wav "1.00 秒"

# An 18-byte fmt chunk (with its cbSize) and a fact chunk, 8-bit mono.
app_copy -fmt18
wav_make "$APP_DIR/take.wav" rate=8000 bits=8 ch=1 bytes=4000 fmtsize=18 fact=1 seed=6
direct_case "18-byte fmt" take.wav "0.50 秒"

# A canonical file: left byte for byte.
app_copy -plain
wav_make "$APP_DIR/take.wav" rate=22050 bits=16 ch=1 bytes=22050 seed=9
direct_case "canonical" take.wav "0.50 秒"

# A quoted full path with blanks, as Windows passes a file opened with the program.
app_copy -quoted
wav_make "$APP_DIR/my take.wav" rate=16000 bits=16 ch=2 bytes=32000 list=1 seed=10
direct_case "quoted path with blanks" "my take.wav" "0.50 秒" \
  "\"$(win_path "$APP_DIR/my take.wav")\""

# Changed in direct mode (a recording appended after playback): closing still asks
# nothing, and the file, laid out with a LIST chunk before, is now canonical and holds the
# old samples followed by the recording.
echo "--- recorded in direct mode ---"
app_copy -record
wav_make "$APP_DIR/take.wav" rate=44100 bits=16 ch=2 bytes=88200 list=1 seed=11
python3 - "$APP_DIR/take.wav" "$E2E_TMP/take.raw" <<'PY'
import struct, sys
b, at = open(sys.argv[1], 'rb').read(), 12
while b[at:at + 4] != b'data':
    at += 8 + struct.unpack('<I', b[at + 4:at + 8])[0]
open(sys.argv[2], 'wb').write(b[at + 8:at + 8 + 88200])
PY
app_start take.wav
wait_caption take.wav
for _ in $(seq 20); do  # the start plays the file; recording waits for its end
  drv enabled recordButton
  [ "$(field "enabled recordButton")" == 1 ] && break
  sleep 0.25
done
drv click recordButton sleep 2000 click stopButton sleep 500 text lengthLabel
echo "recorded: lengthLabel $(field "text lengthLabel")"
close_quietly "recorded in direct mode"
take="$APP_DIR/take.wav"
wavcheck_ok "recorded in direct mode: canonical, sizes right" "$take" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2
if [ "$(stat -c %s "$take")" -gt $((44 + 88200)) ]; then pass "recorded in direct mode: file grew ($(stat -c %s "$take") bytes)"
else fail "recorded in direct mode: file did not grow ($(stat -c %s "$take") bytes)"; fi
if cmp -s -i 44:0 -n 88200 "$take" "$E2E_TMP/take.raw"; then
  pass "recorded in direct mode: the old samples come first"
else
  fail "recorded in direct mode: the old samples changed"
fi

e2e_finish
