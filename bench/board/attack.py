#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What an attacker's connections do to ponpira-board on loopback, with the board's DEFAULT
limits: the latency of page views (from 127.0.0.1) while attackers on 16 other loopback
addresses (127.0.0.2-17)

  slow      keep 1,000 idle and 100 slow-header connections open (one header line every 2 s),
            opening a new one whenever the board closes one;
  halfopen  connect 300 times a second, send half a request head and close at once;
  keys      run 64 clients posting with deletion keys and 40 wrong deletion keys a second
            (this one with --posts-per-minute 0, so that the posts are not refused cheaply);

then the server's peak memory, and the answers to a Range header of 2,700 ranges and to a
smuggling attempt. Every loop is bounded in count and time; the attackers run in processes
of their own, so that their work does not delay the measuring client.

    attack.py PONPIRA-BOARD [--only slow,halfopen,keys,other] [--seconds S] [--views N]
"""
import argparse, multiprocessing, os, re, resource, selectors, socket, subprocess, sys
import tempfile, threading, time

MAIN = "/home/velmora/cgi-bin/aska/aska.cgi"
ATTACKERS = [f"127.0.0.{i}" for i in range(2, 18)]


def start(exe, folder, extra=()):
    proc = subprocess.Popen([exe, "--port", "0", "--db", os.path.join(folder, "bench.sqlite3"), *extra],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = proc.stdout.readline()
    return proc, int(re.search(r"127\.0\.0\.1:(\d+)/", line).group(1))


def peak_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1))


def connect(port, source="127.0.0.1", timeout=10):
    return socket.create_connection(("127.0.0.1", port), timeout=timeout, source_address=(source, 0))


def exchange(port, data, timeout=10, source="127.0.0.1"):
    """Sends the bytes, reads until the server closes (or the timeout): bytes, closed."""
    with connect(port, source, timeout) as s:
        s.sendall(data)
        got = b""
        try:
            while True:
                part = s.recv(1 << 20)
                if not part:
                    return got, True
                got += part
        except socket.timeout:
            return got, False


def view(port):
    t0 = time.monotonic()
    try:
        got, _ = exchange(port, f"GET {MAIN} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n".encode())
        ok = got.startswith(b"HTTP/1.1 200")
    except OSError:
        ok = False
    return (time.monotonic() - t0) * 1000, ok


def views(port, count, seconds):
    """count page views spread over the seconds: the percentiles and the failures."""
    latencies, failed = [], 0
    started = time.monotonic()
    for i in range(count):
        time.sleep(max(0.0, started + i * seconds / count - time.monotonic()))
        ms, ok = view(port)
        latencies.append(ms)
        failed += not ok
    latencies.sort()
    p = lambda q: latencies[min(len(latencies) - 1, int(q / 100 * (len(latencies) - 1) + 0.5))]
    return f"{len(latencies)} views, {failed} failed, p50 {p(50):.1f} ms, p99 {p(99):.1f} ms, max {latencies[-1]:.1f} ms"


def slow_attacker(port, idle, slow, seconds, report):
    """Keeps idle and slow-header connections open until the time is up."""
    sel = selectors.DefaultSelector()
    opened = refused = 0
    head = f"GET {MAIN} HTTP/1.1\r\nHost: 127.0.0.1\r\n".encode()

    def open_one(i, is_slow):
        nonlocal opened, refused
        try:
            s = connect(port, ATTACKERS[i % len(ATTACKERS)], timeout=0.5)
            if is_slow:
                s.sendall(head)
            s.setblocking(False)
            sel.register(s, selectors.EVENT_READ, (i, is_slow))
            opened += 1
        except OSError:
            refused += 1

    for i in range(idle):
        open_one(i, False)
    for i in range(slow):
        open_one(i, True)
    end = time.monotonic() + seconds
    last_drip = time.monotonic()
    while time.monotonic() < end:
        for key, _ in sel.select(timeout=0.2):
            try:
                data = key.fileobj.recv(65536)
            except OSError:
                data = b""
            if not data:  # closed by the board: open another in its place
                sel.unregister(key.fileobj)
                key.fileobj.close()
                if time.monotonic() < end:
                    open_one(*key.data)
        if time.monotonic() - last_drip > 2:
            for key in list(sel.get_map().values()):
                if key.data[1]:
                    try:
                        key.fileobj.send(b"X-Slow: 1\r\n")
                    except OSError:
                        pass
            last_drip = time.monotonic()
    report.put(f"{opened} attacker connections opened, {refused} not accepted within 0.5 s")
    for key in list(sel.get_map().values()):
        key.fileobj.close()


def halfopen_attacker(port, rate, seconds, report):
    done = failed = 0
    head = f"GET {MAIN} HTTP/1.1\r\nHost: 127.".encode()
    started = time.monotonic()
    while time.monotonic() - started < seconds:
        time.sleep(max(0.0, started + done / rate - time.monotonic()))
        try:
            s = connect(port, ATTACKERS[done % len(ATTACKERS)], timeout=1)
            s.sendall(head)
            s.close()
        except OSError:
            failed += 1
        done += 1
    report.put(f"{done} half-open connects in {seconds} s ({done / seconds:.0f}/s), {failed} failed")


def key_attacker(port, clients, deletes_per_s, seconds, report):
    end = time.monotonic() + seconds
    counts, lock = {}, threading.Lock()

    def count(got):
        status = got[9:12].decode(errors="replace") if got.startswith(b"HTTP/1.1 ") else "none"
        with lock:
            counts[status] = counts.get(status, 0) + 1

    def poster(i):
        n = 0
        while time.monotonic() < end:
            n += 1
            target = f"{MAIN}?mode=regist&name=p{i}&sub=x&comment=c{i}-{n}&pwd=key{i}&cook=on"
            try:
                count(exchange(port, f"GET {target} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n".encode(),
                               source=ATTACKERS[i % len(ATTACKERS)])[0])
            except OSError:
                count(b"")

    def delete(n):
        # Spread over many posts, so that the lock-out refuses few of them without hashing.
        form = f"mode=delete&no={n % 500 + 1}&pwd=wrong".encode()
        try:
            count(exchange(port, f"POST {MAIN} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                 f"Content-Type: application/x-www-form-urlencoded\r\n"
                                 f"Content-Length: {len(form)}\r\n\r\n".encode() + form,
                           source=ATTACKERS[n % len(ATTACKERS)])[0])
        except OSError:
            count(b"")

    def deleter():  # at a steady rate, whatever the answers take
        n = 0
        started = time.monotonic()
        while time.monotonic() < end:
            time.sleep(max(0.0, started + n / deletes_per_s - time.monotonic()))
            n += 1
            threading.Thread(target=delete, args=(n,)).start()

    threads = [threading.Thread(target=poster, args=(i,)) for i in range(clients)]
    threads.append(threading.Thread(target=deleter))
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    report.put("answers to the posts and deletions: " +
               ", ".join(f"{k} x{v}" for k, v in sorted(counts.items())))


def under(name, port, attacker, args, warmup, seconds, count):
    report = multiprocessing.Queue()
    p = multiprocessing.Process(target=attacker, args=(port, *args, report))
    p.start()
    time.sleep(warmup)
    result = views(port, count, seconds)
    p.join(timeout=seconds + 60)
    print(f"{name}: {result}; {report.get(timeout=5)}", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--only", default="slow,halfopen,keys,other")
    parser.add_argument("--seconds", type=int, default=15)
    parser.add_argument("--views", type=int, default=200)
    args = parser.parse_args()
    only = args.only.split(",")
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(max(soft, 4096), hard), hard))
    n, s = args.views, args.seconds

    with tempfile.TemporaryDirectory() as folder:
        proc, port = start(args.exe, folder)
        try:
            base = peak_kib(proc.pid)
            print(f"views with nothing else: {views(port, 50, 2)}")
            if "slow" in only:
                under("views while 1,000 idle and 100 slow-header connections from 16 addresses are kept open",
                      port, slow_attacker, (1000, 100, s + 4), 3, s, n)
                print(f"peak memory: {peak_kib(proc.pid) / 1024:.1f} MiB (at start {base / 1024:.1f} MiB)")
            if "halfopen" in only:
                time.sleep(1)
                under("views while half-open connects arrive at 300/s from 16 addresses",
                      port, halfopen_attacker, (300, s + 2), 1, s, n)
            if "other" in only:
                ranges = "bytes=" + ",".join(f"{i}-{i}" for i in range(2700))
                got, closed = exchange(port, f"GET {MAIN} HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: {ranges}\r\n"
                                             f"Connection: close\r\n\r\n".encode())
                print(f"Range of 2,700 ranges: {got.split(b' ', 2)[1].decode()}, {len(got)} bytes")
                smuggle = (f"POST {MAIN} HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n"
                           f"Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n"
                           f"GET {MAIN}?mode=regist&name=smuggled&comment=x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                got, closed = exchange(port, smuggle.encode())
                stored = subprocess.run([args.exe, "--dump", "--db", os.path.join(folder, "bench.sqlite3")],
                                        capture_output=True, text=True, timeout=60).stdout.count('"smuggled"')
                print(f"Content-Length with Transfer-Encoding: {got.split(b' ', 2)[1].decode()}, {len(got)} bytes, "
                      f"connection {'closed' if closed else 'left open'}, hidden request stored {stored} times")
                t0 = time.monotonic()
                query = "&".join(f"a{i}={i}" for i in range(490))
                got, closed = exchange(port, f"GET {MAIN}?{query} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                             f"Connection: close\r\n\r\n".encode(), timeout=20)
                print(f"GET with 490 query parameters: {(got.split(b' ', 2)[1:2] or [b'no answer'])[0].decode()}"
                      f" after {time.monotonic() - t0:.2f} s")
        finally:
            proc.terminate()
            proc.wait(timeout=30)
        if "keys" in only:
            proc, port = start(args.exe, folder, ["--posts-per-minute", "0"])
            try:
                under("views while 64 clients post with keys and 40 wrong deletion keys a second arrive "
                      "(--posts-per-minute 0)", port, key_attacker, (64, 40, s + 2), 1, s, n)
            finally:
                proc.terminate()
                proc.wait(timeout=30)


if __name__ == "__main__":
    sys.exit(main())
