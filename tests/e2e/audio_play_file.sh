#!/usr/bin/env bash
# A file named on the command line opens and plays at once, to its last byte: the sound
# heard on the sink's monitor is the whole 3-second tone without dropouts, and at the end
# the slider sits at its maximum with the position showing the length.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"

app_copy
make_tone "$APP_DIR/tone.wav" 3 440
cp "$APP_DIR/tone.wav" "$E2E_TMP/tone-before.wav"

# Listen first: the capture must already flow when the program starts playing.
capture_start || e2e_finish
t0=$SECONDS
app_start "tone.wav"
# The program opens the device after its window shows; the buttons change once it is open.
poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "stop button not enabled within 5 s of the start"
expect_buttons "playing" - - 0 1 0
drv caption
expect_field caption "tone.wav"

if poll_field 10 "enabled playButton" 1 enabled playButton; then
  pass "playback ended by itself after about $((SECONDS - t0)) s"
else
  fail "playback still running 10 s after the start"
fi
# The monitor lags the device a little: let the tail arrive.
sleep 0.5
capture_stop "$E2E_TMP/heard.wav"

expect_buttons "after playback" 1 1 1 0 1
drv slider text positionLabel text lengthLabel
read -r _ max pos <<<"$(field slider)"
expect_eq "slider max" "$max" 300
expect_eq "slider at its maximum" "$pos" "$max"
expect_field "text positionLabel" "3.00 秒"
expect_field "text lengthLabel" "3.00 秒"

# The whole tone is heard: 3 s within 50 ms, 440 Hz, no dropout inside it (the silence
# before and after the playback is the capture's own).
wavcheck_expect "heard: the whole 3-second tone, no gap inside" "$E2E_TMP/heard.wav" \
  --expect-sound-duration 3.0 --duration-tolerance 0.05 \
  --expect-freq 440 --freq-tolerance 3 --max-inner-gap-ms 10

app_close
cmp -s "$APP_DIR/tone.wav" "$E2E_TMP/tone-before.wav" &&
  pass "tone.wav unchanged by playing and closing" || fail "tone.wav changed"

e2e_finish
