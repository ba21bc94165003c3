#!/usr/bin/python3
"""What a screen reader finds in veltrane, asked over AT-SPI as a screen reader asks.

Starts the application with accessibility on, reaches each of its windows the way a user would (by
pressing buttons and choosing tabs through their accessible actions), and in each window checks:
  - every control a user can work with (focusable, or offering an action) has a name and a role;
  - every grid is a table whose rows, columns, headers and cells answer consistently, and the
    selection window's locus tag grid holds what `veltrane show` prints for the set;
  - on the editor's tabs, Tab (pressed on the X server) moves the focus through every control of
    the tab in reading order: top to bottom, left to right within a line, a column of controls
    before the one to its right.
Run it in a session with an X server, a session bus and the accessibility bus (run_atspi.sh).
"""

import argparse
import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

WALK_LIMIT = 4000  # nodes per window: the grids are checked through their table interface
CELL_LIMIT = 400  # cells read per grid
TAB_PRESSES = 80  # the most Tab presses one focus cycle may take


class Failure(Exception):
    pass


class Window:
    """One window: how it is reached from the window before it, and what is checked in it."""

    def __init__(self, name, title, reach=(), tabs=(), focus_order=False, leave=None, check=None):
        self.name = name
        self.title = title  # a regular expression the window's name matches
        self.reach = reach  # steps: ("press", window title, button name) or ("tab", window title, tab name)
        self.tabs = tabs  # check each tab of the window's tab list in turn: {tab name: further check}
        self.focus_order = focus_order
        self.leave = leave  # the button that closes it, or None to leave it open
        self.check = check  # further checks: check(window, context)


# ---- talking to the bus ------------------------------------------------------------------------

def pump(seconds):
    """Lets the client's main loop deliver events for a while."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        time.sleep(0.01)


def wait_for(what, probe, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes under us while windows open and close
            found = None
        if found:
            return found
        pump(0.1)
    raise Failure("timed out waiting for " + what)


def states(node):
    return node.getState()


def showing(node):
    s = states(node)
    return s.contains(pyatspi.STATE_SHOWING) and s.contains(pyatspi.STATE_VISIBLE)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (e.x, e.y, e.width, e.height)


def describe(node):
    try:
        return "%s \"%s\" at %s" % (node.getRoleName(), node.name, extents(node))
    except Exception:
        return repr(node)


def children(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield child


def walk(root, into_tables=False):
    """The showing nodes under root, depth first, tables' cells left out unless asked for."""
    stack = [root]
    seen = 0
    while stack:
        node = stack.pop()
        seen += 1
        if seen > WALK_LIMIT:
            raise Failure("more than %d nodes under %s" % (WALK_LIMIT, describe(root)))
        yield node
        if node.getRole() == pyatspi.ROLE_TABLE and not into_tables:
            continue
        stack.extend(reversed([c for c in children(node) if showing(c)]))


def find_application(name):
    def probe():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app.name == name:
                return app
        return None
    return wait_for("the application " + name + " on the accessibility bus", probe)


def find_window(app, title):
    def probe():
        for window in children(app):
            if re.fullmatch(title, window.name or "") and showing(window):
                return window
        return None
    return wait_for("a window titled " + title, probe)


def find(window, role, name):
    for node in walk(window):
        if node.getRole() == role and node.name == name:
            return node
    raise Failure("no %s named \"%s\" in %s" % (role, name, window.name))


def press(window, name):
    button = find(window, pyatspi.ROLE_PUSH_BUTTON, name)
    names = actions(button)
    if not names:
        raise Failure("the button \"%s\" offers no action" % name)
    button.queryAction().doAction(0)


def choose_tab(window, name):
    """Brings a tab to the front by its action; the action changes the tab before it answers."""
    tab = find(window, pyatspi.ROLE_PAGE_TAB, name)
    tab.queryAction().doAction(0)
    pump(0.3)


# ---- the checks ------------------------------------------------------------------------------

INTERACTIVE_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_PAGE_TAB_LIST, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE,
    pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_SLIDER,
}
TAB_STOPS = INTERACTIVE_ROLES - {pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_MENU_ITEM}
ROLES_WITHOUT_MEANING = {pyatspi.ROLE_UNKNOWN, pyatspi.ROLE_INVALID, pyatspi.ROLE_FILLER, pyatspi.ROLE_PANEL,
                         pyatspi.ROLE_REDUNDANT_OBJECT}


