# Each weather source's city on a rainy day whose condition is several words
# with a comma, a slash or a hyphen, as real pages write them: the tray's tool
# tip and menu must show that condition (never the default "Sunny"), with
# the detail lines in their usual form. The fixture pages are copied and
# only their condition is changed.

sites="$WORK/sites"
cp -r "$root/tests/fixtures" "$sites"
sed -i 's|<td class="condition">Partly Cloudy</td>|<td class="condition">Light Rain Fog/Mist</td>|' \
  "$sites/nws/forecast/point_des_moines.html"
sed -i 's|30.gif" width="52" height="52" alt="Partly Cloudy"> Partly Cloudy|11.gif" width="52" height="52" alt="Light Rain Fog/Mist"> Light Rain Fog/Mist|' \
  "$sites/aol/main.adp?location=USIL0225"
sed -i 's|<td class="oval"><b>Clear</b></td>|<td class="oval"><b>Rain, Mist</b></td>|' "$sites/ug/US/CO/Denver.html"
sed -i 's|32.gif" width="64" height="64" alt="Sunny"></td>|12.gif" width="64" height="64" alt="T-Storms"></td>|; s|<td class="ccond">Sunny</td>|<td class="ccond">Thunderstorm Heavy Rain</td>|' \
  "$sites/usa/weather/forecast/wcurrent.aspx?LocationID=USNY0996"

"$BUILD/tools/skyvane-fixture-proxy" --routes "$sites/sites.routes" --root "$sites" >"$WORK/rain-proxy.out" 2>>"$WORK/programs.log" &
part_pids+=($!)
for _ in $(seq 50); do grep -q '^port' "$WORK/rain-proxy.out" 2>/dev/null && break; sleep 0.1; done
rain_proxy="http://127.0.0.1:$(awk '/^port/ {print $2}' "$WORK/rain-proxy.out")"

sep=$'\001'  # the parts of a location key are joined by the byte 0x01
# Advanced mode with one source and one city of it, the detail lines on.
city_of() {  # NAME SOURCE_ID SOURCE_KEY_NAME KEY
  mkdir -p "$XDG_CONFIG_HOME/skyvane"
  cat >"$XDG_CONFIG_HOME/skyvane/com.tesk.Skyvane.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>mode</key><string>advance_mode</string>
	<key>version</key><real>2</real>
	<key>source_pref</key><array><integer>$2</integer></array>
	<key>update_frequency</key><integer>30</integer>
	<key>units</key><integer>1</integer>
	<key>radar</key><false/>
	<key>humidity</key><true/> <key>wind</key><true/> <key>barometer</key><true/>
	<key>dewpoint</key><true/> <key>feels_like</key><true/> <key>visibility</key><true/>
	<key>locations</key>
	<array><dict>
		<key>city</key><string>$1</string>
		<key>locStatus</key><integer>1</integer>
		<key>$3</key><string>$4</string>
	</dict></array>
</dict>
</plist>
PLIST
}

rainy() {  # SHOT NAME SOURCE_ID SOURCE_KEY_NAME KEY
  fresh_home
  city_of "$2" "$3" "$4" "$5"
  start_bg env http_proxy="$rain_proxy" "$SKYVANE_APP"
  settle 6
  tip_and_menu "$1" 1264 16
  kill "${part_pids[-1]}" 2>/dev/null || true
  wait "${part_pids[-1]}" 2>/dev/null || true
  unset 'part_pids[-1]'
  settle 1
}

rainy rain-nws "Des Moines, IA" 1 nws "ifps${sep}crh${sep}Des+Moines${sep}IA${sep}DMX"
rainy rain-aol "Springfield, IL" 3 aol USIL0225
rainy rain-ug "Denver, CO" 5 ug "US${sep}CO${sep}Denver"
rainy rain-usa "New York, NY" 6 usa USNY0996
