#!/usr/bin/python3
"""Reads the game's windows over the Linux accessibility bus (AT-SPI) as a screen reader does.

Usage: atspi_check.py PATH-TO-ponpira

Starts the game on a virtual X server with a D-Bus session of its own, then checks that every
window, control and menu item has the name a screen reader should speak, that a game's cues and
numbers arrive as name changes while it runs, and that the result box with its sentence reaches
the bus. Exit code 77 (skipped) where Xvfb, D-Bus, at-spi2-core or python3-pyatspi is missing.
Bounded: the whole check is stopped after 50 seconds.
"""
import os
import shutil
import signal
import subprocess
import sys
import time

SKIP = 77
LIMIT_SECONDS = 50

FORM1 = ["ポンピラ", "タイム", "リセット", "DEMO", "結果送信", "バージョン情報", "終了",
         "経過秒数", "秒", "クリック回数", "回",
         "タイムを選択してからこのボタンをマウスで連打してください"]
FORM2 = ["結果送信", "下の内容で結果を送信します。空欄をうめてください。", "タイム", "結果",
         "お名前", "E-mail（任意）", "URL（任意）", "コメント", "削除用パスワード", "送信",
         "キャンセル"]
ABOUT = ["ポンピラのﾊﾞｰｼﾞｮﾝ情報", "ポンピラのアイコン", "ポンピラ", "OK", "ｼｽﾃﾑ情報(S)..."]
CUES = ["もっと早く", "３秒前", "２", "１", "リセットしてください。"]


def outer(game):
    for tool in ("xvfb-run", "xauth", "dbus-run-session"):
        if not shutil.which(tool):
            print(f"skipped: {tool} is not installed (Debian packages xvfb, xauth, dbus)")
            return SKIP
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        print("skipped: the accessibility bus is not installed (Debian package at-spi2-core)")
        return SKIP
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        print("skipped: python3-pyatspi is not installed")
        return SKIP
    cmd = ["xvfb-run", "-a", "-s", "-screen 0 1280x800x24 -nolisten tcp",
           "dbus-run-session", "--", sys.executable, os.path.abspath(__file__), "--inner", game]
    try:
        return subprocess.run(cmd, timeout=LIMIT_SECONDS + 10).returncode
    except subprocess.TimeoutExpired:
        print("FAIL: the check did not finish in time")
        return 1


def walk(node, limit=400):
    """Every showing element under node, breadth first, at most limit of them."""
    import pyatspi
    found, queue = [], [node]
    while queue and len(found) < limit:
        n = queue.pop(0)
        if n is None:
            continue
        found.append(n)
        for i in range(min(n.childCount, 100)):
            child = n.getChildAtIndex(i)
            if child is not None and child.getState().contains(pyatspi.STATE_SHOWING):
                queue.append(child)
    return found


def wait_for(what, probe, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = probe()
        if result:
            return result
        time.sleep(0.1)
    raise SystemExit(f"FAIL: {what} did not appear within {seconds} s")


def window(app, name):
    """A showing top-level window of the game with this name."""
    import pyatspi
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        if w is not None and w.name == name and w.getState().contains(pyatspi.STATE_SHOWING):
            return w
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "Toggle", "click"):
            return action.doAction(i)
    return action.doAction(0)


def find(root, name, roles=None):
    for n in walk(root):
        if n.name == name and (roles is None or n.getRoleName() in roles):
            return n
    return None


def find_menu_item(app_window, name):
    """Menu items live in menus that need not be showing: search the whole menu bar."""
    queue = [app_window]
    for _ in range(2000):
        if not queue:
            break
        n = queue.pop(0)
        if n is None:
            continue
        if n.getRoleName() == "menu item" and n.name == name:
            return n
        queue.extend(n.getChildAtIndex(i) for i in range(min(n.childCount, 100)))
    return None


