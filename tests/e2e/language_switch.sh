#!/usr/bin/env bash
# Help > Language: English rewrites every caption and moves Label1/Label3; the choice
# survives a restart; switching back restores the Japanese menu exactly.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"

english_labels() {
  expect_field "text Label1" "Position"
  expect_field "text Label2" "0.00 sec"
  expect_field "text Label3" "Length"
  expect_field "text Label4" "0.00 sec"
  expect_eq "Label1 left (English)" "$(field "pos Label1" | cut -d, -f1)" 14
  expect_eq "Label3 left (English)" "$(field "pos Label3" | cut -d, -f1)" 14
}
LABELS=(text Label1 text Label2 text Label3 text Label4 pos Label1 pos Label3)
LANGUAGE_CHECKS=(checked "$PATH_JAPANESE_EN" checked "Help(&H)/Language(&L)/English(&E)")

app_copy
app_start
drv menu
first_dump="$DRV_OUT"

drv choose "$PATH_ENGLISH_JA" caption menu "${LABELS[@]}" "${LANGUAGE_CHECKS[@]}"
expect_eq "caption is the English title" "$(field caption)" "$TITLE_EN"
compare_text "menu captions (English)" "$(menu_columns 1)" "$(expected_menu en)"
english_labels
expect_field "checked $PATH_JAPANESE_EN" 0
expect_field "checked Help(&H)/Language(&L)/English(&E)" 1
app_close
expect_eq "settings file after English" "$(hex_of "$SETTINGS")" "01 00 00 00 00 01 00 00 ff 00 00"

# A restart comes up in English.
app_start
drv caption menu "${LABELS[@]}" "${LANGUAGE_CHECKS[@]}"
expect_eq "caption after restart" "$(field caption)" "$TITLE_EN"
compare_text "menu captions after restart" "$(menu_columns 1)" "$(expected_menu en)"
english_labels
expect_field "checked Help(&H)/Language(&L)/English(&E)" 1
screenshot main-en

# Back to Japanese: the whole menu as at the first start, ids and checks included.
drv choose "$PATH_JAPANESE_EN" caption menu text Label1 text Label3 pos Label1 pos Label3
expect_eq "caption back in Japanese" "$(field caption)" "$TITLE_JA"
compare_text "menu back in Japanese equals the first start's" \
  "$(printf '%s\n' "$DRV_OUT" | grep '^menu: ')" "$(printf '%s\n' "$first_dump" | grep '^menu: ')"
expect_field "text Label1" "位置"
expect_field "text Label3" "長さ"
expect_eq "Label1 left (Japanese)" "$(field "pos Label1" | cut -d, -f1)" 20
expect_eq "Label3 left (Japanese)" "$(field "pos Label3" | cut -d, -f1)" 20
app_close
expect_eq "settings file after Japanese" "$(hex_of "$SETTINGS")" "00 00 00 00 00 01 00 00 ff 00 00"

e2e_finish
