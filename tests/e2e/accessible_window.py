#!/usr/bin/python3
"""The window as a screen reader and a keyboard meet it, against the simulated reader on COM1.

Every page, the card swipe test and Compare with the reader are walked over AT-SPI: no control that takes the focus or
shows a value is without a name, and Tab goes round each page in its visual order, the page tree
first. The progress window of the search at start names itself, its text and its bar; the
Main Settings lists are named by their captions, not by their entries; the card swipe test says
where its marks come from, names its legend, and reads a swipe's cell as codes. Then, from the
keyboard alone: MSR Track 2, its prefix on, 13 and 10 typed into the key pad and added, Save
(which asks for a name while this start's Default.cfg is current): codes.cfg holds them at the
prefix of track 2.

usage: dbus-run-session -- xvfb-run -a accessible_window.py R550TOOL R550_SIM R550CTL ARTIFACTS
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import pyatspi

MAIN = "Tarvik--R550 Programming Tools V1.00"
PROGRESS = "Working with the reader"
CARD = ";4111111111111111=2512101?"
TREE = (pyatspi.ROLE_TREE, "Settings pages")
COMPARE = "Compare with the reader"
KEY_PAD = (pyatspi.ROLE_TEXT, "Key pad allow you to input ASCII code(1~255)")
ADD = (pyatspi.ROLE_PUSH_BUTTON, "Add the code to the list")
SHOWS_VALUE = {pyatspi.ROLE_LABEL, pyatspi.ROLE_TEXT, pyatspi.ROLE_SPIN_BUTTON,
               pyatspi.ROLE_COMBO_BOX}


def wait_for(what, condition, limit=30):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if value := condition():
            return value
        time.sleep(0.2)
    raise AssertionError(f"{what}: not within {limit} s")


def find_window(caption):
    return next((w for app in pyatspi.Registry.getDesktop(0) if app is not None for w in app
                 if w is not None and w.name == caption
                 and w.getState().contains(pyatspi.STATE_SHOWING)), None)


def keys(*names):
    for name in names:
        subprocess.run(["xdotool", "key", name], check=True)
        time.sleep(0.15)


def focus_window(caption):
    # No window manager: a window has the keyboard when it is given it.
    subprocess.run(["xdotool", "search", "--name", f"^{caption}$", "windowfocus"], check=True)


def wait_to_focus(what, caption):
    """Waits until a window of this caption shows on the display, then gives it the keyboard."""
    wait_for(what, lambda: subprocess.run(
        ["xdotool", "search", "--onlyvisible", "--name", f"^{caption}$"],
        capture_output=True).returncode == 0)
    focus_window(caption)


def showing(node):
    """The showing nodes under `node`; trees, tables, lists and menus count as one control."""
    for child in node:
        if child is not None and child.getState().contains(pyatspi.STATE_SHOWING):
            yield child
            if child.getRole() not in (pyatspi.ROLE_TREE, pyatspi.ROLE_TABLE, pyatspi.ROLE_LIST,
                                       pyatspi.ROLE_MENU_BAR):
                yield from showing(child)


def name_of(node):
    """What a screen reader calls a control: its name, or its label's (Qt names a list by its
    text on Linux; the focus goes to its text field, which carries the label's name)."""
    if node.name:
        return node.name
    related = [r.getTarget(i) for r in node.getRelationSet()
               if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
               for i in range(r.getNTargets())]
    fields = [c for c in node if c is not None and c.getRole() == pyatspi.ROLE_TEXT]
    return next((n.name for n in related + fields if n.name), "")


def stop_of(node):
    place = node.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    return node.getRole(), name_of(node), (place.x, place.y)


def focused(window):
    """The innermost focused control (a list's text field rather than the list)."""
    chain = [n for n in showing(window) if n.getState().contains(pyatspi.STATE_FOCUSED)]
    return chain[-1] if chain else None


def move_focus(window, key, before):
    """Presses Tab (or shift+Tab) and returns the focused control once the focus has left
    `before` (a stop), or after a second where it stays (a page with one stop)."""
    subprocess.run(["xdotool", "key", key], check=True)
    deadline = time.monotonic() + 1
    while True:
        node = focused(window)
        if (node is not None and stop_of(node) != before) or time.monotonic() > deadline:
            return node
        time.sleep(0.02)


def tab_to(window, wanted, key="Tab"):
    node = focused(window)
    for _ in range(40):
        if node is not None and stop_of(node)[:2] == wanted:
            return node
        node = move_focus(window, key, stop_of(node) if node is not None else None)
    raise AssertionError(f"{key} never reaches {wanted}")


