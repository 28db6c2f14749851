#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (build/wineprefix).
# CMake uses it as the cross-compiling emulator, so CTest runs the Win32 tests through it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LANG="${AURECHO_LANG:-C.UTF-8}"
[ -f "$WINEPREFIX/.aurecho-prefix-v3" ] || "$root/scripts/wine-prefix.sh"
exec wine "$@"
