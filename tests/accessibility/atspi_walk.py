#!/usr/bin/python3
"""What a screen reader finds in veltrane, asked over AT-SPI as a screen reader asks.

Starts the application with accessibility on, reaches each of its windows the way a user would (by
pressing buttons and choosing tabs through their accessible actions), and in each window (each tab
of a window with tabs) checks that:
  - every control a user can work with (focusable, or offering an action) has a name and a role;
  - every grid answers as a table: cells in their places, headers as the columns' titles;
  - Tab, pressed on the X server, reaches every control in reading order: top to bottom, left to
    right on a line, a column of controls before the one to its right.
Some windows check more (the WINDOWS table). Run it with an X server, a session bus and the
accessibility bus (run_atspi.sh).
"""

import argparse
import os
import re
import subprocess
import sys
import time
from types import SimpleNamespace

import pyatspi
from gi.repository import GLib

WALK_LIMIT = 4000  # nodes per window: grids are read through their table interface
CELL_LIMIT = 400  # cells read per grid
TAB_PRESSES = 80  # the most Tab presses one round of a window may take
TABLE_CELLS = (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_CHECK_BOX)
INTERACTIVE = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX,
               pyatspi.ROLE_TEXT, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_PAGE_TAB_LIST,
               pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE, pyatspi.ROLE_MENU_ITEM}
TAB_STOPS = INTERACTIVE - {pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_MENU_ITEM}
NO_ROLE = {pyatspi.ROLE_UNKNOWN, pyatspi.ROLE_INVALID, pyatspi.ROLE_FILLER, pyatspi.ROLE_PANEL}


class Failure(Exception):
    pass


# ---- talking to the bus -------------------------------------------------------------------------------

def pump(seconds):
    """Lets the main loop deliver the bus's events for a while."""
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


def has(node, state):
    return node.getState().contains(state)


def showing(node):
    return has(node, pyatspi.STATE_SHOWING) and has(node, pyatspi.STATE_VISIBLE)


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
    return "%s \"%s\" at %s" % (node.getRoleName(), node.name, extents(node))


def children(node):
    return [c for c in (node.getChildAtIndex(i) for i in range(node.childCount)) if c is not None]


def walk(root):
    """The showing nodes under root, depth first; a grid's cells are read through its table."""
    stack, seen = [root], 0
    while stack:
        node = stack.pop()
        seen += 1
        if seen > WALK_LIMIT:
            raise Failure("more than %d nodes under %s" % (WALK_LIMIT, describe(root)))
        yield node
        if node.getRole() != pyatspi.ROLE_TABLE:
            stack.extend(reversed([c for c in children(node) if showing(c)]))


def inside(node, root, depth=20):
    for _ in range(depth):
        node = node.parent
        if node is None or node == root:
            return node is not None
    return False


def find_window(app, title):
    return wait_for("a window titled " + title, lambda: next(
        (w for w in children(app) if re.fullmatch(title, w.name or "") and showing(w)), None))


def find(window, role, name):
    found = next((n for n in walk(window) if n.getRole() == role and n.name == name), None)
    if found is None or not actions(found):
        raise Failure("no %s \"%s\" to act on in %s" % (role, name, window.name))
    return found


def press(window, name):
    find(window, pyatspi.ROLE_PUSH_BUTTON, name).queryAction().doAction(0)


def choose_tab(window, name):
    # The action changes the tab before it answers.
    find(window, pyatspi.ROLE_PAGE_TAB, name).queryAction().doAction(0)
    pump(0.3)


# ---- what every window is checked for --------------------------------------------------------------------

def check_names(window, where):
    def interactive(node):
        if node.getRole() == pyatspi.ROLE_TEXT and not has(node, pyatspi.STATE_EDITABLE):
            return has(node, pyatspi.STATE_FOCUSABLE)  # a label's text, unless it takes the keyboard
        return has(node, pyatspi.STATE_FOCUSABLE) or bool(actions(node)) or node.getRole() in INTERACTIVE
    unnamed = [describe(n) for n in walk(window) if n is not window and interactive(n)
               and (not (n.name or "").strip() or n.getRole() in NO_ROLE)]
    if unnamed:
        raise Failure("%s: controls a screen reader cannot tell (no name or no role):\n  %s"
                      % (where, "\n  ".join(unnamed)))


