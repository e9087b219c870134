#!/usr/bin/env bash
# The Debian package CPack makes from the build: what it installs under /usr
# (both programs, the bundle, the desktop entry, icons, manual pages,
# AppStream metainfo, copyright and changelog, and nothing elsewhere), its
# control fields (runtime dependencies worked out from the binaries, plus
# Qt's X11 platform plugin), and lintian's verdict when lintian is there.
# package.sh BUILD_DIR
set -euo pipefail
build="$1"
. "$(dirname "$0")/../../tools/lib/require.sh"
require_tools cpack dpkg-deb dpkg-shlibdeps fakeroot
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
version=$(sed -n 's/^project(Zintara VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
deb="$work/zintara_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work"; fail "no $(basename "$deb")"; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zintara ] && [ "$(field Version)" = "$version" ] || fail "package $(field Package) $(field Version)"
[ "$(field Section)" = sound ] || fail "section $(field Section)"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libmpdclient2 libxcb1 libstdc++6 qt6-qpa-plugins; do
  tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -qxF "$lib" || fail "Depends lacks $lib"
done
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || fail "no maintainer or description"

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|; s|/$||' >"$work/files"
grep -v '^/usr\(/\|$\)' "$work/files" | grep -v '^/$' && fail "files outside /usr"
for f in /usr/bin/zintara /usr/bin/zintara-script \
         /usr/share/zintara/Zintara.app/Contents/Info.plist \
         /usr/share/zintara/Zintara.app/Contents/Resources/DropDownMenu.ui \
         /usr/share/applications/org.zintara.Zintara.desktop \
         /usr/share/metainfo/org.zintara.Zintara.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/org.zintara.Zintara.svg \
         /usr/share/icons/hicolor/48x48/apps/org.zintara.Zintara.png \
         /usr/share/man/man1/zintara.1.gz /usr/share/man/man1/zintara-script.1.gz \
         /usr/share/doc/zintara/copyright /usr/share/doc/zintara/changelog.gz; do
  grep -qx "$f" "$work/files" || fail "the package lacks $f"
done

if have_tool lintian; then
  lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  grep -Eq "^[EW]: " "$work/lintian.log" && fail "lintian reports errors or warnings"
else
  echo "lintian is not installed; its checks are skipped"
fi
echo "package: OK"
