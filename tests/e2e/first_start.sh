#!/usr/bin/env bash
# First start without a settings file: Japanese texts everywhere, the default checks,
# only the record button enabled, and an 11-byte settings file written at close.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"

case "$TITLE_JA" in
  "Aurecho - "?*) pass "Japanese title in the text table: $TITLE_JA" ;;
  *) fail "no Japanese title \"Aurecho - ...\" found in src/core/program/texts.cpp" ;;
esac

app_copy
app_start
drv caption menu \
  text positionCaption text positionLabel text lengthCaption text lengthLabel \
  pos positionCaption pos lengthCaption \
  enabled goToStartButton enabled goToEndButton enabled playButton enabled stopButton enabled recordButton

caption="$(field caption)"
case "$caption" in "Aurecho - "?*) pass "caption starts with \"Aurecho - \"" ;; *) fail "caption [$caption]" ;; esac
expect_eq "caption is the Japanese title" "$caption" "$TITLE_JA"

compare_text "menu captions (Japanese)" "$(menu_columns 1)" "$(expected_menu ja)"

items="$(paste <(menu_columns 1 | sed 's/^ *//') <(menu_columns 3))"
checked="$(printf '%s\n' "$items" | awk -F'\t' '$2 ~ /checked/ {print $1}' | sort)"
compare_text "checked items" "$checked" "$(printf '%s\n' "44100Hz 16bit stereo" "日本語(&J)" "標準" "既定のデバイス" "既定のデバイス" | sort)"
grayed_of() { printf '%s\n' "$items" | awk -F'\t' -v c="$1" '$1 == c {print ($2 ~ /grayed/) ? 1 : 0}'; }
expect_eq "delete before grayed" "$(grayed_of "${MENU_EDIT_JA[6]}")" 1
expect_eq "delete after grayed" "$(grayed_of "${MENU_EDIT_JA[7]}")" 1
format_grayed="$(printf '%s\n' "$items" | awk -F'\t' '$1 ~ /Hz (8|16)bit / && $2 ~ /grayed/ {print $1}')"
expect_eq "no format item grayed" "$format_grayed" ""
expect_eq "format items" "$(printf '%s\n' "$items" | grep -c 'Hz .*bit ')" 32

expect_field "text positionCaption" "位置"
expect_field "text positionLabel" "0.00 秒"
expect_field "text lengthCaption" "長さ"
expect_field "text lengthLabel" "0.00 秒"
expect_eq "positionCaption left" "$(field "pos positionCaption" | cut -d, -f1)" 20
expect_eq "lengthCaption left" "$(field "pos lengthCaption" | cut -d, -f1)" 20
for b in goToStartButton goToEndButton playButton stopButton; do expect_field "enabled $b" 0; done
expect_field "enabled recordButton" 1

# The path form with the accelerators left out reaches the same items.
drv checked "ヘルプ/再生バッファ/標準" checked "ヘルプ/再生バッファ/少ない" checked "ヘルプ/Waiting"
expect_field "checked ヘルプ/再生バッファ/標準" 1
expect_field "checked ヘルプ/再生バッファ/少ない" 0
expect_field "checked ヘルプ/Waiting" 0

screenshot main-ja

expect_eq "no settings file while running" "$(hex_of "$SETTINGS")" "(missing)"
app_close
expect_eq "settings file after close" "$(hex_of "$SETTINGS")" "00 00 00 00 00 01 00 00 ff 00 00"

e2e_finish
