#!/usr/bin/env bash
# The equalizer window and the equalized output on the real program: the window opens
# beside the main window in both languages, its knobs drag within their tracks and centre
# on a double-click, closing only hides it; a knob at the top boosts a sine at its band's
# centre in the written file, which equals the core tool's result and becomes the
# document's file; cancel and a file that cannot be created change nothing; 8-bit sounds
# and 11025/22050 Hz are refused.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
require_fx

EQ=AurechoEqualizerWindow
PATH_EQ_JA="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[7]}"
PATH_EQ_OUT_JA="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[8]}"
PATH_EQ_EN="${MENU_EFFECT_EN[0]}/${MENU_EFFECT_EN[7]}"

files="$E2E_TMP/files"
mkdir -p "$files"
# 2 s of 1000 Hz (band 5's centre) at a quarter of full scale: doubled, it does not clip.
sox -n -r 44100 -c 2 -b 16 "$files/tone1k.wav" synth 2 sine 1000 vol 0.25
wav_make "$files/st8.wav" rate=44100 bits=8 ch=2 bytes=44100
wav_make "$files/mono11k.wav" rate=11025 bits=16 ch=1 bytes=22050
wav_make "$files/st22k.wav" rate=22050 bits=16 ch=2 bytes=88200

# The samples after a canonical header.
data_sum() { tail -c +45 "$1" | sha256sum | cut -d' ' -f1; }
working_file() { printf '%s/%s' "$APP_DIR" "$(scratch_files)"; }

# expect_knobs WHAT TOP0 ... TOP9: the knobs' tops in the window's client area.
expect_knobs() {
  local what="$1"; shift
  local queries=() band
  for band in $(seq 0 9); do queries+=(knobtop "$band"); done
  drv "${queries[@]}"
  local got=()
  for band in $(seq 0 9); do got+=("$(field "knobtop $band")"); done
  expect_eq "$what: knob tops" "${got[*]}" "$*"
}
CENTRED=(44 44 44 44 44 44 44 44 44 44)
# Knob moves in pixels (up is negative, a boost): the knobs at 12 8 4 -4 -8 -8 -4 4 8 12.
LIFTS=(-12 -8 -4 4 8 8 4 -4 -8 -12)

app_copy
app_start

# --- no sound: neither command does anything -------------------------------------------
drv choose "$PATH_EQ_JA" nodialog 300 visible "$EQ"
expect_field "visible $EQ" 0
drv choose "$PATH_EQ_OUT_JA" nodialog 300 caption
expect_field caption "$TITLE_JA"

# --- the window beside the main window, in both languages ------------------------------
open_file "$files/tone1k.wav"
drv choose "$PATH_EQ_JA" visible "$EQ" title "$EQ" rect windowrect "$EQ" clientsize "$EQ" eqswitch
expect_field "visible $EQ" 1
expect_field "title $EQ" "イコライザー - $TITLE_JA"
expect_field "clientsize $EQ" "228,106"
expect_field eqswitch 0
IFS='x+' read -r main_w main_h main_x main_y <<<"$(field rect)"
IFS='x+' read -r eq_w eq_h eq_x eq_y <<<"$(field "windowrect $EQ")"
expect_eq "window's left is the main window's right edge" "$eq_x" "$((main_x + main_w))"
expect_eq "window's top is the main window's top" "$eq_y" "$main_y"
expect_knobs "at start" "${CENTRED[@]}"
screenshot equalizer-ja "$EQ"
both_w=$((eq_x + eq_w - main_x))
both_h=$((main_h > eq_h ? main_h : eq_h))
screenshot_area equalizer-beside-main "${both_w}x${both_h}+${main_x}+${main_y}"

drv choose "$PATH_ENGLISH_JA" title "$EQ" visible "$EQ"
expect_field "title $EQ" "Equalizer - $TITLE_EN"
expect_field "visible $EQ" 1

# --- knobs: the top edge follows the pointer within the track --------------------------
drv pressknob 5 moveknob 5 -100 knobtop 5 moveknob 5 100 knobtop 5 moveknob 5 -10 knobtop 5 \
  moveknob 5 -100 knobtop 5 releaseknob 5 moveknob 5 30 knobtop 5
