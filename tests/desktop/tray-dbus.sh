#!/usr/bin/env bash
# The tray icon as a StatusNotifierItem, against a watcher of our own on a
# private session bus: the item registers with Zintara's icon and a tooltip
# naming the playing track, its context menu is the drop-down menu (over
# DBusMenu), and its activation (a click in the host) pops up that menu.
# tray-dbus.sh PROGRAM WATCHER
set -euo pipefail
program="$1"; watcher="$2"
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
require_tools Xvfb xdotool xwininfo dbus-daemon dbus-send
fail() { echo "FAIL: $*"; cat "$xvfb_work/app.log"; exit 1; }

bus_pid=""; watcher_pid=""
trap 'kill $watcher_pid $bus_pid 2>/dev/null || true; xvfb_cleanup' EXIT
mkdir -p "$xvfb_work/bus"
{ read -r address; read -r bus_pid; } < <(dbus-daemon --session --fork --nopidfile \
  --address="unix:path=$xvfb_work/bus/socket" --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS="$address"
"$watcher" >"$xvfb_work/watcher.log" 2>&1 &
watcher_pid=$!
for _ in $(seq 1 100); do grep -q '^watching' "$xvfb_work/watcher.log" && break; sleep 0.1; done
grep -q '^watching' "$xvfb_work/watcher.log" || { cat "$xvfb_work/watcher.log"; fail "the watcher did not start"; }

library="$xvfb_work/library.json"
echo '{"running": true, "tracks": [{"name": "Harbour Lights", "artist": "The Quiet Tides", "duration": 240}]}' >"$library"
xvfb_start
settings_skip_launch_windows
app_start "$program" --library "$library"

item=""
for _ in $(seq 1 100); do
  item=$(awk '/^item /{print $2; exit}' "$xvfb_work/watcher.log")
  [ -n "$item" ] && break
  sleep 0.1
done
[ -n "$item" ] || fail "no item registered with the watcher"
echo "item $item"
property() {
  dbus-send --session --print-reply --dest="$item" /StatusNotifierItem \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem "string:$1"
}
# The icon comes as pixmaps: width, height and the bytes.
pixmaps=$(property IconPixmap)
grep -q 'array of bytes' <<<"$pixmaps" || fail "the item has no icon"
tooltip=""
for _ in $(seq 1 100); do
  tooltip=$(property ToolTip)
  grep -q 'Harbour Lights' <<<"$tooltip" && break
  sleep 0.1
done
grep -q 'Harbour Lights' <<<"$tooltip" || { echo "$tooltip"; fail "the tooltip does not name the playing track"; }

# The drop-down menu is the item's context menu, exported over DBusMenu, so
# a host's right click offers Zintara's own items.
menu_path=$(property Menu | awk '/object path/ { gsub(/"/, "", $NF); print $NF }')
[ -n "$menu_path" ] && [ "$menu_path" != /NO_DBUSMENU ] || fail "no context menu exported (Menu is '$menu_path')"
layout=$(dbus-send --session --print-reply --dest="$item" "$menu_path" com.canonical.dbusmenu.GetLayout \
  int32:0 int32:-1 array:string:label) || fail "GetLayout at $menu_path failed"
# The player plays: the first item says "Pause", as the menu does.
for label in Pause "Next Track" "Previous Track" Rating Shuffle Repeat "Reset Preferences"; do
  grep -q "string \"$label\"" <<<"$layout" || { echo "$layout"; fail "the exported menu lacks \"$label\""; }
done

visible_menu() { # a pop-up of ours (override-redirect) tall enough to be the menu
  local info
  for w in $(xdotool search --onlyvisible --class zintara 2>/dev/null || true); do
    info=$(xwininfo -id "$w")
    grep -q 'Override Redirect State: yes' <<<"$info" || continue
    [ "$(echo "$info" | awk '/Height:/{print $NF}')" -ge 100 ] && { echo "$w"; return 0; }
  done
  return 1
}
visible_menu >/dev/null && fail "a menu is open before the activation"
dbus-send --session --print-reply --dest="$item" /StatusNotifierItem org.kde.StatusNotifierItem.Activate int32:100 int32:100 >/dev/null
menu=""
for _ in $(seq 1 50); do menu=$(visible_menu) && break; sleep 0.1; done
[ -n "$menu" ] || fail "activating the item opened no menu"
xdotool key Escape
app_stop || fail "zintara ended with status $?"
echo "tray over D-Bus: OK"
