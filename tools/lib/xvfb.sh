# Helpers for running Zintara on a private virtual X display. Source it,
# then call xvfb_start; everything started is stopped when the shell exits.

. "$(dirname "${BASH_SOURCE[0]}")/settings.sh"

xvfb_work=$(mktemp -d)
xvfb_pid=""
app_pid=""
wm_pid=""

. "${BASH_SOURCE[0]%/*}/require.sh"

# Each step runs whatever the one before did: under `set -e` a process that
# had already gone would otherwise end the cleanup and leave Xvfb running.
xvfb_cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
  [ -z "$wm_pid" ] || kill "$wm_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$xvfb_work"
}
trap xvfb_cleanup EXIT

# Starts Xvfb on a free display and exports DISPLAY. The number is picked at
# random from a wide range rather than the lowest free one, so that tests
# running side by side seldom reach for the same. The server must not reset
# when its last client leaves (the probe below, or a helper like xdotool):
# a program connecting during the reset would find no display.
# xvfb_start [WIDTHxHEIGHT]: 1024x600 unless given.
xvfb_start() {
  local size="${1:-1024x600}"
  require_tools Xvfb xdpyinfo
  display_server_start Xvfb -screen 0 "${size}x24" -nolisten tcp -noreset
}

# Starts Xorg with the dummy video driver on a free display, its RandR
# outputs laid out as the monitors given, and exports DISPLAY. Unlike Xvfb's
# monitors, these are outputs with CRTCs of their own, as a graphics card's
# are, and the Xinerama heads a window manager reads follow them. Each
# monitor is [*]WIDTHxHEIGHT+X+Y, "*" marking the primary, its size one of
# the standard modes (1280x800, 1920x1080, ...).
# Xorg needs root here; the server leaves the console alone: it shares the
# current virtual terminal rather than switching to one of its own, and
# takes no input device of the machine's. Without root the test is skipped,
# except under CI, where it fails.
# xorg_dummy_start MONITOR...
xorg_dummy_start() {
  require_tools Xorg xrandr xdpyinfo
  [ "$(id -u)" -eq 0 ] || skip_or_fail "Xorg with the dummy driver needs root"
  [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] \
    || skip_or_fail "the Xorg dummy driver (xserver-xorg-video-dummy) is not installed"
  mkdir -p "$xvfb_work/xorg.conf.d"
  # No devices are added as they appear, and the core ones name the void
  # driver, which reads nothing (or is not there at all): the default
  # keyboard and mouse would read the machine's own.
  cat >"$xvfb_work/xorg.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "ServerLayout"
  Identifier "layout"
  Screen "screen"
  InputDevice "no keyboard" "CoreKeyboard"
  InputDevice "no pointer" "CorePointer"
EndSection
Section "InputDevice"
  Identifier "no keyboard"
  Driver "void"
EndSection
Section "InputDevice"
  Identifier "no pointer"
  Driver "void"
EndSection
Section "Device"
  Identifier "card"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "card"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3840 2400
  EndSubSection
EndSection
CONF
  display_server_start Xorg -config "$xvfb_work/xorg.conf" -configdir "$xvfb_work/xorg.conf.d" \
    -logfile "$xvfb_work/xorg.log" -sharevts -novtswitch -nolisten tcp -noreset || return
  # The first output is on at the start; each other one connects once it
  # is given a mode, which it must list first.
  local monitor geometry mode x y index=0 width=0 height=0 layout=()
  for monitor in "$@"; do
    geometry=${monitor#\*}
    mode=${geometry%%+*}
    IFS=+ read -r x y <<<"${geometry#*+}"
    xrandr --addmode "DUMMY$index" "$mode"
    layout+=(--output "DUMMY$index" --mode "$mode" --pos "${x}x${y}")
    [ "$monitor" = "$geometry" ] || layout+=(--primary)
    width=$((x + ${mode%x*} > width ? x + ${mode%x*} : width))
    height=$((y + ${mode#*x} > height ? y + ${mode#*x} : height))
    index=$((index + 1))
  done
  xrandr --fb "${width}x${height}" "${layout[@]}"
}

# Starts an X server (its program and arguments, the display number aside)
# on a free display, keeps its id in xvfb_pid and exports DISPLAY once it
# answers.
display_server_start() {
  local number server="$1"; shift
  for _ in $(seq 1 20); do
    number=$((100 + RANDOM % 900))
    [ -e "/tmp/.X11-unix/X$number" ] && continue
    "$server" ":$number" "$@" >"$xvfb_work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
      if xdpyinfo -display ":$number" >/dev/null 2>&1; then
        export DISPLAY=":$number"
        return 0
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  done
  echo "$server did not start:" >&2; cat "$xvfb_work"/*.log >&2; return 1
}

# Starts openbox as the window manager and waits until it manages the
# screen (it then names itself on the root window).
wm_start() {
  require_tools openbox xprop
  openbox --sm-disable >"$xvfb_work/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  echo "openbox did not start:" >&2; cat "$xvfb_work/openbox.log" >&2; return 1
}

# Settings that skip the welcome and launch windows, so the program goes
# straight to the status bar.
settings_skip_launch_windows() {
  write_settings_skipping_launch_windows "$xvfb_work/home"
}

# Starts a program in the background with a fresh home folder; its output
# goes to $xvfb_work/app.log and its home is $xvfb_work/home. It talks to
# the built-in player, whatever players this machine runs, unless
# ZINTARA_PLAYER says otherwise.
app_start() {
  mkdir -p "$xvfb_work/home/.config" "$xvfb_work/runtime"; chmod 700 "$xvfb_work/runtime"
  HOME="$xvfb_work/home" XDG_CONFIG_HOME="$xvfb_work/home/.config" XDG_RUNTIME_DIR="$xvfb_work/runtime" \
    ZINTARA_PLAYER="${ZINTARA_PLAYER:-builtin}" QT_QPA_PLATFORM=xcb "$@" >"$xvfb_work/app.log" 2>&1 &
  app_pid=$!
}

# Waits up to ten seconds for a mapped window with this exact title and
# prints its id.
window_wait() {
  local id pattern
  pattern="^$(printf '%s' "$1" | sed 's/[][\\.^$*+?(){}|]/\\&/g')\$"
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1) || true
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "no window \"$1\" appeared" >&2
  return 1
}

# Waits up to ten seconds for a window id to be unmapped.
window_gone() {
  for _ in $(seq 1 100); do
    xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
    sleep 0.1
  done
  echo "window $1 stayed on screen" >&2
  return 1
}

# Ends the program with SIGTERM and returns its exit status.
app_stop() {
  kill -TERM "$app_pid"
  local status=0
  wait "$app_pid" || status=$?
  app_pid=""
  return "$status"
}

# A window's property, its value only.
window_prop() { xprop -id "$1" "$2" | sed 's/.*= //'; }

# x y width height of a window's client area, in the server's pixels.
window_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}

# Waits up to ten seconds for the program's dock window (its strip) and
# prints its id.
dock_wait() {
  local w
  for _ in $(seq 1 100); do
    for w in $(xdotool search --class zintara 2>/dev/null || true); do
      xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DOCK && { echo "$w"; return 0; }
    done
    sleep 0.1
  done
  echo "no dock window appeared" >&2
  return 1
}

# Maximizes the mapped window with this title and prints where its frame
# then starts (title bar included) and where it ends: "TOP BOTTOM".
maximize_window() {
  local w x y width height frame
  w=$(window_wait "$1") || return 1
  wmctrl -i -r "$w" -b add,maximized_vert,maximized_horz
  for _ in $(seq 1 50); do
    xprop -id "$w" _NET_WM_STATE | grep -q MAXIMIZED_VERT && break
    sleep 0.1
  done
  sleep 0.3
  read -r x y width height < <(window_geometry "$w")
  frame=$(window_prop "$w" _NET_FRAME_EXTENTS | cut -d, -f3 | tr -d ' ')
  echo "$((y - frame)) $((y + height))"
}
