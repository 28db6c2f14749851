#!/usr/bin/env bash
# The windows at 150 % and 200 % display scale, in a prefix of this test's own whose
# LogPixels is 144, then 192: the main window, the format dialog and the equalizer window
# have 1.5x and 2x their 96-DPI client areas and control places; a knob dragged to the top
# is still +20 and a 12-layout-unit drag still +12, so the equalized output equals the
# tool's; the slider's range is the one at 96 DPI. Then a move to a 192-DPI monitor
# (WM_DPICHANGED as Windows sends it): each window takes the suggested rectangle and lays
# itself out again, the equalizer window stays beside the main window. Screenshots of
# every window at every scale go to the screenshot folder.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
require_fx

MAIN=AurechoMainWindow
EQ=AurechoEqualizerWindow
DIALOG=AurechoFormatDialog
PATH_EQ="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[7]}"
PATH_EQ_OUT="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[8]}"
PATH_CONVERT="${MENU_FILE_JA[0]}/${MENU_FILE_JA[5]}/${MENU_FILE_JA[6]}/${MENU_FILE_JA[10]}"

files="$E2E_TMP/files"
mkdir -p "$files"
# Long enough that a playback started for a screenshot is still going on a slow machine.
sox -n -r 44100 -c 2 -b 16 "$files/tone.wav" synth 8 sine 1000 vol 0.25
"$FX" "$files/tone.wav" "$files/reference.wav" equalize 0 0 12 0 0 20 0 0 0 0 || fail "the tool failed"

# px DPI UNITS: a 96-DPI length at DPI, rounded as MulDiv rounds.
px() { echo $((($2 * $1 + 48) / 96)); }
# Two lengths at DPI, "W,H".
px2() { echo "$(px "$1" "$2"),$(px "$1" "$3")"; }

# --- at 96 DPI, in the shared prefix: what the scaled windows are measured against -----
app_copy 96
app_start
open_file "$files/tone.wav"
drv clientsize $MAIN slider
read -r main_w96 main_h96 <<<"$(field "clientsize $MAIN" | tr ',' ' ')"
slider96="$(field slider)"
app_close

# Every window of the prefix at the new scale: a copy of the shared prefix, its own server.
shared_prefix="$WINEPREFIX"
scaled_prefix="$(dirname "$WINEPREFIX")/scaled-$(basename "$WINEPREFIX")"
big_display=""
scaled_cleanup() {
  WINEPREFIX="$scaled_prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$scaled_prefix"
  [ -n "$big_display" ] && kill "$big_display" >/dev/null 2>&1
}
trap 'e2e_cleanup; scaled_cleanup' EXIT
rm -rf "$scaled_prefix"
# Hard links keep the copy cheap; the files Wine rewrites in place get copies of their own
# (the registry is saved to a new file and renamed, so the shared one is never touched).
if cp -al "$shared_prefix" "$scaled_prefix" 2>/dev/null; then
  find "$scaled_prefix" -type f \( -name '*.reg' -o -name '*.ini' \) -exec sh -c 'cp -p "$1" "$1.copy" && mv -f "$1.copy" "$1"' _ {} \;
else
  rm -rf "$scaled_prefix"
  cp -a "$shared_prefix" "$scaled_prefix"
fi
export WINEPREFIX="$scaled_prefix"
# A screen of its own, wide enough for both windows side by side at 200 %.
n=120
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 2048x1536x24 -nolisten tcp >/dev/null 2>&1 &
big_display=$!
export DISPLAY=":$n"
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done

use_dpi() {
  wineserver -k >/dev/null 2>&1 || true
  "$E2E_ROOT/scripts/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    >/dev/null 2>&1 || fail "LogPixels $1 not set"
  wineserver -k >/dev/null 2>&1 || true
}

# expect_places DPI: the main window's controls where the 96-DPI layout puts them, scaled.
expect_places() {
  local d="$1" name x y w h
  while read -r name x y w h; do
    drv pos "$name" size "$name"
    expect_eq "$d DPI: $name at" "$(field "pos $name")" "$(px2 "$d" "$x" "$y")"
    expect_eq "$d DPI: $name size" "$(field "size $name")" "$(px2 "$d" "$w" "$h")"
  done <<'EOF'
positionPanel 16 8 73 35
positionCaption 20 5 50 13
levelPicture 1 1 127 33
lengthLabel 16 20 55 13
positionSlider 16 48 289 26
goToStartButton 10 80 56 22
recordButton 250 80 56 22
EOF
}

