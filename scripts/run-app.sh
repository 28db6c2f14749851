#!/usr/bin/env bash
# Starts Aurecho under Wine. With a display, on it; without one, on a virtual display,
# saving a screenshot after a few seconds.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exe="$root/build/win32/Aurecho32.exe"
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
  "$0/scripts/wine-run.sh" taskkill /im Aurecho32.exe /f >/dev/null 2>&1 || kill $app
  wait $app 2>/dev/null || true
' "$root" "$exe" "$shot" "$@"
