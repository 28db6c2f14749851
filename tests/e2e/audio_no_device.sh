#!/usr/bin/env bash
# Without a sound server the program has no wave device: pressing record shows the
# input-device message and leaves every button disabled; a file named on the command line
# opens, its playback fails with the output-device message and the buttons show a stopped
# sound. Both messages in Japanese and in English.
source "$(dirname "$0")/lib.sh"

# The program inherits the driver's environment: a server address that leads nowhere
# leaves Wine's sound drivers without devices, even inside a rig that has sound.
export PULSE_SERVER="unix:$E2E_TMP/no-such-server"

# record_fails LANG TITLE TEXT: presses record in the running program.
record_fails() {
  expect_buttons "$1: at start" 0 0 0 0 1
  drv click recordButton msgbox
  expect_field "msgbox title" "$2"
  expect_field "msgbox text" "$3"
  drv answer ok
  expect_buttons "$1: after the failed recording" 0 0 0 0 0
  drv caption
  expect_field caption "$2"
}

# play_fails LANG TITLE TEXT: starts the copy with tone.wav beside it.
play_fails() {
  sox -n -r 44100 -c 2 -b 16 "$APP_DIR/tone.wav" synth 3 sine 440 vol 0.5
  cp "$APP_DIR/tone.wav" "$E2E_TMP/tone-before.wav"
  app_start "tone.wav"
  drv msgbox
  expect_field "msgbox title" "$2"
  expect_field "msgbox text" "$3"
  drv answer ok
  expect_buttons "$1: after the failed playback" 1 1 1 0 1
  drv caption slider text lengthLabel
  expect_field caption "tone.wav"
  expect_field "text lengthLabel" "$4"
  read -r _ max _ <<<"$(field slider)"
  expect_eq "$1: slider max of the opened sound" "$max" 300
  app_close
  cmp -s "$APP_DIR/tone.wav" "$E2E_TMP/tone-before.wav" &&
    pass "$1: tone.wav unchanged" || fail "$1: tone.wav changed"
}

echo "=== record, Japanese ==="
app_copy -ja
app_start
record_fails ja "$TITLE_JA" "録音デバイスが開けません。"
drv choose "ヘルプ(&H)/言語(&L)/英語(&E)" caption
expect_field caption "$TITLE_EN"
app_close

echo "=== record, English (the language kept in the settings file) ==="
app_start
record_fails en "$TITLE_EN" "The input device doesn't open it."
app_close
expect_eq "no working file left" "$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null)" ""

echo "=== play, English ==="
play_fails en "$TITLE_EN" "The output device doesn't open it." "3.00 sec"

echo "=== play, Japanese ==="
app_copy -ja-play
play_fails ja "$TITLE_JA" "再生デバイスが開けません。" "3.00 秒"

e2e_finish
