#!/usr/bin/env bash
# The status bar's strip as a panel under a real EWMH window manager
# (openbox on a virtual X display): it is a dock window on every workspace,
# reserves its height at the top over its own width, a maximized window
# stays clear of it, and a panel that appears later pushes it down.
# dock.sh PROGRAM
set -euo pipefail
program="$1"
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
require_tools Xvfb openbox xdotool xprop xwininfo wmctrl xmessage
xvfb_start
wm_start
settings_skip_launch_windows
app_start "$program"

# The strip: the program's window of type DOCK.
strip=""
for _ in $(seq 1 100); do
  for w in $(xdotool search --class zintara 2>/dev/null || true); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '_NET_WM_WINDOW_TYPE_DOCK' && strip=$w
  done
  [ -n "$strip" ] && break
  sleep 0.1
done
[ -n "$strip" ] || { echo "no dock window"; xprop -root; cat "$xvfb_work/app.log"; exit 1; }

fail() { echo "FAIL: $*"; xprop -id "$strip"; exit 1; }
prop() { xprop -id "$1" "$2" | sed 's/.*= //'; }
geometry() { # x y width height of a window's client area
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}

[ "$(prop "$strip" WM_CLASS)" = '"zintara", "Zintara"' ] || fail "class is $(prop "$strip" WM_CLASS)"
[ "$(prop "$strip" _NET_WM_NAME)" = '"Zintara"' ] || fail "name is $(prop "$strip" _NET_WM_NAME)"
[ "$(prop "$strip" _NET_WM_DESKTOP)" = 4294967295 ] || fail "not on every workspace"
prop "$strip" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "not above normal windows"
prop "$strip" WM_HINTS >/dev/null

# Its strut reserves its own rectangle at the top right.
read -r sx sy sw sh < <(geometry "$strip")
echo "strip at ${sx},${sy} ${sw}x${sh}"
[ "$sy" -eq 0 ] && [ $((sx + sw)) -eq 1024 ] && [ "$sh" -eq 26 ] || fail "strip is not at the top right"
[ "$(prop "$strip" _NET_WM_STRUT_PARTIAL)" = "0, 0, 26, 0, 0, 0, 0, 0, $sx, $((sx + sw - 1)), 0, 0" ] \
  || fail "strut is $(prop "$strip" _NET_WM_STRUT_PARTIAL)"
[ "$(prop "$strip" _NET_WM_STRUT)" = "0, 0, 26, 0" ] || fail "old-style strut"

# A maximized window's frame (title bar included) starts below the strip.
maximized_top() {
  local w x y width height frame
  w=$(window_wait "$1")
  wmctrl -i -r "$w" -b add,maximized_vert,maximized_horz
  for _ in $(seq 1 50); do
    xprop -id "$w" _NET_WM_STATE | grep -q MAXIMIZED_VERT && break
    sleep 0.1
  done
  sleep 0.3
  read -r x y width height < <(geometry "$w")
  frame=$(prop "$w" _NET_FRAME_EXTENTS | cut -d, -f3 | tr -d ' ')
  echo $((y - frame))
}
xmessage -name xmessage -title "Ordinary window" -geometry 300x200+700+5 "covers nothing" &
top=$(maximized_top "Ordinary window")
echo "maximized window's frame starts at y=$top"
[ "$top" -ge 26 ] || fail "a maximized window overlaps the strip"

# A click on the strip (it opens the menu) leaves the focus where it was.
xdotool mousemove $((sx + sw / 2)) $((sy + sh / 2)) click 1
sleep 0.5
xdotool key Escape
active=$(xprop -root _NET_ACTIVE_WINDOW | awk '{print $NF}')
echo "active window after a click on the strip: $active"
[ "$((active))" -ne "$strip" ] || fail "the strip took the focus"

# A top panel 30 pixels high across the screen: the strip moves below it
# at once, and its strut with it.
xmessage -name panel -title "Top panel" -geometry 1024x30+0+0 panel &
panel=$(window_wait "Top panel")
xprop -id "$panel" -f _NET_WM_STRUT_PARTIAL 32c -set _NET_WM_STRUT_PARTIAL "0,0,30,0,0,0,0,0,0,1023,0,0"
for _ in $(seq 1 50); do
  read -r sx sy sw sh < <(geometry "$strip")
  [ "$sy" -eq 30 ] && break
  sleep 0.1
done
echo "with a top panel the strip is at ${sx},${sy}"
[ "$sy" -eq 30 ] || fail "the strip did not move below the new panel"
for _ in $(seq 1 50); do
  [ "$(prop "$strip" _NET_WM_STRUT_PARTIAL | cut -d, -f3 | tr -d ' ')" = 56 ] && break
  sleep 0.1
done
[ "$(prop "$strip" _NET_WM_STRUT_PARTIAL | cut -d, -f3 | tr -d ' ')" = 56 ] || fail "strut did not follow"

# And back when the panel goes.
xprop -id "$panel" -remove _NET_WM_STRUT_PARTIAL
for _ in $(seq 1 50); do
  read -r sx sy sw sh < <(geometry "$strip")
  [ "$sy" -eq 0 ] && break
  sleep 0.1
done
[ "$sy" -eq 0 ] || fail "the strip stayed low after the panel went"

app_stop || { echo "zintara exited with status $?"; cat "$xvfb_work/app.log"; exit 1; }
echo "dock: OK"
