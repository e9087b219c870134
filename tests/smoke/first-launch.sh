#!/usr/bin/env bash
# The real program in a real window: a first launch on a virtual X display
# shows the welcome window; answering it and the launch window as a user
# would shows the marquee in the status bar, and ending the program with
# SIGTERM then leaves the 27 default settings on disk with the launch counted.
# A second first launch whose X server goes away at the welcome window
# (the session ended) still leaves its settings on disk, and no crash.
# first-launch.sh PROGRAM SCREENSHOT.png
set -euo pipefail
program="$1"; shot="$2"
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
require_tools Xvfb xdotool import
xvfb_start
app_start "$program"

welcome=$(window_wait "Welcome to Zintara")
sleep 0.5
import -window root "$shot"
colours=$(convert "$shot" -format '%k' info:)
echo "screenshot $shot: $colours colours"
[ "$colours" -gt 16 ] || { echo "the screenshot is blank"; exit 1; }

# Qt needs a moment to take the focus before it reads keys.
press() { xdotool windowfocus --sync "$1"; sleep 0.3; xdotool key "$2"; }
press "$welcome" alt+o
launch=$(window_wait "Launch iTunes?")
press "$launch" alt+l
window_gone "$launch"
sleep 1.5 # the rest of the launch sequence runs without windows; then a poll

# The marquee in the status bar at the top right shows the playing track.
strip="${shot%.png}-status-bar.png"
import -window root -crop 130x26+894+0 "$strip"
colours=$(convert "$strip" -format '%k' info:)
echo "status bar $strip: $colours colours"
[ "$colours" -gt 8 ] || { echo "the status bar shows no marquee"; exit 1; }

app_stop || { echo "zintara exited with status $?"; cat "$xvfb_work/app.log"; exit 1; }

prefs="$xvfb_work/home/.config/org.zintara.Zintara.plist"
[ -f "$prefs" ] || { echo "no settings file at $prefs"; exit 1; }
keys=$(grep -c '<key>' "$prefs")
echo "settings file holds $keys keys"
[ "$keys" -eq 27 ] || { cat "$prefs"; exit 1; }
grep -A1 '<key>launchCount</key>' "$prefs" | grep -q '<integer>1</integer>' \
  || { echo "launchCount is not 1"; cat "$prefs"; exit 1; }

# Qt ends the program itself when its X server goes away, past the SIGTERM
# path; the settings are written within seconds of a change, so this looks
# before they would be.
rm -rf "$xvfb_work/home"
app_start "$program"
window_wait "Welcome to Zintara" >/dev/null
kill -KILL "$xvfb_pid"
status=0; wait "$app_pid" || status=$?; app_pid=""
[ "$status" -lt 128 ] || { echo "zintara died of signal $((status - 128)) when its X server went away"; exit 1; }
[ -f "$prefs" ] || { echo "the settings were lost when the X server went away"; cat "$xvfb_work/app.log"; exit 1; }
echo "first launch: OK"
