#!/usr/bin/env bash
# Help > Recording Device and Playback Device with a second null sink in the rig: each list
# shows the default, then every device by its whole name (longer than the 31 characters of
# the wave functions); recording hears the chosen input (660 Hz from the second sink's
# monitor, 440 Hz from the default), playback goes to the chosen output only; the choices
# are kept in Aurecho32.ini and checked at the next start, in both languages. Unloading the
# second sink during a playback or a recording from it stops it within 3 s with the
# device's message, keeps everything recorded under a truthful header, and leaves the
# program working; a remembered device that is absent at the start leaves the default in use.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"
source "$E2E_DIR/menu_tables.sh"

SINK_B=aurecho_devices_b
DESC_B=Aurecho-Second-Output-With-A-Long-Name
IN_B="Monitor of $DESC_B"
B_MODULE=""
B_TONE_PID=""
B_KEEPER_PID=""

RECORD_MENU_JA="${MENU_HELP_JA[0]}/${MENU_HELP_JA[8]}"
PLAY_MENU_JA="${MENU_HELP_JA[0]}/${MENU_HELP_JA[9]}"
RECORD_MENU_EN="${MENU_HELP_EN[0]}/${MENU_HELP_EN[8]}"
PLAY_MENU_EN="${MENU_HELP_EN[0]}/${MENU_HELP_EN[9]}"
PATH_NEW_JA="${MENU_FILE_JA[0]}/${MENU_FILE_JA[1]}"

# The texts the program shows, from its text table.
device_text() {
  sed -n '/deviceTexts\[languageCount\]\[5\] *=/,/^};/p' "$E2E_ROOT/src/core/program/texts.cpp" |
    grep -o 'L"[^"]*"' | sed -n "$1p" | sed 's/^L"//; s/"$//'
}
LOST_IN_JA="$(device_text 4)"
LOST_OUT_EN="$(device_text 10)"

b_unload() {
  [ -n "$B_MODULE" ] && pactl unload-module "$B_MODULE" 2>/dev/null
  B_MODULE=""
  b_tone_stop
  b_keeper_stop
}
trap 'b_unload; audio_cleanup; e2e_cleanup' EXIT

# The second sink, with a low-latency recorder on its monitor (as the rig keeps one on the
# first), so a recording from it gets data at once. Wine reads the devices a process sees
# once, at their first use: the sink must be there before the program starts.
b_load() {
  B_MODULE="$(pactl load-module module-null-sink sink_name=$SINK_B rate=44100 channels=2 \
    sink_properties=device.description=$DESC_B)" || { fail "cannot load a second null sink"; e2e_finish; }
  parec --device="$SINK_B.monitor" --format=s16le --rate=44100 --channels=2 --latency-msec=20 \
    >"$E2E_TMP/keeper-b.raw" 2>/dev/null &
  B_KEEPER_PID=$!
  local i
  for i in $(seq 150); do
    [ "$(stat -c %s "$E2E_TMP/keeper-b.raw")" -gt 17640 ] && return 0
    sleep 0.1
  done
  fail "the second sink's monitor delivered no data within 15 s"
}

# b_tone SECONDS HZ: a tone into the second sink, in the background.
b_tone() {
  make_tone "$E2E_TMP/tone-b.wav" "$1" "$2"
  paplay --device="$SINK_B" "$E2E_TMP/tone-b.wav" >/dev/null 2>&1 &
  B_TONE_PID=$!
}

b_tone_stop() {
  [ -n "$B_TONE_PID" ] || return 0
  kill "$B_TONE_PID" 2>/dev/null
  wait "$B_TONE_PID" 2>/dev/null
  B_TONE_PID=""
}

# A recorder whose source went away does not end by itself.
b_keeper_stop() {
  [ -n "$B_KEEPER_PID" ] || return 0
  kill -INT "$B_KEEPER_PID" 2>/dev/null
  wait "$B_KEEPER_PID" 2>/dev/null
  B_KEEPER_PID=""
}

# A list of the last menu dump: "ID<tab>FLAGS<tab>CAPTION" per item; in (300..363) or out.
device_list() {
  local low=300 high=363
  [ "$1" == out ] && low=400 high=463
  printf '%s\n' "$DRV_OUT" | sed -n 's/^menu: *//p' |
    awk -F'\t' -v l=$low -v h=$high '$2 >= l && $2 <= h { print $2 "\t" $3 "\t" $1 }'
}

