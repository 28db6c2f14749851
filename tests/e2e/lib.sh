# Helpers for the end-to-end tests; sourced by each test script.
# Each test gets its own copy of the program in a fresh folder (so its own settings file),
# drives it with aurecho-driver.exe under Wine, and collects failures instead of stopping
# at the first, so one run shows every discrepancy.
#
# The rig (scripts/with-rig.sh) must be around the test: DISPLAY, WINEPREFIX and a
# running wineserver come from it, and the choice of the 32-bit program or its 64-bit
# twin (scripts/windows-target.sh). One test alone, on either build:
#   scripts/with-rig.sh bash tests/e2e/first_start.sh
#   AURECHO_WINDOWS=win64 scripts/with-rig.sh bash tests/e2e/first_start.sh
set -uo pipefail

E2E_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
E2E_ROOT="$(cd "$E2E_DIR/../.." && pwd)"
source "$E2E_ROOT/scripts/windows-target.sh"
if [ "$AURECHO_WINDOWS" = win64 ]; then
  AURECHO_EXE="${AURECHO_EXE:-$E2E_ROOT/build/win64/Aurecho64.exe}"
else
  AURECHO_EXE="${AURECHO_EXE:-$E2E_ROOT/build/win32/Aurecho32.exe}"
fi
AURECHO_DRIVER="${AURECHO_DRIVER:-$E2E_ROOT/build/$AURECHO_WINDOWS/tests/e2e/aurecho-driver.exe}"
WAVCHECK="${AURECHO_WAVCHECK:-$E2E_ROOT/build/native/tests/tools/wavcheck}"
SCREENSHOT_DIR="${AURECHO_SCREENSHOTS:-$E2E_ROOT/build/screenshots}"

# The main window's five buttons, left to right, by the driver's control names.
BUTTONS=(goToStartButton goToEndButton playButton stopButton recordButton)

# expect_buttons WHAT B1 B2 B3 B4 B5: the enabled states of the five buttons, left to
# right ("-" skips one).
expect_buttons() {
  local what="$1"; shift
  local queries=() button
  for button in "${BUTTONS[@]}"; do queries+=(enabled "$button"); done
  drv "${queries[@]}"
  local got="" want="" i=0 s
  for s in "$@"; do
    if [ "$s" == "-" ]; then got+="-"; else got+="$(field "enabled ${BUTTONS[$i]}")"; fi
    want+="$s"
    i=$((i + 1))
  done
  expect_eq "$what: buttons enabled, left to right" "$got" "$want"
}

E2E_NAME="$(basename "$0" .sh)"
E2E_TMP="$(mktemp -d "${TMPDIR:-/tmp}/aurecho-e2e-$E2E_NAME.XXXXXX")"
E2E_FAILURES=0
APP_PID=""     # the running program, set by app_start
DRV_OUT=""     # what the last driver run printed

