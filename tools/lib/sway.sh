# Helpers for running Zintara under a headless sway of its own, with
# Xwayland. Source it, then call sway_start; everything started is stopped
# when the shell exits. sway refuses to run as root: run as root, sway and
# the programs under it run as an unprivileged user of the tests' own
# (made when missing), and commands for that user go through `as_user`.

. "$(dirname "${BASH_SOURCE[0]}")/settings.sh"
. "$(dirname "${BASH_SOURCE[0]}")/require.sh"

sway_work=$(mktemp -d)
chmod 755 "$sway_work"
sway_pid=""
app_pid=""
pointer_pid=""
keeper_pid=""
sway_user=""
as_user=()

# Stops the program and sway, when they run.
sway_stop() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
  [ -z "$app_pid" ] || wait "$app_pid" 2>/dev/null || true
  [ -z "$sway_pid" ] || kill "$sway_pid" 2>/dev/null || true
  [ -z "$sway_pid" ] || wait "$sway_pid" 2>/dev/null || true
  [ -z "$pointer_pid" ] || kill "$pointer_pid" 2>/dev/null || true
  [ -z "$keeper_pid" ] || kill "$keeper_pid" 2>/dev/null || true
  app_pid=""; sway_pid=""; pointer_pid=""; keeper_pid=""
}

sway_cleanup() {
  sway_stop
  rm -rf "$sway_work"
}
trap sway_cleanup EXIT

# As root, the user that sway and the programs run as.
if [ "$(id -u)" -eq 0 ]; then
  sway_user=zintara-test
  id -u "$sway_user" >/dev/null 2>&1 \
    || useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$sway_user"
  as_user=(setpriv --reuid="$(id -u "$sway_user")" --regid="$(id -g "$sway_user")" --clear-groups)
fi

# The program at $1, where the session's user can run it: a copy (beside a
# copy of its bundle, when it has one) when the build folder is closed to
# that user. Prints its path.
program_for_user() {
  local program="$1" bundle
  bundle="$(dirname "$program")/Zintara.app"
  if "${as_user[@]}" test -x "$program" && { [ ! -d "$bundle" ] || "${as_user[@]}" test -r "$bundle"; }; then
    echo "$program"; return 0
  fi
  mkdir -p "$sway_work/bin"
  cp "$program" "$sway_work/bin/"
  [ ! -d "$bundle" ] || cp -r "$bundle" "$sway_work/bin/"
  chmod -R a+rX "$sway_work/bin"
  echo "$sway_work/bin/$(basename "$program")"
}

# Starts headless sway with Xwayland, with the extra configuration lines
# given, and exports WAYLAND_DISPLAY, DISPLAY (Xwayland's), SWAYSOCK and
# XDG_RUNTIME_DIR for the test's own tools.
sway_start() {
  rm -rf "$sway_work/runtime" "$sway_work/session.env"
  mkdir -p "$sway_work/runtime" "$sway_work/home/.config"
  chmod 700 "$sway_work/runtime"
  {
    echo "xwayland force"
    echo "exec env > $sway_work/session.env.part && mv $sway_work/session.env.part $sway_work/session.env"
    printf '%s\n' "$@"
  } >"$sway_work/sway.conf"
  [ -z "$sway_user" ] || chown -R "$sway_user:" "$sway_work/runtime" "$sway_work/home" "$sway_work"
  env -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u I3SOCK \
    HOME="$sway_work/home" XDG_RUNTIME_DIR="$sway_work/runtime" XDG_CONFIG_HOME="$sway_work/home/.config" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    "${as_user[@]}" sway -c "$sway_work/sway.conf" >"$sway_work/sway.log" 2>&1 &
  sway_pid=$!
  for _ in $(seq 1 100); do
    if [ -e "$sway_work/session.env" ]; then
      export XDG_RUNTIME_DIR="$sway_work/runtime"
      export WAYLAND_DISPLAY SWAYSOCK DISPLAY
      WAYLAND_DISPLAY=$(sed -n 's/^WAYLAND_DISPLAY=//p' "$sway_work/session.env")
      SWAYSOCK=$(sed -n 's/^SWAYSOCK=//p' "$sway_work/session.env")
      DISPLAY=$(sed -n 's/^DISPLAY=//p' "$sway_work/session.env")
      # Xwayland ends when its last client leaves (and starts again for the
      # next, forgetting whom it lets in): a client that stays keeps it.
      "${as_user[@]}" xprop -root -spy >/dev/null 2>&1 &
      keeper_pid=$!
      # Xwayland answers once it is up. It lets in only its user's
      # programs: the test's own X tools run as root are let in too.
      for _ in $(seq 1 100); do
        if "${as_user[@]}" xdpyinfo >/dev/null 2>&1; then
          [ -z "$sway_user" ] || "${as_user[@]}" xhost +si:localuser:root >/dev/null
          return 0
        fi
        sleep 0.1
      done
      break
    fi
    kill -0 "$sway_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "sway did not start:" >&2; cat "$sway_work/sway.log" >&2; return 1
}

# Settings that skip the welcome and launch windows; with "launch", the
# player is launched at start.
settings_skip_launch_windows() {
  write_settings_skipping_launch_windows "$sway_work/home" "${1:-}"
}

# Starts a program in the session as its user, with a fresh home folder and
# the built-in player unless ZINTARA_PLAYER says otherwise; its output goes
# to $sway_work/app.log.
app_start() {
  [ -z "$sway_user" ] || chown -R "$sway_user:" "$sway_work/home"
  env HOME="$sway_work/home" XDG_CONFIG_HOME="$sway_work/home/.config" XDG_RUNTIME_DIR="$sway_work/runtime" \
    ZINTARA_PLAYER="${ZINTARA_PLAYER:-builtin}" QT_QPA_PLATFORM=xcb \
    "${as_user[@]}" "$@" >"$sway_work/app.log" 2>&1 &
  app_pid=$!
}

# Gives the seat a pointer, with the program at $1 (the tests' virtual
# pointer): a headless sway has none, and its cursor commands reach clients
# only through one.
pointer_start() {
  "${as_user[@]}" "$(program_for_user "$1")" >"$sway_work/pointer.log" 2>&1 &
  pointer_pid=$!
  for _ in $(seq 1 50); do
    grep -q ready "$sway_work/pointer.log" && return 0
    sleep 0.1
  done
  echo "no virtual pointer:" >&2; cat "$sway_work/pointer.log" >&2; return 1
}

# A click of the first button at X Y, in layout coordinates.
click() {
  swaymsg -q seat - cursor set "$1" "$2"
  swaymsg -q seat - cursor press button1
  swaymsg -q seat - cursor release button1
}