# expect_lists WHAT DEFAULT_CAPTION CHECKED_IN CHECKED_OUT: each list starts with the
# default and holds the second sink by its whole name; the named items are the checked ones.
expect_lists() {
  local what="$1" default="$2" want_in="$3" want_out="$4" side list first checked want name
  for side in in out; do
    list="$(device_list $side)"
    echo "--- $what: $side ---"
    printf '%s\n' "$list"
    first="$(printf '%s\n' "$list" | head -1 | cut -f3)"
    expect_eq "$what: the $side list starts with the default" "$first" "$default"
    name="$IN_B"
    [ $side == out ] && name="$DESC_B"
    printf '%s\n' "$list" | cut -f3 | grep -qxF "$name" &&
      pass "$what: the $side list holds [$name] (${#name} characters)" ||
      fail "$what: the $side list has no [$name]"
    checked="$(printf '%s\n' "$list" | awk -F'\t' '$2 ~ /checked/' | cut -f3 | tr '\n' '|')"
    want="$want_in"
    [ $side == out ] && want="$want_out"
    expect_eq "$what: checked in the $side list" "$checked" "$want|"
  done
}

# Aurecho32.ini's lines without their carriage returns.
ini_lines() { tr -d '\r' <"$ini"; }

# record_for SECONDS: presses record, waits, presses stop; WORK is the working file.
record_for() {
  drv click recordButton
  sleep "$1"
  drv click stopButton
  WORK="$APP_DIR/$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null | head -1)"
}

# expect_lost TEXT: unloads the second sink while a driver of its own waits for the
# program's message box, which must come within 3 s with TEXT.
expect_lost() {
  rm -f "$E2E_TMP/lost.mark"
  AURECHO_DRIVER_MARK="$E2E_TMP/lost.mark" "$E2E_ROOT/scripts/wine-run.sh" "$AURECHO_DRIVER" \
    pid "$APP_PID" msgbox 15000 </dev/null >"$E2E_TMP/lost.out" 2>"$E2E_TMP/lost.err" &
  local waiter=$! i
  for i in $(seq 200); do [ -e "$E2E_TMP/lost.mark" ] && break; sleep 0.05; done
  sleep 1  # the waiting driver has found the window
  local t1
  LOST_T0=$(date +%s.%N)
  pactl unload-module "$B_MODULE"
  B_MODULE=""
  wait $waiter
  local rc=$?
  t1=$(date +%s.%N)
  LOST_AFTER="$(awk -v a="$t1" -v b="$LOST_T0" 'BEGIN { printf "%.2f", a - b }')"
  b_tone_stop
  b_keeper_stop
  if [ $rc -ne 0 ]; then
    fail "no message box within 15 s of unloading the device: $(grep '^aurecho-driver:' "$E2E_TMP/lost.err")"
    return 1
  fi
  echo "message after ${LOST_AFTER}s: $(grep '^msgbox text: ' "$E2E_TMP/lost.out")"
  awk -v s="$LOST_AFTER" 'BEGIN { exit !(s <= 3.0) }' &&
    pass "the message came ${LOST_AFTER}s after the device went" ||
    fail "the message came ${LOST_AFTER}s after the device went, more than 3 s"
  expect_eq "the message" "$(sed -n 's/^msgbox text: //p' "$E2E_TMP/lost.out")" "$1"
}

monitor_keep || e2e_finish
b_load
app_copy
tone_start 120 440
b_tone 120 660

echo "=== the lists, the choice of input ==="
app_start
drv initmenu "$RECORD_MENU_JA" initmenu "$PLAY_MENU_JA" menu
expect_lists "first start" "${MENU_HELP_JA[10]}" "${MENU_HELP_JA[10]}" "${MENU_HELP_JA[10]}"
drv choose "$RECORD_MENU_JA/$IN_B" initmenu "$RECORD_MENU_JA" menu
expect_lists "input chosen" "${MENU_HELP_JA[10]}" "$IN_B" "${MENU_HELP_JA[10]}"

record_for 2.5
expect_buttons "after recording from the second sink" 1 1 1 0 1
wavcheck_expect "recorded from the second sink's monitor: 660 Hz" "$WORK" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2 --expect-freq 660 --min-duration 2

