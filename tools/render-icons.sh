#!/usr/bin/env bash
# Renders the application icon's bitmaps (16x16 and 32x32 PNG) from the hand-written SVG.
# Run it after changing app/resources/tallyglass.svg; the PNGs are committed, so builds do not
# need a renderer. Uses rsvg-convert (Debian: librsvg2-bin), or ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=app/resources/tallyglass.svg
out=app/resources/icons
mkdir -p "$out"
for size in 16 32; do
  png="$out/tallyglass-$size.png"
  if command -v rsvg-convert > /dev/null; then
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$png"
  else
    convert -background none -density 384 "$svg" -resize "${size}x${size}" "PNG32:$png"
  fi
  echo "wrote $png"
done
