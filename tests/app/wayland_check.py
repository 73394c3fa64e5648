"""Kestrel on a Wayland compositor, seen from outside: through the accessibility bus and the
notification area's D-Bus protocol, as a desktop sees it.
  wayland_check.py watcher READY_FILE   a notification area (StatusNotifierWatcher) on the session bus
  wayland_check.py search               type a mask, press "Dupe !", wait for the rows
  wayland_check.py tray                 the window is reachable; "&Exit Kestrel" from the tray's menu
"""
import os
import sys
import time

from gi.repository import Gio, GLib

WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
<method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
<method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
<property name="RegisteredStatusNotifierItems" type="as" access="read"/>
<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
<property name="ProtocolVersion" type="i" access="read"/>
<signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
<signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
<signal name="StatusNotifierHostRegistered"/>
</interface></node>"""


def run_watcher(ready_file):
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    items = []

    def call(connection, sender, path, interface, method, args, invocation):
        if method == "RegisterStatusNotifierItem":
            service = args.unpack()[0]
            # A bus name, or only an object path on the caller's own connection.
            items.append(sender if service.startswith("/") else service)
        invocation.return_value(None)

    def get(connection, sender, path, interface, name):
        if name == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", items)
        if name == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", True)
        return GLib.Variant("i", 0)

    info = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML).interfaces[0]
    bus.register_object("/StatusNotifierWatcher", info, call, get, None)

    def acquired(*_):
        with open(ready_file, "w") as f:
            f.write("ready\n")

    Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.NONE, acquired, None)
    GLib.MainLoop().run()


def search():
    from atspi_tree import find_app, named, wait_for

    app = find_app()
    combo = wait_for(app, named("combo box", "Search Mask:"), "the search mask")
    edit = wait_for(combo, lambda n: n.getRoleName() == "text", "the mask's text field")
    edit.queryEditableText().setTextContents("shadow")
    wait_for(app, named("push button", "Dupe !"), "the Dupe ! button").queryAction().doAction(0)
    results = wait_for(app, named("tree", "Results"), "the results list")
    wait_for(results, lambda n: n.name == "Shadow.Garden-GRP", "a found row")
    summary = wait_for(app, lambda n: n.name == "Dupe Successful",
                       "the search's summary")
    wait_for(summary, named("push button", "OK"), "the summary's OK").queryAction().doAction(0)
    wait_for(app, named("push button", "Dupe!"), "the form idle again")
    print("wayland: search ran")


def tray():
    import pyatspi
    from atspi_tree import find_app, wait_for

    app = find_app()
    frame = wait_for(app, lambda n: n.name == os.environ["KESTREL_TITLE"], "the frame")
    # Started minimised, the frame is still a window the desktop can bring back.
    if not frame.getState().contains(pyatspi.STATE_VISIBLE):
        sys.exit("the frame was hidden: on Wayland nothing would bring it back")

    bus = Gio.bus_get_sync(Gio.BusType.SESSION)

    def call(name, path, interface, method, args, reply):
        return bus.call_sync(name, path, interface, method, args, GLib.VariantType(reply),
                             Gio.DBusCallFlags.NONE, 5000, None).unpack()

    def alive(name):
        return call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                    "NameHasOwner", GLib.Variant("(s)", (name,)), "(b)")[0]

    # The icons registered so far, an earlier run's among them: this run's is the one still there.
    end = time.time() + 30
    items = []
    while time.time() < end and not items:
        items = call(WATCHER, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get",
                     GLib.Variant("(ss)", (WATCHER, "RegisteredStatusNotifierItems")), "(v)")[0]
        items = [name for name in items if alive(name)]
        time.sleep(0.2)
    if not items:
        sys.exit("no icon in the notification area")
    service = items[-1]
    menu = None
    while time.time() < end:
        menu = call(service, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                    GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", "Menu")), "(v)")[0]
        if menu and menu != "/NO_DBUSMENU":
            break
        time.sleep(0.2)
    layout = call(service, menu, "com.canonical.dbusmenu", "GetLayout",
                  GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")[1]
    entries = [(child[0], child[1].get("label", "")) for child in layout[2]]
    labels = [label.replace("_", "&") for _, label in entries]
    if labels != ["&Show Kestrel", "&Exit Kestrel"]:
        sys.exit(f"tray menu reads {labels!r}")
    exit_id = entries[1][0]
    call(service, menu, "com.canonical.dbusmenu", "Event",
         GLib.Variant("(isvu)", (exit_id, "clicked", GLib.Variant("i", 0), 0)), "()")
    print("wayland: tray menu drawn by the desktop, Exit chosen there")


if __name__ == "__main__":
    mode = sys.argv[1]
    if mode == "watcher":
        run_watcher(sys.argv[2])
    elif mode == "search":
        search()
    else:
        tray()