# expect_beside WHAT: the equalizer window's top-left corner is the main window's top-right.
expect_beside() {
  drv rect windowrect $EQ
  IFS='x+' read -r mw _ mx my <<<"$(field rect)"
  IFS='x+' read -r _ _ ex ey <<<"$(field "windowrect $EQ")"
  expect_eq "$1: the equalizer window beside the main window" "$ex,$ey" "$((mx + mw)),$my"
}

# expect_equalized DPI WHAT: the equalized output equals the tool's with band 2 at +12
# and band 5 at +20.
expect_equalized() {
  drv choose "$PATH_EQ_OUT" filedialog "$files/out$1.wav"
  expect_eq "$1 DPI: save dialog took out$1.wav" "$(field filedialog)" closed
  if cmp -s "$files/out$1.wav" "$files/reference.wav"; then
    pass "$1 DPI, $2: the equalized output equals the tool's with +12 and +20"
  else
    fail "$1 DPI, $2: the equalized output differs from the tool's"
  fi
}

for dpi in 144 192; do
  use_dpi "$dpi"
  app_copy "$dpi"
  app_start
  drv clientsize $MAIN
  expect_eq "$dpi DPI: main window's client area" "$(field "clientsize $MAIN")" "$(px2 "$dpi" "$main_w96" "$main_h96")"
  expect_places "$dpi"
  open_file "$files/tone.wav"
  drv slider
  expect_eq "$dpi DPI: the slider's range and place as at 96 DPI" "$(field slider)" "$slider96"
  drv click playButton sleep 600
  screenshot "scale-$dpi-main"
  drv click stopButton

  drv choose "$PATH_CONVERT" visible $DIALOG clientsize $DIALOG
  expect_field "visible $DIALOG" 1
  expect_eq "$dpi DPI: format dialog's client area" "$(field "clientsize $DIALOG")" "$(px2 "$dpi" 319 121)"
  screenshot "scale-$dpi-format" $DIALOG
  drv press $DIALOG cancelButton

  drv choose "$PATH_EQ" clientsize $EQ knobtop 5
  expect_eq "$dpi DPI: equalizer's client area" "$(field "clientsize $EQ")" "$(px2 "$dpi" 228 106)"
  expect_eq "$dpi DPI: a centred knob" "$(field "knobtop 5")" "$(px "$dpi" 44)"
  expect_beside "$dpi DPI"
  drv pressknob 5 moveknob 5 -500 releaseknob 5 knobtop 5 \
    pressknob 2 moveknob 2 "-$(px "$dpi" 12)" releaseknob 2 knobtop 2
  expect_eq "$dpi DPI: knob 5 dragged to the top of its track" "$(field "knobtop 5")" "$(px "$dpi" 24)"
  expect_eq "$dpi DPI: knob 2 dragged 12 units up" "$(field "knobtop 2")" "$(px "$dpi" 32)"
  screenshot "scale-$dpi-equalizer" $EQ
  expect_equalized "$dpi" "knobs dragged"
  [ "$dpi" = 192 ] && { app_close; break; }

  # --- moved to a 192-DPI monitor --------------------------------------------------------
  # Wine keeps drawing captions and menus at the system's DPI, so the windows are judged
  # by the rectangles they take and the places of their controls, not by client areas.
  drv dpichange $MAIN "$dpi" 192 rect
  expect_eq "to 192 DPI: the main window takes the suggested rectangle" "$(field rect)" "$(field "dpichange $MAIN")"
  expect_places 192
  expect_beside "to 192 DPI"
  drv dpichange $EQ "$dpi" 192 windowrect $EQ knobtop 5 knobtop 2
  expect_eq "to 192 DPI: the equalizer takes the suggested rectangle" "$(field "windowrect $EQ")" \
    "$(field "dpichange $EQ")"
  expect_eq "to 192 DPI: the knobs keep their places" "$(field "knobtop 5") $(field "knobtop 2")" \
    "$(px 192 24) $(px 192 32)"
  screenshot "scale-$dpi-to-192-main"
  screenshot "scale-$dpi-to-192-equalizer" $EQ
  open_file "$files/tone.wav"  # the output became the sound
  expect_equalized "$dpi-to-192" "after the move"
  drv dpichange $DIALOG "$dpi" 192 choose "$PATH_CONVERT" windowrect $DIALOG
  expect_eq "to 192 DPI: the format dialog keeps the suggested size" "$(field "windowrect $DIALOG" | cut -d+ -f1)" \
    "$(field "dpichange $DIALOG" | cut -d+ -f1)"
  screenshot "scale-$dpi-to-192-format" $DIALOG
  drv press $DIALOG cancelButton
  app_close
done

e2e_finish
