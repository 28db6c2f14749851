#!/usr/bin/env bash
# Draws the program icon (a red record disc over a green wave on black) at 16, 32 and
# 48 pixels and writes it as one .ico file.
set -euo pipefail
out="$1"
mkdir -p "$(dirname "$out")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for s in 16 32 48; do
  k=$(echo "$s / 32" | bc -l)
  f() { printf '%.1f' "$(echo "$1 * $k" | bc -l)"; }
  wave=""
  for x in $(seq 2 2 30); do
    y=$(echo "16 + 7 * s(($x - 2) / 2.2)" | bc -l)
    wave="$wave $(f "$x"),$(f "$y")"
  done
  convert -size "${s}x${s}" xc:none \
    -fill black -draw "roundrectangle 0,0 $(f 31) $(f 31) $(f 5) $(f 5)" \
    -fill none -stroke '#00ff00' -strokewidth "$(f 2)" -draw "polyline $wave" \
    -stroke none -fill '#c03030' -draw "circle $(f 23),$(f 23) $(f 23),$(f 17)" \
    "PNG32:$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" "$out"
