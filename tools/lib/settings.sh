# Settings for the programs under test. Sourced by the display helpers.

# Writes settings into the home folder $1 that skip the welcome window and,
# unless $2 is "launch" (the player launched at start without asking), the
# launch window: the program goes straight to the status bar.
write_settings_skipping_launch_windows() {
  local launch=false
  [ "${2:-}" != launch ] || launch=true
  mkdir -p "$1/.config"
  cat >"$1/.config/org.zintara.Zintara.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>showWelcome</key><false/><key>launchiTunes</key><$launch/>
</dict></plist>
PLIST
}
