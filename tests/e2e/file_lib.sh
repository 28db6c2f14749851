# Helpers for the opening and saving tests; sourced after lib.sh and menu_tables.sh.
# WAV files are made here byte by byte, so odd layouts (extra chunks, long fmt chunks,
# wrong sizes) are exactly what the test asks for.
# Run on its own (CTest picks up every file_*.sh), it checks its file maker against
# wavcheck, so the other tests' inputs are known to be what they claim.

if [ "${BASH_SOURCE[0]}" == "$0" ]; then
  source "$(dirname "$0")/lib.sh"
  source "$E2E_DIR/menu_tables.sh"
  FILE_LIB_SELF_CHECK=1
fi

require_wavcheck

# The core's whole-sound operations on WAV files, the reference for the program's results.
FX="${WAVCHECK%/tests/tools/wavcheck}/aurecho-fx"
require_fx() {
  [ -x "$FX" ] || { echo "missing $FX (build with make native)" >&2; exit 1; }
}

PATH_NEW_JA="${MENU_FILE_JA[0]}/${MENU_FILE_JA[1]}"
PATH_OPEN_JA="${MENU_FILE_JA[0]}/${MENU_FILE_JA[2]}"
PATH_SAVE_JA="${MENU_FILE_JA[0]}/${MENU_FILE_JA[3]}"
PATH_SAVEAS_JA="${MENU_FILE_JA[0]}/${MENU_FILE_JA[4]}"
PATH_EXIT_JA="${MENU_FILE_JA[0]}/${MENU_FILE_JA[9]}"
PATH_NEW_EN="${MENU_FILE_EN[0]}/${MENU_FILE_EN[1]}"
PATH_OPEN_EN="${MENU_FILE_EN[0]}/${MENU_FILE_EN[2]}"

# open_file PATH: File > Open, the path typed into the open dialog.
open_file() {
  drv choose "$PATH_OPEN_JA" filedialog "$1"
  expect_eq "open dialog took ${1##*/}" "$(field filedialog)" closed
}

# save_as PATH: File > Save As onto a path that does not exist yet.
save_as() {
  drv choose "$PATH_SAVEAS_JA" filedialog "$1"
  expect_eq "save dialog took ${1##*/}" "$(field filedialog)" closed
}