def interactive(node):
    s = states(node)
    if node.getRole() == pyatspi.ROLE_TEXT and not s.contains(pyatspi.STATE_EDITABLE) and \
            not s.contains(pyatspi.STATE_FOCUSABLE):
        return False  # a label's text
    return s.contains(pyatspi.STATE_FOCUSABLE) or bool(actions(node)) or node.getRole() in INTERACTIVE_ROLES


def check_names(window, where):
    problems = []
    for node in walk(window):
        if node is window or not interactive(node):
            continue
        if not (node.name or "").strip():
            problems.append("unnamed " + describe(node))
        elif node.getRole() in ROLES_WITHOUT_MEANING:
            problems.append("no role: " + describe(node))
    if problems:
        raise Failure("%s: %d controls a screen reader cannot tell:\n  %s" % (where, len(problems),
                                                                             "\n  ".join(problems)))


def table_texts(table_node):
    """The table's cells by the table interface, checked against its children and headers."""
    table = table_node.queryTable()
    rows, columns = table.nRows, table.nColumns
    where = describe(table_node)
    texts = []
    read = 0
    for r in range(rows):
        row = []
        for c in range(columns):
            cell = table.getAccessibleAt(r, c)
            if cell is None:
                raise Failure("%s: no cell at row %d, column %d" % (where, r, c))
            if cell.getRole() not in (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_CHECK_BOX):
                raise Failure("%s: the cell at %d, %d is a %s" % (where, r, c, cell.getRoleName()))
            if table.getRowAtIndex(table.getIndexAt(r, c)) != r or table.getColumnAtIndex(table.getIndexAt(r, c)) != c:
                raise Failure("%s: the cell at %d, %d does not know its place" % (where, r, c))
            s = states(cell)
            row.append(s.contains(pyatspi.STATE_CHECKED) if s.contains(pyatspi.STATE_CHECKABLE) else cell.name)
            read += 1
            if read >= CELL_LIMIT:
                break
        texts.append(row)
        if read >= CELL_LIMIT:
            break
    for c in range(columns):
        header = table.getColumnHeader(c)
        description = table.getColumnDescription(c)
        if header is not None and header.name != description:
            raise Failure("%s: column %d is titled \"%s\" but its header cell says \"%s\"" %
                          (where, c, description, header.name))
    for r in range(rows):
        if table.isRowSelected(r) != (r in table.getSelectedRows()):
            raise Failure("%s: row %d is selected and not selected" % (where, r))
    return rows, columns, texts


def check_tables(window, where):
    found = {}
    for node in walk(window):
        if node.getRole() != pyatspi.ROLE_TABLE:
            continue
        rows, columns, texts = table_texts(node)
        if columns < 1:
            raise Failure("%s: the grid %s has no columns" % (where, describe(node)))
        found[node.name] = texts
    return found


def check_locus_tags(window, context):
    """The summary's grid holds the tags `veltrane show` prints for the selected set."""
    shown = subprocess.run([context.app, "--db", context.store, "show", "DefaultFragmentAnalysisParameters"],
                           check=True, capture_output=True, text=True).stdout
    expected = [line.strip().split("\t") for line in shown.split("Locus Tags:")[1].splitlines() if line.startswith("  ")]
    grids = check_tables(window, "selection")
    texts = grids.get("Locus Tags")
    if texts is None:
        raise Failure("the selection window has no grid named \"Locus Tags\": %s" % list(grids))
    if [row[:2] for row in texts] != expected:
        raise Failure("the locus tag grid says %s, veltrane show says %s" % (texts, expected))


