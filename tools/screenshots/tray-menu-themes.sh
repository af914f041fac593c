# The weather menu of the tray icon (XEmbed, in trayer) in the light and the
# dark theme and on a display scaled by two: the lines' headings beside their
# values, in the theme's text colour and as sharp as the values.

"$root/scripts/demo-preferences" "$XDG_CONFIG_HOME"

# Starts the program with the environment given, opens its menu from the
# icon at the top right and shoots it; CROP is the part of the screen kept.
themed_menu() {  # NAME CROP VAR=VALUE...
  local name=$1 crop=$2
  shift 2
  start_bg env "$@" "$SKYVANE_APP"
  settle 6
  xdotool mousemove 1264 16 click 1
  settle 2
  shot "$name"
  convert "$OUT/$name.png" -crop "$crop" +repage "$OUT/$name.png"
  xdotool key Escape
  kill "${part_pids[-1]}" 2>/dev/null || true
  wait "${part_pids[-1]}" 2>/dev/null || true
  unset 'part_pids[-1]'
  settle 1
}

themed_menu tray-menu-light 640x720+640+0 GTK_THEME=Adwaita
themed_menu tray-menu-dark 640x720+640+0 GTK_THEME=Adwaita:dark
themed_menu tray-menu-scale2 1280x800+0+0 GDK_SCALE=2
