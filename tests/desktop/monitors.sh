#!/usr/bin/env bash
# The strip's reservation on displays of several monitors (the RandR
# outputs of Xorg's dummy driver, under openbox), in the X server's pixels
# whatever Qt's scale factor:
# - side by side with the primary on the right, at scales 1, 2 and 1.5: the
#   strip sits at the primary's top right, its strut is its own native
#   rectangle, and a window maximized there stays clear of it; a top panel
#   on the other monitor does not push it down, one over it does;
# - stacked with the primary below: no top strut can be set without taking
#   the upper monitor, so none is, and a window maximized up there stays.
# monitors.sh PROGRAM
set -euo pipefail
program="$1"
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
require_tools Xorg xrandr openbox xdotool xprop xwininfo wmctrl xmessage

fail() { echo "FAIL ($layout): $*"; [ -n "${strip:-}" ] && xprop -id "$strip"; cat "$xvfb_work/app.log"; exit 1; }
stop_all() { # ends the program and openbox, and the display with them
  app_stop || fail "zintara ended with status $?"
  xvfb_cleanup
  trap xvfb_cleanup EXIT
  xvfb_work=$(mktemp -d); xvfb_pid=""; wm_pid=""
}

# start_layout MONITOR...: a display of these monitors ("*" marks the
# primary, WxH+X+Y), openbox, and the program showing its strip.
start_layout() {
  xorg_dummy_start "$@"
  wm_start
  settings_skip_launch_windows
  app_start "$program"
  strip=$(dock_wait) || fail "no dock window"
}

# The strip's place once it is where it wants: WIDTHxHEIGHT at its right
# end RIGHT and top TOP.
strip_at() { # RIGHT TOP HEIGHT
  for _ in $(seq 1 50); do
    read -r sx sy sw sh < <(window_geometry "$strip")
    [ $((sx + sw)) -eq "$1" ] && [ "$sy" -eq "$2" ] && [ "$sh" -eq "$3" ] && return 0
    sleep 0.1
  done
  fail "the strip is at ${sx},${sy} ${sw}x${sh}, not ending at ${1},${2} ${3} high"
}

# The frame top and the bottom of a new window maximized where it stands.
maximized() { # TITLE X Y
  xmessage -name xmessage -title "$1" -geometry "300x200+$2+$3" "$1" &
  maximize_window "$1"
}

# Side by side, the primary on the right, at each scale.
for scale in 1 2 1.5; do
  layout="side by side, scale $scale"
  export QT_SCALE_FACTOR=$scale
  start_layout 1280x800+0+0 '*1280x800+1280+0'
  height=$(awk -v s="$scale" 'BEGIN { printf "%d", 26 * s + 0.5 }')
  strip_at 2560 0 "$height"
  echo "$layout: strip at ${sx},${sy} ${sw}x${sh}"
  [ "$(window_prop "$strip" _NET_WM_STRUT_PARTIAL)" = "0, 0, $sh, 0, 0, 0, 0, 0, $sx, $((sx + sw - 1)), 0, 0" ] \
    || fail "strut is $(window_prop "$strip" _NET_WM_STRUT_PARTIAL)"
  read -r top bottom < <(maximized "Right window" 1500 300)
  echo "$layout: a window maximized on the primary starts at y=$top"
  [ "$top" -ge "$sh" ] || fail "a window maximized on the primary overlaps the strip"
  if [ "$scale" = 1 ]; then
    # A top panel over the left monitor only leaves the strip where it is.
    xmessage -name panel -title "Left panel" -geometry 1280x30+0+0 panel &
    panel=$(window_wait "Left panel")
    xprop -id "$panel" -f _NET_WM_STRUT_PARTIAL 32c -set _NET_WM_STRUT_PARTIAL "0,0,30,0,0,0,0,0,0,1279,0,0"
    sleep 1
    strip_at 2560 0 26
  elif [ "$scale" = 2 ]; then
    # One over the primary pushes it down by its height in the server's
    # pixels (15 logical ones), and its strut with it.
    xmessage -name panel -title "Right panel" -geometry 1280x30+1280+0 panel &
    panel=$(window_wait "Right panel")
    xprop -id "$panel" -f _NET_WM_STRUT_PARTIAL 32c -set _NET_WM_STRUT_PARTIAL "0,0,30,0,0,0,0,0,1280,2559,0,0"
    strip_at 2560 30 52
    for _ in $(seq 1 50); do
      [ "$(window_prop "$strip" _NET_WM_STRUT_PARTIAL | cut -d, -f3 | tr -d ' ')" = 82 ] && break
      sleep 0.1
    done
    [ "$(window_prop "$strip" _NET_WM_STRUT_PARTIAL | cut -d, -f3 | tr -d ' ')" = 82 ] \
      || fail "strut below the panel is $(window_prop "$strip" _NET_WM_STRUT_PARTIAL)"
  fi
  stop_all
done
unset QT_SCALE_FACTOR

# Stacked, the primary below.
layout="stacked, primary below"
start_layout '*1280x800+0+800' 1280x800+0+0
strip_at 1280 800 26
echo "$layout: strip at ${sx},${sy} ${sw}x${sh}"
partial=$(window_prop "$strip" _NET_WM_STRUT_PARTIAL)
strut=$(window_prop "$strip" _NET_WM_STRUT)
grep -q 'not found' <<<"$partial$strut" && ! grep -q '[0-9]' <<<"$partial$strut" \
  || fail "a strut where none can be right: $partial / $strut"
read -r top bottom < <(maximized "Upper window" 200 200)
echo "$layout: a window maximized on the upper monitor spans y=$top..$bottom"
[ "$top" -lt 800 ] && [ "$bottom" -le 800 ] || fail "a window maximized on the upper monitor left it"
stop_all
echo "monitors: OK"
