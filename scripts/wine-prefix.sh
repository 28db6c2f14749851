#!/usr/bin/env bash
# Creates the Wine prefix once: no Mono or Gecko, Japanese font substitutes,
# and windows that Wine decorates itself (Xvfb has no window manager).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/windows-target.sh"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
[ -f "$WINEPREFIX/.aurecho-prefix-v3" ] && exit 0
mkdir -p "$WINEPREFIX"
# Serialise concurrent first uses (CTest may start several Wine tests at once).
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.aurecho-prefix-v3" ] && exit 0
echo "creating Wine prefix in $WINEPREFIX ($AURECHO_WINDOWS_LABEL)" >&2
"$AURECHO_WINE" wineboot -i >/dev/null 2>&1 || true
jp=IPAPGothic
for face in "ＭＳ Ｐゴシック" "ＭＳ ゴシック" "MS PGothic" "MS Gothic" "MS UI Gothic" "Meiryo" "Meiryo UI" "Yu Gothic UI"; do
  "$AURECHO_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "$jp" /f >/dev/null 2>&1
done
# Debian keeps Marlett (it draws the caption buttons) where Wine may not look; its Tahoma
# stays out of the prefix, or captions lose their Japanese fallback.
cp -f /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
"$AURECHO_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$AURECHO_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.aurecho-prefix-v3"
