#!/usr/bin/env bash
# Settings files of every size and content: the fields a file holds are applied, the
# rest keep their presets, nothing crashes, and closing writes 11 bytes.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"

# Help menu paths by the language the program is in; with the '&'s left out they are
# the same for the driver whatever the accelerators.
CHECKS_JA=(checked "ヘルプ/Waiting" checked "ヘルプ/再生バッファ/標準" checked "ヘルプ/再生バッファ/少ない")
CHECKS_EN=(checked "Help/Waiting" checked "Help/Buffer for playing./Standard" checked "Help/Buffer for playing./A little.")

# run_case NAME HEX-BYTES...: starts with that settings file, reads caption and checks,
# closes. Leaves LANG_SEEN (ja|en|?) and the three checks in WAITING, STANDARD and SMALL
# (the play buffer items; "" if unread).
run_case() {
  local name="$1"; shift
  if [ $# -gt 16 ]; then echo "--- $name: ${*:1:11} ... ($# bytes) ---"; else echo "--- $name: $* ---"; fi
  app_copy "-$name"
  put_bytes "$SETTINGS" "$@"
  app_start
  drv caption
  local caption; caption="$(field caption)"
  WAITING="" STANDARD="" SMALL=""
  if [ "$caption" == "$TITLE_JA" ]; then
    LANG_SEEN=ja
    drv "${CHECKS_JA[@]}"
    WAITING="$(field "checked ${CHECKS_JA[1]}")" STANDARD="$(field "checked ${CHECKS_JA[3]}")"
    SMALL="$(field "checked ${CHECKS_JA[5]}")"
  elif [ "$caption" == "$TITLE_EN" ]; then
    LANG_SEEN=en
    drv "${CHECKS_EN[@]}"
    WAITING="$(field "checked ${CHECKS_EN[1]}")" STANDARD="$(field "checked ${CHECKS_EN[3]}")"
    SMALL="$(field "checked ${CHECKS_EN[5]}")"
  else
    LANG_SEEN="?"
    fail "$name: caption [$caption] is neither title"
  fi
  echo "$name: language $LANG_SEEN, Waiting $WAITING, standard play buffer $STANDARD, small play buffer $SMALL"
  app_close
  expect_eq "$name: settings file size after close" "$(stat -c %s "$SETTINGS" 2>/dev/null)" 11
}

# 4 bytes holding 1: English; the standard play buffer's read finds nothing and keeps its
# preset 1, which the small play buffer's read, finding nothing either, repeats.
run_case four-bytes 01 00 00 00
expect_eq "four-bytes: language" "$LANG_SEEN" en
expect_eq "four-bytes: Waiting" "$WAITING" 0
expect_eq "four-bytes: standard play buffer" "$STANDARD" 1
expect_eq "four-bytes: small play buffer" "$SMALL" 1
expect_eq "four-bytes: written back" "$(hex_of "$SETTINGS")" "01 00 00 00 00 01 01 00 ff 00 00"

run_case empty
expect_eq "empty: language" "$LANG_SEEN" ja
expect_eq "empty: Waiting" "$WAITING" 0
expect_eq "empty: standard play buffer" "$STANDARD" 1
expect_eq "empty: small play buffer" "$SMALL" 1
expect_eq "empty: written back" "$(hex_of "$SETTINGS")" "00 00 00 00 00 01 01 00 ff 00 00"

run_case two-bytes 01 00
expect_eq "two-bytes: standard play buffer" "$STANDARD" 1
expect_eq "two-bytes: small play buffer" "$SMALL" 1

# 100 bytes: the first 11 count (English, Waiting on, small buffer, red), the rest is
# ignored and closing writes back exactly 11.
long=(01 00 00 00 01 00 01 ff 00 00 00)
for _ in $(seq 89); do long+=(55); done
run_case long "${long[@]}"
expect_eq "long: language" "$LANG_SEEN" en
expect_eq "long: Waiting" "$WAITING" 1
expect_eq "long: standard play buffer" "$STANDARD" 0
expect_eq "long: small play buffer" "$SMALL" 1
expect_eq "long: written back" "$(hex_of "$SETTINGS")" "01 00 00 00 01 00 01 ff 00 00 00"

# A languageIndex that is neither 0 nor 1 is taken as 0.
run_case language-7 07 00 00 00 00 01 00 00 ff 00 00
expect_eq "language-7: language" "$LANG_SEEN" ja
expect_eq "language-7: written back" "$(hex_of "$SETTINGS")" "00 00 00 00 00 01 00 00 ff 00 00"

run_case garbage de ad be ef 7f 80 ff 13 37 c0 de
expect_eq "garbage: language" "$LANG_SEEN" ja

mapfile -t random < <(od -An -tx1 -N 11 /dev/urandom | tr -s ' ' '\n' | sed '/^$/d')
run_case random "${random[@]}"

# A settings file that cannot be written (a folder stands in its place): the defaults
# stand at start, closing says so in a plain message box and still ends the program.
app_copy -folder
mkdir "$SETTINGS"
app_start
drv caption
expect_field caption "$TITLE_JA"
drv close msgbox
expect_field "msgbox title" "$TITLE_JA"
expect_field "msgbox text" "エラー。設定ファイルが作成できません。"
drv answer ok waitexit
expect_eq "folder: program ends" "$(field waitexit)" 0
APP_PID=""
[ -d "$SETTINGS" ] && pass "folder: left as it was" || fail "folder: replaced"

e2e_finish
