#!/usr/bin/env bash
# Renders the committed PNG icons from the SVG drawings, so that building needs no SVG renderer.
# Run after editing a drawing; needs rsvg-convert (Debian: librsvg2-bin).
# The two smallest sizes come from a drawing made on a 16-pixel grid, where the full drawing's
# three waves would blur into one another.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    source=scalable/farlight.svg
    [ "$size" -gt 22 ] || source=small/farlight-16.svg
    mkdir -p "${size}x${size}"
    rsvg-convert --width "$size" --height "$size" "$source" --output "${size}x${size}/farlight.png"
done
