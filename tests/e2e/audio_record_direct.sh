#!/usr/bin/env bash
# Recording straight into a missing file named on the command line: the program records
# from its start, closing asks nothing and keeps the file, and the file is a clean
# canonical WAV in the format named, holding the tone that was playing, without dropouts.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"

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

monitor_keep || e2e_finish
record_case stereo16 "16,44100,2"
record_case mono8 "8,22050,1"

e2e_finish
