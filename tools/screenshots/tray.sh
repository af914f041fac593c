# The weather status item: first as a tray icon (XEmbed) in trayer, where no
# StatusNotifierWatcher is on the bus, with its menu open; then as a
# StatusNotifierItem in the Xfce panel's status tray, with the menu the panel
# builds from the exported one. In each the menu-bar plug-in host follows the
# standalone program. Des Moines, IA is the primary city.

"$root/scripts/demo-preferences" "$XDG_CONFIG_HOME"
# The plug-in keeps its preferences under its own bundle identifier.
cp "$XDG_CONFIG_HOME/skyvane/com.tesk.Skyvane.plist" "$XDG_CONFIG_HOME/skyvane/com.tesk.SkyvaneMenu.plist"

# The right end of the panel at the top or bottom of the screen, enlarged
# three times so the item can be looked at closely.
strip() {  # FILE top|bottom HEIGHT
  local file=$1 edge=$2 height=$3 y=0
  [[ $edge == top ]] || y=$((800 - height))
  convert "$OUT/$file.png" -crop "160x${height}+1120+${y}" +repage -filter point -resize 300% "$OUT/$file.png"
}

# A fixture proxy of the part's own, which can be paused (SIGSTOP) to hold
# an update at "Updating…" and let go (SIGCONT) to finish it.
start_slow_proxy() {
  "$BUILD/tools/skyvane-fixture-proxy" >"$WORK/slow-proxy.out" 2>>"$WORK/programs.log" &
  slow_proxy=$!
  for _ in $(seq 50); do grep -q '^port' "$WORK/slow-proxy.out" 2>/dev/null && break; sleep 0.1; done
  slow_proxy_url="http://127.0.0.1:$(awk '/^port/ {print $2}' "$WORK/slow-proxy.out")"
}
stop_slow_proxy() {
  kill -CONT "$slow_proxy" 2>/dev/null || true
  kill "$slow_proxy" 2>/dev/null || true
  wait "$slow_proxy" 2>/dev/null || true
}

# An open menu across an update: the menu at the pointer is opened, "Update
# Now" chosen from the keyboard (the fifth line from the bottom), and the menu
# opened again while the paused proxy holds the update; then the proxy goes
# on and the same open menu is shot once the update has ended.
menu_across_update() {  # NAME X Y
  local name=$1 x=$2 y=$3
  kill -STOP "$slow_proxy"
  xdotool mousemove "$x" "$y" click 1
  settle 2
  xdotool key Up Up Up Up Up Return
  settle 2
  xdotool mousemove "$x" "$y" click 1
  settle 2
  shot "$name-updating"
  kill -CONT "$slow_proxy"
  settle 4
  shot "$name-updated"
}

# The same for the first update after the start: the menu opened while there
# is no weather yet, then again once the weather lines have come in.
menu_during_first_update() {  # NAME X Y
  local name=$1 x=$2 y=$3
  kill -STOP "$slow_proxy"
  start_bg env http_proxy="$slow_proxy_url" "$SKYVANE_APP"
  settle 5
  xdotool mousemove "$x" "$y" click 1
  settle 2
  shot "$name-first-update"
  kill -CONT "$slow_proxy"
  settle 5
  shot "$name-first-update-done"
  stop_item
}

# Both, each with a new program behind a slow proxy of its own.
menus_across_updates() {  # NAME X Y
  start_slow_proxy
  menu_during_first_update "$@"
  start_bg env http_proxy="$slow_proxy_url" "$SKYVANE_APP"
  settle 6
  menu_across_update "$@"
  stop_item
  stop_slow_proxy
}

# Makes a city the primary one through the running program's bus object, as
# New Location does: CITY alone for one it knows, or with a weather service
# key. The menu stays closed; the refresh starts at once.
make_primary() {  # CITY [NWS_KEY]
  local entry="'city': <'$1'>"
  [[ -z "${2:-}" ]] || entry+=", 'nws': <'$2'>"
  gdbus call --session --dest com.tesk.Skyvane0 --object-path /com/tesk/RootObject \
    --method com.tesk.SkyvanePublic.setCurrentLocationTo "<{$entry}>" >/dev/null
}

