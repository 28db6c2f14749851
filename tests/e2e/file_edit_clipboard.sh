#!/usr/bin/env bash
# Copy, paste and mixing paste on the real program, through the real clipboard: what copy
# puts there, a paste into no sound, paste and mixing paste at slider positions (saved and
# compared with the plain-way references of edit_refs.py), the blocks a paste takes, a
# clipboard it refuses, and the paste items following the clipboard.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"
source "$E2E_DIR/file_edit_lib.sh"

f="$E2E_TMP/files"
mkdir -p "$f"
wav_make "$f/a.wav" rate=44100 bits=16 ch=2 bytes=176400 seed=3   # 1.00 s
wav_make "$f/b.wav" rate=44100 bits=16 ch=2 bytes=352800 seed=4   # 2.00 s
wav_make "$f/c.wav" rate=44100 bits=16 ch=2 bytes=88200 seed=5    # 0.50 s
wav_make "$f/m8.wav" rate=11025 bits=8 ch=1 bytes=11025 seed=6    # 1.00 s
wav_make "$f/d.wav" rate=11025 bits=8 ch=1 bytes=2000 seed=7
wav_make "$f/o.wav" rate=22050 bits=8 ch=1 bytes=11025 seed=10   # 0.50 s, another format
for n in a c d; do edit_refs data "$f/$n.wav" "$f/$n.raw"; done
edit_refs record 44100 16 2 "$f/st16.rec"
edit_refs record 11025 8 1 "$f/mono8.rec"
edit_refs record 44100 24 2 "$f/st24.rec"
printf 'not a sound' >"$f/marker.bin"

app_copy
app_start

# --- an empty clipboard grays both paste items --------------------------------------------
drv clipempty activate grayed "$PATH_PASTE" grayed "$PATH_MIXING_PASTE"
expect_field "grayed $PATH_PASTE" 1
expect_field "grayed $PATH_MIXING_PASTE" 1

# --- copy with no sound changes nothing, not even the clipboard -------------------------
drv clipset WAVE.Format "$f/marker.bin" choose "$PATH_COPY" nodialog 300 caption clipget WAVE.Format "$f/kept.bin"
expect_field caption "$TITLE_JA"
expect_same "no sound: clipboard kept" "$f/kept.bin" "$f/marker.bin"
expect_eq "no sound: no working file" "$(scratch_files)" ""

# --- copy: the data bytes, their format record, a whole WAV file ------------------------
drv clipempty activate
open_file "$f/a.wav"
drv choose "$PATH_COPY" nodialog 300 caption grayed "$PATH_PASTE" grayed "$PATH_MIXING_PASTE" \
  clipget WAVE.Format "$f/copied.raw" clipget WAVE.Format.Header "$f/copied.rec" clipget WAVE "$f/copied.wav"
expect_field caption a.wav
expect_field "grayed $PATH_PASTE" 0
expect_field "grayed $PATH_MIXING_PASTE" 0
expect_same "copy: the data bytes" "$f/copied.raw" "$f/a.raw"
expect_same "copy: the format record" "$f/copied.rec" "$f/st16.rec"
expect_same "copy: the standard wave block is the whole file" "$f/copied.wav" "$f/a.wav"

# --- paste into no sound: a new working file beside the program -------------------------
drv choose "$PATH_NEW_JA" nodialog 300  # New pumps messages on its way: let it finish
expect_eq "after New: no working file" "$(scratch_files)" ""
drv choose "$PATH_PASTE" nodialog 300
read_state
expect_state "paste into no sound" caption "$TITLE_JA" "text lengthLabel" "1.00 秒" slider "0 100 0" \
  "enabled playButton" 1 "enabled stopButton" 0 "PCM grayed" 1
expect_eq "paste into no sound: one working file" "$(scratch_files | grep -c '^aurecho_[0-9]\{8\}_[0-9]\{6\}\.wav$')" 1
save_as "$f/pasted.wav"
expect_saved_data "paste into no sound: saved" "$f/pasted.wav" "$f/a.raw"

# --- paste at a position: inside, and past the end ---------------------------------------
drv clipset WAVE.Format "$f/c.raw" WAVE.Format.Header "$f/st16.rec"
for case in "50 2.00 200" "176 2.26 225"; do
  read -r position length max <<<"$case"
  open_file "$f/b.wav"
  slide_to "$position"
  expect_eq "slider at $position" "$POSITION" "$position"
  drv choose "$PATH_PASTE" nodialog 300 caption text lengthLabel slider
  expect_field caption b.wav
  expect_field "text lengthLabel" "$length 秒"
  expect_eq "paste at $position: slider" "$(field slider)" "0 $max 0"
  save_as "$f/paste-$position.wav"
  edit_refs edit paste "$f/b.wav" "$position" "$f/c.raw" "$f/paste-$position.ref"
  expect_saved_data "paste at $position" "$f/paste-$position.wav" "$f/paste-$position.ref"
done

