#!/usr/bin/env python3
"""End-to-end posting test.

Starts a board on 127.0.0.1, puts a stand-in xdg-open (which fetches with curl, as a browser
would) first on PATH, runs e2e_post to play two games and post them through the real result
window and the real Qt platform, then checks field by field that the board received exactly
what was typed.

The board is one class with start(), wait_for_posts() and stop(); RecordingBoard only records
request targets, and a board that stores posts can take its place without touching the checks.
"""

import argparse
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

KEYS = ["mode", "name", "email", "sub", "comment", "url", "pwd", "cook"]
MAIN = "/home/velmora/cgi-bin/aska/aska.cgi"
DEMO = "/home/velmora/cgi-bin/aska/demoaska.cgi"

# Hostile text in every field: query delimiters, escapes, spaces, pasted line breaks,
# Japanese, characters outside code page 932 and emoji.
POSTS = [
    {
        "name": "た&ろ=う#?+%;  𠮷😀",
        "email": "a+b@example.jp&pwd=stolen",
        "url": "http://example.jp/?q=1&r=2#frag",
        "comment": "がんばった&pwd=x\r\n2行目 100% ; +plus+ %41 👍🏽",
        "pwd": "p@ss w0rd&cook=off=#?",
    },
    {
        "name": "デモ\n太郎 ｶﾀｶﾅ",
        "email": "",
        "url": "",
        "comment": "&&==??##  ",
        "pwd": "%00%zz🔑",
    },
]
EXPECTED = [
    (MAIN, "私は10秒で85回クリックできました。"),
    (DEMO, "私は10秒で125回クリックできました。"),
]


class RecordingBoard:
    """An HTTP server on 127.0.0.1 that records every request target and answers 200."""

    def __init__(self):
        targets = self.targets = []
        lock = self.lock = threading.Lock()

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                with lock:
                    targets.append(self.path)
                body = b"<html><body>ok</body></html>"
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def start(self):
        self.thread.start()
        return self.server.server_address[1]

    def wait_for_posts(self, count, timeout):
        """Returns up to count posts as (path, [(key, value), ...]) once they have arrived."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self.lock:
                if len(self.targets) >= count:
                    break
            time.sleep(0.1)
        with self.lock:
            targets = list(self.targets)
        posts = []
        for target in targets:
            parts = urllib.parse.urlsplit(target)
            fields = urllib.parse.parse_qsl(parts.query, keep_blank_values=True,
                                            strict_parsing=True, encoding="utf-8",
                                            errors="strict")
            posts.append((parts.path, fields))
        return posts

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def check(posts, opened, host):
    errors = []
    if len(posts) != len(POSTS):
        errors.append(f"the board received {len(posts)} posts, expected {len(POSTS)}")
    for typed, (path, sentence) in zip(POSTS, EXPECTED):
        found = [fields for p, fields in posts if p == path]
        if len(found) != 1:
            errors.append(f"{path}: {len(found)} posts, expected 1")
            continue
        fields = found[0]
        keys = [k for k, _ in fields]
        if keys != KEYS:
            errors.append(f"{path}: keys {keys}, expected {KEYS}")
        want = {"mode": "regist", "name": typed["name"], "email": typed["email"], "sub": "結果",
                "comment": sentence + typed["comment"], "url": typed["url"],
                "pwd": typed["pwd"], "cook": "on"}
        for key, value in fields:
            if want.get(key) != value:
                errors.append(f"{path}: {key} is {value!r}, expected {want.get(key)!r}")

    # What the program handed to the opener: one argument, on the build's board host.
    calls = opened.split("argc ")[1:]
    if len(calls) != len(POSTS):
        errors.append(f"xdg-open ran {len(calls)} times, expected {len(POSTS)}")
    for call in calls:
        lines = call.splitlines()
        if lines[0] != "1" or not lines[1].startswith(f"arg http://{host}/home/velmora/"):
            errors.append(f"unexpected xdg-open call: {lines}")
    return errors


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--opener", required=True, help="the stand-in xdg-open")
    parser.add_argument("--host", required=True, help="the board host the build posts to")
    parser.add_argument("--platform", default="offscreen")
    parser.add_argument("--xvfb-run", help="run on a virtual X display through this xvfb-run")
    args = parser.parse_args()

    board = RecordingBoard()
    port = board.start()
    try:
        with tempfile.TemporaryDirectory(prefix="ponpira-e2e-") as tmp:
            bindir = os.path.join(tmp, "bin")
            os.mkdir(bindir)
            shutil.copy(args.opener, os.path.join(bindir, "xdg-open"))
            os.chmod(os.path.join(bindir, "xdg-open"), 0o755)
            entries = os.path.join(tmp, "entries.json")
            with open(entries, "w", encoding="utf-8") as f:
                json.dump({"posts": POSTS}, f, ensure_ascii=False)
            log = os.path.join(tmp, "opened.log")
            open(log, "w").close()

            env = dict(os.environ, PATH=bindir + os.pathsep + os.environ.get("PATH", ""),
                       QT_QPA_PLATFORM=args.platform, LC_ALL="C.UTF-8",
                       E2E_OPENED_LOG=log, E2E_BOARD_PORT=str(port))
            command = [args.program, entries]
            if args.xvfb_run:
                command = [args.xvfb_run, "--auto-servernum"] + command
            run = subprocess.run(command, env=env, timeout=240, capture_output=True, text=True)
            sys.stderr.write(run.stderr)
            posts = board.wait_for_posts(len(POSTS), timeout=60 if run.returncode == 0 else 5)
            with open(log, encoding="utf-8") as f:
                opened = f.read()
    finally:
        board.stop()

    errors = [] if run.returncode == 0 else [f"e2e_post exited with {run.returncode}"]
    errors += check(posts, opened, args.host)
    for error in errors:
        print("FAIL:", error)
    if not errors:
        print(f"PASS: {len(posts)} posts arrived field by field as typed")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
