#!/usr/bin/env bash
# The transport buttons in scratch mode: record, stop, play, stop in the middle, go to
# start and go to end, with the buttons' enabled states, the slider and the two time
# labels at each step; closing asks to save, and "no" removes the working file.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"

app_copy
monitor_keep || e2e_finish
tone_start 30
sleep 1
app_start
expect_buttons "at start" 0 0 0 0 1

# ---- record ----
drv click recordButton
t_rec=$(date +%s.%N)
expect_buttons "recording" 1 0 0 1 0
work="$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null)"
case "$work" in
  aurecho_????????_??????.wav) pass "working file $work beside the program" ;;
  *) fail "working file: [$work]" ;;
esac
screenshot recording

# While recording the slider counts whole seconds within the current minute.
saw_second=0
for _ in 1 2 3 4 5 6; do
  drv slider text positionLabel text lengthLabel
  read -r _ max pos <<<"$(field slider)"
  elapsed="$(awk -v a="$(date +%s.%N)" -v b="$t_rec" 'BEGIN { printf "%.2f", a - b }')"
  echo "recording ${elapsed}s: slider max $max pos $pos," \
    "positionLabel [$(field "text positionLabel")], lengthLabel [$(field "text lengthLabel")]"
  [ "$max" == 6000 ] || fail "slider max while recording: $max, expected 6000"
  [ $((pos % 100)) -eq 0 ] || fail "slider position while recording not whole seconds: $pos"
  [ "$pos" -ge 100 ] && saw_second=1
  # positionLabel was read after the slider, so it may be a tick further on.
  ahead=$(( $(hundredths "$(label_number "$(field "text positionLabel")")") / 100 - pos / 100 ))
  [ $ahead -eq 0 ] || [ $ahead -eq 1 ] ||
    fail "slider position $pos does not show the whole seconds of positionLabel [$(field "text positionLabel")]"
  [ "$(field "text lengthLabel")" == "0.00 秒" ] ||
    fail "lengthLabel changed while recording: $(field "text lengthLabel")"
  if awk -v e="$elapsed" 'BEGIN { exit !(e >= 2.5) }'; then break; fi
  sleep 0.2
done
[ $saw_second -eq 1 ] && pass "slider reached 100 while recording" ||
  fail "slider never showed a whole second while recording"

# ---- stop the recording ----
drv click stopButton
tone_stop
expect_buttons "after stopping the recording" 1 1 1 0 1
drv slider text positionLabel text lengthLabel
read -r _ max pos <<<"$(field slider)"
position_text="$(field "text positionLabel")" length_text="$(field "text lengthLabel")"
echo "after stop: slider max $max pos $pos, positionLabel [$position_text], lengthLabel [$length_text]"
seconds="$(label_number "$length_text")"
case "$length_text" in
  [0-9]*.[0-9][0-9]" 秒") pass "lengthLabel is a length: $length_text" ;;
  *) fail "lengthLabel [$length_text] is not N.NN 秒" ;;
esac
read -r max_extended max_double <<<"$(slider_max_for "$seconds")"
if [ "$max" == "$max_extended" ] || [ "$max" == "$max_double" ]; then
  pass "slider max $max is trunc($seconds x 100) ($max_extended exact, $max_double in doubles)"
else
  fail "slider max $max, expected trunc($seconds x 100): $max_extended exact, $max_double in doubles"
fi
expect_eq "slider at its maximum" "$pos" "$max"
expect_eq "positionLabel shows the position" "$position_text" \
  "$(awk -v p="$pos" 'BEGIN { printf "%.2f", p * 0.01 }') 秒"
awk -v s="$seconds" 'BEGIN { exit !(s >= 2 && s <= 4) }' &&
  pass "recorded length $seconds s (2..4)" || fail "recorded length $seconds s, expected 2..4"

# The working file's header is brought up to date at the stop; its data holds the
# length shown plus whatever came back in the buffers the stop collected.
wavcheck_expect "working file after the stop" "$APP_DIR/$work" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2 \
  --expect-freq 440 --freq-tolerance 3 --max-gap-ms 10 --skip-ms 100
shown_bytes="$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 176400 + 0.5 }')"
extra=$(( $(wc_field data_bytes) - shown_bytes ))
if [ $extra -ge 0 ] && [ $extra -le $((4 * 17640)) ]; then
  pass "working file holds the shown length plus $extra bytes of the last buffers"
else
  fail "working file holds $(wc_field data_bytes) bytes; the length shown is $shown_bytes bytes"
fi
rec_max=$max

# ---- play, then stop in the middle ----
# The slider stood at its end, so playback starts from the beginning.
drv click playButton slider
read -r _ max pos <<<"$(field slider)"
expect_eq "playback starts from the beginning" "$pos" 0
expect_eq "slider max unchanged while playing" "$max" "$rec_max"
expect_buttons "playing" 1 1 0 1 0
drv sleep 500
drv click stopButton
expect_buttons "after stopping the playback" 1 1 1 0 1
drv slider text positionLabel text lengthLabel
read -r _ max pos <<<"$(field slider)"
position_text="$(field "text positionLabel")"
echo "after the stop in the middle: slider max $max pos $pos, positionLabel [$position_text]"
[ "$pos" -lt "$max" ] && [ $((pos % 100)) -eq 0 ] && pass "stopped in the middle on a whole second ($pos)" ||
  fail "position after stopping in the middle: $pos (max $max)"
awk -v a="$(label_number "$position_text")" -v b="$seconds" 'BEGIN { exit !(a > 0 && a < b) }' &&
  pass "positionLabel [$position_text] inside the sound" ||
  fail "positionLabel [$position_text] after stopping in the middle"
expect_field "text lengthLabel" "$length_text"

# ---- go to start, go to end ----
drv click goToStartButton slider text positionLabel
read -r _ max pos <<<"$(field slider)"
expect_eq "go to start: slider" "$pos" 0
expect_field "text positionLabel" "0.00 秒"
drv click goToEndButton slider text positionLabel
read -r _ max pos <<<"$(field slider)"
expect_eq "go to end: slider" "$pos" "$max"
expect_field "text positionLabel" "$(awk -v p="$max" 'BEGIN { printf "%.2f", p * 0.01 }') 秒"
expect_buttons "after go to start and go to end" 1 1 1 0 1

# ---- close: the recorded sound is unsaved ----
drv caption
caption="$(field caption)"
drv close msgbox
echo "close question: [$(field "msgbox title")] [$(field "msgbox text")]"
expect_field "msgbox text" "${caption}は変更されています。保存しますか？"
drv answer no
if drv_try waitexit 15000; then
  expect_eq "program ends with exit code 0" "$(field waitexit)" 0
else
  fail "the program did not end after answering no: $DRV_ERR"
fi
APP_PID=""
expect_eq "working file removed at close" "$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null)" ""

e2e_finish