expect_eq "dragged above the track: stops at its top" "$(field "knobtop 5" | head -1)" 24
read -r -d '' -a tops < <(printf '%s\n' "$DRV_OUT" | sed -n 's/^knobtop 5: //p')
expect_eq "knob 5 while dragged: up, down, 10 up, up; after the release it stays" "${tops[*]}" "24 64 54 24 24"
expect_knobs "one knob dragged" 44 44 44 44 44 24 44 44 44 44
drv pressknob 2 moveknob 2 -12 releaseknob 2 pressknob 8 moveknob 8 9 releaseknob 8
expect_knobs "three knobs dragged" 44 44 32 44 44 24 44 44 53 44
screenshot equalizer-en "$EQ"
drv dblclickknob 2 dblclicktrack 8
expect_knobs "knob 2 and track 8 double-clicked" 44 44 44 44 44 24 44 44 44 44

# The close box only hides; the knobs stay.
drv closewindow "$EQ" visible "$EQ"
expect_field "visible $EQ" 0
drv choose "$PATH_EQ_EN" visible "$EQ" title "$EQ"
expect_field "visible $EQ" 1
expect_knobs "shown again" 44 44 44 44 44 24 44 44 44 44
drv choose "$PATH_JAPANESE_EN" title "$EQ"
expect_field "title $EQ" "イコライザー - $TITLE_JA"

drv clickeqswitch eqswitch
expect_field eqswitch 1
drv clickeqswitch eqswitch
expect_field eqswitch 0

# --- the equalized output, switch off: band 5 at full boost ------------------------------
source_sum="$(data_sum "$(working_file)")"
expect_eq "working file holds the opened samples" "$source_sum" "$(data_sum "$files/tone1k.wav")"
drv choose "$PATH_EQ_OUT_JA" filedialog "$files/boosted.wav" caption
expect_eq "save dialog took boosted.wav" "$(field filedialog)" closed
expect_field caption boosted.wav
"$FX" "$files/tone1k.wav" "$files/reference.wav" equalize 0 0 0 0 0 20 0 0 0 0 || fail "the tool failed"
if cmp -s "$files/boosted.wav" "$files/reference.wav"; then
  pass "written file equals the tool's equalize with band 5 at +20"
else
  fail "written file differs from the tool's: $(cmp "$files/boosted.wav" "$files/reference.wav" 2>&1 | head -1)"
fi
wavcheck_ok "written file: canonical, true sizes, 1000 Hz" "$files/boosted.wav" --expect-canonical --expect-sizes \
  --expect-format 16,44100,2 --expect-freq 1000
rms_in="$("$WAVCHECK" "$files/tone1k.wav" | sed -n 's/^rms_dbfs=//p')"
rms_out="$("$WAVCHECK" "$files/boosted.wav" | sed -n 's/^rms_dbfs=//p')"
gain="$(awk -v a="$rms_in" -v b="$rms_out" 'BEGIN { printf "%.2f", b - a }')"
if awk -v g="$gain" 'BEGIN { exit !(g > 5.8 && g < 6.2) }'; then
  pass "1000 Hz boosted by $gain dB (twice the amplitude is 6.02 dB)"
else
  fail "1000 Hz changed by $gain dB, expected about +6.02"
fi
equalized_sum="$(data_sum "$files/boosted.wav")"
expect_eq "the working sound is the equalized sound" "$(data_sum "$(working_file)")" "$equalized_sum"

# --- cancel, and a file that cannot be created: nothing changes --------------------------
drv choose "$PATH_EQ_OUT_JA" filedialog-cancel nodialog 300 caption
expect_field caption boosted.wav
drv choose "$PATH_EQ_OUT_JA" filedialog "$files/no-such-folder/x.wav" msgbox
expect_field "msgbox title" "$TITLE_JA"
expect_field "msgbox text" "ファイルの作成でエラーが発生しました。"
drv answer ok caption
expect_field caption boosted.wav
expect_eq "cancel and failed creation: working sound unchanged" "$(data_sum "$(working_file)")" "$equalized_sum"
[ -e "$files/no-such-folder" ] && fail "a folder was made" || pass "no file or folder made"

