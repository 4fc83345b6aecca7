#!/usr/bin/python3
"""The window as a screen reader and a keyboard meet it.

Starts the real program under Xvfb with Qt's accessibility bridge on, against the reader
simulator on COM1, inside the D-Bus session that `dbus-run-session` gives this script. Then:
  1. walks the accessibility tree of every page over AT-SPI: no control that takes the focus
     or shows a value is without a name, and Tab visits every control in the page's visual
     order, the page tree included;
  2. from the keyboard alone (xdotool key events, no pointer): MSR Setting, the page tree to
     MSR Track 2, its prefix switched on, the codes 13 and 10 typed into the key pad and added,
     and the settings saved: Default.cfg holds them at the prefix of track 2.

usage: dbus-run-session -- accessible_window.py R550TOOL R550_SIM R550CTL ARTIFACTS
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

MAIN_CAPTION = "Tarvik--R550 Programming Tools V1.00"
# Roles a screen reader names a control by; labels and panes show no value of their own here.
NAMED_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST, pyatspi.ROLE_LABEL,
}


class Failure(Exception):
    pass


def wait_for(what, condition, limit=30.0, step=0.1):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    raise Failure(f"{what}: not within {limit:.0f} s")


class Session:
    """Xvfb, the simulated reader and the program, in a temporary folder."""

    def __init__(self, tool, sim, folder):
        self.folder = folder
        self.processes = []
        for sub in ("ports", "work", "home", "runtime"):
            os.makedirs(os.path.join(folder, sub), exist_ok=True)
        os.chmod(os.path.join(folder, "runtime"), 0o700)
        try:
            self.display = self._start_display()
            self._start_reader(os.path.abspath(sim))
            self._start_tool(os.path.abspath(tool))
        except BaseException:
            self.stop()
            raise

    def _spawn(self, arguments, log, **options):
        out = open(os.path.join(self.folder, log), "wb")
        process = subprocess.Popen(arguments, stdout=out, stderr=subprocess.STDOUT, **options)
        self.processes.append(process)
        return process

    def _start_display(self):
        read_end, write_end = os.pipe()
        self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp", "-noreset"], "xvfb.log", pass_fds=(write_end,))
        os.close(write_end)
        announced = b""
        while not announced.endswith(b"\n"):
            chunk = os.read(read_end, 32)
            if not chunk:
                raise Failure("Xvfb ended before it announced a display")
            announced += chunk
        os.close(read_end)
        return ":" + announced.decode().strip()

    def _start_reader(self, sim):
        link = os.path.join(self.folder, "ports", "com1")
        self._spawn([sim, "--link", link, "--log", os.path.join(self.folder, "sim.log"),
                     "--memory", os.path.join(self.folder, "sim.mem")], "sim.out")
        wait_for("the simulator's ready line",
                 lambda: "r550-sim: COM link" in self.read("sim.out"), 10)

    def _start_tool(self, tool):
        environment = dict(os.environ)
        home = os.path.join(self.folder, "home")
        environment.update({
            "DISPLAY": self.display, "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1",
            "R550_PORTS_DIR": os.path.join(self.folder, "ports"),
            "R550_PORT_IO": "trace:" + os.path.join(self.folder, "trace.txt"),
            "HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_RUNTIME_DIR": os.path.join(self.folder, "runtime"),
        })
        self.tool = self._spawn([tool], "tool.out", cwd=self.work(), env=environment)

    def work(self, name=""):
        return os.path.join(self.folder, "work", name)

    def read(self, name):
        try:
            with open(os.path.join(self.folder, name), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def focus_window(self, caption):
        """There is no window manager: the window gets the keyboard when it is given it."""
        subprocess.run(["xdotool", "search", "--name", "^" + caption + "$", "windowfocus"],
                       env=dict(os.environ, DISPLAY=self.display), check=True)

    def window_showing(self, caption):
        return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + caption + "$"],
                              env=dict(os.environ, DISPLAY=self.display),
                              capture_output=True).returncode == 0

    def keys(self, *names):
        """Key events as the operator types them, to the window that has the keyboard."""
        for name in names:
            subprocess.run(["xdotool", "key", "--delay", "60", name],
                           env=dict(os.environ, DISPLAY=self.display), check=True)
            time.sleep(0.12)

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path],
                       check=False)

    def stop(self):
        for process in reversed(self.processes):
            process.terminate()
        for process in reversed(self.processes):
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


# ---- the accessibility tree ----------------------------------------------------------------

def main_window(session):
    def find():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None:
                continue
            for window in app:
                if (window is not None and window.name == MAIN_CAPTION
                        and states(window).contains(pyatspi.STATE_SHOWING)):
                    return window
        return None
    return wait_for("the main window on the accessibility bus", find, 60, 0.3)


def states(node):
    return node.getState()


def showing_controls(window):
    """Every showing node that takes the focus or has a role that shows a value."""
    found = []

    def walk(node):
        for child in node:
            if child is None:
                continue
            state = states(child)
            if not state.contains(pyatspi.STATE_SHOWING):
                continue
            if state.contains(pyatspi.STATE_FOCUSABLE) or child.getRole() in NAMED_ROLES:
                found.append(child)
            if child.getRole() not in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
                                       pyatspi.ROLE_MENU_BAR, pyatspi.ROLE_LIST):
                walk(child)
    walk(window)
    return found


def label_of(node):
    """What a screen reader calls the node: its name, or the label it is labelled by."""
    if node.name:
        return node.name
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                if relation.getTarget(i).name:
                    return relation.getTarget(i).name
    if node.getRole() == pyatspi.ROLE_COMBO_BOX:
        # Qt names a list by its text on Linux; the focus goes to its named text field.
        for child in node:
            if child is not None and child.getRole() == pyatspi.ROLE_TEXT and child.name:
                return child.name
    return ""


def place(node):
    extents = node.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    return extents.x, extents.y


def describe(node):
    x, y = place(node)
    return f"{node.getRoleName()} \"{label_of(node)}\" at {x},{y}"


def focused(window):
    def walk(node):
        for child in node:
            if child is None or not states(child).contains(pyatspi.STATE_SHOWING):
                continue
            if child.getRole() in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE):
                # Its current item says focused even while the tree has no focus.
                if states(child).contains(pyatspi.STATE_FOCUSED):
                    return child
                continue
            if states(child).contains(pyatspi.STATE_FOCUSED):
                return walk(child) or child
            inner = walk(child)
            if inner is not None:
                return inner
        return None
    return walk(window)


def tab_to(session, window, wanted, key="Tab", limit=40):
    """Presses Tab (or another key) until the focused control is `wanted` (role, name)."""
    for _ in range(limit):
        node = focused(window)
        if node is not None and (node.getRole(), label_of(node)) == wanted:
            return node
        session.keys(key)
    raise Failure(f"{key} never reached {wanted}; the focus is on "
                  f"{describe(node) if node is not None else 'nothing'}")


def in_reading_order(places):
    """Each control lies below the one before, right of it on the same row, or in a column right
    of every control before it."""
    for i in range(1, len(places)):
        (ax, ay), (bx, by) = places[i - 1], places[i]
        same_row = abs(by - ay) <= 4
        if not (by > ay + 4 or (same_row and bx > ax) or bx > max(x for x, _ in places[:i])):
            return False
    return True


def check_page(session, window, page, report):
    """Names and the Tab cycle of the page shown."""
    controls = showing_controls(window)
    report["controls"] += len(controls)
    report["pages"] += 1
    for node in controls:
        if not label_of(node):
            report["unnamed"].append(f"{page}: {describe(node)}")
    cycle = []
    for _ in range(60):
        node = focused(window)
        if node is None:
            raise Failure(f"{page}: nothing has the focus")
        stop = (node.getRole(), label_of(node), place(node))
        if stop in cycle:
            break
        cycle.append(stop)
        session.keys("Tab")
    first = min(range(len(cycle)),
                key=lambda i: (cycle[i][0] != pyatspi.ROLE_TREE, cycle[i][2][1], cycle[i][2][0]))
    cycle = cycle[first:] + cycle[:first]
    if not in_reading_order([stop[2] for stop in cycle]):
        report["order"].append(f"{page}: " + ", ".join(f"{name}@{x},{y}"
                                                         for _, name, (x, y) in cycle))
    reached = {(role, name) for role, name, _ in cycle}
    for node in controls:
        takes_tab = (states(node).contains(pyatspi.STATE_FOCUSABLE)
                     and states(node).contains(pyatspi.STATE_SENSITIVE)
                     and node.getRole() not in (pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX))
        if takes_tab and (node.getRole(), label_of(node)) not in reached:
            report["unreached"].append(f"{page}: {describe(node)}")
    print(f"{page}: {len(controls)} controls, Tab: " + " > ".join(name for _, name, _ in cycle))


def walk_every_page(session, window, report):
    """Every page and both layouts of the Main Settings page, reached from the keyboard."""
    check_page(session, window, "Main Settings (RS232)", report)
    tab_to(session, window, (pyatspi.ROLE_RADIO_BUTTON, "Keyboard Wedge"))
    session.keys("space")
    check_page(session, window, "Main Settings (Keyboard Wedge)", report)
    session.keys("alt+s", "Down", "Return")  # Settings > MSR Setting
    for box in ("Prefix", "Suffix"):  # both entries and the key pad shown
        tab_to(session, window, (pyatspi.ROLE_CHECK_BOX, box))
        session.keys("space")
    check_page(session, window, "MSR Main Settings", report)
    tree = (pyatspi.ROLE_TREE, "Settings pages")
    tab_to(session, window, tree)
    session.keys("Right")  # expands "MSR Main Settings"
    for page in ("MSR Track 1", "MSR Track 2", "MSR Track 3", "ISO group"):
        session.keys("Down")
        check_page(session, window, page, report)
        tab_to(session, window, tree)
    session.keys("Right")
    for page in ("ISO Track 1", "ISO Track 2", "ISO Track 3"):
        session.keys("Down")
        check_page(session, window, page, report)
        tab_to(session, window, tree)


def text_of(node):
    return node.queryText().getText(0, -1)


def add_codes_to_track2_prefix(session, window):
    """From the tree: MSR Track 2, its prefix on, 13 and 10 through the key pad, and Save."""
    session.keys("Home", "Down", "Down")
    wait_for("the title of MSR Track 2", lambda: any(
        node.getRole() == pyatspi.ROLE_LABEL and node.name == "MSR Track 2"
        for node in showing_controls(window)), 5)
    tab_to(session, window, (pyatspi.ROLE_CHECK_BOX, "Prefix"))
    session.keys("space")
    prefix = tab_to(session, window, (pyatspi.ROLE_TEXT, "Prefix"))
    # Left backwards, the prefix entry is the one the key pad works for (forwards, the focus
    # would pass the suffix entry on its way).
    key_pad = (pyatspi.ROLE_TEXT, "Key pad allow you to input ASCII code(1~255)")
    ok = (pyatspi.ROLE_PUSH_BUTTON, "Add the code to the list")
    for digits in (("1", "3"), ("1", "0")):
        entry = tab_to(session, window, key_pad, "shift+Tab")
        session.keys(*digits)
        if text_of(entry) != "".join(digits):
            raise Failure(f"the key pad entry shows \"{text_of(entry)}\" after typing {digits}")
        tab_to(session, window, ok)
        session.keys("space")
    if text_of(prefix) != "T2{13}{10}":
        raise Failure(f"the prefix entry shows \"{text_of(prefix)}\"")
    session.keys("ctrl+s")
    wait_for("the box \"Save settings file ok!\"", lambda: session.window_showing("System Message"))
    session.focus_window("System Message")
    session.keys("Return")


def saved_setting(ctl, session, name):
    shown = subprocess.run([ctl, "show", session.work("Default.cfg")], capture_output=True,
                           text=True, check=True).stdout
    for line in shown.splitlines():
        if line.split()[:1] == [name]:
            return line.split(None, 1)[1].strip()
    return None


def main(tool, sim, ctl, artifacts):
    folder = tempfile.mkdtemp(prefix="r550-a11y-")
    session = Session(tool, sim, folder)
    report = {"controls": 0, "pages": 0, "unnamed": [], "order": [], "unreached": []}
    problems = []
    try:
        window = main_window(session)
        session.focus_window(MAIN_CAPTION)
        walk_every_page(session, window, report)
        print(f"AT-SPI walk: {report['pages']} pages, {report['controls']} controls that take "
              f"the focus or show a value, {len(report['unnamed'])} without a name")
        problems += [f"no name: {item}" for item in report["unnamed"]]
        problems += [f"Tab out of visual order: {item}" for item in report["order"]]
        problems += [f"Tab never reaches: {item}" for item in report["unreached"]]
        add_codes_to_track2_prefix(session, window)
        session.screenshot(os.path.join(artifacts, "track2-after-keyboard.png"))
        wait_for("Default.cfg written", lambda: saved_setting(ctl, session, "track2.prefix")
                 == "T2{13}{10}", 10)
        if saved_setting(ctl, session, "track2.send_prefix") != "on":
            problems.append("track2.send_prefix is not on in Default.cfg")
    except Failure as failure:
        problems.append(str(failure))
    finally:
        if problems:
            session.screenshot(os.path.join(artifacts, "screen.png"))
        session.stop()
    if problems:
        shutil.copytree(folder, os.path.join(artifacts, "session"), dirs_exist_ok=True)
        print("\n".join(problems), file=sys.stderr)
        print(f"artifacts kept in {artifacts}", file=sys.stderr)
        return 1
    shutil.rmtree(folder, ignore_errors=True)
    print("keyboard only: MSR Track 2's prefix is T2{13}{10} in Default.cfg")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    os.makedirs(sys.argv[4], exist_ok=True)
    sys.exit(main(*sys.argv[1:5]))