def table_texts(node):
    """The grid's cells as a screen reader reads them (a box as True or False), each checked to know
    its place, and the headers checked against the columns' titles."""
    table, where = node.queryTable(), describe(node)
    if table.nColumns < 1:
        raise Failure(where + ": no columns")
    texts = []
    for r in range(min(table.nRows, CELL_LIMIT // table.nColumns)):
        texts.append([])
        for c in range(table.nColumns):
            cell, index = table.getAccessibleAt(r, c), table.getIndexAt(r, c)
            if cell is None or cell.getRole() not in TABLE_CELLS or \
                    (table.getRowAtIndex(index), table.getColumnAtIndex(index)) != (r, c):
                raise Failure("%s: the cell at %d, %d is missing or out of place" % (where, r, c))
            checkable = has(cell, pyatspi.STATE_CHECKABLE)
            texts[-1].append(has(cell, pyatspi.STATE_CHECKED) if checkable else cell.name)
    for c in range(table.nColumns):
        header = table.getColumnHeader(c)
        if header is not None and header.name != table.getColumnDescription(c):
            raise Failure("%s: column %d is titled \"%s\", its header cell says \"%s\""
                          % (where, c, table.getColumnDescription(c), header.name))
    return texts


def tables(window):
    return {n.name: n for n in walk(window) if n.getRole() == pyatspi.ROLE_TABLE}


class FocusWatch:
    def __init__(self):
        self.focused = []
        pyatspi.Registry.registerEventListener(
            lambda e: e.detail1 and self.focused.append(e.source), "object:state-changed:focused")

    def tab(self):
        """Presses Tab and answers the control that takes the focus (a grid for its current cell)."""
        before = len(self.focused)
        subprocess.run(["xdotool", "key", "--clearmodifiers", "Tab"], check=True)
        wait_for("the focus to move", lambda: len(self.focused) > before, timeout=10)
        pump(0.05)
        node = self.focused[-1]
        parent = node.parent
        return parent if node.getRole() in TABLE_CELLS and parent and parent.getRole() == pyatspi.ROLE_TABLE else node


def backward(previous, following, tolerance=4):
    """Whether a step goes back in reading order: left on the same line, or up and left. Up and to
    the right starts the next column of controls."""
    (px, py, _, ph), (fx, fy, _, _) = previous, following
    return fy < py + ph - tolerance and fx < px - tolerance


def check_focus_order(window, where, watch):
    """Tabs once around the window: every control that takes the keyboard is reached, in reading
    order, with one step back only, from the last control to the first."""
    first = watch.tab()
    cycle = [first]
    for _ in range(TAB_PRESSES):
        node = watch.tab()
        if node == first:
            break
        if node != cycle[-1]:
            cycle.append(node)
    else:
        raise Failure("%s: Tab never came back to %s" % (where, describe(first)))
    boxes = [extents(n) for n in cycle]
    back = ["%s -> %s" % (describe(cycle[i - 1]), describe(cycle[i % len(cycle)]))
            for i in range(1, len(cycle) + 1) if backward(boxes[i - 1], boxes[i % len(cycle)])]
    if len(back) != 1:
        raise Failure("%s: the focus goes back %d times:\n  %s\nin the order:\n  %s"
                      % (where, len(back), "\n  ".join(back), "\n  ".join(describe(n) for n in cycle)))
    # Tab stops at the chosen option of a group; the arrow keys choose among them.
    groups = [n.parent for n in cycle if n.getRole() == pyatspi.ROLE_RADIO_BUTTON]
    missed = [describe(n) for n in walk(window)
              if n.getRole() in TAB_STOPS and has(n, pyatspi.STATE_FOCUSABLE) and has(n, pyatspi.STATE_ENABLED)
              and n not in cycle and not (n.getRole() == pyatspi.ROLE_RADIO_BUTTON and n.parent in groups)]
    if missed:
        raise Failure("%s: Tab never reaches:\n  %s" % (where, "\n  ".join(missed)))
    return [n.name for n in cycle]


# ---- what some windows are checked for -------------------------------------------------------------------

def locus_tags_as_shown(window, run):
    """The selection window's locus tags are the ones `veltrane show` prints for the set."""
    shown = run.command("show", "DefaultFragmentAnalysisParameters").split("Locus Tags:")[1]
    expected = [line.strip().split("\t") for line in shown.splitlines() if line.startswith("  ")]
    got = [row[:2] for row in table_texts(tables(window)["Locus Tags"])]
    if got != expected:
        raise Failure("the locus tag grid says %s, veltrane show says %s" % (got, expected))


def row_moves_announced(window, run):
    """A row clicked in Available is announced as selected; moved by Add Selected, it is announced
    arriving in Selected, at the end."""
    grids = tables(window)
    available, selected = grids["Available:"], grids["Selected:"]
    heard = []
    kinds = ("object:state-changed:selected", "object:children-changed")
    listen = lambda e: heard.append((e.type, e.source, e.detail1, e.any_data))  # noqa: E731
    pyatspi.Registry.registerEventListener(listen, *kinds)
    try:
        pump(0.5)
        cell = available.queryTable().getAccessibleAt(0, 0)
        name = cell.name
        cell.queryAction().doAction(actions(cell).index("Press"))
        wait_for("the row to be announced as selected", lambda: any(
            k == "object:state-changed:selected" and s.name == name and on for k, s, on, _ in heard))
        press(window, "Add Selected SNP Locus Tags")
        wait_for("the moved row to be announced in Selected", lambda: any(
            k.startswith("object:children-changed:add") and s == selected and d is not None and d.name == name
            for k, s, _, d in heard))
        table = selected.queryTable()
        if table.getAccessibleAt(table.nRows - 1, 0).name != name:
            raise Failure("the moved row %s is not the last of Selected" % name)
    finally:
        pyatspi.Registry.deregisterEventListener(listen, *kinds)


def imports_the_file(window, run):
    """Import stores the file's set; Close leads to the manager window."""
    press(window, "Import")
    wait_for("the import's outcome", lambda: next(
        (n for n in walk(window) if n.getRole() == pyatspi.ROLE_LABEL and n.name.startswith("Imported ")), None))
    press(window, "Close")
    find_window(run.app, MANAGER)
    if "Imported set" not in run.command("list").splitlines():
        raise Failure("the import window did not store the set")


# ---- the windows ---------------------------------------------------------------------------------------------

EDITOR = "Edit Fragment Analysis Parameters"
MANAGER = "Parameter Sets - .*"
HISTORY = "History of .*"


def lists_every_set(window, run):
    """The manager's list names every set `veltrane list` names (and the hidden ones besides)."""
    listed = set(run.command("list").splitlines())
    shown = {row[0] for row in table_texts(tables(window)["Parameter sets"])}
    if listed - shown:
        raise Failure("the manager does not list %s" % sorted(listed - shown))

def refusal_is_heard(window, run):
    """A refused action comes up as an alert with the store's sentence and the keyboard on its button;
    Escape leaves it, and the window keeps the sentence in a line."""
    default = "DefaultFragmentAnalysisParameters"
    press(window, "Rename...")
    find_window(run.app, "Rename Parameter Set")
    pump(0.3)
    before = len(run.watch.focused)
    # The name field has the keyboard, its text chosen: the default set's name replaces it.
    subprocess.run(["xdotool", "type", "--delay", "20", default], check=True)
    subprocess.run(["xdotool", "key", "--clearmodifiers", "Return"], check=True)
    box = find_window(run.app, "Not Done")
    if box.getRole() != pyatspi.ROLE_ALERT:
        raise Failure("the refusal is a %s, which a screen reader does not announce as an alert" % box.getRoleName())
    if not any(default in (n.name or "") for n in walk(box) if n.getRole() == pyatspi.ROLE_LABEL):
        raise Failure("the refusal does not say why: %s" % [n.name for n in walk(box)])
    focused = wait_for("the keyboard in the refusal", lambda: next(
        (n for n in run.watch.focused[before:] if n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "OK"), None))
    if not inside(focused, box):
        raise Failure("the keyboard went to %s, not into the refusal" % describe(focused))
    subprocess.run(["xdotool", "key", "--clearmodifiers", "Escape"], check=True)
    wait_for("the refusal to close", lambda: not any(
        w.name == "Not Done" and showing(w) for w in children(run.app)))
    wait_for("the refusal's line in the window", lambda: next(
        (n for n in walk(window) if n.getRole() == pyatspi.ROLE_LABEL and n.name.startswith("Not done: ")), None))


def manager_checks(window, run):
    lists_every_set(window, run)
    refusal_is_heard(window, run)


# Each window of the application, in the order a user reaches them: the steps that reach it from
# the window before ("start" starts the application with those arguments), the checks of a tab or
# of the window beyond every window's, and the button that leaves it. A window the application adds
# is one more row.
WINDOWS = [
    dict(name="manager", title=MANAGER, reach=[("start", [])], check=manager_checks),
    dict(name="history", title=HISTORY, reach=[("press", MANAGER, "History...")]),
    dict(name="compare", title="Compare Parameter Sets", reach=[("press", HISTORY, "Compare...")], leave="Close"),
    dict(name="selection", title="Analysis Parameters", reach=[("start", ["select"])], check=locus_tags_as_shown),
    dict(name="editor", title=EDITOR, reach=[("press", "Analysis Parameters", "Edit")],
         tabs={"SNP Locus Tags": row_moves_announced}),
    dict(name="save-as", title="Save Analysis Parameters As", reach=[("press", EDITOR, "Save As...")],
         leave="Cancel"),
    dict(name="SNP tag editor", title="(New )?SNP Locus Tag.*",
         reach=[("tab", EDITOR, "SNP Locus Tags"), ("press", EDITOR, "New Locus")], leave="Cancel"),
    dict(name="import", title="Import Parameter Sets", reach=[("start", ["lab.veltrane.json"])],
         check=imports_the_file),
]


def check_window(row, run, watch):
    window = find_window(run.app, row["title"])
    pump(0.5)
    tabs = row.get("tabs", {})
    pages = [None]
    if tabs:
        tab_list = next(n for n in walk(window) if n.getRole() == pyatspi.ROLE_PAGE_TAB_LIST)
        pages = [t.name for t in children(tab_list) if t.getRole() == pyatspi.ROLE_PAGE_TAB]
        if set(tabs) - set(pages):
            raise Failure("%s has no tabs %s" % (row["name"], sorted(set(tabs) - set(pages))))
    for page in pages:
        where = row["name"] + (" (%s)" % page if page else "")
        if page:
            choose_tab(window, page)
        check_names(window, where)
        for grid in tables(window).values():
            table_texts(grid)
        print("%s: named, focus order %s" % (where, " > ".join(check_focus_order(window, where, watch))))
        if page in tabs:
            tabs[page](window, run)
    if "check" in row:
        row["check"](window, run)
    if "leave" in row:
        press(window, row["leave"])
        wait_for(row["name"] + " to close", lambda: not any(
            re.fullmatch(row["title"], w.name or "") and showing(w) for w in children(run.app)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", required=True, help="the veltrane program")
    parser.add_argument("--work", required=True, help="a scratch folder")
    args = parser.parse_args()
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LC_ALL="C.UTF-8",
               XDG_DATA_HOME=os.path.join(args.work, "data"))
    store = os.path.join(args.work, "store.sqlite")
    run = SimpleNamespace(process=None, app=None, command=lambda *words: subprocess.run(
        [args.app, "--db", store, *words], env=env, check=True, capture_output=True, text=True).stdout)
    # The exchange file the import window opens: the default set under another name.
    exchange = os.path.join(args.work, "lab.veltrane.json")
    run.command("export", "DefaultFragmentAnalysisParameters", "-o", exchange)
    with open(exchange, encoding="utf-8") as f:
        text = f.read().replace('"DefaultFragmentAnalysisParameters"', '"Imported set"')
    with open(exchange, "w", encoding="utf-8") as f:
        f.write(text)

    watch = FocusWatch()
    run.watch = watch
    try:
        for row in WINDOWS:
            for step, where, what in [(s[0], None, s[1]) if s[0] == "start" else s for s in row["reach"]]:
                if step == "start":
                    if run.process:
                        run.process.kill()
                        run.process.wait(timeout=30)
                        wait_for("the application to leave the bus", lambda: not any(
                            a.name == "veltrane" for a in children(pyatspi.Registry.getDesktop(0))))
                    files = [os.path.join(args.work, f) if f.endswith(".json") else f for f in what]
                    run.process = subprocess.Popen([args.app, "--db", store, *files], env=env,
                                                   stdout=subprocess.DEVNULL)
                    run.app = wait_for("veltrane on the accessibility bus", lambda: next(
                        (a for a in children(pyatspi.Registry.getDesktop(0)) if a.name == "veltrane"), None))
                else:
                    (press if step == "press" else choose_tab)(find_window(run.app, where), what)
            check_window(row, run, watch)
    except Failure as failure:
        print("FAIL: %s" % failure, file=sys.stderr)
        return 1
    finally:
        if run.process:
            run.process.kill()
            run.process.wait(timeout=30)
    return 0


if __name__ == "__main__":
    sys.exit(main())
