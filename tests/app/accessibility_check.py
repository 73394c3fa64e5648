"""Reads Kestrel's window through the accessibility bus, as a screen reader does."""
import sys

import pyatspi

from atspi_tree import find_app, named, nodes, text_of, wait_for


app = find_app("Kestrel")
status = wait_for(app, named("text", "Status"), "the status line")
if text_of(status) != "Idle":
    sys.exit(f"status line reads {text_of(status)!r}, not 'Idle'")
for role, name in [("combo box", "Search Mask:"), ("text", "Start date"), ("text", "End date"),
                   ("text", "# to Retrieve:"), ("list", "Order:"), ("tree", "Results"),
                   ("check box", "Between:"), ("check box", "Retrieve All"), ("push button", "Quit")]:
    wait_for(app, named(role, name), f"{role} {name!r}")
wait_for(app, named("table column header", "Directory"), "the Directory column")


def click(node, button):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, f"b{button}c")


# The statistics window, from the results list's pop-up ("Database &Statistics"; a pop-up is not
# in the bridge's tree, so by its access key): each value field is read as its value, named by
# the label on its row.
click(wait_for(app, named("tree", "Results"), "the results list"), 3)
pyatspi.Registry.generateKeyboardEvent(ord("s"), None, pyatspi.KEY_SYM)
stats = wait_for(app, named("dialog", "Database Statistics"), "the statistics window")
wait_for(stats, lambda n: n.getRoleName() == "text" and n.name == "Status" and text_of(n) == "Done",
         "the end of the check", seconds=30)
values = {}
for node in nodes(stats):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            values.setdefault(relation.getTarget(0).name, []).append(node.name)
labels = ["Server Active:", "Last Update:", "Number of Entries:"]
if sorted(values) != sorted(labels) or any(len(v) != 2 for v in values.values()):
    sys.exit(f"statistics fields not each labelled by their row: {values!r}")
# Whatever the servers answered, a field reads as a value, never as what it is.
if any(name not in ("YES", "NO") for name in values["Server Active:"]) or any(
        name in ("", "<checking>") or "Update" in name or "Entries" in name
        for name in values["Last Update:"] + values["Number of Entries:"]):
    sys.exit(f"statistics fields read {values!r}")
wait_for(stats, named("push button", "OK"), "the statistics window's OK").queryAction().doAction(0)

# An empty mask: the refusal must be readable too.
dupe = wait_for(app, named("push button", "Dupe !"), "the Dupe ! button")
dupe.queryAction().doAction(0)
wait_for(app, lambda n: "You must specify a search mask!" in (n.name + n.description + text_of(n)),
         "the message box text")
print("accessibility: form, statistics window and message box readable")
