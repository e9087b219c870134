#!/usr/bin/env bash
# The status bar's strip as a panel under a real EWMH window manager
# (openbox on a virtual X display): it is a dock window on every workspace,
# reserves its height at the top over its own width, a maximized window
# stays clear of it, a panel that appears later pushes it down, and it
# stays a panel through saves in the preferences window.
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
strip=$(dock_wait) || { xprop -root; cat "$xvfb_work/app.log"; exit 1; }

fail() { echo "FAIL: $*"; xprop -id "$strip"; exit 1; }

[ "$(window_prop "$strip" WM_CLASS)" = '"zintara", "Zintara"' ] || fail "class is $(window_prop "$strip" WM_CLASS)"
[ "$(window_prop "$strip" _NET_WM_NAME)" = '"Zintara"' ] || fail "name is $(window_prop "$strip" _NET_WM_NAME)"
[ "$(window_prop "$strip" _NET_WM_DESKTOP)" = 4294967295 ] || fail "not on every workspace"
window_prop "$strip" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "not above normal windows"
window_prop "$strip" WM_HINTS >/dev/null

# Its strut reserves its own rectangle at the top right.
read -r sx sy sw sh < <(window_geometry "$strip")
echo "strip at ${sx},${sy} ${sw}x${sh}"
[ "$sy" -eq 0 ] && [ $((sx + sw)) -eq 1024 ] && [ "$sh" -eq 26 ] || fail "strip is not at the top right"
[ "$(window_prop "$strip" _NET_WM_STRUT_PARTIAL)" = "0, 0, 26, 0, 0, 0, 0, 0, $sx, $((sx + sw - 1)), 0, 0" ] \
  || fail "strut is $(window_prop "$strip" _NET_WM_STRUT_PARTIAL)"
[ "$(window_prop "$strip" _NET_WM_STRUT)" = "0, 0, 26, 0" ] || fail "old-style strut"

# A maximized window's frame (title bar included) starts below the strip.
xmessage -name xmessage -title "Ordinary window" -geometry 300x200+700+5 "covers nothing" &
read -r top _ < <(maximize_window "Ordinary window")
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
  read -r sx sy sw sh < <(window_geometry "$strip")
  [ "$sy" -eq 30 ] && break
  sleep 0.1
done
echo "with a top panel the strip is at ${sx},${sy}"
[ "$sy" -eq 30 ] || fail "the strip did not move below the new panel"
for _ in $(seq 1 50); do
  [ "$(window_prop "$strip" _NET_WM_STRUT_PARTIAL | cut -d, -f3 | tr -d ' ')" = 56 ] && break
  sleep 0.1
done
[ "$(window_prop "$strip" _NET_WM_STRUT_PARTIAL | cut -d, -f3 | tr -d ' ')" = 56 ] || fail "strut did not follow"

# And back when the panel goes.
xprop -id "$panel" -remove _NET_WM_STRUT_PARTIAL
for _ in $(seq 1 50); do
  read -r sx sy sw sh < <(window_geometry "$strip")
  [ "$sy" -eq 0 ] && break
  sleep 0.1
done
[ "$sy" -eq 0 ] || fail "the strip stayed low after the panel went"

# Each save in the preferences window replaces the strip's item; the strip
# stays a panel through it, on every workspace, above, out of the pager, at
# the top right over its own strut, and its width follows a new Width.
open_preferences() {
  local menu="" info
  read -r sx sy sw sh < <(window_geometry "$strip")
  xdotool mousemove $((sx + sw / 2)) $((sy + sh / 2)) click 1
  for _ in $(seq 1 50); do
    for w in $(xdotool search --onlyvisible --class zintara 2>/dev/null || true); do
      info=$(xwininfo -id "$w")
      grep -q 'Override Redirect State: yes' <<<"$info" && menu=$w
    done
    [ -n "$menu" ] && break
    sleep 0.1
  done
  [ -n "$menu" ] || fail "the menu did not open"
  # Down to "Preferences…": play, next, previous, rating, shuffle, repeat, then it.
  for _ in 1 2 3 4 5 6 7; do xdotool key Down; sleep 0.05; done
  xdotool key Return
  prefs=$(window_wait "Zintara Preferences")
  xdotool windowactivate --sync "$prefs" 2>/dev/null || true
}
save() { xdotool key alt+s; window_gone "$prefs"; }
still_a_panel() { # WIDTH: after a save
  for _ in $(seq 1 50); do
    read -r sx sy sw sh < <(window_geometry "$strip")
    [ "$sw" -eq "$1" ] && [ "$sy" -eq 0 ] && [ $((sx + sw)) -eq 1024 ] && break
    sleep 0.1
  done
  echo "after a save the strip is at ${sx},${sy} ${sw}x${sh}"
  [ "$sw" -eq "$1" ] && [ "$sy" -eq 0 ] && [ $((sx + sw)) -eq 1024 ] || fail "strip not at the top right, $1 wide"
  [ "$(window_prop "$strip" _NET_WM_DESKTOP)" = 4294967295 ] || fail "not on every workspace after a save"
  for state in ABOVE SKIP_PAGER SKIP_TASKBAR; do
    window_prop "$strip" _NET_WM_STATE | grep -q "_NET_WM_STATE_$state" || fail "lost $state after a save"
  done
  [ "$(window_prop "$strip" _NET_WM_STRUT_PARTIAL)" = "0, 0, 26, 0, 0, 0, 0, 0, $sx, $((sx + sw - 1)), 0, 0" ] \
    || fail "strut after a save is $(window_prop "$strip" _NET_WM_STRUT_PARTIAL)"
  wmctrl -s 1
  sleep 0.3
  xwininfo -id "$strip" | grep -q IsViewable || { wmctrl -s 0; fail "gone on the second workspace after a save"; }
  wmctrl -s 0
}
width=$sw
open_preferences
# Every window of the program carries its own icon, as the bundle has it.
icon_pixel=$(xprop -id "$prefs" -notype -f _NET_WM_ICON 32c _NET_WM_ICON | sed 's/.*= //' | tr ',' '\n' \
  | awk '{ v[NR] = $1 } END { for (p = 1; p < NR; p += 2 + v[p] * v[p + 1]) if (v[p] == 64) { print v[p + 2 + 32 * 64 + 32]; exit } }')
read -r r g b a < <(convert "$(dirname "$program")/Zintara.app/Contents/Resources/AppIcon.png" -crop 1x1+32+32 \
  -depth 8 rgba:- | od -An -tu1)
echo "the preferences window's icon at 32,32: $icon_pixel, the bundle's: $(( (a << 24) | (r << 16) | (g << 8) | b ))"
[ "$icon_pixel" = $(( (a << 24) | (r << 16) | (g << 8) | b )) ] || fail "the preferences window carries another icon"
save
still_a_panel "$width"
open_preferences
xdotool key alt+w Page_Up
save
still_a_panel $((width + 10))

app_stop || { echo "zintara exited with status $?"; cat "$xvfb_work/app.log"; exit 1; }
echo "dock: OK"
