# Helpers for the Edit menu's tests; sourced after lib.sh, menu_tables.sh and file_lib.sh.
# The expected sounds come from tests/e2e/edit_refs.py, which computes each command over
# whole byte strings.

EDIT_REFS="$E2E_DIR/edit_refs.py"
EDIT_MENU="${MENU_EDIT_JA[0]}"
PATH_COPY="$EDIT_MENU/${MENU_EDIT_JA[1]}"
PATH_PASTE="$EDIT_MENU/${MENU_EDIT_JA[2]}"
PATH_MIXING_PASTE="$EDIT_MENU/${MENU_EDIT_JA[3]}"
PATH_INSERT_FILE="$EDIT_MENU/${MENU_EDIT_JA[4]}"
PATH_MIX_FILE="$EDIT_MENU/${MENU_EDIT_JA[5]}"
PATH_DELETE_BEFORE="$EDIT_MENU/${MENU_EDIT_JA[6]}"
PATH_DELETE_AFTER="$EDIT_MENU/${MENU_EDIT_JA[7]}"

edit_refs() { python3 "$EDIT_REFS" "$@"; }

# expect_same WHAT FILE EXPECTED: two files hold the same bytes.
expect_same() { expect_eq "$1" "$(edit_refs same "$2" "$3")" same; }

# expect_saved_data WHAT SAVED.wav EXPECTED.raw: a saved file is a finished WAV file whose
# data equals the reference.
expect_saved_data() {
  [ -f "$2" ] || { fail "$1: $2 was not written"; return; }
  edit_refs data "$2" "$2.data"
  expect_same "$1" "$2.data" "$3"
  wavcheck_ok "$1: a finished WAV file" "$2" --expect-canonical --expect-sizes
}

# The working file beside the program (scratch mode: one aurecho_*.wav).
work_file() { printf '%s/%s' "$APP_DIR" "$(scratch_files | head -1)"; }

# slide_to N: moves the slider to N as a person would; the program may lower it (it keeps
# recording positions on even bytes), so POSITION is where it stands, for the references.
slide_to() {
  drv setslider "$1" slider
  POSITION="$(field slider | cut -d' ' -f3)"
}
