#!/usr/bin/env bash
# Takes screenshots of the programs on a virtual desktop: Xvfb with openbox as
# the window manager, trayer as the system tray, a private session bus, a
# throw-away home, and the project's fixture weather sites served through
# skyvane-fixture-proxy as the HTTP proxy (no network needed).
#
#   tools/screenshots.sh OUTDIR [BUILD_DIR [PART...]]
#
# Every tools/screenshots/*.sh part (or only the PARTs named) runs in turn, in a subshell of its own,
# with these variables and functions:
#
#   OUT          the folder the PNGs go to
#   BUILD        the build folder; BUNDLES="$BUILD/bundles"
#   SKYVANE_APP  the standalone program; SETUP_APP the setup program
#   WORK         a scratch folder of the part's own
#   HOME, XDG_CONFIG_HOME, DISPLAY, DBUS_SESSION_BUS_ADDRESS, http_proxy
#                point at the virtual desktop and the fixture proxy
#   PROXY_PORT   the fixture proxy's port
#
#   start_bg CMD...            starts CMD in the background; it is stopped
#                              when the part ends
#   wait_window NAME [SECS]    waits for a window whose title matches NAME,
#                              prints its id (fails after SECS, default 15)
#   shot FILE [WINDOW]         saves the screen, or one window, as OUT/FILE.png
#   settle [SECS]              lets the programs draw (default 1 s)
#   fresh_home                 a new empty HOME and XDG_CONFIG_HOME
#   start_own_proxy [ROUTES]   a fixture proxy of the part's own (pid in
#                              own_proxy, address in own_proxy_url), so the
#                              part can end it or send it SIGHUP to read
#                              ROUTES again
#   tip_and_menu NAME X Y      the tool tip, then the menu, of the item at
#                              X Y, as NAME-tooltip and NAME-menu
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ $# -lt 1 ]]; then
  echo "usage: tools/screenshots.sh OUTDIR [BUILD_DIR]" >&2
  exit 2
fi
mkdir -p "$1"
OUT=$(cd "$1" && pwd)
BUILD=$(cd "${2:-$root/build}" 2>/dev/null && pwd || echo "$root/build")

# Re-run inside a private session bus, so nothing reaches the user's own.
if [[ -z "${SKYVANE_SCREENSHOTS_BUS:-}" ]]; then
  need=()
  for pkg in xvfb xauth openbox trayer xdotool imagemagick dbus x11-utils x11-xserver-utils; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
  done
  if [[ ${#need[@]} -gt 0 ]]; then
    echo "installing ${need[*]}"
    sudo_cmd=(); [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
  fi
  if [[ ! -x "$BUILD/tools/skyvane-fixture-proxy" || ! -x "$BUILD/bundles/Skyvane.app/skyvane-app" ]]; then
    cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$BUILD"
  fi
  SKYVANE_SCREENSHOTS_BUS=1 exec dbus-run-session -- "$0" "$OUT" "$BUILD" "${@:3}"
fi

export OUT BUILD
export BUNDLES="$BUILD/bundles"
export SKYVANE_APP="$BUNDLES/Skyvane.app/skyvane-app"
export SETUP_APP="$BUNDLES/Skyvane Setup.app/skyvane-setup"
scratch=$(mktemp -d /tmp/skyvane-shots.XXXXXX)
desktop_pids=()

cleanup() {
  for pid in "${desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The virtual display, its window manager and tray.
exec 3<> "$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
desktop_pids+=($!)
for _ in $(seq 50); do [[ -s "$scratch/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$scratch/display")"
openbox >"$scratch/openbox.log" 2>&1 &
desktop_pids+=($!)
sleep 0.5
xsetroot -solid '#5a7391' 2>/dev/null || true
trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
  --transparent false --tint 0x303030 >"$scratch/trayer.log" 2>&1 &
desktop_pids+=($!)

# The weather sites.
"$BUILD/tools/skyvane-fixture-proxy" >"$scratch/proxy.out" 2>"$scratch/proxy.log" &
desktop_pids+=($!)
for _ in $(seq 50); do grep -q '^port' "$scratch/proxy.out" 2>/dev/null && break; sleep 0.1; done
PROXY_PORT=$(awk '/^port/ {print $2}' "$scratch/proxy.out")
export PROXY_PORT http_proxy="http://127.0.0.1:$PROXY_PORT"
sleep 1

part_pids=()
start_bg() {
  "$@" >>"$WORK/programs.log" 2>&1 &
  part_pids+=($!)
}
wait_window() {
  local name=$1 secs=${2:-15} id
  for _ in $(seq $((secs * 10))); do
    id=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n1) || true
    if [[ -n "$id" ]]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "no window named '$name' appeared" >&2
  return 1
}
shot() {
  local file=$1 window=${2:-root}
  import -window "$window" "$OUT/$file.png"
  echo "wrote $OUT/$file.png"
}
settle() { sleep "${1:-1}"; }
fresh_home() {
  export HOME="$WORK/home.$RANDOM" XDG_CONFIG_HOME
  XDG_CONFIG_HOME="$HOME/.config"
  mkdir -p "$XDG_CONFIG_HOME"
}
start_own_proxy() {
  local routes=()
  [[ $# -gt 0 ]] && routes=(--routes "$1")
  "$BUILD/tools/skyvane-fixture-proxy" "${routes[@]}" >"$WORK/own-proxy.out" 2>>"$WORK/programs.log" &
  own_proxy=$!
  part_pids+=("$own_proxy")
  for _ in $(seq 50); do grep -q '^port' "$WORK/own-proxy.out" 2>/dev/null && break; sleep 0.1; done
  own_proxy_url="http://127.0.0.1:$(awk '/^port/ {print $2}' "$WORK/own-proxy.out")"
}
# The pointer leaves the item first, so the tip is shown afresh. Both
# pictures are cut to the top right corner, where the tray is.
tip_and_menu() {
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
  convert "$OUT/$name-menu.png" -crop 640x720+640+0 +repage "$OUT/$name-menu.png"
  xdotool key Escape
  settle 1
}
export -f wait_window shot settle

status=0
only=("${@:3}")
for part in "$root"/tools/screenshots/*.sh; do
  [[ -e "$part" ]] || continue
  name=$(basename "$part" .sh)
  [[ ${#only[@]} -eq 0 || " ${only[*]} " == *" $name "* ]] || continue
  echo "== $name"
  WORK="$scratch/$name"
  mkdir -p "$WORK"
  # The part runs with -e in a subshell of its own; its programs end with it.
  set +e
  (
    set -e
    trap 'for pid in "${part_pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true' EXIT
    fresh_home
    # shellcheck source=/dev/null
    source "$part"
  )
  rc=$?
  set -e
  if [[ $rc -ne 0 ]]; then
    echo "part $name failed; its programs said:" >&2
    tail -n 40 "$WORK/programs.log" >&2 2>/dev/null || true
    status=1
  fi
done
exit $status
