#!/usr/bin/python3
"""Drives a running skyvane-app over the session bus for tools/soak-refresh.sh.

    soak-refresh.py REFRESHES EVERY [--watcher]

With --watcher it first owns org.kde.StatusNotifierWatcher (a stand-in that
takes the item's registration, as a panel's status tray does); without it the
program shows a tray icon, and its menu is still exported on the bus. Then it
chooses "Update Now" through the exported menu (com.canonical.dbusmenu Event
"clicked") REFRESHES times, each time waiting until the refresh has ended,
re-reading the layout as a panel does, and prints the program's resident
memory (VmRSS) before the first refresh and after every EVERY refreshes.
At the end it tells how much it grew from refresh 100 (the first ones warm
caches up) to the last, and fails when that is more than GROWTH_LIMIT_KB.
The program is found by its item's bus name, which holds its process id
(the bus is a private one with no other item on it); it is ended at the end.
"""

import os
import signal
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

WATCHER = "org.kde.StatusNotifierWatcher"
MENU_IFACE = "com.canonical.dbusmenu"
ITEM_IFACE = "org.kde.StatusNotifierItem"
UPDATE = "Update Now"
WARM_UP = 100  # refreshes before the growth is counted
GROWTH_LIMIT_KB = 300
WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
</interface></node>"""


def fail(message):
    print("soak-refresh: " + message, file=sys.stderr, flush=True)
    sys.exit(1)


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    fail(f"process {pid} has no VmRSS (has it ended?)")


def running(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def descriptors(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


class Driver:
    def __init__(self, with_watcher):
        self.pid = 0
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self.context = GLib.MainContext.default()
        self.items = []
        self.changes = 0  # layout and property signals from the menu
        GLib.timeout_add(20, lambda: True)  # wakes the waits below at least this often
        self.watching = with_watcher
        if with_watcher:
            self.own_watcher()

    def own_watcher(self):
        info = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML).interfaces[0]

        def method(_conn, _sender, _path, _iface, name, args, invocation):
            if name == "RegisterStatusNotifierItem":
                self.items.append(args.unpack()[0])
            invocation.return_value(None)

        def prop(_conn, _sender, _path, _iface, name):
            if name == "ProtocolVersion":
                return GLib.Variant("i", 0)
            if name == "RegisteredStatusNotifierItems":
                return GLib.Variant("as", self.items)
            return GLib.Variant("b", True)

        self.bus.register_object("/StatusNotifierWatcher", info, method, prop, None)
        reply = self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                   "RequestName", GLib.Variant("(su)", (WATCHER, 4)), None,
                                   Gio.DBusCallFlags.NONE, 5000, None)
        if reply.unpack()[0] != 1:
            fail("cannot own " + WATCHER)

    def run_until(self, done, seconds):
        end = time.monotonic() + seconds
        while not done():
            if time.monotonic() > end:
                return False
            self.context.iteration(True)
        return True

    def call(self, path, iface, method, args, reply_type=None):
        return self.bus.call_sync(self.item, path, iface, method, args,
                                  GLib.VariantType(reply_type) if reply_type else None,
                                  Gio.DBusCallFlags.NONE, 10000, None).unpack()

    def find_item(self):
        prefix = "org.kde.StatusNotifierItem-"
        names = []

        def look():
            if self.items:
                names[:] = [self.items[0]]
            elif not self.watching:
                listed = self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                            "ListNames", None, None, Gio.DBusCallFlags.NONE, 5000, None)
                names[:] = [n for n in listed.unpack()[0] if n.startswith(prefix)]
            return bool(names)

        if not self.run_until(look, 30):
            fail("the program's status item did not appear on the bus")
        self.item = names[0]
        self.pid = int(self.item[len(prefix):].split("-")[0])
        self.menu = self.call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                              GLib.Variant("(ss)", (ITEM_IFACE, "Menu")))[0]
        for name in ("LayoutUpdated", "ItemsPropertiesUpdated"):
            self.bus.signal_subscribe(self.item, MENU_IFACE, name, self.menu, None, Gio.DBusSignalFlags.NONE,
                                      self.on_change)

    def on_change(self, *_args):
        self.changes += 1

    def update_line(self):
        """The id and enabled state of "Update Now" (or its "updating" title), read as a panel reads it."""
        _revision, root = self.call(self.menu, MENU_IFACE, "GetLayout", GLib.Variant("(iias)", (0, -1, [])))

        def walk(node):
            ident, props, children = node
            label = props.get("label", "")
            if label == UPDATE or label.startswith("Updating"):
                return ident, props.get("enabled", True) and label == UPDATE
            for child in children:
                found = walk(child)
                if found:
                    return found
            return None

        return walk(root) or (0, False)  # not yet in the menu

    def wait_idle(self, seconds=60):
        """Waits until "Update Now" can be chosen again; re-reads the layout when the menu says it changed."""
        state = {}

        def ready():
            if "seen" in state and self.changes == state["seen"]:
                return False
            state["seen"] = self.changes
            state["line"] = self.update_line()
            return state["line"][1]

        if not self.run_until(ready, seconds):
            fail('no enabled "Update Now" line in the exported menu')
        return state["line"][0]

    def refresh(self):
        """Chooses "Update Now"; returns False when the menu did not change within a few seconds."""
        ident = self.wait_idle()
        before = self.changes
        self.call(self.menu, MENU_IFACE, "Event",
                  GLib.Variant("(isvu)", (ident, "clicked", GLib.Variant("i", 0), int(time.time()) & 0xffffffff)))
        # A refresh changes the menu (its "Update Now" line, the weather lines); it has
        # ended when the menu stays quiet for a moment with "Update Now" enabled again.
        changed = self.run_until(lambda: self.changes > before, 5)
        while True:
            seen = self.changes
            self.run_until(lambda: False, 0.15)
            if self.changes == seen and self.update_line()[1]:
                return changed
            self.wait_idle()


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 2:
        fail("usage: soak-refresh.py REFRESHES EVERY [--watcher]")
    refreshes, every = (int(a) for a in args)
    driver = Driver("--watcher" in sys.argv)
    print("# ready", flush=True)  # the program may start now
    driver.find_item()
    pid = driver.pid
    driver.wait_idle(120)  # the first refresh after start
    time.sleep(1)
    mode = "status notifier item" if "--watcher" in sys.argv else "tray icon"
    print(f"# {mode}: {driver.item} (pid {pid}), menu {driver.menu}", flush=True)
    start = time.monotonic()
    rss = {}

    def report(n):
        rss[n] = rss_kb(pid)
        print(f"refresh {n:5d}  VmRSS {rss[n]:7d} kB  fds {descriptors(pid):3d}  "
              f"{time.monotonic() - start:6.1f} s", flush=True)

    report(0)
    quiet = 0
    for n in range(1, refreshes + 1):
        quiet += not driver.refresh()
        if n % every == 0:
            # Let the program's idle work (layout signals, icon animation) settle first.
            driver.run_until(lambda: False, 0.3)
            report(n)
    if quiet:
        print(f"# {quiet} of {refreshes} refreshes did not change the exported menu", flush=True)
    # The program ends before the watcher does, so that it does not turn to a tray icon first.
    os.kill(pid, signal.SIGTERM)
    end = time.monotonic() + 10
    while running(pid) and time.monotonic() < end:
        time.sleep(0.05)
    last = max(rss)
    if WARM_UP in rss and last > WARM_UP:
        growth = rss[last] - rss[WARM_UP]
        print(f"# grew {growth} kB from refresh {WARM_UP} to {last} (limit {GROWTH_LIMIT_KB} kB)", flush=True)
        if growth > GROWTH_LIMIT_KB:
            sys.exit(1)


if __name__ == "__main__":
    main()
