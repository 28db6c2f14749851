#!/usr/bin/env bash
# Recording straight into a missing file named on the command line: the program records
# from its start, closing asks nothing and keeps the file, and the file is a clean
# canonical WAV in the format named, holding the tone that was playing, without dropouts.
# A named file that opening refuses is never recorded into.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

# record_case NAME FORMAT(BITS,RATE,CH): records ~3 s of a 440 Hz tone into new.wav.
record_case() {
  local name="$1" format="$2"
  echo "=== $name: new.wav \"$format\" ==="
  app_copy "-$name"
  tone_start 20
  # The tone must already be heard when the recording starts with the program.
  sleep 1
  local t0=$SECONDS
  app_start "new.wav \"$format\""
  # The program opens the device after its window shows; the buttons change once it is open.
  poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "$name: stop button not enabled within 5 s"
  expect_buttons "$name: recording" 1 - 0 1 0
  sleep 2
  # Direct mode: closing asks nothing, so the program ends on its own.
  drv_try nodialog 300 || fail "$name: a dialog showed while recording: $DRV_ERR"
  app_close
  echo "$name: started, recorded and closed in $((SECONDS - t0)) s"
  tone_stop

  local wav="$APP_DIR/new.wav"
  if [ ! -f "$wav" ]; then
    fail "$name: new.wav was not kept"
    return
  fi
  pass "$name: new.wav kept after close"
  expect_eq "$name: no other working file beside the program" \
    "$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null)" ""
  # The tone plays during the whole recording, so after the first 100 ms nothing may
  # fall silent for longer than 10 ms (a lost buffer would).
  wavcheck_expect "$name: header, sizes, format, 440 Hz, no gap, about 3 s" "$wav" \
    --expect-canonical --expect-sizes --expect-format "$format" \
    --expect-freq 440 --freq-tolerance 3 --max-gap-ms 10 --skip-ms 100 \
    --expect-sound-duration 3 --duration-tolerance 1 --min-duration 2
  local duration; duration="$(wc_field duration)"
  if awk -v d="$duration" 'BEGIN { exit !(d >= 2 && d <= 4) }'; then
    pass "$name: data lasts $duration s (2..4)"
  else
    fail "$name: data lasts $duration s, expected 2..4"
  fi
}

# A file named on the command line that opening refuses stays the user's: after the
# refusal the program records as if started without a file, and asks to save at close.
refused_case() {
  echo "=== refused: bits12.wav ==="
  app_copy -refused
  wav_make "$APP_DIR/bits12.wav" bits=12 ch=1 bytes=882
  cp "$APP_DIR/bits12.wav" "$E2E_TMP/bits12.orig"
  tone_start 20
  app_start bits12.wav
  if drv_try msgbox 5000; then drv answer ok; else fail "refused: no message about the file"; fi
  drv click recordButton
  poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "refused: recording did not start"
  sleep 1
  drv click stopButton close msgbox
  expect_field "msgbox text" "Aurecho - ちいさな録音と波形編集は変更されています。保存しますか？"
  drv answer no waitexit
  expect_field waitexit 0
  APP_PID=""
  tone_stop
  cmp -s "$APP_DIR/bits12.wav" "$E2E_TMP/bits12.orig" && pass "refused: the named file is as it was" ||
    fail "refused: the named file was changed"
  expect_eq "refused: no working file left" "$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null)" ""
}

monitor_keep || e2e_finish
record_case stereo16 "16,44100,2"
record_case mono8 "8,22050,1"
refused_case

e2e_finish
