#!/usr/bin/env bash
# The Effect menu's six whole-sound commands on the real program: each one on an opened
# file, then Save As; the saved file must equal what the core's command-line tool makes of
# the same file. The speed commands' length display, and no effect without a sound.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

require_fx

files="$E2E_TMP/files"
mkdir -p "$files"
# 1.5 s each: long enough for all three echo taps. The 8-bit mono sound has an odd length.
wav_make "$files/st16.wav" rate=44100 bits=16 ch=2 bytes=264600 seed=7
wav_make "$files/mono8.wav" rate=11025 bits=8 ch=1 bytes=16539 seed=8

OPS=(volume-up volume-down speed-up speed-down echo reverse)
effect_path() {  # effect_path INDEX: the Japanese menu path of OPS[INDEX]
  printf '%s/%s' "${MENU_EFFECT_JA[0]}" "${MENU_EFFECT_JA[$(($1 + 1))]}"
}

app_copy
app_start

# --- no sound: every item does nothing ------------------------------------------------
for i in "${!OPS[@]}"; do drv choose "$(effect_path "$i")" nodialog 300; done
drv caption text lengthLabel slider
expect_eq "no sound: caption" "$(field caption)" "$TITLE_JA"
expect_eq "no sound: length" "$(field "text lengthLabel")" "0.00 秒"
expect_eq "no sound: no working file" "$(scratch_files)" ""

# --- each effect on each file equals the tool's result --------------------------------
# Expected length label and slider after the speed commands, per file.
declare -A SPEED_LENGTH=([st16:speed-up]="0.75 秒|0 75 0" [st16:speed-down]="3.00 秒|0 300 0"
  [mono8:speed-up]="0.75 秒|0 75 0" [mono8:speed-down]="3.00 秒|0 300 0")
for name in st16 mono8; do
  for i in "${!OPS[@]}"; do
    op="${OPS[$i]}"
    open_file "$files/$name.wav"
    drv choose "$(effect_path "$i")" nodialog 300 caption text lengthLabel slider
    expect_eq "$name $op: caption restored" "$(field caption)" "$name.wav"
    if [ -n "${SPEED_LENGTH[$name:$op]:-}" ]; then
      expect_eq "$name $op: length label" "$(field "text lengthLabel")" "${SPEED_LENGTH[$name:$op]%%|*}"
      expect_eq "$name $op: slider" "$(field slider)" "${SPEED_LENGTH[$name:$op]##*|}"
    else
      expect_eq "$name $op: length label" "$(field "text lengthLabel")" "1.50 秒"
    fi
    save_as "$files/$name-$op-saved.wav"
    "$FX" "$files/$name.wav" "$files/$name-$op-reference.wav" "$op" || fail "$name $op: the tool failed"
    if cmp -s "$files/$name-$op-saved.wav" "$files/$name-$op-reference.wav"; then
      pass "$name $op: saved file equals the tool's"
    else
      fail "$name $op: saved file differs: $(cmp "$files/$name-$op-saved.wav" "$files/$name-$op-reference.wav" 2>&1 | head -1)"
    fi
  done
done

# Saved, so closing asks nothing.
app_close
e2e_finish