# wav_make FILE [key=value]...: a WAV file with a deterministic, non-silent pattern.
#   rate bits ch bytes   format and number of sample bytes (default 44100 16 2 4400)
#   tag                  format tag (default 1); 0xFFFE writes an extensible fmt chunk
#   subformat            extensible sub-format's first word (default 1, PCM)
#   fmtsize              fmt chunk size: 16 (default), 18, or 40 for extensible
#   list=1 fact=1        a LIST / fact chunk between fmt and data
#   datafirst=1          the data chunk before the fmt chunk
#   riff                 first tag (default RIFF)
#   datasize             declared data size (default: bytes)
#   seed                 varies the pattern (default 1)
wav_make() {
  python3 - "$@" <<'EOF'
import struct, sys
out = sys.argv[1]
o = dict(a.split('=', 1) for a in sys.argv[2:])
num = lambda k, d: int(o.get(k, str(d)), 0)
rate, bits, ch, n = num('rate', 44100), num('bits', 16), num('ch', 2), num('bytes', 4400)
tag, seed = num('tag', 1), num('seed', 1)
fmtsize = num('fmtsize', 40 if tag == 0xFFFE else 16)
align = max(bits // 8, 1) * ch
fmt = struct.pack('<HHIIHH', tag, ch, rate, rate * align, align, bits)
if fmtsize >= 18:
    fmt += struct.pack('<H', fmtsize - 18)
if tag == 0xFFFE:
    guid_tail = bytes.fromhex('000000001000800000aa00389b71')
    fmt += struct.pack('<HIH', bits, 3 if ch == 2 else 4, num('subformat', 1)) + guid_tail
fmt = fmt.ljust(fmtsize, b'\0')
data = bytes(((i * 7 + seed) * 31 + (i >> 8) * 13) & 0xFF for i in range(n))
def chunk(cid, body, size=None):
    pad = b'\0' if len(body) % 2 else b''
    return cid + struct.pack('<I', len(body) if size is None else size) + body + pad
chunks = [chunk(b'fmt ', fmt)]
if o.get('list') == '1':
    chunks.append(chunk(b'LIST', b'INFOISFT' + struct.pack('<I', 8) + b'aurecho\0'))
if o.get('fact') == '1':
    chunks.append(chunk(b'fact', struct.pack('<I', n // align)))
datachunk = chunk(b'data', data, num('datasize', n) & 0xFFFFFFFF)
if o.get('datafirst') == '1':
    chunks.insert(0, datachunk)
else:
    chunks.append(datachunk)
body = b'WAVE' + b''.join(chunks)
with open(out, 'wb') as f:
    f.write(o.get('riff', 'RIFF').encode() + struct.pack('<I', len(body)) + body)
EOF
}

# wav_data FILE: the bytes of the data chunk (those present) as one hex string, or
# "(no data)"; a way to compare the samples of files with different headers.
wav_data() {
  python3 - "$1" <<'EOF'
import struct, sys, hashlib
b = open(sys.argv[1], 'rb').read()
at = 12
while at + 8 <= len(b):
    cid, size = b[at:at + 4], struct.unpack('<I', b[at + 4:at + 8])[0]
    if cid == b'data':
        d = b[at + 8:at + 8 + size]
        print(len(d), hashlib.sha256(d).hexdigest())
        break
    at += 8 + size + (size & 1)
else:
    print('(no data)')
EOF
}

# The first 44 bytes of a file as hex.
head44() { head -c 44 "$1" | od -An -tx1 -v | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }

# A canonical 44-byte header as hex: canonical_header RATE BITS CH DATABYTES.
canonical_header() {
  python3 - "$@" <<'EOF'
import struct, sys
rate, bits, ch, n = map(int, sys.argv[1:])
align = bits // 8 * ch
h = b'RIFF' + struct.pack('<I', n + 36) + b'WAVEfmt ' + struct.pack('<IHHIIHH', 16, 1, ch, rate, rate * align, align, bits)
h += b'data' + struct.pack('<I', n)
print(' '.join('%02x' % x for x in h))
EOF
}

# The path as the program sees it under Wine: Z:\... with backslashes.
win_path() { printf 'Z:%s' "${1//\//\\}"; }

# wavcheck_ok WHAT FILE OPTIONS...: wavcheck's verdict must be a pass.
wavcheck_ok() {
  local what="$1" file="$2"; shift 2
  local out
  if out="$("$WAVCHECK" "$file" -q "$@" 2>&1)"; then pass "$what"; else fail "$what: $out"; fi
}

# The main window's state as one line per item, to compare before and after a command:
# caption, both length labels, slider, buttons, the checked format and how many of
# the 32 format items are grayed. Leaves it in STATE (no subshell: a driver failure
# must end the test).
read_state() {
  drv caption text positionLabel text lengthLabel slider \
    enabled goToStartButton enabled goToEndButton enabled playButton enabled stopButton enabled recordButton menu
  local items
  items="$(paste <(menu_columns 1 | sed 's/^ *//') <(menu_columns 3))"
  STATE="$(printf '%s\n' "$DRV_OUT" | grep -v '^menu: '
    printf 'format checked: %s\n' "$(printf '%s\n' "$items" | awk -F'\t' '$1 ~ /Hz (8|16)bit / && $2 ~ /checked/ {print $1}' | paste -sd,)"
    printf 'format grayed: %s\n' "$(printf '%s\n' "$items" | awk -F'\t' '$1 ~ /Hz (8|16)bit / && $2 ~ /grayed/' | grep -c .)"
    printf 'PCM grayed: %s\n' "$(printf '%s\n' "$items" | awk -F'\t' '$1 == "PCM" {print ($2 ~ /grayed/) ? 1 : 0}')")"
}

# state_value NAME: one line of STATE.
state_value() { printf '%s\n' "$STATE" | sed -n "s/^$1: //p"; }

# expect_state WHAT NAME VALUE...: checks pairs against STATE.
expect_state() {
  local what="$1"; shift
  while [ $# -ge 2 ]; do
    expect_eq "$what: $1" "$(state_value "$1")" "$2"
    shift 2
  done
}

# The state right after New (or a fresh start), in Japanese; TITLE is the caption.
expect_empty_document() {
  local what="$1" title="$2" zero="${3:-0.00 秒}"
  read_state
  expect_state "$what" caption "$title" "text positionLabel" "$zero" "text lengthLabel" "$zero" slider "0 0 0" \
    "enabled goToStartButton" 0 "enabled goToEndButton" 0 "enabled playButton" 0 "enabled stopButton" 0 \
    "enabled recordButton" 1 \
    "format checked" "44100Hz 16bit stereo" "format grayed" 0 "PCM grayed" 0
}

# Scratch working files beside the program.
scratch_files() { (cd "$APP_DIR" && ls aurecho_*.wav 2>/dev/null) || true; }

# wavcheck_says WHAT FILE NAME=VALUE...: wavcheck reports these values for the file.
wavcheck_says() {
  local what="$1" file="$2"; shift 2
  local report kv
  report="$("$WAVCHECK" "$file" 2>&1)"
  for kv in "$@"; do
    if grep -qx -- "$kv" <<<"$report"; then pass "$what: $kv"
    else fail "$what: no $kv in: $(printf '%s\n' "$report" | grep "^${kv%%=*}=" || echo "$report" | tail -1)"; fi
  done
}

if [ -n "${FILE_LIB_SELF_CHECK:-}" ]; then
  d="$E2E_TMP"
  wav_make "$d/plain.wav" rate=11025 bits=8 ch=1 bytes=22050
  wavcheck_ok "plain file canonical" "$d/plain.wav" --expect-canonical --expect-sizes --expect-format 8,11025,1
  expect_eq "plain file header" "$(head44 "$d/plain.wav")" "$(canonical_header 11025 8 1 22050)"
  wav_make "$d/listed.wav" rate=11025 bits=8 ch=1 bytes=22050 list=1 fact=1
  wavcheck_says "extra chunks" "$d/listed.wav" canonical=0 chunks=fmt,LIST,fact,data data_size_ok=1
  expect_eq "same samples whatever the layout" "$(wav_data "$d/listed.wav")" "$(wav_data "$d/plain.wav")"
  expect_eq "sample bytes counted" "$(wav_data "$d/plain.wav" | cut -d' ' -f1)" 22050
  wav_make "$d/fmt18.wav" fmtsize=18
  wavcheck_says "18-byte fmt" "$d/fmt18.wav" fmt_size=18 format_tag=1
  wav_make "$d/ext.wav" tag=0xFFFE
  wavcheck_says "extensible PCM" "$d/ext.wav" fmt_size=40 extensible=1 format=PCM
  wav_make "$d/datafirst.wav" datafirst=1
  wavcheck_says "data first" "$d/datafirst.wav" chunks=data,fmt
  wav_make "$d/unknown.wav" datasize=0xFFFFFFFF
  wavcheck_says "unknown size" "$d/unknown.wav" data_declared=4294967295 data_bytes=4400
  wav_make "$d/other.wav" bytes=4400 seed=2
  if [ "$(wav_data "$d/other.wav")" != "$(wav_data "$d/unknown.wav")" ]; then pass "seeds give other samples"
  else fail "seeds give the same samples"; fi
  if [ "$(tail -c +45 "$d/plain.wav" | tr -d '\000' | wc -c)" -gt 20000 ]; then pass "samples not silent"
  else fail "samples mostly zero"; fi
  expect_eq "Windows path" "$(win_path "/tmp/a b/c.wav")" 'Z:\tmp\a b\c.wav'
  e2e_finish
fi
