#!/bin/sh
# Rebuilds the bundle's pictures: compiles make-images.cpp against Qt and runs
# it offscreen into resources/bundle/Contents/Resources.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../resources/bundle/Contents/Resources"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
c++ -std=c++20 -O1 -fPIC -o "$tmp/make-images" "$here/make-images.cpp" $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$tmp/make-images" "$out"