def in_visual_order(places):
    """Each stop lies below the one before, right of it on its row, or in a column right of all
    before it."""
    return all(b[1] > a[1] + 4 or (abs(b[1] - a[1]) <= 4 and b[0] > a[0])
               or b[0] > max(x for x, _ in places[:i + 1])
               for i, (a, b) in enumerate(zip(places, places[1:])))


def check_page(window, page, problems):
    controls = [n for n in showing(window) if n.getRole() in SHOWS_VALUE
                or n.getState().contains(pyatspi.STATE_FOCUSABLE)]
    problems += [f"{page}: {stop_of(n)} has no name" for n in controls if not name_of(n)]
    cycle, node = [], focused(window)
    while (stop := stop_of(node)) not in cycle and len(cycle) < 60:
        cycle.append(stop)
        node = move_focus(window, "Tab", stop)
    first = min(range(len(cycle)), key=lambda i: (cycle[i][:2] != TREE, cycle[i][2][::-1]))
    cycle = cycle[first:] + cycle[:first]
    if not in_visual_order([place for _, _, place in cycle]):
        problems.append(f"{page}: Tab goes {cycle}")
    tabbed = {stop[:2] for stop in cycle}
    problems += [f"{page}: Tab never reaches {stop_of(n)}" for n in controls
                 if n.getState().contains(pyatspi.STATE_FOCUSABLE)
                 and n.getState().contains(pyatspi.STATE_SENSITIVE)
                 and n.getRole() not in (pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX,
                                         pyatspi.ROLE_LABEL)
                 and stop_of(n)[:2] not in tabbed]
    print(f"{page}: {len(controls)} controls; Tab: " + " > ".join(s[1] for s in cycle))
    return len(controls)


def named(node, role, start):
    return next((n.name for n in showing(node) if n.getRole() == role
                 and n.name.startswith(start)), None)


def check_progress_window(problems):
    """The search at start: the window, its text and its bar each have a name of their own."""
    window = wait_for("the progress window", lambda: find_window(PROGRESS), 30)
    wanted = [(pyatspi.ROLE_LABEL, PROGRESS + ", please wait"), (pyatspi.ROLE_PROGRESS_BAR,
                                                                  "Progress")]
    problems += [f"progress window: no {role} named {name!r}" for role, name in wanted
                 if named(window, role, name) != name]