def check_names(title, root, expected, problems):
    nodes = walk(root)
    names = {n.name for n in nodes}
    for name in expected:
        if name not in names:
            problems.append(f"{title}: nothing named 「{name}」")
    speaks = {"push button", "label", "text", "password text", "menu item", "menu", "frame",
              "dialog", "alert", "image", "icon"}
    for n in nodes:
        if n.getRoleName() in speaks and not n.name.strip():
            problems.append(f"{title}: a {n.getRoleName()} without a name")
    print(f"{title}: {len(nodes)} elements, {len(names)} names read")


def inner(game):
    import pyatspi
    from gi.repository import GLib

    signal.alarm(LIMIT_SECONDS)
    # The bus and its registry first, so that the game finds them when it starts.
    desktop = pyatspi.Registry.getDesktop(0)
    desktop.childCount
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QT_ACCESSIBILITY="1", LC_ALL="C.UTF-8")
    proc = subprocess.Popen([game], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    problems = []
    try:
        def the_game():
            for i in range(desktop.childCount):
                a = desktop.getChildAtIndex(i)
                if a is not None and a.get_process_id() == proc.pid and window(a, "ポンピラ"):
                    return a
            return None

        app = wait_for("the game on the accessibility bus", the_game, 20)
        form1 = window(app, "ポンピラ")
        check_names("Form1", form1, FORM1, problems)

        # A game: what a screen reader hears while it runs.
        heard = []
        running = [True]

        def stop():
            if running[0]:
                running[0] = False
                pyatspi.Registry.stop()
            return False

        def on_event(event):
            if event.type.startswith("object:property-change:accessible-name"):
                heard.append(event.source.name)
            if "リセットしてください。" in heard and window(app, "結果"):
                stop()

        pyatspi.Registry.registerEventListener(on_event, "object:property-change:accessible-name",
                                               "window:create", "window:activate")
        press(find_menu_item(form1, "１０秒"))
        button = find(form1, "タイムを選択してからこのボタンをマウスで連打してください",
                      {"push button"})
        wait_for("the button's enabled state", lambda: button.getState().contains(
            pyatspi.STATE_ENABLED), 5)
        press(button)
        limit_reached = []

        def on_limit():
            limit_reached.append(True)
            return stop()

        limit = GLib.timeout_add_seconds(20, on_limit)
        pyatspi.Registry.start()
        if not limit_reached:
            GLib.source_remove(limit)
        pyatspi.Registry.deregisterEventListener(on_event, "object:property-change:accessible-name",
                                                 "window:create", "window:activate")
        for cue in CUES:
            if cue not in heard:
                problems.append(f"game: the cue 「{cue}」 was not announced")
        for name in ("クリック回数 1", "経過秒数 1", "経過秒数 10"):
            if name not in heard:
                problems.append(f"game: 「{name}」 was not announced")
        print(f"game: {len(heard)} name changes heard")

        box = wait_for("the result box", lambda: window(app, "結果"), 5)
        sentences = [n.name for n in walk(box) if n.name.startswith("あなたは10秒で")]
        if not any(s.endswith("回クリックすることができました。") for s in sentences):
            problems.append("result box: its sentence is not readable")
        press(wait_for("the box's OK", lambda: find(box, "OK", {"push button"}), 5))
        wait_for("the box to close", lambda: window(app, "結果") is None, 5)

        press(find_menu_item(form1, "結果送信"))
        check_names("Form2", wait_for("Form2", lambda: window(app, "結果送信"), 5), FORM2,
                    problems)
        press(find_menu_item(form1, "バージョン情報"))
        check_names("frmAbout",
                    wait_for("frmAbout", lambda: window(app, "ポンピラのﾊﾞｰｼﾞｮﾝ情報"), 5),
                    ABOUT, problems)
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
    for p in problems:
        print("FAIL:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--inner":
        sys.exit(inner(sys.argv[2]))
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(outer(sys.argv[1]))
