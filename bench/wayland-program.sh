#!/usr/bin/env bash
# Whole-program cost of the marquee on a Wayland compositor, side by side
# with conky.
#
#   bench/wayland-program.sh [SECONDS] [ZINTARA]
#
# Each run has a headless sway session (with Xwayland) of its own:
#   1. Zintara, the built-in player scrolling its demo playlist at 30 frames
#      a second on the compositor's layer-shell panel;
#   2. conky scrolling a line of the same kind at 30 updates a second in a
#      small X11 window through Xwayland;
#   3. Zintara with the player paused: nothing moves;
#   4. the session alone, with no program.
# Each is charged its own CPU time plus its session's (sway's, and
# Xwayland's, which runs in every session: Zintara's menu and windows are
# X11 windows), over the same SECONDS (default 30) after a warm-up. A
# headless sway wakes at every frame of its output even when nothing changes,
# so the session alone is measured too, and what each program adds to it is
# shown beside the raw sums. It prints the share of one core of each, the
# ratios, and Zintara's peak resident memory. CPU time is read from /proc
# (schedstat, in nanoseconds).
#
# Installs conky-std when it is missing. Run on purpose: the test command
# does not run it.
set -euo pipefail
. "$(dirname "$0")/setup.sh"
. tools/lib/sway.sh
require_tools sway swaymsg Xwayland xdpyinfo xhost xprop setpriv
zintara=$(program_for_user "$zintara")

# CPU time of all a process's threads, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%.0f", s}'; }
# Peak resident memory of a process, in kB.
peak() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }
# Share of one core, in percent, of a CPU time over the measured time.
percent() { awk -v t="$1" -v s="$2" 'BEGIN {printf "%.4f", 100 * t / 1e9 / s}'; }

# measure NAME: the program started last (app_pid) with its session, for
# SECONDS after the warm-up; sets $program_share, $session_share, $memory.
measure() {
  local name="$1" xwayland p0=0 p1=0 s0 s1
  sleep "$warmup"
  [ -z "$app_pid" ] || kill -0 "$app_pid" 2>/dev/null \
    || { echo "$name ended early:" >&2; cat "$sway_work/app.log" >&2; exit 1; }
  xwayland=$(pgrep -f "^Xwayland $DISPLAY " | head -n 1)
  [ -n "$xwayland" ] || { echo "no Xwayland for $DISPLAY" >&2; exit 1; }
  session() { echo $(($(cpu_ns "$sway_pid") + $(cpu_ns "$xwayland"))); }
  [ -z "$app_pid" ] || p0=$(cpu_ns "$app_pid")
  s0=$(session)
  sleep "$seconds"
  [ -z "$app_pid" ] || p1=$(cpu_ns "$app_pid")
  s1=$(session)
  program_share=$(percent $((p1 - p0)) "$seconds")
  session_share=$(percent $((s1 - s0)) "$seconds")
  memory=0
  [ -z "$app_pid" ] || memory=$(peak "$app_pid")
  sway_stop
}

conky_config "$sway_work/conky.conf" override
cat >"$sway_work/paused.json" <<'EOF'
{"running": true, "playerState": "paused", "currentTrack": 1,
 "tracks": [{"name": "Title Song", "artist": "Juniper", "duration": 240}]}
EOF
chmod a+r "$sway_work/conky.conf" "$sway_work/paused.json"

echo "Scrolling, each in a sway session of its own, ${seconds} s: Zintara (built-in player, 30 fps, layer-shell panel)"
sway_start
settings_skip_launch_windows launch # the player launched at start
app_start "$zintara"
measure Zintara
zscroll=$program_share zsession=$session_share zpeak=$memory

echo "... conky (30 updates/s, through Xwayland)"
sway_start
app_start conky -c "$sway_work/conky.conf"
measure conky
cscroll=$program_share csession=$session_share

echo "Nothing moving: Zintara with the player paused"
sway_start
settings_skip_launch_windows
app_start "$zintara" --library "$sway_work/paused.json"
measure paused
zpaused=$program_share zpsession=$session_share zpeak2=$memory

echo "The session alone"
sway_start
measure session
idle=$session_share

awk -v zs="$zscroll" -v zss="$zsession" -v cs="$cscroll" -v css="$csession" -v idle="$idle" \
    -v zp="$zpaused" -v zps="$zpsession" -v m1="$zpeak" -v m2="$zpeak2" 'BEGIN {
  zt = zs + zss; ct = cs + css; pt = zp + zps
  printf "\n%-30s %9s %9s %9s %14s\n", "share of one core (%)", "program", "session", "sum", "sum - idle"
  printf "%-30s %9.3f %9.3f %9.3f %14.3f\n", "Zintara scrolling (panel)", zs, zss, zt, zt - idle
  printf "%-30s %9.3f %9.3f %9.3f %14.3f\n", "conky scrolling (Xwayland)", cs, css, ct, ct - idle
  printf "%-30s %9.4f %9.4f %9.4f %14.4f\n", "Zintara, player paused", zp, zps, pt, pt - idle
  printf "%-30s %9s %9.4f\n", "the session alone (idle)", "", idle
  printf "\nZintara / conky: %.2f of the sums, %.2f of what each adds to an idle session (aim: at most 0.33)\n", \
    (ct > 0 ? zt / ct : 0), (ct - idle > 0 ? (zt - idle) / (ct - idle) : 0)
  printf "Nothing moving: %.4f %% of a core added to an idle session (aim: at most 0.05)\n", pt - idle
  printf "Zintara peak RSS: %.1f MB scrolling, %.1f MB paused (aim: at most 40)\n", m1 / 1024, m2 / 1024
}'
