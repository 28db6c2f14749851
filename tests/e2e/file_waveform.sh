#!/usr/bin/env bash
# The waveform pane on the real program, in one run and a restart: View > Waveform shows
# it below the controls; the picture of a sound of silence with a full-scale burst at 1-2 s
# and a half-scale one at 3-4 s; a click sets the position, a drag selects; Delete Selection
# and Trim to Selection leave what the native tool leaves and Undo brings the sound back
# byte for byte; Copy copies the selection; the picture grows while recording; the pane at
# 144 DPI; the check and the window's size kept across a restart.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
require_fx

PATH_VIEW="${MENU_VIEW_JA[0]}/${MENU_VIEW_JA[1]}"
PATH_COPY="${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[1]}"
PATH_UNDO="${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[9]}"
PATH_DELETE_SELECTION="${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[11]}"
PATH_TRIM="${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[12]}"
f="$E2E_TMP/files"
mkdir -p "$f"
FRAMES=220500  # 5 s of 44100 Hz 16-bit stereo

python3 - "$f/bursts.wav" <<'EOF'
import struct, sys
rate, n = 44100, 220500
data = bytearray(4 * n)
for i in range(n):
    t = i / rate
    v = 0
    if 1 <= t < 2:
        v = 32767 if (i // 50) % 2 == 0 else -32768
    elif 3 <= t < 4:
        v = 16383 if (i // 50) % 2 == 0 else -16384
    struct.pack_into('<hh', data, 4 * i, v, v)
fmt = struct.pack('<HHIIHH', 1, 2, rate, rate * 4, 4, 16)
body = b'WAVE' + b'fmt ' + struct.pack('<I', 16) + fmt + b'data' + struct.pack('<I', len(data)) + data
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)
EOF

# The frame a pointer on a column of a pane showing the whole sound points at.
frame_at() { echo $(( ($1 * FRAMES + WIDTH - 1) / WIDTH )); }

# wait_summary WHAT: the pane's summary complete within 10 s.
wait_summary() {
  local end=$((SECONDS + 10)) got
  while [ $SECONDS -le $end ]; do
    drv text wavePane
    got="$(field "text wavePane")"
    case "$got" in */*) [ "${got%/*}" = "${got#*/}" ] && { pass "$1: summary complete ($got)"; return; } ;; esac
    sleep 0.2
  done
  fail "$1: summary not complete after 10 s ($got)"
}

# working_file: the one working file beside the program.
working_file() { ls "$APP_DIR"/aurecho_*.wav; }

app_copy
app_start
drv checked "$PATH_VIEW" shown wavePane rect
expect_field "checked $PATH_VIEW" 0
expect_field "shown wavePane" 0
first_rect="$(field rect)"

open_file "$f/bursts.wav"
drv choose "$PATH_VIEW" checked "$PATH_VIEW" shown wavePane size wavePane rect clientsize AurechoMainWindow
expect_field "checked $PATH_VIEW" 1
expect_field "shown wavePane" 1
WIDTH="$(field "size wavePane" | cut -d, -f1)"
expect_eq "the pane is as wide as the window" "$WIDTH" "$(field "clientsize AurechoMainWindow" | cut -d, -f1)"
expect_eq "the pane is 120 high" "$(field "size wavePane" | cut -d, -f2)" 120
w="$(field rect | sed 's/x.*//')"
[ "$w" -ge "${first_rect%%x*}" ] && [ "$w" -le $((${first_rect%%x*} + 8)) ] &&
  pass "the window grew by the pane and its sizing border ($first_rect to $(field rect))" ||
  fail "the window's width went from $first_rect to $(field rect)"
wait_summary "opened"

# --- the picture: full height, half height, a flat line --------------------------------
screenshot_control waveform-bursts wavePane
python3 - "$SCREENSHOT_DIR/waveform-bursts.png" "$E2E_DIR/pane_picture.py" "$FRAMES" <<'EOF' >"$E2E_TMP/picture.txt"
import math, subprocess, sys
png, script, frames = sys.argv[1], sys.argv[2], int(sys.argv[3])
def columns(rows=None):
    args = [sys.executable, script] + (['--rows', rows] if rows else []) + [png]
    out = subprocess.run(args, check=True, stdout=subprocess.PIPE, text=True).stdout.split('\n')
    return [None if l.split()[1] == '-' else (int(l.split()[1]), int(l.split()[2])) for l in out if l]
