"""Reading Kestrel's windows through the accessibility bus, as a screen reader does: shared by
the accessibility and Wayland checks."""
import sys
import time

import pyatspi


def find_app(name="Kestrel", seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name.lower() == name.lower():
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
        return node.queryText().getText(0, -1)
    except NotImplementedError:
        return ""


def wait_for(root, predicate, what, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        # Windows come and go (the splash screen, message boxes): read the tree afresh.
        root.clear_cache()
        for node in nodes(root):
            try:
                if predicate(node):
                    return node
            except Exception:
                pass
        time.sleep(0.2)
    for node in nodes(root):
        print(f"  {node.getRoleName()} {node.name!r}", file=sys.stderr)
    sys.exit(f"not found: {what}")


def named(role, name):
    return lambda n: n.getRoleName() == role and n.name == name
