"""Kestrel on a Wayland compositor, seen from outside: through the accessibility bus and the
notification area's D-Bus protocol, as a desktop sees it.
  wayland_check.py watcher READY_FILE   a notification area (StatusNotifierWatcher) on the session bus
  wayland_check.py search               type a mask, press "Dupe !", wait for the rows
  wayland_check.py tray                 the window is reachable; "&Exit Kestrel" from the tray's menu
  wayland_check.py buttons LOG PID      a box shows its caption bar; the frame's maximise button
                                        changes nothing; its close button (pressed last) ends it
  wayland_check.py minimise LOG PID     the frame's minimise button; then "&Exit Kestrel"
The last two need the compositor on an X server (DISPLAY), its pointer pressed through XTest.
"""
import ctypes
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

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
    exit_from_tray()
    print("wayland: tray menu drawn by the desktop, Exit chosen there")


def exit_from_tray():
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


BACKGROUND = (0x10, 0x20, 0x30)  # the compositor's background in wayland_test.sh


def screenshot():
    """The compositor's screen as rows of RGB triples."""
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["weston-screenshooter"], cwd=folder, check=True)
        data = open(os.path.join(folder, os.listdir(folder)[0]), "rb").read()
    pos, idat = 8, b""
    while pos < len(data):
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + size]
        pos += 12 + size
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                sys.exit(f"unexpected screenshot format {depth} {colour}")
            step = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
    raw, stride, previous, rows, i = zlib.decompress(idat), width * step, bytearray(width * step), [], 0
    for _ in range(height):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - step] if x >= step else 0
            b = previous[x]
            c = previous[x - step] if x >= step else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, step)])
        previous = line
    return rows


def window_box(rows, outside=None):
    """The rectangle (left, top, right, bottom) of what is not background, outside another one.
    The pointer, drawn on the screen too, is kept in a corner (see park)."""
    left = top = 1 << 30
    right = bottom = -1
    for y, row in enumerate(rows):
        for x, pixel in enumerate(row):
            if pixel == BACKGROUND or (x >= len(row) - 40 and y >= len(rows) - 40):
                continue
            if outside and outside[0] <= x <= outside[2] and outside[1] <= y <= outside[3]:
                continue
            left, top, right, bottom = min(left, x), min(top, y), max(right, x), max(bottom, y)
    return (left, top, right, bottom) if right >= 0 else None


CAPTION_BAR = 28  # rows at the top of a window where its caption bar is, if it has one


def caption_marks(rows, box):
    """The runs of ink across a window's caption bar, as (first, last) columns from its left."""
    left, top, right, _ = box
    band = [rows[y][left:right + 1] for y in range(top, top + CAPTION_BAR)]
    counts = {}
    for line in band:
        for pixel in line:
            counts[pixel] = counts.get(pixel, 0) + 1
    ground = max(counts, key=counts.get)
    inked = [any(sum(abs(a - b) for a, b in zip(line[x], ground)) > 150 for line in band)
             for x in range(right - left + 1)]
    marks, start, gap = [], None, 0
    for x, ink in enumerate(inked + [False] * 5):
        if ink:
            if start is None:
                start = x
            gap, end = 0, x
        elif start is not None:
            gap += 1
            if gap >= 4:
                marks.append((start, end))
                start = None
    # Not the window's edges.
    return [(a, b) for a, b in marks if a > 2 and b < right - left - 2]


def park():
    """The pointer out of the windows' way, in the screen's bottom right corner."""
    press(1015, 760, click=False)


def press(x, y, click=True):
    """The pointer moved to the screen's (x, y) and its left button clicked there."""
    x11 = ctypes.CDLL("libX11.so.6")
    xtest = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    display = ctypes.c_void_p(x11.XOpenDisplay(None))
    if not display:
        sys.exit("no X display for the pointer")
    # The compositor may take its first pointer event as where the pointer enters and move its
    # own pointer by the differences after that: pushed into two opposite corners first, its
    # pointer meets the X server's wherever either started.
    steps = [(xtest.XTestFakeMotionEvent, -1, cx, cy, 0) for cx, cy in ((1023, 767), (0, 0), (x, y))]
    if click:
        steps += [(xtest.XTestFakeButtonEvent, 1, True, 0), (xtest.XTestFakeButtonEvent, 1, False, 0)]
    for step in steps:
        step[0](display, *step[1:])
        x11.XSync(display, False)
    x11.XCloseDisplay(display)


def frame_on_screen():
    """The frame's rectangle and its caption bar's marks, once it is drawn."""
    # Alone on the screen (the splash screen gone), the frame's own width across, drawn whole:
    # the same in two pictures in a row.
    park()
    end, last = time.time() + 30, None
    while time.time() < end:
        rows = screenshot()
        box = window_box(rows)
        if box and abs(box[2] - box[0] - 460) <= 10 and box == last:
            return box, caption_marks(rows, box)
        last = box
        time.sleep(0.2)
    sys.exit(f"the frame never showed alone on the screen: {last}")


