#!/usr/bin/env bash
# The status bar's strip as a panel of a Wayland compositor with layer shell
# (a headless sway with Xwayland): no window of it in the compositor's tree,
# the workspace starting below it, the X11 strip's own pixels at the
# output's top right (at one and two pixels a point), nothing sent while nothing moves, a click opening the
# menu under it, frames while it scrolls, the move to the output made
# primary; dialogs floating rather than tiled; and a compositor that goes
# away ending the program as SIGTERM does, settings written.
# wayland.sh PROGRAM VIRTUAL_POINTER
set -euo pipefail
program="$1"; virtual_pointer="$2"
. "$(dirname "$0")/../../tools/lib/sway.sh"
require_tools sway swaymsg grim Xwayland Xvfb xdpyinfo xhost xprop xrandr xwininfo import convert jq setpriv

width=120 # the strip's width with default settings
fail() { echo "FAIL: $*"; [ ! -f "$sway_work/app.log" ] || tail -n 20 "$sway_work/app.log"; exit 1; }

# A player holding one track, paused: the strip shows its still tag.
cat >"$sway_work/paused.json" <<'JSON'
{"running": true, "playerState": "paused", "currentTrack": 1, "playerPosition": 30,
 "tracks": [{"name": "Still Water", "artist": "Nobody", "album": "Quiet", "duration": 200}]}
JSON
chmod a+r "$sway_work/paused.json"
# An image's pixels, one "x,y: r,g,b" line each.
pixels() { convert "$1" -alpha off -depth 8 txt:- | sed -n 's/^\([0-9]*,[0-9]*\): (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1: \2,\3,\4/p'; }

# The X11 strip of the same program and player on a virtual X display, at
# $1 device pixels a point, as the reference for the panel's pixels: into $2.
x11_strip() (
  . "$(dirname "$0")/../../tools/lib/xvfb.sh"
  xvfb_start
  settings_skip_launch_windows
  QT_SCALE_FACTOR="$1" app_start "$program" --library "$sway_work/paused.json"
  local w=$((width * $1)) h=$((26 * $1))
  for _ in $(seq 1 100); do
    import -window root -crop "${w}x${h}+$((1024 - w))+0" +repage "$xvfb_work/strip.png"
    pixels "$xvfb_work/strip.png" >"$2.new"
    # Settled once the tag (dark pixels) is drawn and stays.
    if grep -qE ': ([0-9]|[0-9][0-9]|1[0-9][0-9]),' "$2.new" && cmp -s "$2.new" "$2"; then exit 0; fi
    mv "$2.new" "$2"
    sleep 0.2
  done
  echo "FAIL: the X11 strip never settled"; exit 1
)
reference="$sway_work/x11-strip.txt"
x11_strip 1 "$reference"

sway_start
settings_skip_launch_windows
program=$(program_for_user "$program")
WAYLAND_DEBUG=1 app_start "$program" --library "$sway_work/paused.json"
pointer_start "$virtual_pointer"

read -r out_w out_h < <(swaymsg -t get_outputs -r | jq -r '.[0].rect | "\(.width) \(.height)"')
panel() { # the panel's pixels at the top right of output $1 (default: the first), at its scale
  local name="${1:-HEADLESS-1}" x0 scale
  read -r x0 scale < <(swaymsg -t get_outputs -r \
    | jq -r ".[] | select(.name == \"$name\") | \"\\(.rect.x + .rect.width) \\(.scale)\"")
  grim -s "$scale" -g "$((x0 - width)),0 ${width}x26" "$sway_work/panel.png" 2>/dev/null && pixels "$sway_work/panel.png"
}
shown=""
for _ in $(seq 1 100); do
  shown=$(panel) || true
  [ "$shown" = "$(cat "$reference")" ] && break
  sleep 0.1
done
if [ "$shown" != "$(cat "$reference")" ]; then
  diff <(cat "$reference") <(echo "$shown") | head -n 10
  fail "the panel's pixels are not the X11 strip's"
fi
echo "the panel at the top right shows the X11 strip's pixels"

# Not a window: nothing of the strip in the tree, and the workspace
# begins below it.
swaymsg -t get_tree -r | jq -e '[.. | objects | select(.name? == "Zintara")] | length == 0' >/dev/null \
  || fail "the strip is a window in the tree"
top=$(swaymsg -t get_workspaces -r | jq -r '.[] | select(.visible) | .rect.y' | head -n 1)
[ "$top" = 26 ] || fail "the workspace begins at y=$top, not below the strip"

# Still: nothing committed for a second.
before=$(grep -c 'wl_surface@[0-9]*\.commit()' "$sway_work/app.log" || true)
sleep 1
after=$(grep -c 'wl_surface@[0-9]*\.commit()' "$sway_work/app.log" || true)
[ "$before" = "$after" ] || fail "a still strip committed $((after - before)) frames in a second"

# A click on the panel opens the menu (an Xwayland window) right under it.
click $((out_w - width / 2)) 13
menu=""
for _ in $(seq 1 50); do
  menu=$(xwininfo -root -children | awk '$2 == "\"Zintara\":" && $3 == "(\"zintara\"" {print $1}' | while read -r w; do
    xwininfo -id "$w" | grep -q IsViewable && echo "$w"; done | head -n 1) || true
  [ -n "$menu" ] && break
  sleep 0.1
done
[ -n "$menu" ] || fail "no menu opened on a click"
read -r mx my mw < <(xwininfo -id "$menu" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} END{print x, y, w}')
echo "menu at ${mx},${my}, ${mw} wide"
[ "$my" = 26 ] && [ $((mx + mw)) -ge $((out_w - width)) ] && [ "$mx" -le "$out_w" ] || fail "the menu is not under the strip"

