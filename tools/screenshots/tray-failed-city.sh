# The tray icon's tool tip and menu after a new primary city whose weather
# site cannot be reached: Des Moines, IA is shown first; then the program's
# own fixture proxy ends (its port refuses) and San Antonio, TX is chosen in
# the Locations submenu. The tool tip must name San Antonio with the menu's
# failure line, and nothing of Des Moines' weather.

"$root/scripts/demo-preferences" "$XDG_CONFIG_HOME"

# A fixture proxy of this part's own, so that it can be ended.
"$BUILD/tools/skyvane-fixture-proxy" >"$WORK/own-proxy.out" 2>>"$WORK/programs.log" &
own_proxy=$!
for _ in $(seq 50); do grep -q '^port' "$WORK/own-proxy.out" 2>/dev/null && break; sleep 0.1; done
own_proxy_url="http://127.0.0.1:$(awk '/^port/ {print $2}' "$WORK/own-proxy.out")"

# The tool tip of the item at X Y, then its menu, saved as NAME-tooltip and
# NAME-menu. The pointer leaves the item first, so the tip is shown afresh.
tip_and_menu() {  # NAME X Y
  local name=$1 x=$2 y=$3
  xdotool mousemove 640 400
  settle 1
  xdotool mousemove "$x" "$y"
  settle 3
  shot "$name-tooltip"
  convert "$OUT/$name-tooltip.png" -crop 560x160+720+0 +repage "$OUT/$name-tooltip.png"
  xdotool click 1
  settle 2
  shot "$name-menu"
  xdotool key Escape
  settle 1
}

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
