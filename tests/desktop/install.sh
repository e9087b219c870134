#!/usr/bin/env bash
# `cmake --install` into a temporary prefix gives a program that starts from
# there without the source or build tree: both programs, the bundle, a valid
# desktop entry naming the windows' class, the AppStream metainfo, the icon
# in the hicolor theme (SVG and PNG sizes) and the manual pages.
# install.sh BUILD_DIR
set -euo pipefail
build="$1"
. "$(dirname "$0")/../../tools/lib/xvfb.sh"
require_tools desktop-file-validate Xvfb xdotool
prefix="$xvfb_work/prefix"
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$xvfb_work/install.log" || { cat "$xvfb_work/install.log"; fail "install"; }

for f in bin/zintara bin/zintara-script; do [ -x "$prefix/$f" ] || fail "no $f"; done
entry="$prefix/share/applications/org.zintara.Zintara.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the entry"
grep -qx 'Exec=zintara' "$entry" && grep -qx 'Icon=org.zintara.Zintara' "$entry" || fail "entry: $(cat "$entry")"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$wm_class" ] || fail "the entry names no window class"
metainfo="$prefix/share/metainfo/org.zintara.Zintara.metainfo.xml"
[ -f "$metainfo" ] || fail "no AppStream metainfo"
if have_tool appstreamcli; then
  # Errors and warnings fail it; infos and pedantic notes do not.
  appstreamcli validate --no-net --no-color "$metainfo" >"$xvfb_work/appstream.log" 2>&1 || true
  grep -Eq '^[EW]: ' "$xvfb_work/appstream.log" && { cat "$xvfb_work/appstream.log"; fail "appstreamcli: the metainfo"; }
  grep -q "<release version=\"$(sed -n 's/^project(Zintara VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")\"" \
    "$metainfo" || fail "the metainfo's release is not this version"
fi
icons="$prefix/share/icons/hicolor"
[ -f "$icons/scalable/apps/org.zintara.Zintara.svg" ] || fail "no scalable icon"
for size in 16 32 48 64 128 256; do
  png="$icons/${size}x${size}/apps/org.zintara.Zintara.png"
  [ -f "$png" ] || fail "no ${size}px icon"
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size}x${size}"
done
for page in zintara zintara-script; do
  man="$prefix/share/man/man1/$page.1.gz"
  [ -f "$man" ] || fail "no manual page for $page"
  zcat "$man" >"$xvfb_work/$page.1"
  grep -q '@PROJECT_VERSION@' "$xvfb_work/$page.1" && fail "$page.1 still holds a placeholder"
  if have_tool groff; then
    warnings=$(groff -man -Tutf8 -ww -z "$xvfb_work/$page.1" 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
  fi
done
[ -f "$prefix/share/zintara/Zintara.app/Contents/Info.plist" ] || fail "no bundle"

# The installed program, started from elsewhere with no hint of the build
# tree, finds its bundle from its prefix and shows its strip.
cd "$xvfb_work"
"$prefix/bin/zintara-script" -e '1 + 1' | grep -qx 2 || fail "installed zintara-script"
xvfb_start
settings_skip_launch_windows
unset ZINTARA_BUNDLE
app_start "$prefix/bin/zintara"
strip=$(window_wait "Zintara") || { cat "$xvfb_work/app.log"; fail "the installed program shows no strip"; }
# Docks and taskbars match the program's windows to its entry by class.
xprop -id "$strip" WM_CLASS | grep -q ", \"$wm_class\"\$" || fail "the strip's class is not $wm_class"
app_stop || { cat "$xvfb_work/app.log"; fail "the installed program ended with status $?"; }
echo "install: OK"
