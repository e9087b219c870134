#!/usr/bin/env bash
# Whole-program cost of the marquee, side by side with conky.
#
#   bench/whole-program.sh [SECONDS] [ZINTARA]
#
# On one private virtual X display (1280x800) it runs Zintara with the
# built-in player scrolling its demo playlist at 30 frames a second, and
# conky with a small configuration of this script's own that scrolls a line
# of the same kind at 30 updates a second, and measures both over the same
# SECONDS (default 30). Then Zintara runs alone, for as long each, in three
# states where nothing moves: the player paused (the static tag), scrolling
# disabled, and a line that fits (the progress bar still follows the play
# position). It prints the share of one core each used, the ratio to conky,
# and the peak resident memory.
#
# CPU time is read from /proc: the time each thread spent on a CPU
# (schedstat, in nanoseconds; the clock-tick counts of /proc/PID/stat are too
# coarse for a program that idles at hundredths of a percent).
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

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
number=$(tr -dc '0-9' <"$work/display")
[ -n "$number" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$number"

# CPU time of all a process's threads, in nanoseconds.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%.0f", s}'; }
# Peak resident memory of a process, in kB.
peak() { awk '/^VmHWM:/ {print $2}' "/proc/$1/status"; }
# Share of one core, in percent, of a CPU time over the measured time.
percent() { awk -v t="$1" -v s="$2" 'BEGIN {printf "%.4f", 100 * t / 1e9 / s}'; }

# The settings Zintara writes at a first launch, one entry a line, with the
# welcome window off and the player launched at start without asking.
defaults='<key>menuSize</key><integer>120</integer>
<key>scrollSpeed</key><real>1</real>
<key>fontName</key><string>Monaco</string>
<key>fontSize</key><integer>10</integer>
<key>fontShadow</key><true/>
<key>font_R</key><real>0</real>
<key>font_G</key><real>0</real>
<key>font_B</key><real>0</real>
<key>vertAdjust</key><integer>0</integer>
<key>framesPerSecond</key><integer>30</integer>
<key>launchCount</key><integer>1</integer>
<key>hideDockIcon</key><false/>
<key>scrollDisabled</key><false/>
<key>fadeEdges</key><true/>
<key>curTitle</key><true/>
<key>curArtist</key><true/>
<key>curAlbum</key><false/>
<key>curTrack</key><false/>
<key>nextTitle</key><true/>
<key>nextArtist</key><true/>
<key>nextAlbum</key><false/>
<key>nextTrack</key><false/>
<key>pieStyle</key><integer>2</integer>
<key>showPie</key><true/>
<key>syncTime</key><integer>2</integer>
<key>clearPaused</key><true/>
<key>showNotes</key><true/>
<key>showWelcome</key><false/>
<key>launchiTunes</key><true/>'

# start_zintara NAME CHANGES [ARGS...]: a home of its own with the settings
# above, where CHANGES (entries in the same form, one a line) replace theirs.
start_zintara() {
  local name="$1" changes="$2"; shift 2
  local home="$work/home-$name"
  mkdir -p "$home/.config" "$home/runtime"; chmod 700 "$home/runtime"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">'
    echo '<plist version="1.0"><dict>'
    local line key
    while IFS= read -r line; do
      key="${line%%</key>*}"
      [ -n "$changes" ] && grep -qF "$key</key>" <<<"$changes" && continue
      echo "$line"
    done <<<"$defaults"
    [ -n "$changes" ] && echo "$changes"
    echo '</dict></plist>'
  } >"$home/.config/org.zintara.Zintara.plist"
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb ZINTARA_PLAYER=builtin \
    "$zintara" "$@" >"$work/zintara-$name.log" 2>&1 &
  zpid=$!
  pids+=("$zpid")
}

