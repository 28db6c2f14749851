#!/usr/bin/env bash
# Files that cannot be used are refused with a warning while a sound is loaded, and the
# loaded sound stays exactly as it was; files whose data chunk claims more than is there
# open with the bytes present.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

files="$E2E_TMP/files"
mkdir -p "$files"
wav_make "$files/good.wav" rate=44100 bits=16 ch=2 bytes=176400

printf 'This is plain text, not a RIFF file at all.\n%.0s' $(seq 10) >"$files/notriff.wav"
: >"$files/empty.wav"
wav_make "$files/datafirst.wav" datafirst=1
wav_make "$files/nodata.wav" bytes=0
python3 - "$files/nodata.wav" <<'EOF'
import sys
# Keep RIFF header and fmt chunk only: no data chunk at all.
p = sys.argv[1]
b = bytearray(open(p, 'rb').read()[:36])
b[4:8] = (len(b) - 8).to_bytes(4, 'little')
open(p, 'wb').write(b)
EOF
printf 'RIFF\x04\x00\x00\x00WAVE' >"$files/nofmt.wav"
wav_make "$files/bits12.wav" bits=12 ch=1 bytes=882
wav_make "$files/gsm.wav" tag=0x31 bits=0 ch=1 bytes=650
wav_make "$files/mpeg.wav" tag=0x55 bits=0 ch=2 bytes=1044
wav_make "$files/nine.wav" ch=9 bytes=3528
wav_make "$files/rate3000.wav" rate=3000 bytes=3528
# 24-bit opens converted, but only with samples to convert.
wav_make "$files/nosamples24.wav" bits=24 ch=2 bytes=0
wav_make "$files/adpcm.wav" tag=0x11 bits=4 ch=1 fmtsize=20 bytes=1024

# Declared longer than the file: 88200 of 176400 bytes there, so 0.50 s.
wav_make "$files/truncated.wav" rate=44100 bits=16 ch=2 bytes=176400 seed=7
truncate -s $((44 + 88200)) "$files/truncated.wav"
# A streaming writer's "unknown" size: 44100 bytes there, so 0.25 s.
wav_make "$files/unknown.wav" rate=44100 bits=16 ch=2 bytes=44100 datasize=0xFFFFFFFF seed=8

app_copy
app_start
drv choose "$PATH_OPEN_JA" filedialog "$files/good.wav"
read_state
loaded="$STATE"
expect_state "good.wav loaded" caption good.wav "text lengthLabel" "1.00 秒" slider "0 100 0"
scratch="$(scratch_files)"
scratch_sum="$(sha256sum "$APP_DIR/$scratch" 2>/dev/null)"

# refused FILE TEXT TITLE [MENU PATH]: open it, expect the warning, and the loaded
# sound unchanged afterwards.
refused() {
  local name="$1" text="$2" title="$3" open="${4:-$PATH_OPEN_JA}"
  drv choose "$open" filedialog "$files/$name" msgbox
  expect_eq "$name: box title" "$(field "msgbox title")" "$title"
  expect_eq "$name: box text" "$(field "msgbox text")" "$text"
  drv answer ok nodialog 300
  read_state
  compare_text "$name: sound unchanged" "$STATE" "$loaded"
}
not_valid_ja() { printf 'ファイル %s は有効な WAVE ファイルではありません。' "$(win_path "$files/$1")"; }

for name in notriff.wav empty.wav datafirst.wav nodata.wav nofmt.wav bits12.wav gsm.wav mpeg.wav \
  nine.wav rate3000.wav nosamples24.wav; do
  refused "$name" "$(not_valid_ja "$name")" "$TITLE_JA"
done
refused adpcm.wav "4bitフォーマットファイルは開けません。" "$TITLE_JA"

expect_eq "scratch file still the same" "$(sha256sum "$APP_DIR/$scratch" 2>/dev/null)" "$scratch_sum"
expect_eq "still one scratch file" "$(scratch_files)" "$scratch"

# --- data chunks that claim more than the file holds -----------------------------------
drv choose "$PATH_OPEN_JA" filedialog "$files/truncated.wav" nodialog 500
read_state
expect_state "truncated.wav" caption truncated.wav "text lengthLabel" "0.50 秒" slider "0 50 0" \
  "enabled goToStartButton" 1 "format checked" "44100Hz 16bit stereo"
drv choose "$PATH_SAVEAS_JA" filedialog "$files/truncated-saved.wav"
wavcheck_ok "truncated-saved.wav canonical with sizes right" "$files/truncated-saved.wav" \
  --expect-canonical --expect-sizes --expect-format 16,44100,2
expect_eq "truncated-saved.wav samples: the bytes present" "$(wav_data "$files/truncated-saved.wav")" \
  "$(wav_data "$files/truncated.wav")"

drv choose "$PATH_OPEN_JA" filedialog "$files/unknown.wav" nodialog 500
read_state
expect_state "unknown.wav" caption unknown.wav "text lengthLabel" "0.25 秒" slider "0 25 0"
drv choose "$PATH_SAVEAS_JA" filedialog "$files/unknown-saved.wav"
expect_eq "unknown-saved.wav header" "$(head44 "$files/unknown-saved.wav")" "$(canonical_header 44100 16 2 44100)"
expect_eq "unknown-saved.wav samples" "$(wav_data "$files/unknown-saved.wav")" "$(wav_data "$files/unknown.wav")"

# --- the same warnings in English --------------------------------------------------------
drv choose "$PATH_ENGLISH_JA"
read_state
loaded="$STATE"
refused bits12.wav "File $(win_path "$files/bits12.wav") is not an effective WAVE file." "$TITLE_EN" "$PATH_OPEN_EN"
refused adpcm.wav "The 4bit format file doesn't open out." "$TITLE_EN" "$PATH_OPEN_EN"
expect_state "English, still loaded" caption unknown-saved.wav "text lengthLabel" "0.25 sec"

app_close
e2e_finish
