#!/usr/bin/env bash
# Draws the program icon (a three-spoke steering wheel with a top marker) and
# writes tillerset.ico with 16, 32 and 48 pixel images. Needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 256x256 xc:none \
  -fill none -stroke '#2b2f36' -strokewidth 30 -draw 'circle 128,128 128,28' \
  -stroke '#c8102e' -strokewidth 30 -draw 'arc 28,28 228,228 258,282' \
  -stroke '#2b2f36' -strokewidth 26 -draw 'line 40,140 216,140' -draw 'line 128,140 128,220' \
  -stroke none -fill '#4a515c' -draw 'circle 128,138 128,104' \
  -fill '#9aa3ad' -draw 'circle 128,138 128,122' \
  wheel-256.png
convert wheel-256.png -define icon:auto-resize=48,32,16 tillerset.ico
rm -f wheel-256.png
