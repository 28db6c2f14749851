#!/usr/bin/env bash
# Pressing the slider during playback stops it; letting go plays on from where the thumb
# was left.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"

app_copy
make_tone "$APP_DIR/tone.wav" 10 440
app_start "tone.wav"
poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "playback did not start within 5 s"
sleep 1

drv pressslider
expect_buttons "pressed during playback: stopped" 1 1 1 0 1

drv releaseslider 500
poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "playback did not resume on release"
expect_buttons "released: playing again" - - 0 1 0
drv slider text positionLabel
read -r _ max pos <<<"$(field slider)"
expect_eq "slider max" "$max" 1000
# Playback shows where its queued buffers reach, so the slider is at or past the release.
[ "$pos" -ge 500 ] && pass "playing from the release point on (slider $pos)" ||
  fail "slider at $pos after a release at 500"
shown="$(field "text positionLabel")"
awk -v s="${shown%% *}" 'BEGIN { exit !(s >= 5.0 && s < 7.0) }' &&
  pass "position label after the release: $shown" || fail "position label after the release: $shown"

drv click stopButton
expect_buttons "stopped" 1 1 1 0 1
app_close
e2e_finish