def check_row_moves(window, context):
    """What a screen reader hears as the user works a selector: a row chosen in Available is
    announced as selected, and the row moved by Add Selected is announced arriving in Selected."""
    tables = {node.name: node for node in walk(window) if node.getRole() == pyatspi.ROLE_TABLE}
    available, selected = tables["Available:"], tables["Selected:"]
    heard = []

    def listen(event):
        heard.append((event.type, event.source, event.detail1, event.any_data))
    kinds = ("object:state-changed:selected", "object:children-changed")
    pyatspi.Registry.registerEventListener(listen, *kinds)
    try:
        pump(0.5)
        cell = available.queryTable().getAccessibleAt(0, 0)
        name = cell.name
        cell.queryAction().doAction(actions(cell).index("Press"))  # as a click on the row
        wait_for("the row to be announced as selected", lambda: any(
            kind == "object:state-changed:selected" and source.name == name and on for kind, source, on, _ in heard))
        press(window, "Add Selected SNP Locus Tags")
        wait_for("the moved row to be announced in Selected", lambda: any(
            kind.startswith("object:children-changed:add") and source == selected and data is not None
            and data.name == name for kind, source, _, data in heard))
        table = selected.queryTable()
        if table.getAccessibleAt(table.nRows - 1, 0).name != name:
            raise Failure("the moved row %s is not the last of Selected" % name)
    finally:
        pyatspi.Registry.deregisterEventListener(listen, *kinds)


# ---- focus order -----------------------------------------------------------------------------------

class FocusWatch:
    def __init__(self):
        self.focused = []
        pyatspi.Registry.registerEventListener(self.on_focus, "object:state-changed:focused")

    def on_focus(self, event):
        if event.detail1:
            self.focused.append(event.source)

    def next_focus(self, before):
        wait_for("the focus to move", lambda: len(self.focused) > before, timeout=10)
        pump(0.05)
        return self.focused[-1]


def backward(previous, following, tolerance=4):
    """Whether going from one control to the next goes back in reading order: to the left on the same
    line, or up and to the left. Going up and to the right starts the next column."""
    px, py, pw, ph = previous
    fx, fy, fw, fh = following
    if fy >= py + ph - tolerance:
        return False  # a line further down
    return fx < px - tolerance


def check_focus_order(window, where, watch):
    """Tabs around the window once: every focusable control is reached, in reading order, with only
    the one step back from the last control to the first."""
    start = len(watch.focused)
    subprocess.run(["xdotool", "key", "--clearmodifiers", "Tab"], check=True)
    first = watch.next_focus(start)
    cycle = [first]
    for _ in range(TAB_PRESSES):
        count = len(watch.focused)
        subprocess.run(["xdotool", "key", "--clearmodifiers", "Tab"], check=True)
        node = watch.next_focus(count)
        # A grid's focus lands on its current cell: the grid is the stop.
        if node.getRole() in (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_CHECK_BOX) and node.parent is not None and \
                node.parent.getRole() == pyatspi.ROLE_TABLE:
            node = node.parent
        if cycle and node == cycle[-1]:
            continue
        if node == first:
            break
        cycle.append(node)
    else:
        raise Failure("%s: Tab never came back to %s" % (where, describe(first)))
    boxes = [extents(node) for node in cycle]
    back_steps = [(describe(cycle[i - 1]), describe(cycle[(i) % len(cycle)]))
                  for i in range(1, len(cycle) + 1) if backward(boxes[i - 1], boxes[i % len(cycle)])]
    if len(back_steps) != 1:
        raise Failure("%s: the focus goes back in reading order %d times (once is the wrap-around):\n  %s\n"
                      "the order: %s" % (where, len(back_steps), "\n  ".join("%s -> %s" % s for s in back_steps),
                                         "\n  ".join(describe(n) for n in cycle)))
    # Every control that takes the keyboard is a stop: labels whose text can be selected with the
    # mouse are focusable too, but no stop; a list's items and a tab list's tabs are reached inside it.
    # Of a group of option buttons Tab stops at the chosen one; the arrow keys choose among them.
    groups = [node.parent for node in cycle if node.getRole() == pyatspi.ROLE_RADIO_BUTTON]
    missed = [describe(node) for node in walk(window)
              if node.getRole() in TAB_STOPS and states(node).contains(pyatspi.STATE_FOCUSABLE)
              and states(node).contains(pyatspi.STATE_ENABLED) and node not in cycle
              and not (node.getRole() == pyatspi.ROLE_RADIO_BUTTON and node.parent in groups)]
    if missed:
        raise Failure("%s: Tab never reaches:\n  %s" % (where, "\n  ".join(missed)))
    return [node.name for node in cycle]


# ---- the windows -----------------------------------------------------------------------------------

EDITOR = "Edit Fragment Analysis Parameters"

