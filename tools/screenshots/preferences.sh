# The menu program started on a preference file it cannot read (arrays
# nested 60,000 deep): the file is kept aside, an alert says where, and the
# first run's New Location window opens beside it. Sourced by
# tools/screenshots.sh.

mkdir -p "$XDG_CONFIG_HOME/skyvane"
python3 - "$XDG_CONFIG_HOME/skyvane/com.tesk.Skyvane.plist" <<'PY'
import sys
depth = 60000
with open(sys.argv[1], "w") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>locations</key>'
            + "<array>" * depth + "</array>" * depth + "</dict></plist>\n")
PY
start_bg "$SKYVANE_APP"
wait_window "New Location" 20 >/dev/null
settle 3
shot preferences-set-aside
ls "$XDG_CONFIG_HOME/skyvane" | grep -q '\.damaged-' || { echo "the damaged file was not kept aside" >&2; exit 1; }
