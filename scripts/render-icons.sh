#!/usr/bin/env bash
# Renders the PNG sizes of the icon from data/icons/xlsdb.svg (after changing the drawing).
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
icons=$(cd "$(dirname "$0")/../data/icons" && pwd)
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$icons/xlsdb.svg" -o "$icons/xlsdb-$size.png"
done
