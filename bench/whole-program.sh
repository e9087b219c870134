#!/usr/bin/env bash
# Whole-program cost of the marquee, side by side with conky.
#
#   bench/whole-program.sh [SECONDS] [ZINTARA]
#
# On one private virtual X display (1280x800) it runs Zintara with the
# built-in player scrolling its demo playlist at 30 frames a second, and
# conky with a small configuration of this script's own that scrolls a line
# of the same kind at 30 updates a second. Both are measured over the same
# SECONDS (default 30) from /proc (user plus system time). Then Zintara runs
# again with the player paused, so that only the still static tag shows, and
# is measured alone for as long. It prints the share of one core each used,
# the ratios, and each program's peak resident memory.
#
# Installs conky-std when it is missing. Run on purpose: the test command
# does not run it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
zintara="${2:-build/zintara}"
warmup=5

[ -x "$zintara" ] || { echo "no program at $zintara (build it first: tools/build)" >&2; exit 1; }
if ! command -v conky >/dev/null; then
  echo "Installing conky-std..."
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends conky-std >/dev/null
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
number=$(tr -dc '0-9' <"$work/display")
[ -n "$number" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$number"

hz=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Peak resident memory of a process, in kB.
peak() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }
# Share of one core, in percent, from a tick count over the measured time.
percent() { awk -v t="$1" -v s="$2" -v hz="$hz" 'BEGIN {printf "%.3f", 100 * t / hz / s}'; }

# A home of its own for each run of Zintara: no welcome window, and the
# player launched at start without asking.
start_zintara() {
  local name="$1"; shift
  local home="$work/home-$name"
  mkdir -p "$home/.config" "$home/runtime"; chmod 700 "$home/runtime"
  cat >"$home/.config/org.zintara.Zintara.plist" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>showWelcome</key>
	<false/>
	<key>launchiTunes</key>
	<true/>
</dict>
</plist>
EOF
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb \
    "$zintara" "$@" >"$work/zintara-$name.log" 2>&1 &
  zpid=$!
  pids+=("$zpid")
}

# conky scrolling one plain line by characters, 30 updates a second, in a
# window of about the marquee's size.
cat >"$work/conky.conf" <<'EOF'
conky.config = {
    out_to_x = true,
    out_to_console = false,
    own_window = true,
    own_window_type = 'normal',
    own_window_title = 'conky-bench',
    alignment = 'top_left',
    gap_x = 20,
    gap_y = 40,
    minimum_width = 120,
    maximum_width = 120,
    update_interval = 0.0333,
    double_buffer = true,
    use_xft = true,
    font = 'DejaVu Sans Mono:size=8',
    draw_shades = false,
    draw_outline = false,
    draw_borders = false,
    background = false,
    total_run_times = 0,
};
conky.text = [[${scroll 20 1 Title Song - Juniper    NEXT: Second Song - Juniper}]]
EOF

echo "Scrolling: Zintara (built-in player, 30 fps) and conky (30 updates/s), ${seconds} s each, same display"
start_zintara scroll
conky -c "$work/conky.conf" >"$work/conky.log" 2>&1 &
cpid=$!
pids+=("$cpid")
sleep "$warmup"
kill -0 "$zpid" 2>/dev/null || { echo "Zintara ended early:" >&2; cat "$work/zintara-scroll.log" >&2; exit 1; }
kill -0 "$cpid" 2>/dev/null || { echo "conky ended early:" >&2; cat "$work/conky.log" >&2; exit 1; }
z0=$(ticks "$zpid"); c0=$(ticks "$cpid")
sleep "$seconds"
z1=$(ticks "$zpid"); c1=$(ticks "$cpid")
zscroll=$(percent $((z1 - z0)) "$seconds")
cscroll=$(percent $((c1 - c0)) "$seconds")
zpeak=$(peak "$zpid"); cpeak=$(peak "$cpid")
kill "$zpid" "$cpid"; wait "$zpid" "$cpid" 2>/dev/null || true

echo "Nothing moving: Zintara with the player paused (static tag), ${seconds} s"
cat >"$work/paused.json" <<'EOF'
{"running": true, "playerState": "paused", "currentTrack": 1,
 "tracks": [{"name": "Title Song", "artist": "Juniper", "duration": 240}]}
EOF
start_zintara paused --library "$work/paused.json"
sleep "$warmup"
kill -0 "$zpid" 2>/dev/null || { echo "Zintara ended early:" >&2; cat "$work/zintara-paused.log" >&2; exit 1; }
z0=$(ticks "$zpid")
sleep "$seconds"
z1=$(ticks "$zpid")
zpaused=$(percent $((z1 - z0)) "$seconds")
zpeak2=$(peak "$zpid")
kill "$zpid"; wait "$zpid" 2>/dev/null || true

awk -v zs="$zscroll" -v cs="$cscroll" -v zp="$zpaused" -v zm="$zpeak" -v zm2="$zpeak2" -v cm="$cpeak" 'BEGIN {
  printf "\n%-34s %8s\n", "", "% of one core"
  printf "%-34s %8.3f\n", "Zintara scrolling (30 fps)", zs
  printf "%-34s %8.3f\n", "conky scrolling (30 updates/s)", cs
  printf "%-34s %8.3f\n", "Zintara paused (nothing moving)", zp
  if (cs > 0) printf "\nZintara / conky while scrolling: %.2f (aim: 0.20 or less)\n", zs / cs
  printf "Zintara paused: %.3f%% of one core (aim: 0.05%% or less)\n", zp
  printf "Peak resident memory: Zintara %.1f MB scrolling, %.1f MB paused; conky %.1f MB (aim for Zintara: 35 MB or less)\n",
    zm / 1024, zm2 / 1024, cm / 1024
}'
