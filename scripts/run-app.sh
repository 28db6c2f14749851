#!/usr/bin/env bash
# Starts Aurecho under Wine: the 32-bit program, or its 64-bit twin where this machine runs
# no 32-bit code (scripts/windows-target.sh decides, and says so). With a display, on it;
# without one, on a virtual display, saving a screenshot after a few seconds.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/windows-target.sh"
if [ "$AURECHO_WINDOWS" = win64 ]; then
  exe="$root/build/win64/Aurecho64.exe"
  echo "Running the 64-bit twin under wine64 ($AURECHO_WINDOWS_WHY); the product is build/win32/Aurecho32.exe"
else
  exe="$root/build/win32/Aurecho32.exe"
fi
if [ -n "${DISPLAY:-}" ] && [ -z "${AURECHO_HEADLESS:-}" ]; then
  exec "$root/scripts/wine-run.sh" "$exe" "$@"
fi
shot="$root/build/screenshots/run.png"
mkdir -p "$(dirname "$shot")"
AURECHO_HEADLESS= "$root/scripts/with-rig.sh" bash -c '
  "$0/scripts/wine-run.sh" "$1" "${@:3}" &
  app=$!
  sleep 6
  import -window root "$2"
  echo "No display: Aurecho ran on a virtual one; screenshot saved to $2"
  "$0/scripts/wine-run.sh" taskkill /im "$(basename "$1")" /f >/dev/null 2>&1 || kill $app
  wait $app 2>/dev/null || true
' "$root" "$exe" "$shot" "$@"