# Its first item plays: the marquee scrolls, in frames.
# (Once the menu has settled, and with the pointer over the item first, as
# a hand would: a menu takes no click in the moment it opens.)
sleep 0.5
swaymsg -q seat - cursor set $((mx + 30)) $((my + 12))
sleep 0.2
click $((mx + 30)) $((my + 12))
previous=$(panel)
moved=0
for _ in $(seq 1 30); do
  sleep 0.2
  later=$(panel)
  [ "$later" != "$previous" ] && moved=$((moved + 1))
  previous="$later"
  [ "$moved" -ge 3 ] && break
done
[ "$moved" -ge 3 ] || fail "the panel did not scroll after Play"
echo "the panel scrolls"

# A second output, made primary: the panel goes there, at its top right,
# and its workspace begins below it, the first one's at the top again.
# (sway 1.7's headless outputs cannot be turned off, nor change mode.)
swaymsg -q create_output
for _ in $(seq 1 50); do [ "$(xrandr | grep -c ' connected')" = 2 ] && break; sleep 0.1; done
second=$(xrandr | awk '/ connected/ { for (i = 3; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+[0-9]+\+[0-9]+$/) { split($i, g, "+"); if (g[2] > 0) print $1 } }')
xrandr --output "$second" --primary
shown=""
for _ in $(seq 1 50); do
  top=$(swaymsg -t get_workspaces -r | jq -r '.[] | select(.output == "HEADLESS-2") | .rect.y' | head -n 1)
  first=$(swaymsg -t get_workspaces -r | jq -r '.[] | select(.output == "HEADLESS-1") | .rect.y' | head -n 1)
  shown=$(panel HEADLESS-2) || true
  [ "$top" = 26 ] && [ "$first" = 0 ] && grep -q "^$((width - 1)),0: 242,242,242" <<<"$shown" \
    && grep -qE ': ([0-9]|[0-9][0-9]|1[0-9][0-9]),' <<<"$shown" && break
  sleep 0.1
done
[ "$top" = 26 ] && [ "$first" = 0 ] || fail "the workspaces begin at y=$first and y=$top, not 0 and 26"
grep -q "^$((width - 1)),0: 242,242,242" <<<"$shown" && grep -qE ': ([0-9]|[0-9][0-9]|1[0-9][0-9]),' <<<"$shown" \
  || fail "no strip at the second output's top right"
echo "the panel moved to the primary output"

sway_stop

# On an output of twice the density the panel is drawn at that density,
# with the X11 strip's pixels at the same scale: text as crisp.
x11_strip 2 "$sway_work/x11-strip-2x.txt"
sway_start "output HEADLESS-1 scale 2"
settings_skip_launch_windows
app_start "$program" --library "$sway_work/paused.json"
for _ in $(seq 1 100); do
  shown=$(panel) || true
  [ "$shown" = "$(cat "$sway_work/x11-strip-2x.txt")" ] && break
  sleep 0.1
done
if [ "$shown" != "$(cat "$sway_work/x11-strip-2x.txt")" ]; then
  diff <(cat "$sway_work/x11-strip-2x.txt") <(echo "$shown") | head -n 10
  fail "the panel's pixels at scale 2 are not the X11 strip's"
fi
echo "at scale 2 the panel shows the X11 strip's pixels at scale 2"
sway_stop

# A first launch: the welcome window floats rather than being tiled, and so
# do the preferences window it opens and the launch window.
rm -f "$sway_work/home/.config/org.zintara.Zintara.plist"
sway_start
app_start "$program"
pointer_start "$virtual_pointer"
dialog() { # waits for a window by title; prints its type and rectangle
  local found=""
  for _ in $(seq 1 100); do
    found=$(swaymsg -t get_tree -r | jq -r --arg name "$1" \
      '.. | objects | select(.name? == $name and .type? != null) | "\(.type) \(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)"')
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}
read -r type x y w h < <(dialog "Welcome to Zintara")
[ "$type" = floating_con ] || fail "the welcome window is ${type:-missing}, not floating"
sleep 0.5 # settled, as a hand would find it
click $((x + w - 80)) $((y + h - 28)) # its Open Preferences button
read -r type _ < <(dialog "Zintara Preferences")
[ "$type" = floating_con ] || fail "the preferences window is ${type:-missing}, not floating"
read -r type _ < <(dialog "Launch iTunes?")
[ "$type" = floating_con ] || fail "the launch window is ${type:-missing}, not floating"
echo "the welcome, preferences and launch windows float"
sway_stop

# The compositor goes: the program ends as on SIGTERM, settings written
# (a first launch's, before they are saved on their own a few seconds on).
rm -f "$sway_work/home/.config/org.zintara.Zintara.plist"
sway_start
app_start "$program"
[ "$(dialog "Welcome to Zintara" | cut -d' ' -f1)" = floating_con ] || fail "no welcome window"
sleep 1 # the first launch's settings are made as the welcome window shows
saved_before=no
[ ! -e "$sway_work/home/.config/org.zintara.Zintara.plist" ] || saved_before=yes
kill -KILL "$sway_pid"
status=0
for _ in $(seq 1 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid" || status=$?
app_pid=""
cat "$sway_work/app.log"
[ "$status" = 0 ] || fail "exit status $status when the compositor went"
grep -q 'zintara: the connection to the Wayland compositor broke' "$sway_work/app.log" || fail "no word of why"
if [ "$saved_before" = yes ]; then
  echo "(the settings were saved before the compositor went: their writing at the end is not seen)"
else
  grep -q '<key>menuSize</key>' "$sway_work/home/.config/org.zintara.Zintara.plist" 2>/dev/null \
    || fail "the settings were not written"
fi
echo "wayland panel: OK"
