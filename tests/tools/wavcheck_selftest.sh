#!/usr/bin/env bash
# Self-test for wavcheck: makes sample files with sox (headers crafted by hand where
# sox cannot produce them) and checks the tool's verdicts and exit codes.
# Usage: wavcheck_selftest.sh [PATH_TO_WAVCHECK]
set -u

W=${1:-${WAVCHECK:-wavcheck}}
if ! command -v sox >/dev/null 2>&1; then
    echo "sox not found; skipping"
    exit 77
fi
if ! command -v "$W" >/dev/null 2>&1; then
    echo "wavcheck not found: $W"
    exit 2
fi

T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
failures=0
OUT=""

pass() { echo "ok   - $1"; }
fail() {
    echo "FAIL - $1"
    [ -n "$OUT" ] && printf '%s\n' "$OUT" | sed 's/^/       | /'
    failures=$((failures + 1))
}

# run WANT_RC DESCRIPTION ARGS...: runs wavcheck, keeps its output in OUT.
run() {
    local want=$1 desc=$2 rc
    shift 2
    OUT=$("$W" "$@" 2>&1)
    rc=$?
    if [ "$rc" -eq "$want" ]; then pass "$desc (exit $rc)"; else fail "$desc: exit $rc, wanted $want"; fi
}

# has REGEX DESCRIPTION: the last output has a matching line.
has() {
    if printf '%s\n' "$OUT" | grep -Eq "$1"; then pass "$2"; else fail "$2: no line matching '$1'"; fi
}

# val NAME: a key's value from the last output.
val() { printf '%s\n' "$OUT" | sed -n "s/^$1=//p"; }

# near NAME TARGET TOLERANCE: numeric key within tolerance of target.
near() {
    local v
    v=$(val "$1")
    if [ -n "$v" ] && awk -v v="$v" -v t="$2" -v d="$3" 'BEGIN { e = v - t; if (e < 0) e = -e; exit !(e <= d) }'; then
        pass "$1=$v (want $2 +- $3)"
    else
        fail "$1=$v, wanted $2 +- $3"
    fi
}

