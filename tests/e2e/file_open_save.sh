#!/usr/bin/env bash
# File > Open and File > Save As through the real dialogs, Save to the same name, New and
# Exit: what the window shows for an opened sound, the scratch copy beside the program,
# and the bytes of every saved file.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

files="$E2E_TMP/files"
mkdir -p "$files"
wav_make "$files/five.wav" rate=44100 bits=16 ch=2 bytes=882000
wav_make "$files/mono8.wav" rate=11025 bits=8 ch=1 bytes=22050 seed=2
# Extra chunks between fmt and data: skipped when read, gone once saved.
wav_make "$files/listed.wav" rate=22050 bits=16 ch=1 bytes=88200 list=1 fact=1 seed=3
# A 40-byte extensible fmt chunk with the PCM sub-format.
wav_make "$files/ext.wav" rate=48000 bits=16 ch=2 tag=0xFFFE bytes=19200 seed=4
wav_make "$files/other.wav" rate=8000 bits=8 ch=1 bytes=800 seed=5
# An odd number of 8-bit stereo frames (3307): a saved copy keeps the last one.
wav_make "$files/odd8.wav" rate=11025 bits=8 ch=2 bytes=6614 seed=6
cp "$files/other.wav" "$files/other.orig"
sources_sum() { (cd "$files" && sha256sum five.wav mono8.wav listed.wav ext.wav); }
sources_before="$(sources_sum)"

# The scratch copy: one file aurecho_YYYYMMDD_HHMMSS.wav beside the program, with a
# canonical header in the file's format and the file's samples behind it.
check_scratch() {
  local what="$1" source="$2" rate="$3" bits="$4" ch="$5" bytes="$6"
  local scratch; scratch="$(scratch_files)"
  if [[ "$scratch" =~ ^aurecho_[0-9]{8}_[0-9]{6}\.wav$ ]]; then
    pass "$what: one scratch file $scratch"
    expect_eq "$what: scratch header up to the data tag" "$(head44 "$APP_DIR/$scratch" | cut -c1-107)" \
      "$(canonical_header "$rate" "$bits" "$ch" "$bytes" | cut -c1-107)"
    expect_eq "$what: scratch samples" "$(tail -c +45 "$APP_DIR/$scratch" | head -c "$bytes" | sha256sum | cut -d' ' -f1)" \
      "$(wav_data "$source" | cut -d' ' -f2)"
  else
    fail "$what: scratch files beside the program: [$scratch]"
  fi
}

app_copy
app_start

# --- a 5.00 s canonical file ---------------------------------------------------------
open_file "$files/five.wav"
read_state
expect_state "five.wav opened" caption five.wav "text positionLabel" "0.00 秒" "text lengthLabel" "5.00 秒" \
  slider "0 500 0" "enabled goToStartButton" 1 "enabled goToEndButton" 1 "enabled playButton" 1 "enabled stopButton" 0 \
  "enabled recordButton" 1 "format checked" "44100Hz 16bit stereo" "format grayed" 32 "PCM grayed" 0
check_scratch "five.wav opened" "$files/five.wav" 44100 16 2 882000
screenshot opened

save_as "$files/copy.wav"
drv caption
expect_eq "caption after Save As" "$(field caption)" copy.wav
if cmp -s "$files/five.wav" "$files/copy.wav"; then pass "copy.wav equals five.wav byte for byte"
else fail "copy.wav differs from five.wav: $(cmp "$files/five.wav" "$files/copy.wav" 2>&1)"; fi
wavcheck_ok "copy.wav is canonical, sizes right, 16,44100,2" "$files/copy.wav" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2

# Save As onto an existing file: the dialog asks first. No leaves the file alone.
drv choose "$PATH_SAVEAS_JA" filedialog "$files/other.wav"
expect_eq "save dialog stays for the question" "$(field filedialog)" open
drv msgbox
case "$(field "msgbox text")" in
  *exists*) pass "overwrite question: $(field "msgbox text")" ;;
  *) fail "no overwrite question, box text [$(field "msgbox text")]" ;;
esac
drv answer no filedialog-cancel caption
expect_eq "caption after no and cancel" "$(field caption)" copy.wav
if cmp -s "$files/other.wav" "$files/other.orig"; then pass "answered no: other.wav untouched"
else fail "answered no: other.wav changed"; fi
# Yes replaces it with the sound, byte for byte.
drv choose "$PATH_SAVEAS_JA" filedialog "$files/other.wav"
expect_eq "save dialog stays for the question" "$(field filedialog)" open
drv msgbox answer yes caption
expect_eq "caption after replacing" "$(field caption)" other.wav
if cmp -s "$files/five.wav" "$files/other.wav"; then pass "answered yes: other.wav replaced by the sound"
else fail "answered yes: other.wav is not the sound ($(stat -c %s "$files/other.wav") bytes)"; fi

