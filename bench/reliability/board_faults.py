#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The board under faults, on 127.0.0.1 only. Prints one line of figures per fault and exits 1
if an acknowledged post went missing, the database failed its integrity check, the server died
of a fault, or a bad request got anything but an error page.

  board_faults.py PONPIRA-BOARD [--kills N] [--writers N] [--bad N] [--no-slow]

1. Writers post without pause while the server is killed with SIGKILL and started again.
2. A full disk (a small tmpfs when this runs as root, else a file size limit set with prlimit)
   and a read-only database (chattr +i, root on ext4 or tmpfs): error pages, then recovery.
3. Slow clients that never finish their request while others read the board.
4. Requests over the limits (a flood of headers among them), broken escapes, invalid bytes
   and random bytes.
"""
import argparse, contextlib, http.client, json, os, random, re, signal, socket, sqlite3
import subprocess, sys, tempfile, threading, time, urllib.error, urllib.parse, urllib.request

MAIN = "/home/velmora/cgi-bin/aska/aska.cgi"
failures = []


def fail(what):
    failures.append(what)
    print("FAULT:", what, file=sys.stderr)


class Board:
    def __init__(self, exe, db, port=0):
        self.exe, self.db, self.port = exe, db, port
        self.start()

    def start(self):
        for _ in range(50):  # the old socket may still be closing
            # No rate limit: the writers post as fast as the board takes them.
            self.proc = subprocess.Popen([self.exe, "--port", str(self.port), "--db", self.db,
                                          "--posts-per-minute", "0"],
                                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                         text=True)
            line = self.proc.stdout.readline()
            if line.startswith("listening"):
                self.port = int(re.search(r":(\d+)/", line).group(1))
                return
            self.proc.wait()
            time.sleep(0.1)
        raise SystemExit("board_faults: the board does not start")

    def alive(self):
        return self.proc.poll() is None

    def stop(self, sig=signal.SIGTERM):
        self.proc.send_signal(sig)
        self.proc.wait(timeout=30)

    def request(self, query="", data=None, timeout=10):
        url = f"http://127.0.0.1:{self.port}{MAIN}" + ("?" + query if query else "")
        try:
            with urllib.request.urlopen(url, data=data, timeout=timeout) as r:
                return r.status, r.read().decode("utf-8", "replace")
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode("utf-8", "replace")

    def post(self, name):
        query = urllib.parse.urlencode({"mode": "regist", "name": name, "comment": "耐久"})
        status, body = self.request(query)
        match = re.search(r"No\.(\d+) として投稿しました", body)
        return status, int(match.group(1)) if status == 200 and match else None


def dump(board):
    out = subprocess.run([board.exe, "--dump", "--db", board.db], capture_output=True,
                         text=True, timeout=60, check=True).stdout
    return {p["id"]: p["name"] for p in json.loads(out)}


def integrity(db):
    with contextlib.closing(sqlite3.connect(db)) as con:
        return con.execute("PRAGMA integrity_check").fetchone()[0]


def rss(board):
    with open(f"/proc/{board.proc.pid}/status") as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read())[1])


def is_error_page(status, body):
    return 400 <= status < 600 and "<title>エラー" in body


def kills(exe, folder, count, writers):
    board = Board(exe, os.path.join(folder, "kill.sqlite3"))
    acked, attempts, stop = {}, [0], threading.Event()

    def writer(w):
        for n in range(100000):
            if stop.is_set():
                return
            name = f"w{w}-{n}"
            attempts[0] += 1
            try:
                status, post_id = board.post(name)
                if post_id:
                    acked[post_id] = name
            except (OSError, http.client.HTTPException):
                time.sleep(0.02)  # the server is down for a moment

    threads = [threading.Thread(target=writer, args=(w,)) for w in range(writers)]
    for t in threads:
        t.start()
    rng = random.Random(1)
    for _ in range(count):
        time.sleep(rng.uniform(0.1, 0.5))
        board.stop(signal.SIGKILL)
        board.start()
    time.sleep(0.3)
    stop.set()
    for t in threads:
        t.join(timeout=60)
    board.stop()
    stored = dump(board)
    lost = [i for i, name in acked.items() if stored.get(i) != name]
    check = integrity(board.db)
    if lost:
        fail(f"{len(lost)} acknowledged posts lost after kills")
    if check != "ok":
        fail(f"integrity check after kills: {check}")
    print(f"kills: {count} SIGKILLs, {attempts[0]} posts tried, {len(acked)} acknowledged, "
          f"{len(stored)} stored, {len(lost)} lost, integrity {check}")


def disk_and_readonly(exe, folder):
    mount = os.path.join(folder, "small")
    os.mkdir(mount)
    tmpfs = os.geteuid() == 0 and subprocess.run(
        ["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", mount]).returncode == 0
    board = Board(exe, os.path.join(mount, "disk.sqlite3"))
    try:
        ok_before = board.post("before")[1]
        filler = os.path.join(mount, "filler")
        if tmpfs:
            subprocess.run(["dd", "if=/dev/zero", f"of={filler}", "bs=4k"], capture_output=True)
        else:  # no room to grow: the file size limit of the running server
            subprocess.run(["prlimit", f"--pid={board.proc.pid}", "--fsize=1:"], check=True)
        pages = [board.request(urllib.parse.urlencode(
            {"mode": "regist", "name": f"full-{i}", "comment": "x" * 500})) for i in range(5)]
        refused = sum(1 for status, body in pages if status == 500 and is_error_page(status, body))
        readable = board.request()[0] == 200
        if tmpfs:
            os.remove(filler)
        else:
            subprocess.run(["prlimit", f"--pid={board.proc.pid}", "--fsize=unlimited:"], check=True)
        after = board.post("after-full")[1]
        if not (ok_before and refused == 5 and readable and after and board.alive()):
            fail(f"full disk: refused {refused}/5, readable {readable}, recovered {bool(after)}")
        print(f"full disk ({'tmpfs' if tmpfs else 'prlimit'}): 5 posts refused with an error "
              f"page: {refused == 5}, board readable: {readable}, posts after: {bool(after)}")

    finally:
        board.stop()
        if tmpfs:
            subprocess.run(["umount", mount])


def read_only(exe, folder):
    # The database file alone: making SQLite's shared-memory file immutable under it makes
    # the kernel answer its next write to the mapping with SIGBUS, which no program survives.
    board = Board(exe, os.path.join(folder, "readonly.sqlite3"))
    acked = {board.post("before")[1]: "before"}
    if subprocess.run(["chattr", "+i", board.db], capture_output=True).returncode != 0:
        print("read-only database: skipped (chattr +i needs root and ext4)")
        board.stop()
        return
    try:
        status, post_id = board.post("while-readonly")  # may still land in the WAL
        acked[post_id] = "while-readonly"
        alive = board.alive()
        board.stop()
        board.start()
        at_start = board.post("readonly-start")[0]
        readable = board.request()[0] == 200
    finally:
        subprocess.run(["chattr", "-i", board.db])
    post_id = board.post("after-readonly")[1]
    acked[post_id] = "after-readonly"
    board.stop()
    stored = dump(board)
    lost = [i for i, name in acked.items() if i and stored.get(i) != name]
    check = integrity(board.db)
    if not alive or at_start != 500 or not readable or not post_id or lost or check != "ok":
        fail(f"read-only: alive {alive}, from start {at_start}, recovered {bool(post_id)}, "
             f"lost {len(lost)}, integrity {check}")
    print(f"read-only database: post while running {status}, from the start {at_start}, "
          f"board readable: {readable}, posts after: {bool(post_id)}, lost {len(lost)}, "
          f"integrity {check}")


def slow_clients(exe, folder):
    board = Board(exe, os.path.join(folder, "slow.sqlite3"))
    for count in (1, 15):
        idle = [socket.create_connection(("127.0.0.1", board.port)) for _ in range(count)]
        for s in idle:
            s.sendall(f"GET {MAIN} HTTP/1.1\r\nHost: 127.0.0.1\r\n".encode())
        start = time.monotonic()
        answered = sum(1 for _ in range(20) if board.request(timeout=30)[0] == 200)
        took = time.monotonic() - start
        for s in idle:
            s.close()
        if answered != 20:
            fail(f"{count} slow clients: {answered}/20 answered")
        print(f"slow clients: {count} never finish, 20 others answered: {answered}, "
              f"in {took:.2f} s")
    board.stop()


def bad_requests(exe, folder, count):
    board = Board(exe, os.path.join(folder, "bad.sqlite3"))
    raw = [
        f"GET {MAIN}?{'a' * 9000} HTTP/1.1\r\nHost: h\r\n\r\n",
        f"POST {MAIN} HTTP/1.1\r\nHost: h\r\nContent-Length: 9000\r\n\r\n" + "a" * 9000,
        f"POST {MAIN} HTTP/1.1\r\nHost: h\r\nContent-Length: -5\r\n\r\n",
        f"GET {MAIN}?%00 HTTP/9.9\r\n\r\n", "BREW / HTTP/1.1\r\nHost: h\r\n\r\n",
        "GET /../../etc/passwd HTTP/1.1\r\nHost: h\r\n\r\n", "\x00\xff\r\n\r\n",
    ]
    queries = ["mode=regist&name=%", "mode=regist&name=%4", "mode=regist&name=%G1&comment=c",
               "mode=regist&name=%C0%AF&comment=c", "mode=regist&name=%ED%A0%80&comment=c",
               "mode=regist&name=%82&comment=c", "mode=regist&name=a%01&comment=c",
               "mode=regist&name=a%C2%85&comment=c", "mode=regist&name=" + "a" * 41 + "&comment=c",
               "mode=regist&comment=" + "%E3%81%82" * 501 + "&name=n", "page=0", "page=-1",
               "page=99999999999999999999", "mode=delete&no=1&pwd=x", "mode=nonsense"]
    rng = random.Random(2)
    for _ in range(count):
        junk = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 200)))
        queries.append(urllib.parse.quote(junk, safe="%&=+"))
    tried, bad = 0, 0
    for request in raw:
        tried += 1
        with socket.create_connection(("127.0.0.1", board.port), timeout=10) as s:
            s.sendall(request.encode("latin-1"))
            try:
                head = s.recv(65536).decode("utf-8", "replace")
            except TimeoutError:
                head = "no answer in 10 s"
        # Bytes that are no request line at all are left to the connection timeout.
        if not re.match(r"HTTP/1\.1 (4\d\d|505)", head) and not request.startswith("\x00"):
            bad += 1
            fail(f"raw request {request[:40]!r}: {head[:40]!r}")
    # Up to 100 MB of header lines: the answer is a 400 page or, once the server has closed
    # with the rest unread, a reset. A server that kept them would grow by hundreds of MB; the
    # slack is for a thread's first use (large under AddressSanitizer).
    tried += 1
    before = rss(board)
    with socket.create_connection(("127.0.0.1", board.port), timeout=10) as s:
        try:
            s.sendall(f"GET {MAIN} HTTP/1.1\r\nHost: h\r\n".encode())
            for _ in range(10000):
                s.sendall(b"X-Flood: " + b"f" * 9990 + b"\r\n")
            head = s.recv(100).decode()
        except OSError:
            head = "reset"
    grew = rss(board) - before
    if grew > 32768 or not (head == "reset" or head.startswith("HTTP/1.1 400")):
        bad += 1
        fail(f"header flood: {head[:20]!r}, server grew by {grew} KiB")
    print(f"header flood: up to 100 MB of headers, answer {head[:24].strip()!r}, "
          f"server grew by {grew} KiB")
    for query in queries:
        tried += 1
        status, body = board.request(query)
        if status != 200 and not (is_error_page(status, body) and status < 500):
            bad += 1
            fail(f"query {query[:40]!r}: {status}")
    # Only "%C0%AF" may be stored: not UTF-8, but good Shift_JIS (ﾀｯ).
    stored = list(dump(board).values())
    if stored != ["ﾀｯ"]:
        fail(f"bad requests stored {stored!r}")
    if not board.alive():
        fail("the board died of a bad request")
    print(f"bad requests: {tried} tried, {bad} without an error page, {len(stored)} stored "
          f"(Shift_JIS), "
          f"board alive: {board.alive()}")
    board.stop()
    return tried


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--kills", type=int, default=10)
    parser.add_argument("--writers", type=int, default=4)
    parser.add_argument("--bad", type=int, default=500)
    parser.add_argument("--no-slow", action="store_true", help="leave out the slow clients")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        kills(args.exe, folder, args.kills, args.writers)
        disk_and_readonly(args.exe, folder)
        read_only(args.exe, folder)
        if not args.no_slow:
            slow_clients(args.exe, folder)
        bad_requests(args.exe, folder, args.bad)
    print("board faults:", "none lost" if not failures else f"{len(failures)} FAILED")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
