#!/usr/bin/env bash
# Under a tiling window manager (i3 on a virtual X display): the welcome and
# preferences windows float as dialogs instead of being tiled, and the strip
# (a dock, which i3 spreads over the whole top) reserves its 26 pixels there
# with the marquee at the right end.
# i3.sh PROGRAM
set -euo pipefail
program="$1"
for tool in Xvfb i3 i3-msg jq xdotool import convert; do
  command -v "$tool" >/dev/null && continue
  if [ "${CI:-}" = true ]; then echo "FAIL: $tool is not installed (CI)"; exit 1; fi
  echo "SKIP: $tool is not installed"; exit 77
done
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
xvfb_start
# No bar of i3's own: the strip is the only dock.
echo 'font pango:DejaVu Sans 8' >"$xvfb_work/i3.conf"
i3 -c "$xvfb_work/i3.conf" >"$xvfb_work/i3.log" 2>&1 &
wm_pid=$!
for _ in $(seq 1 100); do i3-msg -t get_version >/dev/null 2>&1 && break; sleep 0.1; done
app_start "$program"

fail() { echo "FAIL: $*"; i3-msg -t get_tree | jq -c '.. | objects | select(.window? != null) | {name, floating, rect}'; exit 1; }
# Waits for a window of i3's by title; prints whether it floats.
floating() {
  local state=""
  for _ in $(seq 1 100); do
    state=$(i3-msg -t get_tree | jq -r --arg name "$1" '.. | objects | select(.name? == $name and .window? != null) | .floating')
    [ -n "$state" ] && break
    sleep 0.1
  done
  echo "$state"
}

[ "$(floating "Welcome to Zintara")" = auto_on ] || fail "the welcome window is tiled"
welcome=$(window_wait "Welcome to Zintara")
xdotool windowfocus --sync "$welcome"; sleep 0.3; xdotool key alt+o
[ "$(floating "Zintara Preferences")" = auto_on ] || fail "the preferences window is tiled"
echo "the welcome and preferences windows float"

# The strip: i3's dock area across the top, 26 pixels high, the workspace
# below it, and the marquee at the right end of the band.
read -r y h < <(i3-msg -t get_tree | jq -r '.. | objects | select(.name? == "Zintara" and .window? != null) | "\(.rect.y) \(.rect.height)"')
[ "$y" = 0 ] && [ "$h" = 26 ] || fail "the strip is at y=$y, $h high"
top=$(i3-msg -t get_workspaces | jq -r '.[] | select(.visible) | .rect.y')
[ "$top" = 26 ] || fail "the workspace begins at y=$top"
dark=': \(([0-9]|[0-9][0-9]|1[0-9][0-9]),'
right=""
for _ in $(seq 1 50); do
  import -window root -crop 120x25+904+0 +repage "$xvfb_work/right.png"
  right=$(convert "$xvfb_work/right.png" -depth 8 txt:-)
  grep -qE "$dark" <<<"$right" && break
  sleep 0.1
done
grep -qE "$dark" <<<"$right" || fail "no marquee at the right end of the strip"
import -window root -crop 880x25+0+0 +repage "$xvfb_work/left.png"
[ "$(convert "$xvfb_work/left.png" -format '%k' info:)" = 1 ] || fail "the band left of the marquee is not plain"
echo "i3: OK"
