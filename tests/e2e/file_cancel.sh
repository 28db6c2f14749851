#!/usr/bin/env bash
# Long work on a 60-minute sound edited in place (a sparse file: gigabytes of silence cost
# no disk): the caption shows how far the equalized output has come, Esc cancels it, and
# the Stop button cancels an echo. Either way the sound is byte for byte as before, Undo
# has nothing to undo, no output file and no temporary file is left, and the program goes
# on working.
source "$(dirname "$0")/lib.sh"
source "$E2E_DIR/menu_tables.sh"
source "$E2E_DIR/file_lib.sh"

PATH_ECHO="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[5]}"
PATH_REVERSE="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[6]}"
PATH_EQ_OUT="${MENU_EFFECT_JA[0]}/${MENU_EFFECT_JA[8]}"
PATH_UNDO="${MENU_EDIT_JA[0]}/${MENU_EDIT_JA[9]}"

app_copy
long="$APP_DIR/long.wav"
sparse_wav "$long" $((44100 * 4 * 3600))
before="$(sha256sum <"$long")"

# The program starts playing the file it was given; stopped, it waits.
app_start long.wav
end=$((SECONDS + 10))
while [ $SECONDS -le $end ]; do drv enabled stopButton; [ "$(field "enabled stopButton")" = 1 ] && break; sleep 0.2; done
drv click stopButton caption
title="$(field caption)"

# expect_untouched WHAT: the sound, Undo and the folder as before the command.
expect_untouched() {
  # The caption comes back once the work has stopped.
  local end=$((SECONDS + 30))
  while [ $SECONDS -le $end ]; do drv caption; [ "$(field caption)" = "$title" ] && break; sleep 0.2; done
  expect_eq "$1: the caption comes back" "$(field caption)" "$title"
  drv nodialog 300 grayed "$PATH_UNDO"
  expect_eq "$1: nothing to undo" "$(field "grayed $PATH_UNDO")" 1
  expect_eq "$1: the sound byte for byte" "$(sha256sum <"$long")" "$before"
  # (the running program's lock of its undo steps aside)
  expect_eq "$1: no file left beside it" \
    "$(cd "$APP_DIR" && ls | grep -v -x -e Aurecho32.exe -e Aurecho32.dat -e long.wav -e "aurecho_undo_.*\.lock" || true)" ""
}

# --- equalized output: a percentage, twice; then Esc ------------------------------------
drv choose "$PATH_EQ_OUT" filedialog "$APP_DIR/out.wav" working percentages 60000 2 escape
set -- $(field percentages)
[ $# -ge 2 ] && pass "equalized output: the caption showed $*" ||
  fail "equalized output: percentages seen: [$*]"
expect_untouched "Esc during the equalized output"

# --- echo: the Stop button --------------------------------------------------------------
# Clicked as soon as the echo has begun: on silence it is over in a second or two.
drv choose "$PATH_ECHO" working caption
case "$(field caption)" in "$title") fail "echo: the busy caption never showed" ;; *) pass "echo: busy ($(field caption))" ;; esac
drv click stopButton
expect_untouched "Stop during the echo"

# --- and the next command runs to its end -------------------------------------------------
drv choose "$PATH_REVERSE"
drv grayed "$PATH_UNDO"
expect_eq "a reverse after them: done, and undoable" "$(field "grayed $PATH_UNDO")" 0
app_close

e2e_finish
