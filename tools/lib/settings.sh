# Settings for the programs under test. Sourced by the display helpers.

# Writes settings into the home folder $1 that skip the welcome and launch
# windows, so the program goes straight to the status bar.
write_settings_skipping_launch_windows() {
  mkdir -p "$1/.config"
  cat >"$1/.config/org.zintara.Zintara.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>showWelcome</key><false/><key>launchiTunes</key><false/>
</dict></plist>
PLIST
}
