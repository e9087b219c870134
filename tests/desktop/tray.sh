#!/usr/bin/env bash
# The Dock icon as a tray icon, against an XEmbed tray host (trayer) on a
# virtual X display. With LSUIElement 0 in the bundle the icon sits in the
# tray and a click on it pops up the drop-down menu, and the welcome window
# is listed in the taskbar; with LSUIElement 1 there is no icon and the
# window keeps out of the taskbar.
# tray.sh PROGRAM BUNDLE
set -euo pipefail
program="$1"; bundle="$2"
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
require_tools Xvfb trayer xdotool xprop xwininfo
fail() { echo "FAIL: $*"; cat "$xvfb_work/app.log"; exit 1; }
# No session bus: Qt then uses the XEmbed tray that trayer hosts.
unset DBUS_SESSION_BUS_ADDRESS
xvfb_start
trayer --edge bottom --align left --widthtype pixel --width 120 --height 32 \
  --SetDockType false --SetPartialStrut false >"$xvfb_work/trayer.log" 2>&1 &
tray_pid=$!
trap 'kill $tray_pid 2>/dev/null || true; xvfb_cleanup' EXIT
tray_host=$(window_wait panel) || { cat "$xvfb_work/trayer.log" "$xvfb_work/xvfb.log"; ps -p "$xvfb_pid" >/dev/null || echo "Xvfb is gone"; exit 1; }

# A window of ours embedded in the tray host, or nothing.
tray_icon() {
  xwininfo -tree -id "$tray_host" | awk '/"Zintara": \("zintara" "Zintara"\)/{print $1; exit}'
}
with_entry() { # copies the bundle with LSUIElement set to $1
  rm -rf "$xvfb_work/Zintara.app"
  cp -r "$bundle" "$xvfb_work/Zintara.app"
  sed -i "/<key>LSUIElement<\/key>/{n;s|<string>.*</string>|<string>$1</string>|}" \
    "$xvfb_work/Zintara.app/Contents/Info.plist"
  grep -A1 LSUIElement "$xvfb_work/Zintara.app/Contents/Info.plist" | grep -q "<string>$1</string>" \
    || fail "could not set LSUIElement"
  export ZINTARA_BUNDLE="$xvfb_work/Zintara.app"
}
visible_menu() { # a pop-up of ours (override-redirect) tall enough to be the menu
  local info
  for w in $(xdotool search --onlyvisible --class zintara 2>/dev/null || true); do
    info=$(xwininfo -id "$w")
    grep -q 'Override Redirect State: yes' <<<"$info" || continue
    [ "$(echo "$info" | awk '/Height:/{print $NF}')" -ge 100 ] && { echo "$w"; return 0; }
  done
  return 1
}
in_taskbar() { ! xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR; }

# LSUIElement 0: an icon in the tray; its click opens the menu.
with_entry 0
settings_skip_launch_windows
app_start "$program"
window_wait Zintara >/dev/null # the strip
icon=""
for _ in $(seq 1 100); do icon=$(tray_icon); [ -n "$icon" ] && break; sleep 0.1; done
[ -n "$icon" ] || fail "no icon in the tray"
visible_menu >/dev/null && fail "a menu is open before the click"
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
menu=""
for _ in $(seq 1 50); do menu=$(visible_menu) && break; sleep 0.1; done
[ -n "$menu" ] || fail "a click on the tray icon opened no menu"
echo "tray icon $icon opened menu $menu"
xdotool key Escape
window_gone "$menu"
# A right click opens the same menu, once.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
menu=""
for _ in $(seq 1 50); do menu=$(visible_menu) && break; sleep 0.1; done
[ -n "$menu" ] || fail "a right click on the tray icon opened no menu"
sleep 0.5
menus=0
for w in $(xdotool search --onlyvisible --class zintara 2>/dev/null || true); do
  info=$(xwininfo -id "$w")
  grep -q 'Override Redirect State: yes' <<<"$info" && [ "$(awk '/Height:/{print $NF}' <<<"$info")" -ge 100 ] \
    && menus=$((menus + 1))
done
[ "$menus" -eq 1 ] || fail "a right click opened $menus menus"
xdotool key Escape
app_stop || fail "zintara ended with status $?"

# Its windows are listed in the taskbar.
rm -rf "$xvfb_work/home"
app_start "$program"
welcome=$(window_wait "Welcome to Zintara")
in_taskbar "$welcome" || fail "the welcome window skips the taskbar though the Dock icon shows"
app_stop || fail "zintara ended with status $?"

# LSUIElement 1: no icon, and the window keeps out of the taskbar.
with_entry 1
rm -rf "$xvfb_work/home"
app_start "$program"
welcome=$(window_wait "Welcome to Zintara")
in_taskbar "$welcome" && fail "the welcome window is in the taskbar though the Dock icon is hidden"
sleep 1 # longer than the icon took to appear above
[ -z "$(tray_icon)" ] || fail "an icon in the tray though LSUIElement is 1"
app_stop || fail "zintara ended with status $?"
echo "tray: OK"
