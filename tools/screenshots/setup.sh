# The setup application's windows in the states a person meets them: the
# first run's New Location window (empty, several cities, a long list
# scrolled and double-clicked, no city, an incomplete name, a search that
# cannot reach any site, a search in progress), the three preference panes,
# "Sources for City", the about box, the panes in the dark theme, a dragged
# source, and OK when the menu program has quit.
# Sourced by tools/screenshots.sh.

# Clicks at x, y of a window's inside.
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# The height of a window's inside.
inner_height() { xdotool getwindowgeometry --shell "$1" | awk -F= '/^HEIGHT/ {print $2}'; }

# Types a city into New Location and presses Return (which searches). The
# city field's middle lies 55 points below the top of the window; the search
# controls keep to the top when the list of cities opens beneath them.
search_city() {
  local id=$1 text=$2
  xdotool windowactivate --sync "$id" 2>/dev/null || true
  click_at "$id" 100 55
  xdotool key --clearmodifiers ctrl+a BackSpace
  xdotool type --delay 20 "$text"
  xdotool key Return
  settle 1.5
}

# Calls the setup program the way the menu program does.
setup_call() {
  gdbus call --session --dest com.tesk.SkyvaneSetup --object-path /com/tesk/RootObject \
    --method "com.tesk.SkyvaneSetupPublic.$1" "${@:2}" >/dev/null
}
wait_setup() {
  for _ in $(seq 100); do
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.NameHasOwner com.tesk.SkyvaneSetup 2>/dev/null | grep -q true && return 0
    sleep 0.1
  done
  echo "the setup program did not appear on the bus" >&2
  return 1
}
# The preferences as the menu program passes them, for pane $1 (and the
# menu program's registered name $2, com.tesk.Skyvane unless given).
run_prefs() {
  local locations='<@av [<@a{sv} {"city": <"Des Moines, IA">, "locStatus": <int64 1>, "nws": <"DMX">}>,
    <@a{sv} {"city": <"Springfield, IL">, "locStatus": <int64 2>, "nws": <"ILX">, "ug": <"62701">}>,
    <@a{sv} {"city": <"San Antonio, TX">, "locStatus": <int64 0>, "usa": <"">}>]>'
  local prefs="<@a{sv} {\"units\": <int64 1>, \"font_size\": <int64 0>, \"icon_set\": <int64 1>,
    \"icon_saturation\": <0.8>, \"update_frequency\": <int64 30>, \"five_day_forecast\": <true>,
    \"humidity\": <true>, \"visibility\": <false>, \"feels_like\": <true>, \"wind\": <true>,
    \"sunrise_sunset\": <true>, \"radar\": <true>, \"barometer\": <false>, \"dewpoint\": <false>,
    \"mode\": <\"advance_mode\">, \"source_pref\": <@av [<int64 1>, <int64 5>, <int64 6>, <int64 3>]>,
    \"locations\": $locations}>"
  setup_call runPreferences_advanced_forApp_pane_firstRun "$prefs" "<true>" "<'${2:-com.tesk.Skyvane}'>" "<'$1'>" "<false>"
}

# First run: the menu program opens New Location by itself.
start_bg "$SKYVANE_APP"
id=$(wait_window "Skyvane: New Location" 30)
settle 2
shot setup-newloc-empty "$id"

search_city "$id" "Springfield"
shot setup-newloc-several "$id"
search_city "$id" "Nowhere"
shot setup-newloc-none "$id"
search_city "$id" "Springfield 62704"
shot setup-newloc-incomplete "$id"
search_city "$id" "Springfield"
search_city "$id" "Franklin"
shot setup-newloc-second-several "$id"

# The long list: scrolled to its end, the last city clicked, then
# double-clicked. The list ends 66 points above the window's bottom, over
# the message and Close.
height=$(inner_height "$id")
xdotool mousemove --window "$id" 180 $((height - 100)) click --repeat 12 --delay 30 5
settle 0.5
click_at "$id" 180 $((height - 78))
settle 0.5
shot setup-newloc-scrolled "$id"
xdotool mousemove --window "$id" 180 $((height - 78)) click --repeat 2 --delay 60 1
settle 2
# The first-run setup quits once the city is added.
if xdotool search --onlyvisible --name "Skyvane: New Location" >/dev/null 2>&1; then
  echo "New Location is still open after the double-click" >&2
fi

# The preference window, as the menu program asks for it.
start_bg "$SETUP_APP"
wait_setup
run_prefs general
prefs=$(wait_window "Skyvane Preferences")
settle 1.5
shot setup-prefs-general "$prefs"
run_prefs locations
settle 1.5
shot setup-prefs-locations "$prefs"
# "Sources for City": the toggle at the lower right of the locations pane,
# below the toolbar, the box's margin and the pane's table.
toolbar=$(( $(inner_height "$prefs") - 386 ))
click_at "$prefs" 200 $((toolbar + 16 + 40))
click_at "$prefs" 331 $((toolbar + 16 + 273))
settle 1.5
shot setup-prefs-sources-for-city "$prefs"
run_prefs sources
settle 1.5
shot setup-prefs-sources "$prefs"

