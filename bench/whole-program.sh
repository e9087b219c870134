#!/usr/bin/env bash
# Whole-system cost of the marquee, side by side with conky.
#
#   bench/whole-program.sh [SECONDS] [ZINTARA]
#
# Each measured program runs on a private virtual X display (1280x800) of its
# own and is charged with its X server's work as well as its own: a program
# that hands drawing to the server (frames queued ahead wake the server at
# each frame's date) is not cheaper for it. Each setup below starts its
# server and its program; the setups of a round run at the same time and are
# measured over the same SECONDS (default 30) after a warm-up:
#
#   scrolling: Zintara with the built-in player scrolling its demo playlist
#     at 30 frames a second, frames queued ahead with the server; the same
#     on a server without the SYNC extension, where each frame is drawn in
#     its time; and conky with a small configuration of this script's own
#     that scrolls a line of the same kind at 30 updates a second;
#   nothing moving: Zintara with the player paused (the static tag), with
#     scrolling disabled, and with a line that fits (the progress bar still
#     follows the play position).
#
# For each it prints the share of one core the program, its server and both
# used, the wake-ups a second of each (voluntary and involuntary context
# switches of all threads, from /proc/PID/task/*/status), and the program's
# peak resident memory. CPU time is read from /proc too: the time each thread
# spent on a CPU (schedstat, in nanoseconds; the clock-tick counts of
# /proc/PID/stat are too coarse for a program that idles at hundredths of a
# percent).
#
# Installs conky-std when it is missing. Run on purpose: the test command
# does not run it.
set -euo pipefail
. "$(dirname "$0")/setup.sh"

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The setups of the running round: a name, the program's and its server's
# process ids, and the program's log.
names=(); program_pids=(); server_pids=(); logs=()

