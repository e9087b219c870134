#!/usr/bin/env bash
# Both programs' command lines: --help and --version answer on standard
# output with status 0 (without a display), an unknown option prints the
# usage and exits 2, Qt's own options are left to Qt, and without any
# display zintara says why it cannot show its strip.
# command-line.sh ZINTARA ZINTARA-SCRIPT VERSION
set -euo pipefail
zintara="$1"; script="$2"; version="$3"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; for f in "$work"/out "$work"/err; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done; exit 1; }

expect() { # STATUS PROGRAM ARGS...: runs with no display at all
  local want="$1" status=0; shift
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" >"$work/out" 2>"$work/err" </dev/null || status=$?
  [ "$status" -eq "$want" ] || fail "$* exited $status, not $want"
}

for program in "$zintara" "$script"; do
  name=$(basename "$program")
  expect 0 "$program" --help
  grep -q "^usage: $name " "$work/out" || fail "$name --help prints no usage"
  # Every option's description starts in one column, continuations too.
  columns=$(awk '/^  [^ ]/ { rest = substr($0, 3); i = index(rest, "  "); if (!i) next
                               match(substr(rest, i), /[^ ]/); print i + RSTART; next }
                 /^   +[^ ]/ { match($0, /[^ ]/); print RSTART - 1 }' "$work/out" | sort -u)
  [ "$(wc -l <<<"$columns")" -eq 1 ] || fail "$name --help: descriptions start in columns $(echo $columns)"
  expect 0 "$program" --version
  [ "$(cat "$work/out")" = "$name $version" ] || fail "$name --version says '$(cat "$work/out")'"
  # A usage error whatever the display: with one, and with none at all.
  for display in QT_QPA_PLATFORM=offscreen NO_DISPLAY=1; do
    expect 2 env "$display" HOME="$work" XDG_CONFIG_HOME="$work/config" "$program" --no-such-option
    grep -q "unknown option --no-such-option" "$work/err" || fail "$name names no unknown option ($display)"
    grep -q "^usage: $name " "$work/err" || fail "$name prints no usage with an unknown option ($display)"
  done
done

# A value that looks like an option is still a value.
expect 1 "$zintara" --library --help
grep -q "^usage:" "$work/out" && fail "--library took --help as an option"  || true

# No display: a clear reason rather than Qt's abort, Qt's own options (and
# their values) being no usage error.
expect 1 "$zintara" -style Fusion --session x -reverse -stylesheet=none.qss
grep -q "no display (DISPLAY is not set)" "$work/err" || fail "no reason given without a display"
expect 1 env WAYLAND_DISPLAY=wayland-0 "$zintara"
grep -q "Wayland session" "$work/err" || fail "no reason given under Wayland without XWayland"

# Qt's own options, as a session manager restarts a program, start it.
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
require_tools Xvfb xdotool
xvfb_start
settings_skip_launch_windows
app_start "$zintara" -session x -style Fusion --library "$(dirname "$0")/../../fuzz/corpus/library/full.json"
window_wait "Zintara" >/dev/null || { cat "$xvfb_work/app.log"; fail "-session x -style Fusion did not start the strip"; }
app_stop || { cat "$xvfb_work/app.log"; fail "zintara ended with status $?"; }
# A stored player that cannot be used (here a bare "mpris" with no session
# bus) gives way to the automatic choice instead of stopping the start.
sed -i 's|</dict>|<key>player</key><string>mpris</string></dict>|' "$xvfb_work/home/.config/org.zintara.Zintara.plist"
HOME="$xvfb_work/home" XDG_CONFIG_HOME="$xvfb_work/home/.config" XDG_RUNTIME_DIR="$xvfb_work/runtime" \
  DBUS_SESSION_BUS_ADDRESS="unix:path=$xvfb_work/no-bus" MPD_HOST="$xvfb_work/no-mpd" QT_QPA_PLATFORM=xcb \
  "$zintara" >"$xvfb_work/app.log" 2>&1 &
app_pid=$!
window_wait "Zintara" >/dev/null || { cat "$xvfb_work/app.log"; fail "a stored player that cannot be used kept the strip away"; }
grep -q 'stored player "mpris" cannot be used' "$xvfb_work/app.log" || { cat "$xvfb_work/app.log"; fail "no word on the stored player"; }
app_stop || { cat "$xvfb_work/app.log"; fail "zintara ended with status $?"; }
echo "command line: OK"
