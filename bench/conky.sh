# conky as the benchmarks' peer: one plain line scrolled by characters, 30
# updates a second, in a window of about the marquee's size. Source it.

# conky_config FILE WINDOW_TYPE: writes the configuration, its window of
# the type given ('normal' under a window manager, 'override' on Xwayland).
conky_config() {
  cat >"$1" <<EOF
conky.config = {
    out_to_x = true,
    out_to_console = false,
    own_window = true,
    own_window_type = '$2',
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
conky.text = [[\${scroll 20 1 Title Song - Juniper    NEXT: Second Song - Juniper}]]
EOF
}

# Installs conky-std when conky is missing.
conky_install() {
  command -v conky >/dev/null && return 0
  echo "Installing conky-std..."
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends conky-std >/dev/null
}
