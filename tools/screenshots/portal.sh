# The tray icon's tool tip and menu behind a captive portal (every request
# answered by a hotel's "accept the terms" page, tests/fixtures/portal.routes):
# Des Moines, IA (with San Antonio, TX as a favourite) is shown first with its
# weather; then the proxy turns into the portal and Update Now is chosen: the
# menu must say the last update failed above the same weather, and show no
# line of the portal's text. Last a first run from a fresh home behind the
# portal: only the failure, under the city's name in the tool tip.

# Advanced mode's detail lines on, so that a value taken from the portal
# would show as one.
preferences() {
  "$root/scripts/demo-preferences" "$XDG_CONFIG_HOME"
  sed -i 's|<key>locations</key>|<key>humidity</key><true/> <key>wind</key><true/> <key>barometer</key><true/> <key>dewpoint</key><true/> <key>feels_like</key><true/>\n\t&|' \
    "$XDG_CONFIG_HOME/skyvane/com.tesk.Skyvane.plist"
}

# A fixture proxy of this part's own; SIGHUP makes it read its routes file
# again, so the running program's sites become the portal.
cp "$root/tests/fixtures/sites.routes" "$WORK/proxy.routes"
start_own_proxy "$WORK/proxy.routes"

# Trayer is at the top right of the 1280x800 screen.
preferences
start_bg env http_proxy="$own_proxy_url" "$SKYVANE_APP"
settle 6
tip_and_menu portal-before 1264 16

# The portal answers from now on; Update Now is the fifth line from the
# bottom of the menu.
cp "$root/tests/fixtures/portal.routes" "$WORK/proxy.routes"
kill -HUP "$own_proxy"
settle 1
xdotool mousemove 1264 16 click 1
settle 2
xdotool key Up Up Up Up Up Return
settle 6
tip_and_menu portal-update-failed 1264 16

# A first run behind the portal: no weather was ever read.
xdotool key Escape
kill "${part_pids[-1]}" 2>/dev/null || true
wait "${part_pids[-1]}" 2>/dev/null || true
unset 'part_pids[-1]'
settle 1
fresh_home
preferences
start_bg env http_proxy="$own_proxy_url" "$SKYVANE_APP"
settle 6
tip_and_menu portal-first-run 1264 16