whole = columns()
width = len(whole)
start = lambda c: -(-c * frames // width)
kind = lambda a, b: 'full' if a >= 44100 and b <= 88200 else 'half' if a >= 132300 and b <= 176400 else \
    'flat' if (b <= 44100 or 88200 <= a) and (b <= 132300 or 176400 <= a) else None
# The left lane's top and the right lane's bottom are those of a full-scale column.
mid = (start(0) + 66150) * width // frames
top, bottom = whole[mid]
h = (bottom - top) // 2
def row(v, t):  # as the pane maps a sample to a row
    c = (h - 1) // 2
    return t + c - (2 * v * c + 32767) // (2 * 32767) if v >= 0 else t + c + (-2 * v * (h - 1 - c) + 32768) // 65536
bad = 0
for lane, t in (('left', top), ('right', top + h + 1)):
    got = columns('%d-%d' % (t, t + h - 1))
    want = {'full': (row(32767, t), row(-32768, t)), 'half': (row(16383, t), row(-16384, t)), 'flat': (row(0, t), row(0, t))}
    seen = {}
    for c in range(2, width):
        k = kind(start(c), start(c + 1))
        if k is None:
            continue
        seen[k] = seen.get(k, 0) + 1
        w = want[k]
        if got[c] is None or abs(got[c][0] - w[0]) > 1 or abs(got[c][1] - w[1]) > 1:
            bad += 1
            if bad <= 5:
                print('FAIL %s lane column %d (%s): rows %s, want %s' % (lane, c, k, got[c], w))
    print('lane %s rows %d-%d: %s' % (lane, t, t + h - 1, ' '.join('%s %d' % kv for kv in sorted(seen.items()))))
print('OK' if bad == 0 and h > 20 else 'FAIL %d columns' % bad)
EOF
cat "$E2E_TMP/picture.txt"
expect_eq "the bursts' columns full and half high, a flat line elsewhere" "$(tail -1 "$E2E_TMP/picture.txt")" OK

# --- a click sets the position, a drag selects -------------------------------------------
click=160
frame="$(frame_at $click)"
drv panepress $click panerelease $click text positionLabel slider text selectionLabel
expect_eq "a click: the position" "$(field "text positionLabel")" "$(printf '%d.%02d 秒' $((frame / 44100)) $((frame * 100 / 44100 % 100)))"
expect_eq "a click selects nothing" "$(field "text selectionLabel")" ""
from="$(frame_at 100)"
to="$(frame_at 210)"
drv panepress 100 panemove 150 panerelease 210 text selectionLabel grayed "$PATH_DELETE_SELECTION" grayed "$PATH_TRIM"
label="$(field "text selectionLabel")"
want="$(python3 -c 'import sys; a, b = int(sys.argv[1]), int(sys.argv[2]); print(" ".join("%.2f" % (x / 44100) for x in (a, b, b - a)))' "$from" "$to")"
got="$(printf '%s' "$label" | sed 's/[^0-9. ]//g; s/  */ /g; s/^ //; s/ $//')"
python3 -c 'import sys; a=[float(x) for x in sys.argv[1].split()]; b=[float(x) for x in sys.argv[2].split()]; sys.exit(0 if len(a)==3 and all(abs(x-y)<=0.011 for x,y in zip(a,b)) else 1)' "$got" "$want" &&
  pass "a drag selects: $label" || fail "a drag: label [$label], want about [$want]"
expect_field "grayed $PATH_DELETE_SELECTION" 0
expect_field "grayed $PATH_TRIM" 0
screenshot_control waveform-selection wavePane

# --- Copy puts exactly the selected frames on the clipboard ------------------------------
drv clipempty choose "$PATH_COPY" nodialog 300 clipget WAVE.Format "$f/copied.raw"
python3 -c 'import sys; d=open(sys.argv[1],"rb").read()[44:]; sys.stdout.buffer.write(d[int(sys.argv[2])*4:int(sys.argv[3])*4])' "$f/bursts.wav" "$from" "$to" >"$f/selected.raw"
cmp -s "$f/copied.raw" "$f/selected.raw" && pass "Copy: the selected frames" || fail "Copy: not the selected frames"

# --- Delete Selection and Trim against the native tool; Undo gives the sound back -------
work="$(working_file)"
cp "$work" "$f/before.wav"
"$FX" "$f/bursts.wav" "$f/deleted.wav" delete-range "$from" "$to" >/dev/null
"$FX" "$f/bursts.wav" "$f/trimmed.wav" trim "$from" "$to" >/dev/null
drv choose "$PATH_DELETE_SELECTION" nodialog 300 text selectionLabel grayed "$PATH_DELETE_SELECTION"
expect_eq "Delete Selection: the tool's bytes" "$(wav_data "$work")" "$(wav_data "$f/deleted.wav")"
expect_field "text selectionLabel" ""
expect_field "grayed $PATH_DELETE_SELECTION" 1
wait_summary "after Delete Selection"
drv choose "$PATH_UNDO" nodialog 300
cmp -s "$work" "$f/before.wav" && pass "Undo: the sound byte for byte" || fail "Undo: not the sound as it was"
drv panepress 100 panerelease 210 key ctrl+t
expect_eq "Trim (Ctrl+T): the tool's bytes" "$(wav_data "$work")" "$(wav_data "$f/trimmed.wav")"
drv key ctrl+z
cmp -s "$work" "$f/before.wav" && pass "Undo of Trim: the sound byte for byte" || fail "Undo of Trim: not the sound as it was"
drv key ctrl+a text selectionLabel
expect_field "text selectionLabel" "0.00 秒 - 5.00 秒 (5.00 秒)"
drv key esc text selectionLabel
case "$(field "text selectionLabel")" in "") pass "Esc clears the selection" ;; *) fail "Esc left [$(field "text selectionLabel")]" ;; esac
wait_summary "after Undo"

