#!/usr/bin/env bash
# The program's own times under Wine on a 60-minute 44100 Hz 16-bit stereo sound of noise
# (635 MB), beside the native tool's for the same commands: Open, Volume Up, Echo,
# Equalized Output (the knobs as a first start leaves them, then every knob 10 up, whose
# file must equal the tool's) and Reverse; and how long the waveform pane takes to
# picture the opened sound. Run in the rig:
#   scripts/with-rig.sh bash scripts/wine_times.sh
# A command's time runs from choosing it until the caption is back; each look at the
# caption starts a Wine process, about 0.1-0.3 s, which is the resolution.
source "$(dirname "$0")/../tests/e2e/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
require_fx

sound="$E2E_TMP/sixty.wav"
sparse_wav "$sound" $((44100 * 4 * 3600)) noise

now() { date +%s.%N; }
# until_caption TITLE: waits until the caption reads TITLE again.
until_caption() { while drv caption && [ "$(field caption)" != "$1" ]; do :; done; }

app_copy
app_start
drv choose "${MENU_VIEW_JA[0]}/${MENU_VIEW_JA[1]}"
t0=$(now)
drv choose "$PATH_OPEN_JA" filedialog "$sound" 300000
until_caption sixty.wav
opened=$(now)
while drv text wavePane && got="$(field "text wavePane")" && [ "${got%/*}" != "${got#*/}" ]; do :; done
printf 'the whole picture %.2f s after the sound was loaded\n' "$(echo "$(now) - $opened" | bc)"
printf '| open | %.2f |' "$(echo "$opened - $t0" | bc)"
t0=$(now); "$FX" "$sound" "$E2E_TMP/native.wav" save >/dev/null; printf ' %.2f |\n' "$(echo "$(now) - $t0" | bc)"
for row in "volume-up:${MENU_EFFECT_JA[1]}" "echo:${MENU_EFFECT_JA[5]}" "reverse:${MENU_EFFECT_JA[6]}"; do
  op="${row%%:*}" item="${row#*:}"
  t0=$(now)
  drv choose "${MENU_EFFECT_JA[0]}/$item"
  until_caption sixty.wav
  printf '| %s | %.2f |' "$op" "$(echo "$(now) - $t0" | bc)"
  t0=$(now); "$FX" "$sound" "$E2E_TMP/native.wav" "$op" >/dev/null; printf ' %.2f |\n' "$(echo "$(now) - $t0" | bc)"
done
# equalized_output NAME LABEL INPUT KNOB...: the program's Equalized Output into NAME.wav
# and the tool's equalize of INPUT with the same knobs, timed on one row.
equalized_output() {
  local name="$1" label="$2" input="$3" t0; shift 3
  t0=$(now)
  drv choose "${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[8]}" filedialog "$E2E_TMP/$name.wav" 300000
  until_caption "$name.wav"
  printf '| %s | %.2f |' "$label" "$(echo "$(now) - $t0" | bc)"
  t0=$(now); "$FX" "$input" "$E2E_TMP/native.wav" equalize "$@" >/dev/null
  printf ' %.2f |\n' "$(echo "$(now) - $t0" | bc)"
}
equalized_output equalized "equalized output" "$sound" 0 0 0 0 0 0 0 0 0 0

# Every knob 10 up, so that all ten sections filter. The sound is by now the effects'
# result, which the flat output wrote out: the tool filters that file, and the program's
# must be the same to the byte.
moves=()
for band in $(seq 0 9); do moves+=(pressknob "$band" moveknob "$band" -10 releaseknob "$band"); done
drv choose "${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[7]}" "${moves[@]}"
equalized_output boosted "equalized output (every knob 10 up)" "$E2E_TMP/equalized.wav" 10 10 10 10 10 10 10 10 10 10
if cmp -s "$E2E_TMP/boosted.wav" "$E2E_TMP/native.wav"; then
  echo "the program's file is the tool's, byte for byte"
else
  echo "the program's file differs from the tool's: $(cmp "$E2E_TMP/boosted.wav" "$E2E_TMP/native.wav" 2>&1 | head -1)"
fi
drv kill