def buttons_of(box, marks):
    """Screen points of the last three marks of a caption bar: minimise, maximise, close."""
    if len(marks) < 4:
        sys.exit(f"the frame's caption bar has no title and three buttons: {marks}")
    return [(box[0] + (a + b) // 2, box[1] + CAPTION_BAR // 2) for a, b in marks[-3:]]


def wait_in_log(log, pid, text, since=0):
    """The position just past text in the program's protocol log, once written there."""
    end = time.time() + 30
    while time.time() < end:
        content = open(log, errors="replace").read()
        at = content.find(text, since)
        if at >= 0:
            return at + len(text)
        if "Protocol error" in content[since:]:
            sys.exit("the compositor ended the connection:\n" + content[since:][-400:])
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            sys.exit(f"kestrel ended while waiting for {text!r}")
        time.sleep(0.1)
    sys.exit(f"never seen in the protocol log: {text!r}")


def buttons(log, pid):
    from atspi_tree import find_app, named, wait_for

    app = find_app()
    wait_for(app, lambda n: n.name == os.environ["KESTREL_TITLE"], "the frame")
    frame, frame_marks = frame_on_screen()

    # A box of the form's, with its caption bar: its title's first word is the frame's, drawn
    # alike, and its buttons are the frame's.
    wait_for(app, named("push button", "Dupe !"), "the Dupe ! button").queryAction().doAction(0)
    error = wait_for(app, lambda n: n.name == "Kestrel Error", "the empty mask's box")
    end, box = time.time() + 30, None
    while time.time() < end and not box:
        rows = screenshot()
        box = window_box(rows, outside=frame)
        time.sleep(0 if box else 0.2)
    if not box:
        sys.exit("the box never showed beside the frame")
    marks = caption_marks(rows, box)
    width = box[2] - box[0]
    if len(marks) < 4:
        sys.exit(f"the box has no caption bar: {marks}")
    shape = lambda ms, w: [(b - a, w - a) for a, b in ms[-3:]]
    if shape(marks, width) != shape(frame_marks, frame[2] - frame[0]):
        sys.exit(f"the box's caption bar has other buttons: {marks} against the frame's {frame_marks}")
    # The title's first word, past the window's icon at the left.
    word = lambda ms: [b - a for a, b in ms[:-3] if a > 32][:1]
    if not word(marks) or word(marks) != word(frame_marks):
        sys.exit(f"the box's caption does not start with the frame's first word: {marks}, {frame_marks}")
    wait_for(error, named("push button", "OK"), "the box's OK").queryAction().doAction(0)
    print(f"wayland: the box's caption bar {marks}, the frame's {frame_marks}")
    # A search, so that there is a history to save.
    combo = wait_for(app, named("combo box", "Search Mask:"), "the search mask")
    wait_for(combo, lambda n: n.getRoleName() == "text", "the mask's text").queryEditableText() \
        .setTextContents("shadow")
    wait_for(app, lambda n: n.getRoleName() == "push button" and n.name.startswith("Dupe"),
             "the Dupe button").queryAction().doAction(0)
    summary = wait_for(app, lambda n: n.name == "Dupe Successful", "the search's summary")
    wait_for(summary, named("push button", "OK"), "the summary's OK").queryAction().doAction(0)

    minimise, maximise, close = buttons_of(frame, frame_marks)
    press(*maximise)
    park()
    past = wait_in_log(log, pid, "set_maximized()")
    # The compositor's answer is drawn and taken back; the frame is where it was, its size.
    past = wait_in_log(log, pid, "unset_maximized()", past)
    past = wait_in_log(log, pid, "ack_configure", past)
    wait_in_log(log, pid, "commit()", past)
    wait_for(app, named("push button", "Quit"), "the form after the maximise button")
    end = time.time() + 30
    while time.time() < end and window_box(screenshot()) != frame:
        time.sleep(0.2)
    if window_box(screenshot()) != frame:
        sys.exit(f"the frame is no longer at {frame}: {window_box(screenshot())}")
    press(*close)
    print("wayland: a box's caption bar, maximise changed nothing, close pressed")


def minimise(log, pid):
    from atspi_tree import find_app, named, wait_for

    app = find_app()
    frame, marks = frame_on_screen()
    press(*buttons_of(frame, marks)[0])
    wait_in_log(log, pid, "set_minimized()")
    wait_for(app, named("push button", "Quit"), "the form after the minimise button")
    exit_from_tray()
    print("wayland: minimised, still running, Exit chosen from the tray")


if __name__ == "__main__":
    mode = sys.argv[1]
    if mode == "watcher":
        run_watcher(sys.argv[2])
    elif mode == "search":
        search()
    elif mode == "buttons":
        buttons(sys.argv[2], int(sys.argv[3]))
    elif mode == "minimise":
        minimise(sys.argv[2], int(sys.argv[3]))
    else:
        tray()