# server_start NAME [XVFB-OPTIONS...]: a virtual display of the setup's own;
# sets $display and $server_pid.
server_start() {
  local name="$1" number; shift
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset "$@" 3>"$work/display-$name" \
    >"$work/xvfb-$name.log" 2>&1 &
  server_pid=$!
  pids+=("$server_pid")
  for _ in $(seq 1 100); do [ -s "$work/display-$name" ] && break; sleep 0.1; done
  number=$(tr -dc '0-9' <"$work/display-$name")
  [ -n "$number" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb-$name.log" >&2; exit 1; }
  display=":$number"
}

# setup_started NAME PROGRAM-PID LOG: counts the setup in the round, with the
# server started last.
setup_started() {
  names+=("$1"); program_pids+=("$2"); server_pids+=("$server_pid"); logs+=("$3")
  pids+=("$2")
}

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

# start_zintara NAME CHANGES [ARGS...]: Zintara on the server started last,
# with a home of its own and the settings above, where CHANGES (entries in
# the same form, one a line) replace theirs.
start_zintara() {
  local name="$1" changes="$2"; shift 2
  local home
  home="$work/home-$(tr -dc 'a-z' <<<"$name")"
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
  DISPLAY="$display" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/runtime" \
    QT_QPA_PLATFORM=xcb ZINTARA_PLAYER=builtin "$zintara" "$@" >"$home/zintara.log" 2>&1 &
  setup_started "$name" $! "$home/zintara.log"
}

conky_config "$work/conky.conf" normal

# The setups, one function each.

zintara_scrolling() {
  server_start queued
  start_zintara "Zintara scrolling, frames queued ahead" ""
}

# Xvfb cannot leave out its SYNC extension, which the frame queue needs, so
# the program is shown a server without it: a library loaded first answers
# that the extension is absent.
zintara_scrolling_in_time() {
  cat >"$work/nosync.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
const xcb_query_extension_reply_t* xcb_get_extension_data(xcb_connection_t* c, xcb_extension_t* extension)
{
    static const xcb_query_extension_reply_t absent;
    const xcb_query_extension_reply_t* (*real)(xcb_connection_t*, xcb_extension_t*) =
        dlsym(RTLD_NEXT, "xcb_get_extension_data");
    return strcmp(extension->name, "SYNC") == 0 ? &absent : real(c, extension);
}
EOF
  cc -shared -fPIC -O2 -o "$work/nosync.so" "$work/nosync.c" -ldl
  server_start in-time
  LD_PRELOAD="$work/nosync.so" start_zintara "Zintara scrolling, each frame in its time" ""
}

conky_scrolling() {
  server_start conky
  DISPLAY="$display" conky -c "$work/conky.conf" >"$work/conky.log" 2>&1 &
  setup_started "conky scrolling (30 updates/s)" $! "$work/conky.log"
}

zintara_paused() {
  server_start paused
  cat >"$work/paused.json" <<'EOF'
{"running": true, "playerState": "paused", "currentTrack": 1,
 "tracks": [{"name": "Title Song", "artist": "Juniper", "duration": 240}]}
EOF
  start_zintara "Zintara, player paused (static tag)" "" --library "$work/paused.json"
}

zintara_scrolling_disabled() {
  server_start disabled
  start_zintara "Zintara, scrolling disabled" "<key>scrollDisabled</key><true/>"
}

# One short title and nothing of the next track: the line stands, and the
# progress bar still follows the play position.
zintara_line_fits() {
  server_start fits
  cat >"$work/short.json" <<'EOF'
{"running": true, "playerState": "playing", "currentTrack": 1,
 "tracks": [{"name": "Hush", "duration": 600}]}
EOF
  start_zintara "Zintara, a line that fits (bar moving)" "<key>curArtist</key><false/>
<key>nextTitle</key><false/>
<key>nextArtist</key><false/>" --library "$work/short.json"
}

# "NS SWITCHES": the CPU time of all a process's threads, in nanoseconds,
# and their context switches, voluntary or not.
sample() {
  local ns switches
  ns=$(cat /proc/"$1"/task/*/schedstat | awk '{s += $1} END {printf "%.0f", s}')
  switches=$(cat /proc/"$1"/task/*/status | awk '/^(non)?voluntary_ctxt_switches:/ {s += $2} END {print s}')
  echo "$ns $switches"
}

# round TITLE SETUP...: starts the setups, measures them all over the same
# SECONDS, adds a line each to the table, and stops them.
round() {
  echo "$1, ${seconds} s"; shift
  names=(); program_pids=(); server_pids=(); logs=()
  local setup i before=()
  for setup in "$@"; do "$setup"; done
  sleep "$warmup"
  for i in "${!names[@]}"; do
    kill -0 "${program_pids[$i]}" 2>/dev/null || { echo "${names[$i]} ended early:" >&2; cat "${logs[$i]}" >&2; exit 1; }
    before+=("$(sample "${program_pids[$i]}") $(sample "${server_pids[$i]}")")
  done
  sleep "$seconds"
  for i in "${!names[@]}"; do
    echo "${names[$i]}|${before[$i]} $(sample "${program_pids[$i]}") $(sample "${server_pids[$i]}")" \
      "$(awk '/^VmHWM:/ {print $2}' "/proc/${program_pids[$i]}/status")" >>"$work/table"
  done
  for i in "${!names[@]}"; do
    kill "${program_pids[$i]}" "${server_pids[$i]}" 2>/dev/null || true
    wait "${program_pids[$i]}" "${server_pids[$i]}" 2>/dev/null || true
  done
}

round "Scrolling, each program on a server of its own" zintara_scrolling zintara_scrolling_in_time conky_scrolling
round "Nothing moving, each state on a server of its own" zintara_paused zintara_scrolling_disabled zintara_line_fits

# Fields after the name: before (program ns, switches, server ns, switches),
# then after (the same), then the program's peak resident memory in kB.
awk -F'|' -v s="$seconds" '
function share(ns) { return 100 * ns / 1e9 / s }
{
  split($2, v, " ")
  name[NR] = $1; prog[NR] = share(v[5] - v[1]); serv[NR] = share(v[7] - v[3]); sum[NR] = prog[NR] + serv[NR]
  pwake[NR] = (v[6] - v[2]) / s; swake[NR] = (v[8] - v[4]) / s; rss[NR] = v[9] / 1024
}
END {
  printf "\n%-42s %22s %17s %9s\n", "", "% of one core", "wake-ups a second", "peak RSS"
  printf "%-42s %8s %6s %6s %8s %8s %9s\n", "", "program", "server", "sum", "program", "server", "program"
  for (i = 1; i <= NR; ++i)
    printf "%-42s %8.3f %6.3f %6.3f %8.1f %8.1f %6.1f MB\n", name[i], prog[i], serv[i], sum[i], pwake[i], swake[i], rss[i]
  if (sum[3] > 0)
    printf "\nZintara / conky while scrolling, program and server: %.2f (the programs alone: %.2f)\n", sum[1] / sum[3], prog[1] / prog[3]
  if (sum[2] > 0)
    printf "Frames queued ahead / each frame in its time, program and server: %.2f\n", sum[1] / sum[2]
}' "$work/table"
