#!/usr/bin/env bash
# Playback through the equalizer: with band 5 at full boost and the switch on, what the
# program plays is the sound filtered as the core tool filters it, sample for sample: each
# channel on its own, one continuous pass across the playback blocks. With the switch off
# it is the sound itself. Playback of an 8-bit sound turns the switch off and hides the
# window.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
source "$E2E_DIR/audio_lib.sh"
require_fx

EQ=AurechoEqualizerWindow
PATH_EQ_JA="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[7]}"

files="$E2E_TMP/files"
mkdir -p "$files"
# 3 s (15 playback blocks) of 1000 Hz, band 5's centre, at a quarter of full scale: a sine
# on the left, a cosine on the right, with a little noise so that no stretch repeats.
python3 - "$files/tone1k.wav" <<'PY'
import math, random, struct, sys
random.seed(5)
rate, n = 44100, 3 * 44100
w = 2 * math.pi * 1000 / rate
frames = b''.join(struct.pack('<hh', round(8192 * math.sin(w * i)) + random.randint(-300, 300),
                              round(8192 * math.cos(w * i)) + random.randint(-300, 300)) for i in range(n))
fmt = struct.pack('<IHHIIHH', 16, 1, 2, rate, rate * 4, 4, 16)
header = b'RIFF' + struct.pack('<I', 36 + len(frames)) + b'WAVEfmt ' + fmt + b'data' + struct.pack('<I', len(frames))
open(sys.argv[1], 'wb').write(header + frames)
PY
"$FX" "$files/tone1k.wav" "$files/boosted.wav" equalize 0 0 0 0 0 20 0 0 0 0 || fail "the tool failed"
wav_make "$files/st8.wav" rate=44100 bits=8 ch=2 bytes=264600

# heard_matches WHAT CAPTURE EXPECTED: the capture holds EXPECTED's frames, in order, each
# 50 ms stretch exactly. The rig can lose a few milliseconds as the device starts and
# stops, and under load a dropout can cut a stretch and move the rest earlier or later: up
# to four stretches may be missing, no more.
heard_matches() {
  local verdict
  verdict="$(python3 - "$2" "$3" <<'PY'
import struct, sys
def frames(path):
    b = open(path, 'rb').read()[44:]
    return list(struct.iter_unpack('<hh', b[:len(b) // 4 * 4]))
heard, want = frames(sys.argv[1]), frames(sys.argv[2])
size = 2205
missing, last, at = [], None, None
for c in range(len(want) // size):
    key = want[c * size:(c + 1) * size]
    # After the last stretch found: right behind it, up to 50 ms earlier (frames lost in a
    # dropout) or up to 0.5 s later (a delay).
    lo = 0 if at is None else max(0, at + (c - last) * size - size)
    hi = len(heard) - size if at is None else min(len(heard) - size, lo + size + 22050)
    found = next((i for i in range(lo, hi + 1) if heard[i] == key[0] and heard[i:i + size] == key), None)
    if found is None:
        missing.append(c)
    else:
        last, at = c, found
count = len(want) // size
if len(missing) > 4:
    print('%d of %d stretches of 50 ms are not heard as they are, the first at %.2f s'
          % (len(missing), count, missing[0] * size / 44100))
else:
    print('equal: %d of %d stretches of 50 ms heard exactly%s' % (count - len(missing), count,
          ', missing at ' + ', '.join('%.2f s' % (c * size / 44100) for c in missing) if missing else ''))
PY
)"
  if [ "${verdict#equal}" != "$verdict" ]; then pass "$1 ($verdict)"; else fail "$1: $verdict"; fi
}

# play_and_capture WAV: plays the sound from its start and records what is heard.
play_and_capture() {
  capture_start || return 1
  drv click goToStartButton click playButton
  poll_field 10 "enabled playButton" 1 enabled playButton || fail "playback still running after 10 s"
  sleep 0.5  # the monitor lags the device a little
  capture_stop "$1"
}

monitor_keep || e2e_finish
app_copy
app_start
open_file "$files/tone1k.wav"
drv choose "$PATH_EQ_JA" pressknob 5 moveknob 5 -100 releaseknob 5 knobtop 5 eqswitch
expect_field "knobtop 5" 24
expect_field eqswitch 0

play_and_capture "$E2E_TMP/heard-off.wav"
heard_matches "switch off: the sound is heard as it is" "$E2E_TMP/heard-off.wav" "$files/tone1k.wav"

drv clickeqswitch eqswitch
expect_field eqswitch 1
play_and_capture "$E2E_TMP/heard-on.wav"
heard_matches "switch on: the sound is heard filtered as the tool filters it in one pass" \
  "$E2E_TMP/heard-on.wav" "$files/boosted.wav"
drv visible "$EQ" eqswitch
expect_field "visible $EQ" 1
expect_field eqswitch 1

# 8-bit: the window stays until playback starts, which hides it with the switch off.
open_file "$files/st8.wav"
drv visible "$EQ" eqswitch
expect_eq "8-bit opened: window still shown" "$(field "visible $EQ")" 1
expect_eq "8-bit opened: switch still on" "$(field eqswitch)" 1
drv click playButton visible "$EQ" eqswitch
expect_eq "8-bit playing: window hidden" "$(field "visible $EQ")" 0
expect_eq "8-bit playing: switch off" "$(field eqswitch)" 0
drv_try click stopButton

app_close
e2e_finish
