#!/usr/bin/env bash
# Installs the desktop entries of desktop/CMakeLists.txt with the prefix /usr into
# a staging folder (DESTDIR) and checks they land where desktops look for them:
# the menu entry under /usr/share/applications and the autostart entry under
# /etc/xdg/autostart (not /usr/etc, which no desktop reads).
#   install_paths.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/project"
cat >"$work/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(desktop_install NONE)
add_custom_target(skyvane-app)
add_subdirectory("$src/desktop" desktop)
CMAKE

cmake -Wno-dev -S "$work/project" -B "$work/build" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
DESTDIR="$work/stage" cmake --install "$work/build" >/dev/null

status=0
for expected in etc/xdg/autostart/skyvane.desktop \
                usr/share/applications/skyvane.desktop \
                usr/share/icons/hicolor/32x32/apps/skyvane.png; do
  if [[ -f "$work/stage/$expected" ]]; then
    echo "ok: /$expected"
  else
    echo "missing: /$expected" >&2
    status=1
  fi
done
if [[ -e "$work/stage/usr/etc" ]]; then
  echo "installed under /usr/etc, where no desktop looks:" >&2
  find "$work/stage/usr/etc" >&2
  status=1
fi
grep -q '^Exec=/usr/bin/skyvane' "$work/stage/etc/xdg/autostart/skyvane.desktop" || {
  echo "the autostart entry does not start /usr/bin/skyvane" >&2
  status=1
}
exit $status