# --- mixing paste: 16-bit stereo running past the end, 8-bit mono at an odd offset ------
open_file "$f/b.wav"
drv setslider 170 choose "$PATH_MIXING_PASTE" nodialog 300 caption text lengthLabel
expect_field caption b.wav
expect_field "text lengthLabel" "2.20 秒"
save_as "$f/mix16.wav"
edit_refs edit mix "$f/b.wav" 170 "$f/c.raw" "$f/mix16.ref"
expect_saved_data "mixing paste 16-bit" "$f/mix16.wav" "$f/mix16.ref"

# With the busy animation on. At 94 the recording position would be odd, so the slider
# goes back to 93: 11025 x 0.93 = 10253.25, an odd offset, a whole 8-bit mono frame.
drv choose "${MENU_HELP_JA[0]}/Waiting"
drv clipset WAVE.Format "$f/d.raw" WAVE.Format.Header "$f/mono8.rec"
open_file "$f/m8.wav"
slide_to 94
expect_eq "8-bit slider" "$POSITION" 93
drv choose "$PATH_MIXING_PASTE" nodialog 300 caption text lengthLabel
expect_field caption m8.wav
expect_field "text lengthLabel" "1.11 秒"
save_as "$f/mix8.wav"
edit_refs edit mix "$f/m8.wav" "$POSITION" "$f/d.raw" "$f/mix8.ref"
expect_saved_data "mixing paste 8-bit" "$f/mix8.wav" "$f/mix8.ref"
drv choose "${MENU_HELP_JA[0]}/Waiting"

# --- what a paste takes: raw samples without a record as they stand; a WAV block alone --
open_file "$f/b.wav"
drv clipset WAVE.Format "$f/d.raw" setslider 20 choose "$PATH_PASTE" nodialog 300
save_as "$f/raw.wav"
edit_refs edit paste "$f/b.wav" 20 "$f/d.raw" "$f/raw.ref"
expect_saved_data "samples without a record, as they stand" "$f/raw.wav" "$f/raw.ref"

open_file "$f/b.wav"
drv clipset WAVE "$f/c.wav" activate grayed "$PATH_PASTE" grayed "$PATH_MIXING_PASTE"
expect_field "grayed $PATH_PASTE" 0
expect_field "grayed $PATH_MIXING_PASTE" 0
drv setslider 30 choose "$PATH_PASTE" nodialog 300
save_as "$f/wave.wav"
edit_refs edit paste "$f/b.wav" 30 "$f/c.raw" "$f/wave.ref"
expect_saved_data "a standard wave block" "$f/wave.wav" "$f/wave.ref"

# Samples of another format, by their record or in a WAV block, come in the sound's format.
edit_refs data "$f/o.wav" "$f/o.raw"
edit_refs record 22050 8 1 "$f/o.rec"
edit_refs edit paste "$f/b.wav" 30 "$f/o.wav" "$f/other.ref"
for blocks in "WAVE.Format $f/o.raw WAVE.Format.Header $f/o.rec" "WAVE $f/o.wav"; do
  open_file "$f/b.wav"
  # shellcheck disable=SC2086  # the blocks' names and files, word by word
  drv clipset $blocks activate setslider 30 choose "$PATH_PASTE" nodialog 300 text lengthLabel
  expect_field "text lengthLabel" "2.00 秒"
  save_as "$f/other-${blocks%% *}.wav"
  expect_saved_data "another format (${blocks%% *}): converted" "$f/other-${blocks%% *}.wav" "$f/other.ref"
done

# --- a record of a format this program cannot take: a message, nothing changed ----------
open_file "$f/b.wav"
cp "$(work_file)" "$f/before.wav"
read_state
before="$STATE"
drv clipset WAVE.Format "$f/c.raw" WAVE.Format.Header "$f/st24.rec" activate setslider 40 choose "$PATH_PASTE" msgbox
expect_field "msgbox title" "$TITLE_JA"
expect_field "msgbox text" "エラーが発生しました。"
drv answer ok
drv setslider 0
read_state
compare_text "refused paste: the window as it was" "$STATE" "$before"
expect_same "refused paste: the working file as it was" "$(work_file)" "$f/before.wav"

# --- an empty sound copies as a WAV file without data, and pastes as nothing -------------
open_file "$f/b.wav"
drv setslider 0 choose "$PATH_DELETE_AFTER" choose "$PATH_COPY" nodialog 300 \
  clipget WAVE.Format "$f/empty.raw" clipget WAVE "$f/empty.wav"
expect_field "clipget WAVE.Format" absent
expect_eq "empty copy: a header alone" "$(hex_of "$f/empty.wav")" "$(canonical_header 44100 16 2 0)"
drv choose "$PATH_PASTE" nodialog 300 text lengthLabel
expect_field "text lengthLabel" "0.00 秒"
save_as "$f/empty-pasted.wav"
expect_eq "empty paste: saved empty" "$(hex_of "$f/empty-pasted.wav")" "$(canonical_header 44100 16 2 0)"

# --- the paste items follow the clipboard on activation ----------------------------------
drv clipempty activate grayed "$PATH_PASTE"
expect_field "grayed $PATH_PASTE" 1
drv clipset WAVE.Format "$f/c.raw" activate grayed "$PATH_PASTE"
expect_field "grayed $PATH_PASTE" 0

app_close
e2e_finish
