#!/usr/bin/python3
# A screen reader's reading of the window over the accessibility bus: finds the customer table,
# reads its titles, the first rows and their tick boxes, the edits and their labels, the bill lines; puts the focus
# on a customer code, presses Down (real X input) and listens for the focus to move; ticks the
# second customer through the box's own action and reads the new state; presses 確定 through the
# button's action. Prints the registry daemon's process id, then what it read and heard, as JSON
# objects one a line.
import json
import subprocess
import sys
import time

import pyatspi
from gi.repository import Gio, GLib


def pump(seconds, done=lambda: False):
    """Delivers the bus's events for at most `seconds`, or until done() holds."""
    end = time.monotonic() + seconds
    while time.monotonic() < end and not done():
        GLib.MainContext.default().iteration(False)
        time.sleep(0.01)
    return done()


def find(node, role, name=None):
    if node is None:
        return None
    if node.getRoleName() == role and (name is None or node.name == name):
        return node
    if node.getRoleName() == "table":
        return None
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), role, name)
        if found:
            return found
    return None


def all_of(node, role, out):
    if node.getRoleName() == role:
        out.append(node)
    elif node.getRoleName() != "table":
        for i in range(node.childCount):
            all_of(node.getChildAtIndex(i), role, out)
    return out


def checked(cell):
    return cell.getState().contains(pyatspi.STATE_CHECKED)


def registry_pid():
    """The registry daemon the accessibility bus started for us: the test stops it when it outlives its bus."""
    session = Gio.bus_get_sync(Gio.BusType.SESSION)
    address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                GLib.VariantType("(s)"), 0, -1, None).unpack()[0]
    flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
    bus = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
    return bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "GetConnectionUnixProcessID", GLib.Variant("(s)", ("org.a11y.atspi.Registry",)),
                         GLib.VariantType("(u)"), 0, -1, None).unpack()[0]


def main():
    app = None
    end = time.monotonic() + 60
    while app is None and time.monotonic() < end:
        app = next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == "morvane"), None)
        grid = find(app, "table", sys.argv[1]) if app else None
        if grid is None:
            app = None
            time.sleep(0.2)
    if app is None:
        print(json.dumps({"error": "no table " + sys.argv[1]}))
        return 1
    print(json.dumps({"registry": registry_pid()}), flush=True)
    t = grid.queryTable()
    report = {
        "window": find(app, "frame").name,
        "rows": t.nRows,
        "titles": [t.getColumnHeader(c).name for c in range(t.nColumns)],
        "first": [[t.getAccessibleAt(r, c).name for c in (1, 2)] for r in range(3)],
        "boxes": [[t.getAccessibleAt(r, 0).getRoleName(), checked(t.getAccessibleAt(r, 0))] for r in range(3)],
        "edits": [[e.name, e.queryText().getText(0, -1)] for e in all_of(app, "text", [])],
    }
    lines = find(app, "table", "DBGrid1").queryTable()
    report["lines"] = [lines.nRows, lines.getColumnHeader(1).name, lines.getAccessibleAt(0, 1).name]

    heard = []
    pyatspi.Registry.registerEventListener(
        lambda e: e.detail1 and heard.append([e.source.getRoleName(), e.source.name]),
        "object:state-changed:focused")
    focus = t.getAccessibleAt(0, 1).queryAction()
    focus.doAction([focus.getName(i) for i in range(focus.nActions)].index("SetFocus"))
    pump(10, lambda: heard and heard[-1][1] == report["first"][0][0])
    subprocess.run(["xdotool", "key", "Down"], check=True)
    pump(10, lambda: heard and heard[-1][1] == report["first"][1][0])
    report["heard"] = heard[:]

    changes = []
    pyatspi.Registry.registerEventListener(lambda e: changes.append(e.detail1), "object:state-changed:checked")
    box = t.getAccessibleAt(1, 0)
    report["boxActions"] = [box.queryAction().getName(i) for i in range(box.queryAction().nActions)]
    box.queryAction().doAction(0)
    pump(10, lambda: changes)
    report["checkedHeard"] = changes[:]
    report["boxAfter"] = checked(t.getAccessibleAt(1, 0))

    button = find(app, "push button")
    report["button"] = [button.name, button.queryAction().getName(0)]
    button.queryAction().doAction(0)
    print(json.dumps(report, ensure_ascii=False))
    return 0


sys.exit(main())