drv choose "$PATH_NEW_JA" msgbox
drv answer no
drv choose "$RECORD_MENU_JA/${MENU_HELP_JA[10]}" checked "$RECORD_MENU_JA/${MENU_HELP_JA[10]}"
expect_field "checked $RECORD_MENU_JA/${MENU_HELP_JA[10]}" 1
record_for 2.5
wavcheck_expect "recorded from the default again: 440 Hz" "$WORK" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2 --expect-freq 440 --min-duration 2
drv text lengthLabel
recorded_length="$(field "text lengthLabel")"

echo "=== the choice of output ==="
tone_stop
b_tone_stop
sleep 0.5
drv choose "$PLAY_MENU_JA/$DESC_B" checked "$PLAY_MENU_JA/$DESC_B"
expect_field "checked $PLAY_MENU_JA/$DESC_B" 1
capture_start "$E2E_TMP/heard-a.raw" || e2e_finish
capture_a=$CAPTURE_PID
CAPTURE_PID=""
SINK=$SINK_B capture_start "$E2E_TMP/heard-b.raw" || e2e_finish
drv click goToStartButton click playButton
poll_field 10 "enabled playButton" 1 enabled playButton || fail "playback still running after 10 s"
sleep 0.5
capture_stop "$E2E_TMP/heard-b.wav"
CAPTURE_PID=$capture_a CAPTURE_RAW="$E2E_TMP/heard-a.raw"
capture_stop "$E2E_TMP/heard-a.wav"
wavcheck_expect "the second sink hears the playback" "$E2E_TMP/heard-b.wav" \
  --expect-freq 440 --expect-sound-duration "$(label_number "$recorded_length")" --duration-tolerance 0.1
wavcheck_expect "the first sink hears nothing" "$E2E_TMP/heard-a.wav"
expect_eq "the first sink's sound" "$(wc_field sound_duration)" 0.000

# The second sink's monitor again, to be remembered with the output.
drv choose "$RECORD_MENU_JA/$IN_B" choose "$PATH_ENGLISH_JA"
drv close msgbox
drv answer no
drv_try waitexit 15000 || fail "the program did not end: $DRV_ERR"
APP_PID=""
ini="$APP_DIR/Aurecho32.ini"
echo "--- Aurecho32.ini ---"
ini_lines
ini_lines | grep -qxF "Input=$IN_B" && pass "Aurecho32.ini keeps the input by name" ||
  fail "Aurecho32.ini has no Input=$IN_B"
ini_lines | grep -qxF "Output=$DESC_B" && pass "Aurecho32.ini keeps the output by name" ||
  fail "Aurecho32.ini has no Output=$DESC_B"

echo "=== the output remembered; it goes during a playback ==="
make_tone "$APP_DIR/tone.wav" 10 880
SINK=$SINK_B capture_start "$E2E_TMP/heard-b2.raw" || e2e_finish
app_start "tone.wav"
poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "the file did not start playing"
drv initmenu "$RECORD_MENU_EN" initmenu "$PLAY_MENU_EN" menu
expect_lists "second start, English" "${MENU_HELP_EN[10]}" "$IN_B" "$DESC_B"
sleep 1.5
expect_lost "$LOST_OUT_EN"
capture_stop "$E2E_TMP/heard-b2.wav"
wavcheck_expect "the remembered output played the file" "$E2E_TMP/heard-b2.wav" --expect-freq 880
drv answer ok
expect_buttons "after the lost playback" 1 1 1 0 1
drv slider
read -r _ max pos <<<"$(field slider)"
[ "$pos" -gt 0 ] && [ "$pos" -lt "$max" ] && pass "the position stays where playback stopped ($pos of $max)" ||
  fail "position after the lost playback: $pos of $max"

# Back to the default output, which plays as before.
drv choose "$PLAY_MENU_EN/${MENU_HELP_EN[10]}"
capture_start "$E2E_TMP/heard-a2.raw" || e2e_finish
drv click goToStartButton click playButton sleep 1500 click stopButton
sleep 0.3
capture_stop "$E2E_TMP/heard-a2.wav"
wavcheck_expect "the default output plays after the loss" "$E2E_TMP/heard-a2.wav" --expect-freq 880
expect_buttons "stopped" 1 1 1 0 1
drv choose "$PATH_JAPANESE_EN"
app_close