# Save to the same name: no dialog, the file is written again.
rm -f "$files/other.wav"
drv choose "$PATH_SAVE_JA" nodialog 1000 caption
expect_eq "caption after Save" "$(field caption)" other.wav
if cmp -s "$files/five.wav" "$files/other.wav"; then pass "Save wrote other.wav again without a dialog"
else fail "Save without a dialog: other.wav is $(stat -c '%s bytes' "$files/other.wav" 2>/dev/null || echo missing)"; fi

# --- 11025 Hz 8-bit mono: the format check follows the file --------------------------
open_file "$files/mono8.wav"
read_state
expect_state "mono8.wav opened" caption mono8.wav "text lengthLabel" "2.00 秒" slider "0 200 0" \
  "format checked" "11025Hz 8bit mono" "format grayed" 32 "enabled goToStartButton" 1 "enabled stopButton" 0
check_scratch "mono8.wav opened" "$files/mono8.wav" 11025 8 1 22050
save_as "$files/mono8-copy.wav"
if cmp -s "$files/mono8.wav" "$files/mono8-copy.wav"; then pass "mono8-copy.wav equals mono8.wav"
else fail "mono8-copy.wav differs: $(cmp "$files/mono8.wav" "$files/mono8-copy.wav" 2>&1)"; fi

# --- 8-bit stereo with an odd number of frames: every frame is declared and saved --------
open_file "$files/odd8.wav"
save_as "$files/odd8-saved.wav"
wavcheck_ok "odd8-saved.wav canonical, sizes right, 8,11025,2" "$files/odd8-saved.wav" \
  --expect-canonical --expect-sizes --expect-format 8,11025,2
expect_eq "odd8-saved.wav header" "$(head44 "$files/odd8-saved.wav")" "$(canonical_header 11025 8 2 6614)"
expect_eq "odd8-saved.wav samples" "$(wav_data "$files/odd8-saved.wav")" "$(wav_data "$files/odd8.wav")"
expect_eq "odd8-saved.wav size" "$(stat -c %s "$files/odd8-saved.wav")" $((44 + 6614))

# --- New: the empty document again ---------------------------------------------------
drv choose "$PATH_NEW_JA" nodialog 300
expect_empty_document "after New" "$TITLE_JA"
drv grayed "${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[6]}" grayed "${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[7]}"
expect_field "grayed ${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[6]}" 1
expect_field "grayed ${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[7]}" 1
expect_eq "after New: no scratch file" "$(scratch_files)" ""

# --- extra chunks and a long fmt chunk: saved canonically, same samples ---------------
open_file "$files/listed.wav"
read_state
expect_state "listed.wav opened" caption listed.wav "text lengthLabel" "2.00 秒" slider "0 200 0" \
  "format checked" "22050Hz 16bit mono"
save_as "$files/listed-saved.wav"
wavcheck_ok "listed-saved.wav canonical, sizes right, 16,22050,1" "$files/listed-saved.wav" \
  --expect-canonical --expect-sizes --expect-format 16,22050,1
expect_eq "listed-saved.wav header" "$(head44 "$files/listed-saved.wav")" "$(canonical_header 22050 16 1 88200)"
expect_eq "listed-saved.wav samples" "$(wav_data "$files/listed-saved.wav")" "$(wav_data "$files/listed.wav")"
expect_eq "listed-saved.wav size" "$(stat -c %s "$files/listed-saved.wav")" $((44 + 88200))

open_file "$files/ext.wav"
read_state
expect_state "ext.wav opened" caption ext.wav "text lengthLabel" "0.10 秒" slider "0 10 0" \
  "format checked" "48000Hz 16bit stereo"
save_as "$files/ext-saved.wav"
expect_eq "ext-saved.wav header" "$(head44 "$files/ext-saved.wav")" "$(canonical_header 48000 16 2 19200)"
expect_eq "ext-saved.wav samples" "$(wav_data "$files/ext-saved.wav")" "$(wav_data "$files/ext.wav")"
expect_eq "ext-saved.wav size" "$(stat -c %s "$files/ext-saved.wav")" $((44 + 19200))

# --- Exit: nothing unsaved, so no question; the scratch file goes -----------------------
drv choose "$PATH_EXIT_JA"
if drv_try waitexit 10000; then
  expect_eq "Exit ends the program with code 0" "$(field waitexit)" 0
else
  fail "Exit did not end the program: $DRV_ERR"
  drv_try windows && echo "$DRV_OUT" >&2
fi
APP_PID=""
expect_eq "after Exit: no scratch file" "$(scratch_files)" ""
expect_eq "opened files untouched" "$(sources_sum)" "$sources_before"

e2e_finish