alive() {
  kill -0 "$1" 2>/dev/null || { echo "$2 ended early:" >&2; cat "$3" >&2; exit 1; }
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

echo "Scrolling: Zintara (built-in player, 30 fps) and conky (30 updates/s) together, ${seconds} s"
start_zintara scroll ""
conky -c "$work/conky.conf" >"$work/conky.log" 2>&1 &
cpid=$!
pids+=("$cpid")
sleep "$warmup"
alive "$zpid" Zintara "$work/zintara-scroll.log"
alive "$cpid" conky "$work/conky.log"
z0=$(cpu_ns "$zpid"); c0=$(cpu_ns "$cpid")
sleep "$seconds"
z1=$(cpu_ns "$zpid"); c1=$(cpu_ns "$cpid")
zscroll=$(percent $((z1 - z0)) "$seconds")
cscroll=$(percent $((c1 - c0)) "$seconds")
zpeak=$(peak "$zpid"); cpeak=$(peak "$cpid")
kill "$zpid" "$cpid"; wait "$zpid" "$cpid" 2>/dev/null || true

# measure_alone NAME EXTRA-SETTINGS [ARGS...]: Zintara alone for SECONDS;
# sets $share and $memory.
measure_alone() {
  local name="$1" z0 z1
  start_zintara "$@"
  sleep "$warmup"
  alive "$zpid" Zintara "$work/zintara-$name.log"
  z0=$(cpu_ns "$zpid")
  sleep "$seconds"
  z1=$(cpu_ns "$zpid")
  share=$(percent $((z1 - z0)) "$seconds")
  memory=$(peak "$zpid")
  kill "$zpid"; wait "$zpid" 2>/dev/null || true
}

echo "Nothing moving, Zintara alone, ${seconds} s each: player paused; scrolling disabled; a line that fits"
cat >"$work/paused.json" <<'EOF'
{"running": true, "playerState": "paused", "currentTrack": 1,
 "tracks": [{"name": "Title Song", "artist": "Juniper", "duration": 240}]}
EOF
measure_alone paused "" --library "$work/paused.json"
zpaused=$share; zpeak2=$memory

measure_alone still "<key>scrollDisabled</key><true/>"
zstill=$share; zpeak3=$memory

# One short title and nothing of the next track: the line stands, and the
# progress bar still follows the play position.
cat >"$work/short.json" <<'EOF'
{"running": true, "playerState": "playing", "currentTrack": 1,
 "tracks": [{"name": "Hush", "duration": 600}]}
EOF
measure_alone fits "<key>curArtist</key><false/>
<key>nextTitle</key><false/>
<key>nextArtist</key><false/>" \
  --library "$work/short.json"
zfits=$share; zpeak4=$memory

awk -v zs="$zscroll" -v cs="$cscroll" -v zp="$zpaused" -v zd="$zstill" -v zf="$zfits" \
    -v zm="$zpeak" -v zm2="$zpeak2" -v zm3="$zpeak3" -v zm4="$zpeak4" -v cm="$cpeak" 'BEGIN {
  printf "\n%-42s %14s %10s\n", "", "% of one core", "peak RSS"
  printf "%-42s %14.3f %7.1f MB\n", "Zintara scrolling (30 fps)", zs, zm / 1024
  printf "%-42s %14.3f %7.1f MB\n", "conky scrolling (30 updates/s), same run", cs, cm / 1024
  printf "%-42s %14.3f %7.1f MB\n", "Zintara, player paused (static tag)", zp, zm2 / 1024
  printf "%-42s %14.3f %7.1f MB\n", "Zintara, scrolling disabled", zd, zm3 / 1024
  printf "%-42s %14.3f %7.1f MB\n", "Zintara, a line that fits (bar moving)", zf, zm4 / 1024
  if (cs > 0) printf "\nZintara / conky while scrolling: %.2f (aim: 0.20 or less)\n", zs / cs
  printf "Nothing moving: %.3f%%, %.3f%% and %.3f%% of one core (aim: 0.05%% or less)\n", zp, zd, zf
  top = zm; if (zm2 > top) top = zm2; if (zm3 > top) top = zm3; if (zm4 > top) top = zm4
  printf "Zintara peak resident memory: %.1f MB (aim: 35 MB or less)\n", top / 1024
}'