echo "=== the input remembered; it goes during a recording ==="
b_load
tone_start 120 440
b_tone 120 660
app_start
drv initmenu "$RECORD_MENU_JA" initmenu "$PLAY_MENU_JA" menu
expect_lists "third start, Japanese again" "${MENU_HELP_JA[10]}" "$IN_B" "${MENU_HELP_JA[10]}"
drv click recordButton
t_rec=$(date +%s.%N)
sleep 2.5
expect_lost "$LOST_IN_JA"
drv answer ok
expect_buttons "after the lost recording" 1 1 1 0 1
WORK="$APP_DIR/$(cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null | head -1)"
drv text lengthLabel
lost_length="$(label_number "$(field "text lengthLabel")")"
wavcheck_expect "what was recorded before the device went: 660 Hz under a truthful header" "$WORK" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2 --expect-freq 660 --min-duration 2
data_seconds="$(awk -v b="$(wc_field data_bytes)" 'BEGIN { printf "%.2f", b / 176400 }')"
before="$(awk -v a="$LOST_T0" -v b="$t_rec" 'BEGIN { printf "%.2f", a - b }')"
echo "recorded ${data_seconds}s; the device went about ${before}s after the record button"
awk -v d="$data_seconds" -v b="$before" 'BEGIN { exit !(d >= b - 0.6 && d <= b + 0.3) }' &&
  pass "the file holds the ${data_seconds}s recorded before the device went (${before}s)" ||
  fail "the file holds ${data_seconds}s; the device went ${before}s after the start"
awk -v d="$data_seconds" -v l="$lost_length" 'BEGIN { exit !(d - l < 0.01 && l - d < 0.01) }' &&
  pass "the length shown ($lost_length s) is the file's" ||
  fail "the length shown is $lost_length s, the file holds $data_seconds s"
cp "$WORK" "$E2E_TMP/lost.wav"

# Everything works afterwards: record from the default (appended), play. The default is
# chosen by hand: under Wine the gone device stays in the lists until the program starts
# again, and opening it fails with the input device's message.
drv choose "$RECORD_MENU_JA/${MENU_HELP_JA[10]}"
record_for 2
wavcheck_expect "recording from the default after the loss" "$WORK" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2 --min-duration 4
cmp -s -n "$(( $(stat -c %s "$E2E_TMP/lost.wav") - 44 ))" -i 44 "$WORK" "$E2E_TMP/lost.wav" &&
  pass "the lost recording's frames stay at the start" || fail "the lost recording's frames changed"
tail -c +"$(( $(stat -c %s "$E2E_TMP/lost.wav") + 1 ))" "$WORK" >"$E2E_TMP/appended.raw"
sox -t raw -r 44100 -c 2 -e signed -b 16 "$E2E_TMP/appended.raw" "$E2E_TMP/appended.wav"
wavcheck_expect "the appended part is 440 Hz" "$E2E_TMP/appended.wav" --expect-freq 440 --min-duration 1.5
tone_stop
capture_start "$E2E_TMP/heard-a3.raw" || e2e_finish
drv click goToStartButton click playButton sleep 1000 click stopButton
capture_stop "$E2E_TMP/heard-a3.wav"
wavcheck_expect "playback after the loss" "$E2E_TMP/heard-a3.wav" --expect-freq 660
drv close msgbox
drv answer no
drv_try waitexit 15000 || fail "the program did not end: $DRV_ERR"
APP_PID=""

echo "=== the remembered input absent at the start: the default ==="
# The second sink's monitor remembered again, as a run with it present would leave it.
ini_lines | awk '/^\[/ { skip = ($0 == "[Devices]") } !skip' >"$ini.new"
printf '[Devices]\r\nInput=%s\r\n' "$IN_B" >>"$ini.new"
mv "$ini.new" "$ini"
ini_lines | grep -qxF "Input=$IN_B" || fail "cannot remember the input in $ini: $(ini_lines)"
tone_start 30 440
app_start
drv initmenu "$RECORD_MENU_JA" menu
list="$(device_list in)"
printf '%s\n' "$list"
printf '%s\n' "$list" | cut -f3 | grep -qxF "$IN_B" && fail "the unloaded sink's monitor is listed"
expect_eq "the default is checked" "$(printf '%s\n' "$list" | awk -F'\t' '$2 ~ /checked/' | cut -f3)" \
  "${MENU_HELP_JA[10]}"
record_for 2
wavcheck_expect "recording from the default: 440 Hz" "$WORK" --expect-freq 440 --min-duration 1.5
drv close msgbox
drv answer no
drv_try waitexit 15000 || fail "the program did not end: $DRV_ERR"
APP_PID=""
ini_lines | grep -qxF "Input=$IN_B" && pass "the absent input is still remembered" ||
  fail "the absent input was forgotten: $(ini_lines)"

e2e_finish
