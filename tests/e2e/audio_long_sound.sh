#!/usr/bin/env bash
# Sounds of hours, in direct mode, as sparse files that hold a few seconds of tone among
# gigabytes of silence: playing from a place past 2 GiB plays what is there, recording at
# the end of a 2.5 GiB sound appends to it with a header that counts it, and a recording
# onto a sound 2 s short of the largest a WAV file holds stops there and says so.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/audio_lib.sh"

# tone_at FILE OFFSET TONE writes TONE's samples at OFFSET into the data of a sparse_wav.
tone_at() {
  python3 - "$1" "$2" "$3" <<'PY'
import sys
path, offset, tone = sys.argv[1], int(sys.argv[2]), open(sys.argv[3], 'rb').read()[44:]
with open(path, 'r+b') as f:
    f.seek(44 + offset)
    f.write(tone)
PY
}
# slice FILE OFFSET BYTES OUT: BYTES of FILE's data from OFFSET as a WAV file of its own.
slice() {
  python3 - "$@" <<'PY'
import struct, sys
path, offset, n, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
with open(path, 'rb') as f:
    f.seek(44 + offset)
    data = f.read(n)
fmt = struct.pack('<IHHIIHH', 16, 1, 2, 44100, 176400, 4, 16)
open(out, 'wb').write(b'RIFF' + struct.pack('<I', len(data) + 36) + b'WAVEfmt ' + fmt + b'data' +
                      struct.pack('<I', len(data)) + data)
PY
}
header_sizes() { python3 -c 'import struct,sys; b=open(sys.argv[1],"rb").read(44); print(*struct.unpack("<I",b[4:8]), *struct.unpack("<I",b[40:44]))' "$1"; }

monitor_keep || e2e_finish
app_copy
make_tone "$E2E_TMP/start.wav" 2 880
make_tone "$E2E_TMP/far.wav" 2 440

# ---- 2.5 GiB: play past 2 GiB, record at the end ------------------------------------
long="$APP_DIR/long.wav"
size=2684354560  # 2.5 GiB, 15217.43 s
far=$((1300000 * 1764))  # 13000.00 s, past 2^31
sparse_wav "$long" $size
tone_at "$long" 0 "$E2E_TMP/start.wav"
tone_at "$long" $far "$E2E_TMP/far.wav"
expect_eq "2.5 GiB file is sparse" "$(( $(stat -c %b "$long") * $(stat -c %B "$long") < 64 * 1048576 ))" 1
cmp_start="$(head -c 352844 "$long" | tail -c 352800 | sha256sum)"

t0=$SECONDS
app_start "long.wav"
poll_field 10 "enabled stopButton" 1 enabled stopButton || fail "the long sound did not start playing"
echo "opened 2.5 GiB in direct mode and started playing in $((SECONDS - t0)) s"
drv text lengthLabel
expect_field "text lengthLabel" "15217.43 秒"
drv click stopButton setslider 1300000
capture_start || e2e_finish
drv click playButton
sleep 2.5
drv click stopButton
sleep 0.5
capture_stop "$E2E_TMP/heard-far.wav"
wavcheck_expect "played from 13000.00 s: the tone that lies past 2 GiB" "$E2E_TMP/heard-far.wav" \
  --expect-freq 440 --freq-tolerance 3

tone_start 20 660
sleep 1
drv click goToEndButton click recordButton
poll_field 5 "enabled stopButton" 1 enabled stopButton || fail "recording did not start"
sleep 2.5
drv click stopButton
tone_stop
app_close
file_size="$(stat -c %s "$long")"
recorded=$((file_size - 44 - size))
if [ $recorded -ge 264600 ] && [ $recorded -le 882000 ]; then
  pass "recorded at the end: the file grew by $recorded bytes"
else
  fail "recorded at the end: the file grew by $recorded bytes, expected 1.5 to 5 s"
fi
expect_eq "the header counts the recording" "$(header_sizes "$long")" "$((file_size - 8)) $((file_size - 44))"
expect_eq "the start of the sound is untouched" "$(head -c 352844 "$long" | tail -c 352800 | sha256sum)" "$cmp_start"
slice "$long" $((size + 17640)) $((recorded - 35280)) "$E2E_TMP/recorded.wav"
wavcheck_expect "the recording holds the tone played" "$E2E_TMP/recorded.wav" --expect-freq 660 --freq-tolerance 3
rm -f "$long"

# ---- 2 s short of the largest WAV: the recording stops at the limit -----------------
largest=4294967256  # whole 4-byte frames with data + 36 <= 0xFFFFFFFF
full="$APP_DIR/full.wav"
sparse_wav "$full" $((largest - 352800))
app_start "full.wav"
poll_field 10 "enabled stopButton" 1 enabled stopButton || fail "the nearly full sound did not start playing"
drv click stopButton
tone_start 20 660
sleep 1
drv click goToEndButton click recordButton
if drv_try msgbox 8000; then
  expect_field "msgbox text" "WAVファイルに入る最大の長さに達したため、録音を止めました。"
  drv answer ok
else
  fail "no message within 8 s of recording onto a sound 2 s short of the limit"
fi
tone_stop
expect_buttons "stopped at the limit" 1 1 1 0 1
app_close
expect_eq "the file holds the largest sound" "$(stat -c %s "$full")" $((44 + largest))
expect_eq "its header declares it" "$(header_sizes "$full")" "$((largest + 36)) $largest"
rm -f "$full"

e2e_finish
