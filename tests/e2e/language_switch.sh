#!/usr/bin/env bash
# Help > Language: English rewrites every caption and moves positionCaption and
# lengthCaption; the choice survives a restart; switching back restores the Japanese menu
# exactly.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"

english_labels() {
  expect_field "text positionCaption" "Position"
  expect_field "text positionLabel" "0.00 sec"
  expect_field "text lengthCaption" "Length"
  expect_field "text lengthLabel" "0.00 sec"
  expect_eq "positionCaption left (English)" "$(field "pos positionCaption" | cut -d, -f1)" 14
  expect_eq "lengthCaption left (English)" "$(field "pos lengthCaption" | cut -d, -f1)" 14
}
LABELS=(text positionCaption text positionLabel text lengthCaption text lengthLabel
  pos positionCaption pos lengthCaption)
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
drv choose "$PATH_JAPANESE_EN" caption menu \
  text positionCaption text lengthCaption pos positionCaption pos lengthCaption
expect_eq "caption back in Japanese" "$(field caption)" "$TITLE_JA"
compare_text "menu back in Japanese equals the first start's" \
  "$(printf '%s\n' "$DRV_OUT" | grep '^menu: ')" "$(printf '%s\n' "$first_dump" | grep '^menu: ')"
expect_field "text positionCaption" "位置"
expect_field "text lengthCaption" "長さ"
expect_eq "positionCaption left (Japanese)" "$(field "pos positionCaption" | cut -d, -f1)" 20
expect_eq "lengthCaption left (Japanese)" "$(field "pos lengthCaption" | cut -d, -f1)" 20
app_close
expect_eq "settings file after Japanese" "$(hex_of "$SETTINGS")" "00 00 00 00 00 01 00 00 ff 00 00"

e2e_finish
