#!/usr/bin/env bash
# Draws the program icon (a three-spoke steering wheel with a red top marker)
# and writes tillerset.ico with 16, 20, 24, 32, 40, 48 and 256 pixel images:
# the small and big icon sizes Windows asks for at 96, 120 and 144 DPI, each
# drawn for its size rather than shrunk by the loader from the next one up.
# Needs ImageMagick. Each size is drawn on its own, eight times larger, with
# line widths and positions chosen for that size so that they fall on whole
# pixels, then shrunk with a box filter: the small sizes stay crisp instead
# of being blurred copies of the big one.
set -euo pipefail
cd "$(dirname "$0")"
k=8  # drawing scale
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# draw SIZE RIM SPOKE HUB HALO: widths in pixels of the finished image.
draw() {
  local s=$1 rim=$2 spoke=$3 hub=$4 halo=$5
  awk -v s="$s" -v rim="$rim" -v spoke="$spoke" -v hub="$hub" -v halo="$halo" -v k="$k" 'BEGIN {
    c = s / 2
    outer = c - 0.0                 # the rim reaches the edge of the image
    rmid = outer - halo - rim / 2   # middle of the dark rim
    sy = c + (s >= 32 ? spoke / 2 : 0)  # the cross spoke sits a little low on big sizes
    printf "-fill none -stroke \047#eef1f5\047 -strokewidth %g -draw \"circle %g,%g %g,%g\" ", \
      (rim + 2 * halo) * k, c * k, c * k, c * k, (c - rmid) * k
    printf "-stroke \047#30353d\047 -strokewidth %g -draw \"circle %g,%g %g,%g\" ", \
      rim * k, c * k, c * k, c * k, (c - rmid) * k
    printf "-stroke \047#d0142c\047 -strokewidth %g -draw \"arc %g,%g %g,%g 256,284\" ", \
      rim * k, (c - rmid) * k, (c - rmid) * k, (c + rmid) * k, (c + rmid) * k
    printf "-stroke \047#30353d\047 -strokewidth %g -draw \"line %g,%g %g,%g\" ", \
      spoke * k, (c - rmid) * k, sy * k, (c + rmid) * k, sy * k
    printf "-draw \"line %g,%g %g,%g\" ", c * k, sy * k, c * k, (c + rmid) * k
    printf "-stroke none -fill \047#5b636e\047 -draw \"circle %g,%g %g,%g\" ", c * k, sy * k, c * k, (sy - hub) * k
    printf "-fill \047#b7c0ca\047 -draw \"circle %g,%g %g,%g\"\n", c * k, sy * k, c * k, (sy - hub / 2) * k
  }'
}

images=()
while read -r size rim spoke hub halo; do
  eval "convert -size $((size * k))x$((size * k)) xc:none $(draw "$size" "$rim" "$spoke" "$hub" "$halo") \
    -filter box -resize ${size}x${size} PNG32:$work/wheel-$size.png"
  images+=("$work/wheel-$size.png")
done <<'SIZES'
16 2 2 2 1
20 2 2 3 1
24 3 2 3 1
32 4 3 5 1
40 4 3 6 1
48 5 4 8 1.5
256 24 20 40 6
SIZES
convert "${images[@]}" tillerset.ico
# A preview of every size side by side, for a look without Windows.
convert "${images[@]}" -background '#808080' -gravity center -extent 264x264 +append "$work/preview.png"
cp "$work/preview.png" "${ICON_PREVIEW:-/dev/null}" 2>/dev/null || true