# A menu that grew and one that shrank while closed: the primary city goes
# from one that fails (its weather site answers "Not Found") to one with
# weather and back, each time with the menu closed; each menu opened then
# is shot, at the top right where the tray is.
menus_resized_while_closed() {  # NAME X Y
  local name=$1 x=$2 y=$3
  start_bg "$SKYVANE_APP"
  settle 6
  # The key's parts are joined by the byte 1, written as GVariant text.
  make_primary "Nowhere, ZZ" 'ifps\u0001zzz\u0001Nowhere\u0001ZZ\u0001ZZZ'
  settle 5
  xdotool mousemove "$x" "$y" click 1
  settle 2
  xdotool key Escape
  make_primary "Des Moines, IA"
  settle 5
  xdotool mousemove "$x" "$y" click 1
  settle 2
  shot "$name-grown-while-closed"
  xdotool key Escape
  make_primary "Nowhere, ZZ"
  settle 5
  xdotool mousemove "$x" "$y" click 1
  settle 2
  shot "$name-shrunk-while-closed"
  convert "$OUT/$name-grown-while-closed.png" -crop 640x720+640+0 +repage "$OUT/$name-grown-while-closed.png"
  convert "$OUT/$name-shrunk-while-closed.png" -crop 640x720+640+0 +repage "$OUT/$name-shrunk-while-closed.png"
  stop_item
}

# Ends the last program started, the one shown in the tray.
stop_item() {
  xdotool key Escape
  kill "${part_pids[-1]}" 2>/dev/null || true
  wait "${part_pids[-1]}" 2>/dev/null || true
  unset 'part_pids[-1]'
  settle 1
}

# 1. The XEmbed fallback in trayer (top right).
start_bg "$SKYVANE_APP"
settle 6
shot tray-xembed-screen
cp "$OUT/tray-xembed-screen.png" "$OUT/tray-xembed.png"
strip tray-xembed top 40
# The pointer rests on the icon (trayer is at the top right of the
# 1280x800 screen): the tool tip; then a click opens the menu.
xdotool mousemove 1264 16
settle 3
shot tray-xembed-tooltip
convert "$OUT/tray-xembed-tooltip.png" -crop 560x160+720+0 +repage "$OUT/tray-xembed-tooltip.png"
xdotool click 1
settle 2
shot tray-xembed-menu
rm -f "$OUT/tray-xembed-screen.png"
stop_item
menus_across_updates tray-xembed-menu 1264 16
menus_resized_while_closed tray-xembed-menu 1264 16
start_bg "$BUNDLES/skyvane-menu-host"
settle 6
shot tray-xembed-host
strip tray-xembed-host top 40
stop_item
kill "${part_pids[@]}" 2>/dev/null || true
wait 2>/dev/null || true
part_pids=()

# 2. A StatusNotifierItem in the Xfce panel at the bottom (a small panel
# whose status tray is a StatusNotifierWatcher and host).
# The cities again as at the start: the menus above stored "Nowhere, ZZ"
# as the primary city.
"$root/scripts/demo-preferences" "$XDG_CONFIG_HOME"
if ! dpkg -s xfce4-panel >/dev/null 2>&1; then
  sudo_cmd=(); [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  # Parts run with the fixture proxy as http_proxy; the package archive is
  # reached the machine's own way.
  "${sudo_cmd[@]}" env -u http_proxy -u HTTP_PROXY apt-get install -y --no-install-recommends xfce4-panel >/dev/null
fi
panel_conf="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
mkdir -p "$panel_conf"
cat >"$panel_conf/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=640;y=780"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="32"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray">
      <property name="icon-size" type="int" value="24"/>
      <property name="square-icons" type="bool" value="false"/>
    </property>
  </property>
</channel>
XML
start_bg /usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd
settle 1
start_bg xfce4-panel --disable-wm-check
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher 2>/dev/null | grep -q true && break
  sleep 0.1
done
start_bg "$SKYVANE_APP"
settle 6
shot tray-sni-screen
cp "$OUT/tray-sni-screen.png" "$OUT/tray-sni.png"
strip tray-sni bottom 40
# The item is the last in the panel at the bottom right.
xdotool mousemove 1266 784
settle 3
shot tray-sni-tooltip
convert "$OUT/tray-sni-tooltip.png" -crop 560x160+720+640 +repage "$OUT/tray-sni-tooltip.png"
xdotool click 1
settle 2
shot tray-sni-menu
rm -f "$OUT/tray-sni-screen.png"
stop_item
menus_across_updates tray-sni-menu 1266 784
start_bg "$BUNDLES/skyvane-menu-host"
settle 6
shot tray-sni-host-screen
cp "$OUT/tray-sni-host-screen.png" "$OUT/tray-sni-host.png"
strip tray-sni-host bottom 40
xdotool mousemove 1266 784 click 1
settle 2
shot tray-sni-host-menu
rm -f "$OUT/tray-sni-host-screen.png"
