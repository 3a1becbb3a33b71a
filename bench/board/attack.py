#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What an attacker's connections do to ponpira-board on loopback: the latency of page views
while 1,000 idle connections and 100 slow-header connections are open, the server's peak
memory, and the answers to a Range header of 2,700 ranges and to a smuggling attempt.
Every loop is bounded in count and time.

    attack.py PONPIRA-BOARD [--idle N] [--slow N] [--views N]
"""
import argparse, os, re, resource, socket, subprocess, sys, tempfile, time

MAIN = "/home/velmora/cgi-bin/aska/aska.cgi"


def start(exe, folder, connections):
    proc = subprocess.Popen(
        [exe, "--port", "0", "--db", os.path.join(folder, "bench.sqlite3"),
         "--posts-per-minute", "0", "--max-connections", str(connections),
         "--max-connections-per-address", str(connections)],
        stdout=subprocess.PIPE, text=True)
    line = proc.stdout.readline()
    port = int(re.search(r"127\.0\.0\.1:(\d+)/", line).group(1))
    return proc, port


def peak_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1))


def exchange(port, data, timeout=10):
    """Sends the bytes, reads until the server closes (or the timeout): bytes, closed."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
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
    got, _ = exchange(port, f"GET {MAIN} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n".encode())
    ok = got.startswith(b"HTTP/1.1 200")
    return (time.monotonic() - t0) * 1000, ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--idle", type=int, default=1000)
    parser.add_argument("--slow", type=int, default=100)
    parser.add_argument("--views", type=int, default=200)
    args = parser.parse_args()
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    need = args.idle + args.slow + 200
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(max(soft, need), hard), hard))

    with tempfile.TemporaryDirectory() as folder:
        proc, port = start(args.exe, folder, args.idle + args.slow + 64)
        try:
            base = peak_kib(proc.pid)
            idle = [socket.create_connection(("127.0.0.1", port), timeout=10) for _ in range(args.idle)]
            slow = []
            for _ in range(args.slow):
                s = socket.create_connection(("127.0.0.1", port), timeout=10)
                s.sendall(f"GET {MAIN} HTTP/1.1\r\nHost: 127.0.0.1\r\n".encode())
                slow.append(s)
            latencies, failed = [], 0
            last_drip = time.monotonic()
            # Spread over 10 s at least, so that the slow clients drip through it.
            started = time.monotonic()
            for i in range(args.views):
                time.sleep(max(0.0, started + i * 10 / args.views - time.monotonic()))
                if time.monotonic() - last_drip > 2:  # one more header line every 2 s
                    for s in slow:
                        try:
                            s.sendall(b"X-Slow: 1\r\n")
                        except OSError:
                            pass
                    last_drip = time.monotonic()
                ms, ok = view(port)
                latencies.append(ms)
                failed += not ok
            latencies.sort()
            p = lambda q: latencies[min(len(latencies) - 1, int(q / 100 * (len(latencies) - 1) + 0.5))]
            print(f"views with {args.idle} idle and {args.slow} slow-header connections open: "
                  f"{len(latencies)} views, {failed} failed, p50 {p(50):.1f} ms, p99 {p(99):.1f} ms, "
                  f"max {latencies[-1]:.1f} ms")
            print(f"peak memory with {args.idle + args.slow} connections: {peak_kib(proc.pid) / 1024:.1f} MiB "
                  f"(at start {base / 1024:.1f} MiB)")
            for s in idle + slow:
                s.close()

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
        finally:
            proc.terminate()
            proc.wait(timeout=30)


if __name__ == "__main__":
    sys.exit(main())