# --- Ctrl+wheel zooms in around the pointer and shows the scroll bar; out hides it -------
drv panewheel 160 3 panescroll
expect_eq "Ctrl+wheel in: the scroll bar" "$(field panescroll | cut -d' ' -f1)" 1
screenshot_control waveform-zoomed wavePane
drv panewheel 160 -3 panescroll
expect_eq "Ctrl+wheel out: the whole sound again" "$(field panescroll | cut -d' ' -f1)" 0

# --- Play plays the selection and stops at its end --------------------------------------
to="$(frame_at 70)"
drv panepress 64 panerelease 70 click playButton
end=$((SECONDS + 5))
while [ $SECONDS -le $end ]; do
  drv enabled playButton text positionLabel
  [ "$(field "enabled playButton")" = 1 ] && break
  sleep 0.2
done
expect_eq "Play of a selection: stopped by itself" "$(field "enabled playButton")" 1
expect_eq "Play of a selection: stopped at its end" "$(field "text positionLabel")" \
  "$(printf '%d.%02d 秒' $(((to + 220) / 44100)) $(((to * 100 + 22050) / 44100 % 100)))"

# --- the picture grows while recording ---------------------------------------------------
# new_sound: File > New, not saving what there was.
new_sound() {
  drv choose "$PATH_NEW_JA"
  if drv_try msgbox 1000; then drv answer no; fi
}
new_sound
drv click recordButton sleep 1000 text wavePane
first="$(field "text wavePane")"
drv sleep 1000 text wavePane
second="$(field "text wavePane")"
drv click stopButton
if [ "${first#*/}" -gt 0 ] && [ "${second%/*}" -gt "${first%/*}" ]; then
  pass "recording: the picture grew from $first to $second frames"
else
  fail "recording: the picture went from $first to $second"
fi
screenshot_control waveform-recorded wavePane

# --- at 144 DPI the pane is drawn at scale -----------------------------------------------
drv dpichange AurechoMainWindow 96 144 size wavePane clientsize AurechoMainWindow
[ "$(field "size wavePane" | cut -d, -f2)" -ge 180 ] && pass "144 DPI: the pane is at least 180 high" ||
  fail "144 DPI: the pane is $(field "size wavePane") high"
expect_eq "144 DPI: as wide as the window" "$(field "size wavePane" | cut -d, -f1)" "$(field "clientsize AurechoMainWindow" | cut -d, -f1)"
screenshot waveform-144dpi
drv dpichange AurechoMainWindow 144 96 rect
sized="$(field rect)"

# --- the check and the size across a restart ---------------------------------------------
new_sound
app_close
grep -q '^Waveform=1' "$APP_DIR/Aurecho32.ini" && pass "Aurecho32.ini keeps the pane" || fail "Aurecho32.ini: $(cat "$APP_DIR/Aurecho32.ini" 2>&1)"
expect_eq "the settings file keeps its 11 bytes" "$(stat -c %s "$SETTINGS")" 11
app_start
drv checked "$PATH_VIEW" shown wavePane rect
expect_eq "restart: checked" "$(field "checked $PATH_VIEW")" 1
expect_eq "restart: shown" "$(field "shown wavePane")" 1
expect_eq "restart: the same size" "$(field rect | cut -d+ -f1)" "${sized%%+*}"
drv choose "$PATH_VIEW" rect shown wavePane
expect_eq "unchecked: today's window again" "$(field rect | cut -d+ -f1)" "${first_rect%%+*}"
expect_field "shown wavePane" 0
app_close

# An odd .ini is no error: the first look.
printf '[View]\nWaveform=yes\nWidth=-3\nHeight=99999999\n' >"$APP_DIR/Aurecho32.ini"
app_start
drv nodialog 500 checked "$PATH_VIEW" rect
expect_eq "odd ini: not checked" "$(field "checked $PATH_VIEW")" 0
expect_eq "odd ini: today's window" "$(field rect | cut -d+ -f1)" "${first_rect%%+*}"
app_close

e2e_finish