# New Location as a sheet over the locations pane.
run_prefs locations
settle 1
run_prefs newloc
sheet=$(wait_window "Skyvane: New Location")
settle 1
shot setup-newloc-over-prefs
setup_call runAboutBox
about=$(wait_window "About")
settle 1
shot setup-about
kill "${part_pids[-1]}" 2>/dev/null || true
settle 1

# The three panes again in the desktop's dark theme: every text and control
# takes the theme's colours.
start_bg env GTK_THEME=Adwaita:dark "$SETUP_APP"
wait_setup
run_prefs general
prefs=$(wait_window "Skyvane Preferences")
settle 1.5
shot setup-prefs-general-dark "$prefs"
run_prefs locations
settle 1.5
shot setup-prefs-locations-dark "$prefs"
run_prefs sources
settle 1.5
shot setup-prefs-sources-dark "$prefs"
kill "${part_pids[-1]}" 2>/dev/null || true
settle 1

# No site answers: the search says so.
http_proxy=http://127.0.0.1:9 start_bg "$SETUP_APP"
wait_setup
run_prefs newloc
id=$(wait_window "Skyvane: New Location")
settle 1
search_city "$id" "Springfield"
# Each site is tried again before the search gives up.
for _ in $(seq 30); do
  xdotool search --onlyvisible --name "Skyvane: New Location" >/dev/null 2>&1 || break
  settle 1
  [[ -n "$(grep -l "No weather site could be reached" "$WORK/programs.log" 2>/dev/null)" ]] && break
done
settle 1
shot setup-newloc-unreachable "$id"
kill "${part_pids[-1]}" 2>/dev/null || true
settle 1

# A search that waits on a site: the busy state is on screen meanwhile.
# Starts the setup program on New Location and searches for the slow town.
search_slowtown() {
  start_bg "$SETUP_APP"
  wait_setup
  run_prefs newloc
  id=$(wait_window "Skyvane: New Location")
  settle 1
  xdotool windowactivate --sync "$id" 2>/dev/null || true
  click_at "$id" 100 55
  xdotool type --delay 20 "Slowtown"
  xdotool key Return
}
search_slowtown
settle 1.5
shot setup-newloc-searching "$id"

# ---- The same search stays live, and ends with the window.
# The spinner turns (two pictures of it differ), typed text appears, and
# Escape, then the window manager's close (Alt+F4 in openbox), each end the
# window at once; the first-run setup program then quits.
spinner_turns() {
  local y=$(( $(inner_height "$1") - 35 ))
  import -window "$1" -crop 16x16+352+$y "$WORK/spin1.png"
  sleep 0.3
  import -window "$1" -crop 16x16+352+$y "$WORK/spin2.png"
  [[ $(compare -metric AE "$WORK/spin1.png" "$WORK/spin2.png" null: 2>&1 || true) != 0 ]]
}
# Presses the key in New Location and tells how soon the window and the program were gone.
close_during_search() {
  local key=$1 start gone=""
  start=$(date +%s%N)
  xdotool key --clearmodifiers "$key"
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name "Skyvane: New Location" >/dev/null 2>&1 || { gone=1; break; }
    sleep 0.01
  done
  if [[ -n $gone ]]; then
    echo "New Location closed $(( ($(date +%s%N) - start) / 1000000 )) ms after $key during the search"
  else
    echo "New Location still open 2 s after $key during the search" >&2
  fi
  for _ in $(seq 20); do kill -0 "${part_pids[-1]}" 2>/dev/null || return 0; sleep 0.1; done
  echo "the setup program is still running 2 s after $key" >&2
}
if spinner_turns "$id"; then echo "the spinner turns during the search"; else echo "the spinner stood still" >&2; fi
xdotool key --clearmodifiers End
xdotool type --delay 20 ", IA"
settle 0.3
shot setup-newloc-searching-typed "$id"
close_during_search Escape

search_slowtown
settle 1
close_during_search alt+F4
kill "${part_pids[-1]}" 2>/dev/null || true
settle 1

# ---- Preferences that cannot reach the menu program ----
# The window was opened by a menu program that has quit since: OK shows why
# the changes were not applied, and the window stays with them.
start_bg "$SETUP_APP"
wait_setup
run_prefs general com.tesk.SkyvaneQuit
prefs=$(wait_window "Skyvane Preferences")
settle 1.5
xdotool windowactivate --sync "$prefs" 2>/dev/null || true
# OK: 80 by 34 points at the lower right, 16 from the right and 10 from the bottom.
click_at "$prefs" 376 $(( $(inner_height "$prefs") - 27 ))
settle 1.5
shot setup-prefs-not-delivered
xdotool key Return
settle 1
# The about box on its own, as the menu program asks for it (so it names that program).
run_prefs general
settle 1
setup_call runAboutBox
about=$(wait_window "About")
settle 1
shot setup-about-box "$about"
# A source dragged to a new place in the order stays highlighted there:
# weather.gov (the first row, 134 points down the sources pane's window)
# dropped on the top edge of the fourth row.
run_prefs sources
settle 1.5
xdotool windowactivate --sync "$prefs" 2>/dev/null || true
xdotool mousemove --window "$prefs" 150 134 mousedown 1
for y in 142 150 158 166 174 182 190 194; do
  xdotool mousemove --window "$prefs" 150 "$y"
  sleep 0.1
done
xdotool mouseup 1
settle 1
shot setup-prefs-sources-dragged "$prefs"