def check_lists_named_by_caption(window, problems):
    for node in showing(window):
        if node.getRole() == pyatspi.ROLE_COMBO_BOX:
            labels = [r.getTarget(0).name for r in node.getRelationSet()
                      if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
            if node.name not in ("Com Port", "Baud Rate(BPS)") or labels != [node.name]:
                problems.append(f"a list is named {node.name!r}, labelled by {labels}")


def check_swipe_window(swipes, sim, problems):
    """Marked from the reader, after its settings were read back; a swipe's cell read as codes."""
    wait_for("marked from the reader",
             lambda: named(swipes, pyatspi.ROLE_LABEL, "Prefixes and suffixes: marked from the "
                           "reader"), 10)
    if not named(swipes, pyatspi.ROLE_LABEL, "Marks: yellow"):
        problems.append("card swipe test: no legend")
    sim.send_signal(signal.SIGUSR1)
    table = next(n for n in showing(swipes) if n.getRole() == pyatspi.ROLE_TABLE)
    cell = wait_for("a swipe's cell", lambda: next(
        (c.name for c in table if c is not None and c.name.startswith("track 2 data")), None), 10)
    if cell != "track 2 data 411111******1111=2512101, track 2 suffix code 13 code 10":
        problems.append(f"card swipe test: the cell reads {cell!r}")


def walk_every_page(window, sim, problems):
    count = check_page(window, "Main Settings, RS232", problems)
    check_lists_named_by_caption(window, problems)
    keys("ctrl+t")  # Reader > Card swipe test, in RS232 mode: no capture field that takes Tab
    swipes = wait_for("the card swipe test", lambda: find_window("Card swipe test"), 10)
    focus_window("Card swipe test")
    check_swipe_window(swipes, sim, problems)
    count += check_page(swipes, "Card swipe test", problems)
    keys("Escape")
    focus_window(MAIN)
    keys("alt+r", "c")  # Reader > Compare with the reader: read back at the window's pace
    compare = wait_for("Compare with the reader", lambda: find_window(COMPARE), 30)
    focus_window(COMPARE)
    count += check_page(compare, COMPARE, problems)
    keys("Escape")
    focus_window(MAIN)
    tab_to(window, (pyatspi.ROLE_RADIO_BUTTON, "Keyboard Wedge"))
    keys("space")
    count += check_page(window, "Main Settings, Keyboard Wedge", problems)
    keys("alt+s", "Down", "Return")  # Settings > MSR Setting
    for box in ("Prefix", "Suffix"):  # both entries and the key pad shown
        tab_to(window, (pyatspi.ROLE_CHECK_BOX, box))
        keys("space")
    count += check_page(window, "MSR Main Settings", problems)
    for pages in (("MSR Track 1", "MSR Track 2", "MSR Track 3", "ISO group"),
                  ("ISO Track 1", "ISO Track 2", "ISO Track 3")):
        tab_to(window, TREE)
        keys("Right")  # opens the group
        for page in pages:
            keys("Down")
            count += check_page(window, page, problems)
            tab_to(window, TREE)
    return count


def add_codes_to_track2_prefix(window):
    keys("Home", "Down", "Down")
    wait_for("MSR Track 2", lambda: any(stop_of(n)[:2] == (pyatspi.ROLE_LABEL, "MSR Track 2")
                                        for n in showing(window)), 5)
    tab_to(window, (pyatspi.ROLE_CHECK_BOX, "Prefix"))
    keys("space")
    prefix = tab_to(window, (pyatspi.ROLE_TEXT, "Prefix"))
    # Backwards, the prefix entry is the one left last and the key pad works for it; both
    # entries stay shown, so its reload after OK must not change that.
    for digits in (("1", "3"), ("1", "0")):
        entry = tab_to(window, KEY_PAD, "shift+Tab")
        keys(*digits)
        assert entry.queryText().getText(0, -1) == "".join(digits), f"typed {digits}"
        tab_to(window, ADD)
        keys("space")
    assert prefix.queryText().getText(0, -1) == "T2{13}{10}", prefix.queryText().getText(0, -1)
    keys("ctrl+s")
    wait_to_focus("Save As", "Save As")
    keys("ctrl+a")
    subprocess.run(["xdotool", "type", "codes"], check=True)
    keys("Return")
    wait_to_focus("Save settings file ok!", "System Message")
    keys("Return")


def start(folder, tool, sim):
    """The simulated reader on COM1, then the program in a working folder of its own."""
    work, ports = os.path.join(folder, "work"), os.path.join(folder, "ports")
    os.makedirs(work), os.makedirs(ports)
    out = os.path.join(folder, "sim.out")
    yield subprocess.Popen([sim, "--link", os.path.join(ports, "com1"), "--line-rate", "9600",
                            "--card", CARD], stdout=open(out, "w"), stderr=subprocess.STDOUT)
    wait_for("the simulator", lambda: "COM link" in open(out).read(), 10)
    environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                       R550_PORTS_DIR=ports, R550_PORT_IO="trace:" + os.path.join(folder, "trace"),
                       HOME=folder, XDG_CONFIG_HOME=os.path.join(folder, ".config"))
    yield subprocess.Popen([tool], cwd=work, env=environment, stderr=subprocess.STDOUT,
                           stdout=open(os.path.join(folder, "tool.out"), "w"))


def main(tool, sim, ctl, artifacts):
    folder = tempfile.mkdtemp(prefix="r550-a11y-")
    processes, problems = [], []
    try:
        processes.extend(start(folder, tool, sim))
        check_progress_window(problems)
        window = wait_for("the main window on the bus", lambda: find_window(MAIN), 60)
        focus_window(MAIN)
        count = walk_every_page(window, processes[0], problems)
        print(f"AT-SPI walk: 10 pages, the card swipe test and Compare, {count} controls that take the "
              f"focus or show a value, {sum('has no name' in p for p in problems)} without a name")
        add_codes_to_track2_prefix(window)
        saved = lambda: {o["name"]: o["text"] for o in map(json.loads, subprocess.run(
            [ctl, "--json", "show", os.path.join(folder, "work", "codes.cfg")],
            capture_output=True, text=True).stdout.splitlines())}
        wait_for("codes.cfg with the codes",
                 lambda: saved().get("track2.prefix") == "T2{13}{10}", 10)
        assert saved()["track2.send_prefix"] == "on", "track2.send_prefix"
        print("keyboard only: MSR Track 2's prefix is T2{13}{10} in codes.cfg")
    except AssertionError as failure:
        problems.append(f"{failure}")
    finally:
        subprocess.run(["import", "-window", "root", os.path.join(artifacts, "screen.png")])
        for process in processes:
            process.terminate()
            process.wait(10)
    if problems:
        shutil.copytree(folder, os.path.join(artifacts, "session"), dirs_exist_ok=True)
    shutil.rmtree(folder, ignore_errors=True)
    print("\n".join(problems), file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    os.makedirs(sys.argv[4], exist_ok=True)
    sys.exit(main(*sys.argv[1:5]))