# Each window the application shows, in the order a user reaches them, and how. A window the
# application adds is one more row.
WINDOWS = [
    Window("selection", "Analysis Parameters", check=check_locus_tags, focus_order=True),
    Window("editor", EDITOR, reach=[("press", "Analysis Parameters", "Edit")], focus_order=True,
           tabs={"SNP Locus Tags": check_row_moves}),
    Window("save-as", "Save Analysis Parameters As", reach=[("press", EDITOR, "Save As...")], focus_order=True,
           leave="Cancel"),
    Window("SNP tag editor", "(New )?SNP Locus Tag.*",
           reach=[("tab", EDITOR, "SNP Locus Tags"), ("press", EDITOR, "New Locus")], focus_order=True,
           leave="Cancel"),
]


class Context:
    def __init__(self, app, store):
        self.app = app
        self.store = store


def start(command, env):
    return subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)


def check_window(app, window, context, watch, report):
    node = find_window(app, window.title)
    pump(0.5)
    pages = [None]
    if window.tabs:
        tab_list = next(n for n in walk(node) if n.getRole() == pyatspi.ROLE_PAGE_TAB_LIST)
        pages = [tab.name for tab in children(tab_list) if tab.getRole() == pyatspi.ROLE_PAGE_TAB]
        missing = set(window.tabs) - set(pages)
        if missing:
            raise Failure("%s has no tabs %s" % (window.name, sorted(missing)))
    for page in pages:
        where = window.name + (" (" + page + ")" if page else "")
        if page:
            choose_tab(node, page)
        check_names(node, where)
        check_tables(node, where)
        if window.focus_order:
            order = check_focus_order(node, where, watch)
            report.append("%s: focus order %s" % (where, " > ".join(order)))
        report.append("%s: every control named" % where)
        if page in window.tabs:
            window.tabs[page](node, context)
            report.append("%s: selecting and moving rows announced" % where)
    if window.check:
        window.check(node, context)
    return node


def run(args):
    env = dict(os.environ)
    env.update({"QT_QPA_PLATFORM": "xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1",
                "XDG_DATA_HOME": os.path.join(args.work, "data"), "LC_ALL": "C.UTF-8"})
    store = os.path.join(args.work, "store.sqlite")
    subprocess.run([args.app, "--db", store, "list"], env=env, check=True, capture_output=True)
    context = Context(args.app, store)
    watch = FocusWatch()
    report = []

    process = start([args.app, "--db", store], env)
    try:
        app = find_application("veltrane")
        for window in WINDOWS:
            for kind, title, name in window.reach:
                (press if kind == "press" else choose_tab)(find_window(app, title), name)
            node = check_window(app, window, context, watch, report)
            if window.leave:
                press(node, window.leave)
                wait_for(window.name + " to close", lambda: not any(
                    re.fullmatch(window.title, w.name or "") and showing(w) for w in children(app)))

        # Opening an exchange file: the import window, then the selection window.
        exchange = os.path.join(args.work, "lab.veltrane.json")
        subprocess.run([args.app, "--db", store, "export", "DefaultFragmentAnalysisParameters", "-o", exchange],
                       env=env, check=True, capture_output=True)
        with open(exchange, encoding="utf-8") as f:
            text = f.read().replace('"DefaultFragmentAnalysisParameters"', '"Imported set"')
        with open(exchange, "w", encoding="utf-8") as f:
            f.write(text)
    finally:
        process.kill()
        process.wait(timeout=30)

    process = start([args.app, "--db", store, exchange], env)
    try:
        app = find_application("veltrane")
        node = check_window(app, Window("import", "Import Parameter Sets", focus_order=True), context, watch, report)
        press(node, "Import")
        outcome = wait_for("the import's outcome", lambda: next(
            (n for n in walk(node) if n.getRole() == pyatspi.ROLE_LABEL and n.name.startswith("Imported")), None))
        report.append("import: " + outcome.name)
        press(node, "Close")
        find_window(app, "Analysis Parameters")
    finally:
        process.kill()
        process.wait(timeout=30)
    listed = subprocess.run([args.app, "--db", store, "list"], env=env, check=True, capture_output=True,
                            text=True).stdout.splitlines()
    if "Imported set" not in listed:
        raise Failure("the import window did not store the set: %s" % listed)
    return report


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", required=True, help="the veltrane program")
    parser.add_argument("--work", required=True, help="a scratch folder")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    try:
        for line in run(args):
            print(line)
    except Failure as failure:
        print("FAIL: %s" % failure, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