[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: run the tests inside scripts/with-rig.sh" >&2; exit 1; }
for f in "$AURECHO_EXE" "$AURECHO_DRIVER"; do
  [ -f "$f" ] || { echo "missing $f (build with make $AURECHO_WINDOWS)" >&2; exit 1; }
done

# The tests that judge WAV files need the native wavcheck tool.
require_wavcheck() {
  [ -x "$WAVCHECK" ] || { echo "missing $WAVCHECK (build with make native)" >&2; exit 1; }
}

e2e_cleanup() {
  # A program left running (a failed step) must not outlive the test.
  if [ -n "$APP_PID" ]; then
    "$E2E_ROOT/scripts/wine-run.sh" "$AURECHO_DRIVER" pid "$APP_PID" kill </dev/null >/dev/null 2>&1 || true
  fi
  if [ "$E2E_FAILURES" -eq 0 ]; then rm -rf "$E2E_TMP"; else echo "kept $E2E_TMP for a look" >&2; fi
}
trap e2e_cleanup EXIT

# Runs the driver with the given commands (prefixed with the running program's pid).
# Output goes to files, never to a pipe: processes that Wine starts on the way keep the
# descriptors they inherit, and a reader of a pipe would wait for them.
# Returns the driver's exit code; DRV_OUT holds its output, DRV_ERR its error text.
drv_try() {
  local args=() rc attempt
  [ -n "$APP_PID" ] && args=(pid "$APP_PID")
  # Under load wine64 now and then fails to start a process, silently: a driver that never
  # started has done nothing yet, so it is started again.
  for attempt in 1 2 3; do
    rm -f "$E2E_TMP/drv.mark"
    AURECHO_DRIVER_MARK="$E2E_TMP/drv.mark" "$E2E_ROOT/scripts/wine-run.sh" "$AURECHO_DRIVER" "${args[@]}" "$@" \
      </dev/null >"$E2E_TMP/drv.out" 2>"$E2E_TMP/drv.err"
    rc=$?
    [ $rc -eq 0 ] || [ -e "$E2E_TMP/drv.mark" ] && break
    echo "note: the driver did not start (exit $rc); starting it again" >&2
  done
  DRV_RC=$rc
  DRV_OUT="$(cat "$E2E_TMP/drv.out")"
  # Wine's own chatter is not the driver's.
  DRV_ERR="$(grep '^aurecho-driver:' "$E2E_TMP/drv.err" || true)"
  return $rc
}

# Like drv_try, but a failure of the driver ends the test.
drv() {
  if ! drv_try "$@"; then
    echo "FATAL: driver failed (exit $DRV_RC): $*" >&2
    echo "${DRV_ERR:-$(cat "$E2E_TMP/drv.err")}" >&2
    [ -n "$DRV_OUT" ] && echo "output so far:" >&2 && echo "$DRV_OUT" >&2
    E2E_FAILURES=$((E2E_FAILURES + 1))
    exit 1
  fi
}

# The value of the line "NAME: VALUE" in the last driver output.
field() {
  local key="$1"
  printf '%s\n' "$DRV_OUT" | while IFS= read -r line; do
    if [ "${line#"$key: "}" != "$line" ]; then printf '%s\n' "${line#"$key: "}"; break; fi
  done
}

fail() {
  echo "FAIL: $*" >&2
  E2E_FAILURES=$((E2E_FAILURES + 1))
}

pass() { echo "ok: $*"; }

# expect_eq WHAT ACTUAL EXPECTED
expect_eq() {
  if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: got [$2], expected [$3]"; fi
}

# expect_field NAME EXPECTED: the driver's last output has "NAME: EXPECTED".
expect_field() { expect_eq "$1" "$(field "$1")" "$2"; }

# A fresh folder with a copy of the program; APP_DIR and APP_COPY point at them.
app_copy() {
  APP_DIR="$E2E_TMP/app${1:-}"
  mkdir -p "$APP_DIR"
  cp "$AURECHO_EXE" "$APP_DIR/Aurecho32.exe"
  APP_COPY="$APP_DIR/Aurecho32.exe"
  SETTINGS="$APP_DIR/Aurecho32.dat"
}

# app_start [COMMAND LINE TEXT] [MORE DRIVER COMMANDS...]: starts the copy.
app_start() {
  APP_PID=""
  drv start "$APP_COPY" "$@"
  APP_PID="$(field start)"
}

# Closes the program and checks that it ends with exit code 0.
app_close() {
  if drv_try close waitexit 15000; then
    expect_eq "program ends with exit code 0" "$(field waitexit)" 0
  else
    fail "closing: ${DRV_ERR}"
    drv_try windows && echo "$DRV_OUT" >&2
  fi
  APP_PID=""
}

# Bytes of a file as lower-case hex separated by blanks, "" when it does not exist.
hex_of() {
  [ -f "$1" ] || { echo "(missing)"; return; }
  od -An -tx1 -v "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# Writes the bytes given as hex words into a file: put_bytes FILE 01 00 ff ...
put_bytes() {
  local file="$1"; shift
  : >"$file"
  local b
  for b in "$@"; do printf "\\x$b" >>"$file"; done
}

# screenshot NAME [CLASS]: the main window, or the program's CLASS window, as a PNG:
# SCREENSHOT_DIR/NAME.png.
screenshot() {
  if [ -n "${2:-}" ]; then
    drv windowrect "$2"
    screenshot_area "$1" "$(field "windowrect $2")"
  else
    drv rect
    screenshot_area "$1" "$(field rect)"
  fi
}

# screenshot_control NAME CONTROL: the client area of one of the main window's controls
# (a driver control name: wavePane, levelPicture, ...) as SCREENSHOT_DIR/NAME.png; judge
# it with pane_picture.py.
screenshot_control() {
  drv screenrect "$2"
  screenshot_area "$1" "$(field "screenrect $2")"
}

# screenshot_area NAME WxH+X+Y: that part of the screen.
screenshot_area() {
  local geom="$2"
  mkdir -p "$SCREENSHOT_DIR"
  sleep 0.5  # let the window finish painting
  if import -window root -crop "$geom" +repage "$SCREENSHOT_DIR/$1.png" 2>"$E2E_TMP/import.err"; then
    pass "screenshot $SCREENSHOT_DIR/$1.png"
  else
    fail "screenshot $1: $(cat "$E2E_TMP/import.err")"
  fi
}

# The menu dump of the last driver output without the "menu: " prefix, keeping the
# columns named (1 caption with indent, 2 id, 3 flags), tab-separated.
# The devices' own items (not their defaults) are left out: they are the machine's.
menu_columns() {
  printf '%s\n' "$DRV_OUT" | sed -n 's/^menu: //p' |
    awk -F'\t' '!(($2 > 300 && $2 <= 363) || ($2 > 400 && $2 <= 463))' | cut -f"$1"
}

# compare_text WHAT ACTUAL EXPECTED: line by line, showing a diff when they differ.
compare_text() {
  if [ "$2" == "$3" ]; then
    pass "$1"
  else
    fail "$1 differs (< got, > expected):"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") >&2
  fi
}

# The two titles, as the program's text table holds them (their taglines are the
# program's own wording, not fixed elsewhere).
title_text() {
  local row=$1
  sed -n '/titleTexts\[languageCount\] *=/,/;/p' "$E2E_ROOT/src/core/program/texts.cpp" |
    grep -o 'L"Aurecho - [^"]*"' | sed -n "$((row + 1))p" | sed 's/^L"//; s/"$//'
}
TITLE_JA="$(title_text 0)"
TITLE_EN="$(title_text 1)"

# sparse_wav FILE DATA_BYTES [noise]: a canonical 44100 Hz 16-bit stereo header declaring
# DATA_BYTES, the data left as a hole (gigabytes of silence cost no disk), or noise.
sparse_wav() {
  python3 - "$@" <<'PY'
import os, struct, sys
path, size = sys.argv[1], int(sys.argv[2])
fmt = struct.pack('<IHHIIHH', 16, 1, 2, 44100, 176400, 4, 16)
with open(path, 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', size + 36) + b'WAVEfmt ' + fmt + b'data' + struct.pack('<I', size))
    if sys.argv[3:] == ['noise']:
        block = os.urandom(1 << 20)
        for _ in range(size >> 20):
            f.write(block)
        f.write(block[:size & ((1 << 20) - 1)])
    f.truncate(44 + size)
PY
}

e2e_finish() {
  if [ "$E2E_FAILURES" -eq 0 ]; then
    echo "PASS $E2E_NAME"
    exit 0
  fi
  echo "FAILED $E2E_NAME: $E2E_FAILURES failure(s)" >&2
  exit 1
}
