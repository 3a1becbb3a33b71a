#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Usage: atspi_check.py PATH-TO-ponpira. Reads the game's window over the Linux accessibility
bus (AT-SPI) as a screen reader does, on a virtual X server with a D-Bus session of its own, for
at most 50 s. Exit code 77 (skipped) where Xvfb, D-Bus, at-spi2-core or python3-pyatspi is missing.
"""
import os
import shutil
import signal
import subprocess
import sys
import time

SKIP, LIMIT = 77, 50
# Names a screen reader must read in the game's window: the menu, what the numbers count and
# the button.
NAMES = ["タイム", "リセット", "DEMO", "終了", "経過秒数", "クリック回数",
         "タイムを選択してからこのボタンをマウスで連打してください"]


def outer(game):
    missing = [tool for tool in ("Xvfb", "dbus-run-session") if not shutil.which(tool)]
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        missing.append("at-spi2-core")
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        missing.append("python3-pyatspi")
    if missing:
        print("skipped: not installed:", ", ".join(missing))
        return SKIP
    runner = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "xvfb", "under-xvfb.sh")
    cmd = ["sh", runner, "dbus-run-session", "--", sys.executable,
           os.path.abspath(__file__), "--inner", game]
    return subprocess.run(cmd, timeout=LIMIT + 10).returncode


def elements(root, limit=2000):
    """Elements under root, breadth first, hidden ones too: a menu need not be open."""
    found, queue = [], [root]
    while queue and len(found) < limit:
        n = queue.pop(0)
        if n is not None:
            found.append(n)
            queue.extend(n.getChildAtIndex(i) for i in range(min(n.childCount, 100)))
    return found


def wait_for(what, probe, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if found := probe():
            return found
        time.sleep(0.1)
    raise SystemExit(f"FAIL: {what} did not appear within {seconds} s")


def inner(game):
    import pyatspi
    signal.alarm(LIMIT)
    desktop = pyatspi.Registry.getDesktop(0)  # the bus first, so that the game finds it
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               LC_ALL="C.UTF-8")
    proc = subprocess.Popen([game], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def children(node):
        return [c for c in map(node.getChildAtIndex, range(node.childCount)) if c is not None]

    def window(title):
        return next((w for a in children(desktop) if a.get_process_id() == proc.pid
                     for w in children(a) if w.name == title
                     and w.getState().contains(pyatspi.STATE_SHOWING)), None)

    def find(root, role, name):
        return next(n for n in elements(root)
                    if n.getRoleName() == role and n.name == name)

    problems = []
    try:
        form1 = wait_for("the game on the accessibility bus", lambda: window("ポンピラ"), 20)
        names = {n.name for n in elements(form1)}
        problems += [f"nothing named 「{name}」" for name in NAMES if name not in names]
        # A game's cue on the button reaches the bus as the button's new name.
        find(form1, "menu item", "１０秒").queryAction().doAction(0)
        button = find(form1, "push button", NAMES[-1])
        wait_for("the enabled button", lambda: button.getState().contains(pyatspi.STATE_ENABLED))
        button.queryAction().doAction(0)
        wait_for("the cue 「３秒前」", lambda: button.name == "３秒前", 15)
    finally:
        proc.kill()
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--inner":
        sys.exit(inner(sys.argv[2]))
    sys.exit(outer(sys.argv[1]) if len(sys.argv) == 2 else __doc__)