# --- a double-clicked knob is flat at once: the output equals its input ---------------------
drv dblclickknob 5
expect_knobs "knob 5 double-clicked" "${CENTRED[@]}"
drv choose "$PATH_EQ_OUT_JA" filedialog "$files/flat.wav" caption
expect_field caption flat.wav
expect_eq "all knobs centred: written samples equal the sound's" "$(data_sum "$files/flat.wav")" "$equalized_sum"
screenshot equalized-output-main

# --- every band at work on a sound of many buffers: each channel on a thread, the widest
# vectors the processor has, and still the tool's bytes ---------------------------------
sparse_wav "$files/noise.wav" $((44100 * 4 * 30)) noise
open_file "$files/noise.wav"
moves=()
for band in $(seq 0 9); do moves+=(pressknob "$band" moveknob "$band" "${LIFTS[band]}" releaseknob "$band"); done
drv "${moves[@]}"
expect_knobs "every knob moved" 32 36 40 48 52 52 48 40 36 32
drv choose "$PATH_EQ_OUT_JA" filedialog "$files/noise-eq.wav" caption
expect_field caption noise-eq.wav
"$FX" "$files/noise.wav" "$files/noise-ref.wav" equalize 12 8 4 -4 -8 -8 -4 4 8 12 || fail "the tool failed"
if cmp -s "$files/noise-eq.wav" "$files/noise-ref.wav"; then
  pass "30 s of noise, ten bands: written file equals the tool's"
else
  fail "30 s of noise, ten bands: $(cmp "$files/noise-eq.wav" "$files/noise-ref.wav" 2>&1 | head -1)"
fi
expect_eq "the working sound is the written one" "$(data_sum "$(working_file)")" "$(data_sum "$files/noise-eq.wav")"

# A sound that ends in half a frame: the file leaves it out, the working sound keeps it,
# filtered.
sparse_wav "$files/odd.wav" $((44100 * 4 + 2)) noise
open_file "$files/odd.wav"
drv choose "$PATH_EQ_OUT_JA" filedialog "$files/odd-eq.wav" caption
expect_field caption odd-eq.wav
"$FX" "$files/odd.wav" "$files/odd-ref.wav" equalize 12 8 4 -4 -8 -8 -4 4 8 12 || fail "the tool failed"
cmp -s "$files/odd-eq.wav" "$files/odd-ref.wav" && pass "half a frame at the end: the file is the tool's" ||
  fail "half a frame at the end: $(cmp "$files/odd-eq.wav" "$files/odd-ref.wav" 2>&1 | head -1)"
expect_eq "half a frame at the end: the working sound is the file's frames and the filtered half" \
  "$(python3 -c 'import sys; w, f = open(sys.argv[1], "rb").read()[44:], open(sys.argv[2], "rb").read()[44:]
print(len(w) - len(f), w[:len(f)] == f)' "$(working_file)" "$files/odd-eq.wav")" "2 True"

# The written file is the document's: closing asks nothing.
app_close

# --- refused sounds ------------------------------------------------------------------------
app_copy -refused
app_start
open_file "$files/tone1k.wav"
drv choose "$PATH_EQ_JA" clickeqswitch eqswitch visible "$EQ"
expect_field eqswitch 1
for name in st8 mono11k st22k; do
  open_file "$files/$name.wav"
  drv eqswitch visible "$EQ"
  expect_eq "$name: opening leaves the window shown" "$(field "visible $EQ")" 1
  if [ "$name" == st8 ]; then
    # Opening hands the rate to the switch: 44100 Hz keeps it on (playback turns it off).
    expect_eq "$name: opening keeps the switch on" "$(field eqswitch)" 1
  else
    expect_eq "$name: opening turns the switch off" "$(field eqswitch)" 0
    drv clickeqswitch eqswitch
    expect_eq "$name: the switch turns itself off again at once" "$(field eqswitch)" 0
  fi
  drv choose "$PATH_EQ_JA" visible "$EQ" eqswitch
  expect_eq "$name: the equalizer refuses to open (hidden)" "$(field "visible $EQ")" 0
  expect_eq "$name: the switch is off" "$(field eqswitch)" 0
  drv choose "$PATH_EQ_OUT_JA" nodialog 500 caption
  expect_eq "$name: equalized output does nothing" "$(field caption)" "$name.wav"
  # Shown again for the next file.
  open_file "$files/tone1k.wav"
  drv choose "$PATH_EQ_JA" clickeqswitch visible "$EQ"
done
app_close

e2e_finish
