#!/usr/bin/env python3
"""r550ctl's bash completion in a real interactive bash on a pseudo-terminal: keys are typed,
Tab pressed, and what bash draws on the line is read back.

usage: completion_test.py R550CTL COMPLETION_SCRIPT"""

import os
import pty
import select
import shutil
import sys
import tempfile
import time


def read_until_quiet(fd, quiet=0.4, limit=5.0):
    data = b""
    end = time.monotonic() + limit
    while time.monotonic() < end:
        ready, _, _ = select.select([fd], [], [], quiet)
        if not ready:
            break
        try:
            chunk = os.read(fd, 4096)
        except OSError:
            break
        if not chunk:
            break
        data += chunk
    return data.decode(errors="replace")


def main():
    program, script = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp(prefix="r550completion-")
    os.symlink(program, os.path.join(work, "r550ctl"))
    os.mkdir(os.path.join(work, "by-id"))
    open(os.path.join(work, "by-id", "usb-Reader_A1-if00"), "w").close()
    os.mkdir(os.path.join(work, "shops"))
    for name in ("a.cfg", "b.txt"):
        open(os.path.join(work, name), "w").close()
    env = dict(os.environ, PATH=work + ":" + os.environ.get("PATH", ""), TERM="dumb",
               R550_BY_ID_DIR=os.path.join(work, "by-id"), INPUTRC="/dev/null", PS1="$ ")
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(work)
        os.execvpe("bash", ["bash", "--norc", "--noprofile", "-i"], env)
    read_until_quiet(fd)
    os.write(fd, ("source '%s'; bind 'set show-all-if-ambiguous on'\n" % script).encode())
    read_until_quiet(fd)

    # (typed, what the line or the list must show, what it must not)
    cases = [
        ("r550ctl set a.cfg main.buz\t", "main.buzzer=", "main.buzzer\\="),
        ("r550ctl set a.cfg main.operating_mode=r\t", "main.operating_mode=rs232", "\\="),
        ("r550ctl set a.cfg track1.beep=of\t", "track1.beep=off", "\\="),
        ("r550ctl apply --set main.buz\t", "main.buzzer=", "main.buzzer\\="),
        ("r550ctl apply --set track1.beep=of\t", "track1.beep=off", "\\="),
        ("r550ctl apply --allow\t", "--allow-invalid", "\\="),
        ("r550ctl reset --bac\t", "--backup", "\\="),
        ("r550ctl chec\t", "check", "\\="),
        ("r550ctl show \t", "shops/", "b.txt"),
        ("r550ctl show a\t", "a.cfg", "b.txt"),
        ("r550ctl version -p COM\t", "COM9", "COM10"),
        ("r550ctl version -p %s/by-id/u\t" % work, "usb-Reader_A1-if00", "\\="),
    ]
    failures = 0
    for typed, wanted, unwanted in cases:
        os.write(fd, typed.encode())
        shown = read_until_quiet(fd)
        os.write(fd, b"\x15")  # Ctrl+U: the line is emptied for the next case
        read_until_quiet(fd, quiet=0.2)
        if wanted not in shown or unwanted in shown:
            failures += 1
            print("FAIL %r: wanted %r, not %r; bash showed %r" % (typed, wanted, unwanted, shown))
        else:
            print("ok   %r" % typed)
    os.write(fd, b"exit\n")
    os.waitpid(pid, 0)
    shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
