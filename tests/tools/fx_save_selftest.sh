#!/usr/bin/env bash
# aurecho-fx's save of a file opening converts (here 48001 Hz, which has no menu entry):
# a destination it cannot or may not replace is refused with exit 1 and a message, and
# left exactly as it was; a file it may replace is replaced and keeps its permissions.
# Root may write any file, so a refusal seen here is the program's own check.
# Usage: fx_save_selftest.sh PATH_TO_AURECHO_FX
set -u

FX=${1:?usage: fx_save_selftest.sh PATH_TO_AURECHO_FX}
[ -x "$FX" ] || { echo "not a program: $FX"; exit 2; }
FX=$(realpath "$FX")  # the checks run in a folder of their own
command -v python3 >/dev/null 2>&1 || { echo "python3 not found; skipping"; exit 77; }

T=$(mktemp -d)
trap 'chmod -R u+w "$T"; rm -rf "$T"' EXIT
failures=0
pass() { echo "ok   - $1"; }
fail() { echo "FAIL - $1"; failures=$((failures + 1)); }
[ "$(id -u)" -eq 0 ] && echo "# running as root: the file system refuses nothing here"

# wav PATH RATE FRAMES: 16-bit stereo PCM with a ramp in it.
wav() {
    python3 - "$@" <<'EOF'
import struct, sys
path, rate, frames = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = b"".join(struct.pack("<hh", (i * 37) % 30000, -((i * 53) % 30000)) for i in range(frames))
fmt = struct.pack("<HHIIHH", 1, 2, rate, rate * 4, 4, 16)
with open(path, "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
    f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data)
EOF
}

# header PATH: "RATE BITS CHANNELS DATA_BYTES FILE_BYTES" of a canonical header.
header() {
    python3 - "$1" <<'EOF'
import os, struct, sys
b = open(sys.argv[1], "rb").read(44)
ok = b[:4] == b"RIFF" and b[8:16] == b"WAVEfmt " and b[36:40] == b"data"
_, _, ch, rate, _, _, bits = struct.unpack("<IHHIIHH", b[16:36])
print(ok and rate, bits, ch, struct.unpack("<I", b[40:44])[0], os.path.getsize(sys.argv[1]))
EOF
}

# save WANT_RC DESCRIPTION IN OUT: runs the save, keeps its messages in ERR.
save() {
    local want=$1 desc=$2 rc
    ERR=$("$FX" "$3" "$4" save 2>&1 >/dev/null)
    rc=$?
    if [ "$rc" -eq "$want" ]; then pass "$desc: exit $rc"; else fail "$desc: exit $rc, wanted $want"; fi
}

# said TEXT DESCRIPTION: the last run's message names TEXT; silent when TEXT is empty.
said() {
    if [ -z "$1" ]; then
        if [ -z "$ERR" ]; then pass "$2: no message"; else fail "$2: unexpected message: $ERR"; fi
    elif printf '%s' "$ERR" | grep -qF "$1"; then
        pass "$2: message names $1"
    else
        fail "$2: message '$ERR' does not name $1"
    fi
}

no_leftovers() {
    if ls "$T" | grep -q 'aurecho-tmp'; then fail "$1: temporary files left: $(ls "$T")"; else pass "$1: no temporary file left"; fi
}

cd "$T" || exit 1
wav foreign.wav 48001 1000
wav own.wav 48000 1000
# 1000 frames at 48001 Hz make 999 at 48000 Hz.
expected="48000 16 2 3996 4040"

# A folder is not replaced by a file.
mkdir folder
touch folder/inside
save 1 "foreign save onto a folder" foreign.wav folder
said folder "foreign save onto a folder"
if [ -d folder ] && [ "$(ls folder)" = inside ]; then pass "the folder is untouched"; else fail "the folder changed: $(ls -ld folder)"; fi
no_leftovers "foreign save onto a folder"

# A file its owner may not write is refused, for a foreign input as for one of our own.
for input in foreign own; do
    cp own.wav locked-$input.wav
    cp own.wav locked-$input.copy
    chmod 0444 locked-$input.wav
    save 1 "$input save onto a 0444 file" $input.wav locked-$input.wav
    said locked-$input.wav "$input save onto a 0444 file"
    if cmp -s locked-$input.wav locked-$input.copy; then pass "the 0444 file keeps its bytes"; else fail "the 0444 file was rewritten"; fi
    mode=$(stat -c %a locked-$input.wav)
    if [ "$mode" = 444 ]; then pass "the 0444 file keeps its mode"; else fail "the 0444 file's mode is now $mode"; fi
    no_leftovers "$input save onto a 0444 file"
done

# A new file, and a writable file replaced: converted, and the replaced one keeps its mode.
save 0 "foreign save to a new file" foreign.wav new.wav
said "" "foreign save to a new file"
got=$(header new.wav)
if [ "$got" = "$expected" ]; then pass "the new file holds the converted sound ($got)"; else fail "new file: $got, wanted $expected"; fi
cp own.wav private.wav
chmod 0600 private.wav
save 0 "foreign save over a 0600 file" foreign.wav private.wav
said "" "foreign save over a 0600 file"
got=$(header private.wav)
if [ "$got" = "$expected" ]; then pass "the replaced file holds the converted sound"; else fail "replaced file: $got, wanted $expected"; fi
if cmp -s new.wav private.wav; then pass "both saves wrote the same bytes"; else fail "the two saves differ"; fi
mode=$(stat -c %a private.wav)
if [ "$mode" = 600 ]; then pass "the replaced file keeps its mode"; else fail "the replaced file's mode is now $mode"; fi
no_leftovers "foreign saves"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
