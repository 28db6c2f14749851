#!/usr/bin/env bash
# Help > Version info: a message box titled with the title, reading the title and the
# version text (which begins with an ideographic space, U+3000).
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"

app_copy
app_start
drv choose "$PATH_VERSION_JA" msgbox
expect_field "msgbox title" "$TITLE_JA"
expect_field "msgbox text" "$TITLE_JA"$'\u3000'"version 1.04"
drv answer ok nodialog 300 caption
expect_eq "caption after the box" "$(field caption)" "$TITLE_JA"

# The same in English.
drv choose "$PATH_ENGLISH_JA" choose "Help(&H)/Version Info.(&A)" msgbox answer ok
expect_field "msgbox title" "$TITLE_EN"
expect_field "msgbox text" "$TITLE_EN"$'\u3000'"version 1.04"
app_close

e2e_finish
