#!/usr/bin/env bash
# How long the waveform pane takes to show a 60-minute sound under Wine: File > Open of a
# 44100 Hz 16-bit stereo file of noise (635 MB) with the pane shown, then the time until
# the pane's summary has begun and until it is whole. Run inside the test rig:
#   scripts/with-rig.sh bash scripts/pane_timing.sh
# Each driver call starts a Wine process (about 0.1-0.3 s), so the times are that coarse.
source "$(dirname "$0")/../tests/e2e/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

sound="$E2E_TMP/sixty.wav"
python3 - "$sound" <<'PY'
import os, struct, sys
size = 44100 * 4 * 3600
with open(sys.argv[1], 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', size + 36) + b'WAVEfmt ' +
            struct.pack('<IHHIIHH', 16, 1, 2, 44100, 176400, 4, 16) + b'data' + struct.pack('<I', size))
    block = os.urandom(1 << 20)
    for _ in range(size >> 20):
        f.write(block)
    f.write(block[:size & ((1 << 20) - 1)])
PY
app_copy
app_start
drv choose "${MENU_VIEW_JA[0]}/${MENU_VIEW_JA[1]}"
start=$(date +%s.%N)
drv choose "$PATH_OPEN_JA" filedialog "$sound" 120000
opened=$(date +%s.%N)
first="" whole=""
while :; do
  drv text wavePane
  now=$(date +%s.%N) got="$(field "text wavePane")"
  [ -z "$first" ] && [ "${got%/*}" != 0 ] && first=$now
  [ "${got%/*}" = "${got#*/}" ] && [ "${got#*/}" != 0 ] && { whole=$now; break; }
  [ "$(echo "$now - $start > 120" | bc)" = 1 ] && break
done
printf 'open (dialog to loaded): %.2f s\n' "$(echo "$opened - $start" | bc)"
printf 'loaded to first summarised frames seen: %.2f s\n' "$(echo "$first - $opened" | bc)"
printf 'loaded to the whole picture: %.2f s\n' "$(echo "${whole:-$now} - $opened" | bc)"
drv kill
