# Sound helpers for the audio end-to-end tests; sourced after lib.sh.
# The rig's null sink is both what the program plays into and, through its monitor, what
# it records from: a tone played into the sink is recorded, and the program's playback is
# captured from the monitor.
# Run on its own (CTest does, as e2e_audio_lib) it checks that loop: a tone played into
# the sink comes back from the monitor.
[ "${BASH_SOURCE[0]}" == "$0" ] && source "$(dirname "$0")/lib.sh"

require_wavcheck
SINK="${AURECHO_SINK:-aurecho_sink}"

TONE_PID=""
CAPTURE_PID=""
CAPTURE_RAW=""
KEEPER_PID=""

audio_cleanup() {
  # Background players and recorders must not outlive the test.
  [ -n "$TONE_PID" ] && kill "$TONE_PID" 2>/dev/null
  [ -n "$CAPTURE_PID" ] && kill -INT "$CAPTURE_PID" 2>/dev/null
  [ -n "$KEEPER_PID" ] && kill -INT "$KEEPER_PID" 2>/dev/null
  wait 2>/dev/null
  TONE_PID="" CAPTURE_PID="" KEEPER_PID=""
}
trap 'audio_cleanup; e2e_cleanup' EXIT

# make_tone FILE SECONDS [HZ] [RATE] [CHANNELS] [BITS]: a sine at half of full scale.
make_tone() {
  sox -n -r "${4:-44100}" -c "${5:-2}" -b "${6:-16}" "$1" synth "$2" sine "${3:-440}" vol 0.5
}

# tone_start [SECONDS] [HZ]: plays a tone into the sink in the background.
tone_start() {
  local file="$E2E_TMP/source-tone.wav"
  make_tone "$file" "${1:-20}" "${2:-440}"
  paplay --device="$SINK" "$file" >/dev/null 2>&1 &
  TONE_PID=$!
}

tone_stop() {
  [ -n "$TONE_PID" ] || return 0
  kill "$TONE_PID" 2>/dev/null
  wait "$TONE_PID" 2>/dev/null
  TONE_PID=""
}

# capture_start [RAW]: records the sink's monitor as raw 16-bit stereo 44100 Hz and returns
# once data flows (the monitor can stay mute for seconds after a recorder connects).
capture_start() {
  CAPTURE_RAW="${1:-$E2E_TMP/capture.raw}"
  : >"$CAPTURE_RAW"
  parec --device="$SINK.monitor" --format=s16le --rate=44100 --channels=2 --latency-msec=20 \
    >"$CAPTURE_RAW" 2>>"$E2E_TMP/parec.err" &
  CAPTURE_PID=$!
  local i
  for i in $(seq 150); do
    [ "$(stat -c %s "$CAPTURE_RAW")" -gt 17640 ] && return 0
    sleep 0.1
  done
  fail "the monitor capture delivered no data within 15 s"
  return 1
}

# monitor_keep: keeps a low-latency recorder on the monitor for the rest of the test and
# returns once it delivers data. While nobody asks for a short latency the null sink
# renders in blocks of up to 2 s, so a new recorder (the program's) may wait that long
# for its first data; with this one connected it gets data at once.
monitor_keep() {
  capture_start "$E2E_TMP/keeper.raw" || return 1
  KEEPER_PID=$CAPTURE_PID
  CAPTURE_PID=""
}

# capture_stop WAV: ends the capture and writes it as a WAV file.
capture_stop() {
  [ -n "$CAPTURE_PID" ] || return 1
  kill -INT "$CAPTURE_PID" 2>/dev/null
  wait "$CAPTURE_PID" 2>/dev/null
  CAPTURE_PID=""
  sox -t raw -r 44100 -c 2 -e signed -b 16 "$CAPTURE_RAW" "$1"
}

# wavcheck_expect WHAT FILE OPTIONS...: runs wavcheck; its verdict is a check of the test.
# WAVCHECK_OUT keeps the printed lines for wc_field.
wavcheck_expect() {
  local what="$1"; shift
  WAVCHECK_OUT="$("$WAVCHECK" "$@" 2>&1)"
  local rc=$?
  echo "--- wavcheck $(basename "$1") ---"
  printf '%s\n' "$WAVCHECK_OUT" | grep -E '^(file_size|data_bytes|channels|rate|bits|duration|sound_start_ms|sound_end_ms|sound_duration|longest_gap_ms|longest_gap_at_ms|longest_inner_gap_ms|dominant_hz|rms_dbfs)='
  if [ $rc -eq 0 ]; then
    pass "$what"
  else
    fail "$what: $(printf '%s\n' "$WAVCHECK_OUT" | grep -E '^(FAIL|ERROR)' | tr '\n' ' ')"
  fi
}

# The value of NAME=VALUE in the last wavcheck output.
wc_field() { printf '%s\n' "$WAVCHECK_OUT" | sed -n "s/^$1=//p"; }

# poll_field SECONDS NAME VALUE COMMANDS...: repeats the driver commands until the line
# "NAME: VALUE" shows; false when it never did.
poll_field() {
  local seconds="$1" key="$2" value="$3"; shift 3
  local end=$((SECONDS + seconds))
  while [ $SECONDS -le $end ]; do
    drv "$@"
    [ "$(field "$key")" == "$value" ] && return 0
    sleep 0.2
  done
  return 1
}

# The number of a time label ("3.00 秒" or "3.00 sec").
label_number() { printf '%s\n' "${1%% *}"; }

# hundredths "3.07" -> 307 (trunc of the label's number times 100, exactly).
hundredths() {
  local s="$1" whole frac
  whole="${s%%.*}"; frac="${s#*.}"
  [ "$whole" == "$s" ] && frac=00
  frac="${frac}00"; frac="${frac:0:2}"
  echo $((10#$whole * 100 + 10#$frac))
}

# slider_max_for SECONDS: trunc(SECONDS x 100) as the program may compute it, first with
# the product kept exact (x87 extended precision, where 2.9 s gives 289), then rounded to
# a double (290). SECONDS stands for the nearest double, as a length of whole 0.1 s
# blocks is exactly that.
slider_max_for() {
  local extended
  extended="$(BC_LINE_LENGTH=0 bc <<BC
scale = 100
v = $1
e = 0
t = v
while (t >= 2) { t = t / 2; e = e + 1 }
while (t < 1) { t = t * 2; e = e - 1 }
s = 2 ^ (52 - e)
m = v * s + 0.5
scale = 0
m = m / 1
scale = 100
d = m / s * 100
scale = 0
d / 1
BC
)"
  echo "$extended $(awk -v s="$1" 'BEGIN { print int(s * 100) }')"
}

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  for tool in sox paplay parec pactl bc; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
  done
  if pactl list short sinks 2>/dev/null | grep -q "$SINK"; then
    pass "sink $SINK present"
  else
    fail "no sink $SINK: run inside scripts/with-rig.sh"
    e2e_finish
  fi
  capture_start || e2e_finish
  tone_start 2 1000
  wait "$TONE_PID" 2>/dev/null
  TONE_PID=""
  sleep 0.3
  capture_stop "$E2E_TMP/loop.wav"
  wavcheck_expect "a 2-second 1000 Hz tone played into the sink is heard on its monitor" \
    "$E2E_TMP/loop.wav" --expect-freq 1000 --expect-sound-duration 2 --duration-tolerance 0.05 \
    --max-inner-gap-ms 10
  e2e_finish
fi
