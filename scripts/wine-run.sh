#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, with the loader that
# scripts/windows-target.sh chose. CMake uses it as the cross-compiling emulator, so CTest
# runs the Windows tests through it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/windows-target.sh"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LANG="${AURECHO_LANG:-C.UTF-8}"
[ -f "$WINEPREFIX/.aurecho-prefix-v3" ] || "$root/scripts/wine-prefix.sh"
exec "$AURECHO_WINE" "$@"
