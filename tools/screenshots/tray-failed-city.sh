# The tray icon's tool tip and menu after a new primary city whose weather
# site cannot be reached: Des Moines, IA is shown first; then the program's
# own fixture proxy ends (its port refuses) and San Antonio, TX is chosen in
# the Locations submenu. The tool tip must name San Antonio with the menu's
# failure line, and nothing of Des Moines' weather.

"$root/scripts/demo-preferences" "$XDG_CONFIG_HOME"

# A fixture proxy of this part's own, so that it can be ended.
start_own_proxy

# Trayer is at the top right of the 1280x800 screen.
start_bg env http_proxy="$own_proxy_url" "$SKYVANE_APP"
settle 6
tip_and_menu tray-before-failed-city 1264 16

kill "$own_proxy"
wait "$own_proxy" 2>/dev/null || true
# Locations is the fourth line from the bottom; its submenu lists Des Moines,
# then San Antonio.
xdotool mousemove 1264 16 click 1
settle 2
xdotool key Up Up Up Up Right Down Return
settle 8
tip_and_menu tray-failed-city 1264 16
