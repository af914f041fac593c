#!/usr/bin/env bash
# Refreshes the standalone program a few hundred times through its exported
# menu and prints its resident memory, to see that nothing grows per refresh.
# Not part of the tests: it takes minutes.
#
#   tools/soak-refresh.sh [--tray] [REFRESHES [EVERY [BUILD_DIR]]]
#
# The program runs on a private session bus under Xvfb, with a throw-away
# home in which Des Moines, IA and San Antonio, TX are chosen, against the
# project's fixture weather sites (skyvane-fixture-proxy as the HTTP proxy).
# By default a StatusNotifierWatcher stand-in takes its status item; with
# --tray there is none and the item is a tray icon (in trayer's tray when
# trayer is installed). tools/soak-refresh.py chooses "Update Now" over the
# bus REFRESHES times (default 400) and prints VmRSS every EVERY (default 50).
# SOAK_WRAP, if set, is put before the program (e.g. "heaptrack -o FILE");
# SOAK_LOG names a file for the program's output (default: shown on failure).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

tray=0
if [[ ${1:-} == --tray ]]; then tray=1; shift; fi
refreshes=${1:-400}
every=${2:-50}
BUILD=$(cd "${3:-$root/build}" 2>/dev/null && pwd || echo "$root/build")
app="$BUILD/bundles/Skyvane.app/skyvane-app"
proxy="$BUILD/tools/skyvane-fixture-proxy"

if [[ -z "${SKYVANE_SOAK_BUS:-}" ]]; then
  need=()
  for pkg in xvfb dbus python3-gi; do dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg"); done
  if [[ ${#need[@]} -gt 0 ]]; then
    echo "installing ${need[*]}"
    sudo_cmd=(); [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
  fi
  if [[ ! -x "$app" || ! -x "$proxy" ]]; then
    cmake -S "$root" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$BUILD" --target skyvane-app skyvane-app_resources skyvane-fixture-proxy
  fi
  args=("$refreshes" "$every" "$BUILD")
  [[ $tray -eq 1 ]] && args=(--tray "${args[@]}")
  SKYVANE_SOAK_BUS=1 exec dbus-run-session -- "$0" "${args[@]}"
fi

scratch=$(mktemp -d /tmp/skyvane-soak.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

exec 3<> "$scratch/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [[ -s "$scratch/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$scratch/display")"
if [[ $tray -eq 1 ]] && command -v trayer >/dev/null; then
  trayer --edge top --align right --widthtype request --height 32 >"$scratch/trayer.log" 2>&1 &
  pids+=($!)
  sleep 0.5
fi

"$proxy" >"$scratch/proxy.out" 2>"$scratch/proxy.log" &
pids+=($!)
for _ in $(seq 50); do grep -q '^port' "$scratch/proxy.out" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/^port/ {print $2}' "$scratch/proxy.out")
[[ -n "$port" ]] || { echo "the fixture proxy did not start" >&2; cat "$scratch/proxy.log" >&2; exit 1; }

export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
"$root/scripts/demo-preferences" "$XDG_CONFIG_HOME"
export http_proxy="http://127.0.0.1:$port" HTTP_PROXY="" no_proxy=""

# The watcher stand-in owns its name before the program looks for it.
driver=(/usr/bin/python3 "$root/tools/soak-refresh.py" "$refreshes" "$every")
[[ $tray -eq 1 ]] || driver+=(--watcher)
"${driver[@]}" > >(tee "$scratch/driver.out") &
driver_pid=$!
pids+=($driver_pid)
for _ in $(seq 100); do grep -q '^# ready' "$scratch/driver.out" 2>/dev/null && break; sleep 0.1; done
# shellcheck disable=SC2086
app_log=${SOAK_LOG:-$scratch/app.log}
${SOAK_WRAP:-} "$app" >"$app_log" 2>&1 &
pids+=($!)
echo "fixture proxy on 127.0.0.1:$port"
status=0
wait "$driver_pid" || status=$?
if [[ $status -ne 0 ]]; then
  echo "the program said:" >&2
  tail -n 30 "$app_log" >&2
fi
exit $status
