#!/usr/bin/env bash
# The marquee's frames on a real X server: what the window shows (read back
# from the server) moves from frame to frame and keeps moving, in the strip's
# own colours, with the line's pixels where the strip is, and a window laid
# over the strip and taken away again leaves it whole.
# frames.sh PROGRAM
set -euo pipefail
program="$1"
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
require_tools Xvfb import convert xmessage xdotool
xvfb_start
mkdir -p "$xvfb_work/home/.config"
cat >"$xvfb_work/home/.config/org.zintara.Zintara.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>showWelcome</key><false/><key>launchiTunes</key><true/>
</dict></plist>
PLIST
app_start "$program"

fail() { echo "FAIL: $*"; cat "$xvfb_work/app.log"; exit 1; }
# The strip's 120 by 26 pixels at the top right of the 1024-wide screen, one
# "x,y: r,g,b" line a pixel.
strip() {
  import -window root -crop 120x26+904+0 +repage "$xvfb_work/strip.png"
  convert "$xvfb_work/strip.png" -depth 8 txt:- | sed -n 's/^\([0-9]*,[0-9]*\): (\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1: \2,\3,\4/p'
}
pixel() { grep "^$2: " <<<"$1" | cut -d' ' -f2; }

# Wait for the strip (its band at the top left corner) and the line in it
# (pixels darker than the band).
dark=': ([0-9]|[0-9][0-9]|1[0-4][0-9]),'
shown=""
for _ in $(seq 1 100); do
  shown=$(strip)
  [ "$(pixel "$shown" 0,0)" = "242,242,242" ] && grep -qE "$dark" <<<"$shown" && break
  sleep 0.1
done
[ "$(pixel "$shown" 0,0)" = "242,242,242" ] || fail "no strip at the top right: $(pixel "$shown" 0,0)"
grep -qE "$dark" <<<"$shown" || fail "no line drawn in the strip"

# The band and its hairline in their own grey (a pixel layout the server
# read otherwise would tint or scramble them).
[ "$(pixel "$shown" 119,0)" = "242,242,242" ] || fail "band at the top right is $(pixel "$shown" 119,0)"
hairline=$(pixel "$shown" 119,25)
IFS=, read -r r g b <<<"$hairline"
[ "$r" = "$g" ] && [ "$g" = "$b" ] && [ "$r" -lt 242 ] && [ "$r" -gt 150 ] || fail "hairline is $hairline"

# It scrolls, and goes on scrolling from one batch of frames drawn ahead to
# the next: every reading over two seconds differs from the one before.
previous="$shown"
for reading in 1 2 3 4 5 6; do
  sleep 0.3
  later=$(strip)
  [ "$later" != "$previous" ] || fail "the strip did not change in 0.3 s (reading $reading)"
  previous="$later"
done

# A window over the strip, then gone: the strip is drawn whole again.
xmessage -name cover -title "Cover" -geometry 200x60+880+0 cover &
cover=$!
window_wait "Cover" >/dev/null
kill "$cover"; wait "$cover" 2>/dev/null || true
sleep 0.3
after=$(strip)
grep -qE "$dark" <<<"$after" || fail "no line after the window went"
[ "$(pixel "$after" 0,0)" = "242,242,242" ] && [ "$(pixel "$after" 119,0)" = "242,242,242" ] \
  || fail "band not redrawn: $(pixel "$after" 0,0) $(pixel "$after" 119,0)"

app_stop || { echo "zintara exited with status $?"; cat "$xvfb_work/app.log"; exit 1; }
echo "frames: OK"
