"""Reads Kestrel's window through the accessibility bus, as a screen reader does."""
import sys
import time

import pyatspi


def find_app(name, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    sys.exit(f"no application {name!r} on the accessibility bus")


def nodes(node, depth=0):
    yield node
    if depth < 12:
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                yield from nodes(child, depth + 1)


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, -1)
    except NotImplementedError:
        return ""


def wait_for(app, predicate, what, seconds=15):
    end = time.time() + seconds
    while time.time() < end:
        for node in nodes(app):
            try:
                if predicate(node):
                    return node
            except Exception:
                pass
        time.sleep(0.2)
    sys.exit(f"not found: {what}")


def named(role, name):
    return lambda n: n.getRoleName() == role and n.name == name


app = find_app("Kestrel")
status = wait_for(app, named("text", "Status"), "the status line")
if text_of(status) != "Idle":
    sys.exit(f"status line reads {text_of(status)!r}, not 'Idle'")
for role, name in [("combo box", "Search Mask:"), ("text", "Start date"), ("text", "End date"),
                   ("text", "# to Retrieve:"), ("list", "Order:"), ("tree", "Results"),
                   ("check box", "Between:"), ("check box", "Retrieve All"), ("push button", "Quit")]:
    wait_for(app, named(role, name), f"{role} {name!r}")
wait_for(app, named("table column header", "Directory"), "the Directory column")

# An empty mask: the refusal must be readable too.
dupe = wait_for(app, named("push button", "Dupe !"), "the Dupe ! button")
dupe.queryAction().doAction(0)
wait_for(app, lambda n: "You must specify a search mask!" in (n.name + n.description + text_of(n)),
         "the message box text")
print("accessibility: form and message box readable")