# Little-endian integers and header pieces for hand-made files.
le16() { printf "$(printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)))"; }
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
fmt16() { # CHANNELS RATE BITS
    local ba=$(($1 * $3 / 8))
    printf 'fmt '; le32 16; le16 1; le16 "$1"; le32 "$2"; le32 $(($2 * ba)); le16 $ba; le16 "$3"
}
fmtext() { # CHANNELS RATE BITS SUBFORMAT (1 = PCM, 3 = float)
    local ba=$(($1 * $3 / 8))
    printf 'fmt '; le32 40; le16 65534; le16 "$1"; le32 "$2"; le32 $(($2 * ba)); le16 $ba; le16 "$3"
    le16 22; le16 "$3"; le32 $(((1 << $1) - 1)); le32 "$4"
    printf '\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71'
}
datahdr() { printf 'data'; le32 "$(stat -c %s "$1")"; }
riff() { # OUT BODYFILE: wraps a WAVE body in its RIFF header
    { printf 'RIFF'; le32 $(($(stat -c %s "$2") + 4)); printf 'WAVE'; cat "$2"; } > "$1"
}
patch() { # FILE OFFSET: overwrites bytes at OFFSET with stdin
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# ---- sample material ----------------------------------------------------------------
sox -D -n -r 44100 -c 2 -b 16 "$T/st.wav" synth 3 sine 440 vol 0.5
sox -D -n -r 22050 -c 1 -b 8 "$T/m8.wav" synth 3 sine 440 vol 0.5
sox -D -n -r 44100 -c 2 -b 16 "$T/half.wav" synth 1.5 sine 440 vol 0.5
sox -D -n -r 44100 -c 2 -b 16 "$T/sil50.wav" trim 0 0.05
sox -D "$T/half.wav" "$T/sil50.wav" "$T/half.wav" "$T/gap.wav"
sox -D "$T/half.wav" "$T/padded.wav" pad 0.5 0.7
sox -D -n -r 44100 -c 2 -b 16 -e signed-integer -t raw "$T/st.raw" synth 3 sine 440 vol 0.5
sox -D -n -r 22050 -c 1 -b 8 -e unsigned-integer -t raw "$T/m8.raw" synth 1 sine 440 vol 0.5

echo "# canonical 16-bit stereo"
run 0 "all checks pass" "$T/st.wav" --expect-canonical --expect-sizes --expect-format 16,44100,2 \
    --expect-freq 440 --freq-tolerance 0.5 --max-gap-ms 5 --expect-sound-duration 3 --min-duration 3
has '^OK$' "prints OK"
for kv in canonical=1 riff_size_ok=1 data_size_ok=1 whole_frames=1 format=PCM channels=2 rate=44100 \
    bits=16 frames=132300 duration=3.000; do has "^$kv\$" "$kv"; done
near dominant_hz 440 0.1
near sound_start_ms 0 0.1
near sound_duration 3 0.001
near longest_gap_ms 0 0.1
run 1 "wrong format fails" "$T/st.wav" --expect-format 8,44100,2
has '^FAIL: format' "format FAIL line"
run 1 "wrong frequency fails" "$T/st.wav" --expect-freq 445
has '^FAIL: dominant frequency' "frequency FAIL line"
run 0 "wide frequency tolerance passes" "$T/st.wav" --expect-freq 445 --freq-tolerance 6
run 1 "too short fails" "$T/st.wav" --min-duration 3.5
run 1 "wrong sound duration fails" "$T/st.wav" --expect-sound-duration 2.9
run 0 "sound duration within tolerance" "$T/st.wav" --expect-sound-duration 2.9 --duration-tolerance 0.15
run 1 "two failures, two lines" "$T/st.wav" --expect-freq 1000 --min-duration 10
[ "$(printf '%s\n' "$OUT" | grep -c '^FAIL: ')" -eq 2 ] && pass "two FAIL lines" || fail "two FAIL lines"

echo "# 8-bit mono"
run 0 "8-bit mono checks" "$T/m8.wav" --expect-canonical --expect-sizes --expect-format 8,22050,1 \
    --expect-freq 440 --freq-tolerance 0.5 --max-gap-ms 5
near dominant_hz 440 0.1
# 100 ms of values 127/128 (the centre neighbourhood) spliced into the middle.
{
    head -c 11025 "$T/m8.raw"
    for ((i = 0; i < 1103; i++)); do printf '\x7f\x80'; done
    tail -c +11026 "$T/m8.raw"
} > "$T/m8gap.raw"
{ fmt16 1 22050 8; datahdr "$T/m8gap.raw"; cat "$T/m8gap.raw"; } > "$T/body"
riff "$T/m8gap.wav" "$T/body"
run 1 "127/128 run counts as a gap" "$T/m8gap.wav" --expect-canonical --expect-sizes --max-gap-ms 50
near longest_gap_ms 100 0.2
near longest_gap_at_ms 500 0.2
run 1 "1-step floor even with threshold 0" "$T/m8gap.wav" --silence-threshold 0 --max-gap-ms 50
run 0 "gap under the limit" "$T/m8gap.wav" --silence-threshold 1% --max-gap-ms 150

echo "# silence gap"
run 1 "50 ms gap fails a 20 ms limit" "$T/gap.wav" --max-gap-ms 20 --expect-freq 440
has '^FAIL: near-silent gap' "gap FAIL line"
near longest_gap_ms 50 0.5
near longest_gap_at_ms 1500 0.5
run 0 "50 ms gap passes a 60 ms limit" "$T/gap.wav" --max-gap-ms 60 --expect-sound-duration 3.05
run 0 "gap inside --skip-ms is ignored" "$T/gap.wav" --skip-ms 1600 --max-gap-ms 5

echo "# leading and trailing silence"
run 0 "sound placement" "$T/padded.wav" --expect-sound-duration 1.5 --max-inner-gap-ms 5 --min-duration 2.7
near sound_start_ms 500 0.1
near sound_end_ms 2000 0.1
near longest_gap_ms 700 0.1
near longest_inner_gap_ms 0 0.1
run 1 "trailing silence is a gap" "$T/padded.wav" --max-gap-ms 5

echo "# extra chunks"
printf 'abc\x00' > "$T/junk3"
{
    fmt16 2 44100 16
    printf 'junk'; le32 3; cat "$T/junk3"
    printf 'LIST'; le32 18; printf 'INFOICMT'; le32 5; printf 'hello\x00'
    datahdr "$T/st.raw"; cat "$T/st.raw"
    printf 'LIST'; le32 4; printf 'INFO'
} > "$T/body"
riff "$T/list.wav" "$T/body"
run 0 "chunks skipped, sizes right" "$T/list.wav" --expect-sizes --expect-format 16,44100,2 --expect-freq 440
has '^canonical=0$' "canonical=0"
has '^chunks=fmt,junk,LIST,data,LIST$' "chunk list"
near dominant_hz 440 0.1
run 1 "not canonical" "$T/list.wav" --expect-canonical
has '^FAIL: header is not the canonical' "canonical FAIL line"

echo "# WAVE_FORMAT_EXTENSIBLE"
{ fmtext 2 44100 16 1; datahdr "$T/st.raw"; cat "$T/st.raw"; } > "$T/body"
riff "$T/ext.wav" "$T/body"
run 0 "extensible PCM" "$T/ext.wav" --expect-sizes --expect-format 16,44100,2 --expect-freq 440
has '^extensible=1$' "extensible=1"
has '^canonical=0$' "canonical=0"
{ fmtext 2 44100 16 3; datahdr "$T/st.raw"; cat "$T/st.raw"; } > "$T/body"
riff "$T/extfloat.wav" "$T/body"
run 2 "extensible float rejected" "$T/extfloat.wav"

echo "# damaged and streaming headers"
size=$(stat -c %s "$T/st.wav")
head -c $((size - 1001)) "$T/st.wav" > "$T/trunc.wav"
run 1 "truncated file fails sizes" "$T/trunc.wav" --expect-sizes
has '^riff_size_ok=0$' "riff_size_ok=0"
has '^data_size_ok=0$' "data_size_ok=0"
has '^whole_frames=0$' "whole_frames=0"
run 0 "truncated file still analysed" "$T/trunc.wav" --expect-format 16,44100,2 --expect-freq 440 --freq-tolerance 0.5

cp "$T/st.wav" "$T/ff.wav"
printf '\xff\xff\xff\xff' | patch "$T/ff.wav" 4
printf '\xff\xff\xff\xff' | patch "$T/ff.wav" 40
run 1 "0xFFFFFFFF sizes fail sizes" "$T/ff.wav" --expect-sizes
has '^data_bytes=529200$' "takes the bytes present"
has '^whole_frames=1$' "whole frames"
run 0 "0xFFFFFFFF sizes still analysed" "$T/ff.wav" --expect-canonical --expect-freq 440 --min-duration 3

head -c $((size - 2)) "$T/st.wav" > "$T/zero.wav"
printf '\x00\x00\x00\x00' | patch "$T/zero.wav" 4
printf '\x00\x00\x00\x00' | patch "$T/zero.wav" 40
run 1 "zero sizes, cut mid-frame" "$T/zero.wav" --expect-sizes
has '^frames=132299$' "partial frame dropped"
has '^whole_frames=0$' "whole_frames=0"

cp "$T/st.wav" "$T/small.wav"
le32 528000 | patch "$T/small.wav" 40
run 1 "data size smaller than the data" "$T/small.wav" --expect-sizes
has '^riff_size_ok=1$' "riff size still right"
has '^data_size_ok=0$' "data_size_ok=0"
has '^data_bytes=528000$' "uses the declared size"

echo "# unusable input"
run 2 "missing file" "$T/nonexistent.wav"
has '^ERROR: ' "ERROR line"
echo "hello, not a wave" > "$T/text.wav"
run 2 "not RIFF" "$T/text.wav"
head -c 30 "$T/st.wav" > "$T/short.wav"
run 2 "header cut short" "$T/short.wav"
cp "$T/st.wav" "$T/float.wav"
printf '\x03' | patch "$T/float.wav" 20
run 2 "non-PCM format tag" "$T/float.wav"
run 2 "unknown option" "$T/st.wav" --bogus
run 2 "no file" --expect-sizes
run 2 "bad number" "$T/st.wav" --max-gap-ms abc

echo
if [ "$failures" -eq 0 ]; then
    echo "wavcheck self-test: all passed"
    exit 0
fi
echo "wavcheck self-test: $failures failure(s)"
exit 1
