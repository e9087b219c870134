#!/usr/bin/env bash
# Renders the application icon (resources/desktop/org.zintara.Zintara.svg)
# into the PNG sizes of the hicolor theme and into the bundle's AppIcon
# images. Run it after changing the SVG and commit the results; needs
# rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
svg=resources/desktop/org.zintara.Zintara.svg
mkdir -p resources/desktop/icons
for size in 16 22 24 32 48 64 128 256 512; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "resources/desktop/icons/$size.png"
done
rsvg-convert -w 64 -h 64 "$svg" -o resources/bundle/Contents/Resources/AppIcon.png
rsvg-convert -w 128 -h 128 "$svg" -o resources/bundle/Contents/Resources/AppIcon@2x.png
