#!/usr/bin/env python3
"""bench/run's helpers.

  helper.py serve PORT DIR LOADED_FILE  serve DIR on 127.0.0.1:PORT; a request for /loaded
                                        appends its CLOCK_MONOTONIC time (ns) to LOADED_FILE
  helper.py tree-mem PID                "RSS_KB PSS_KB PROCESSES" of PID and every descendant
  helper.py tree-cpu PID                CPU seconds (user + system) of PID and every descendant
  helper.py drift TRACE [TICKS]         mean wall time per tick minus 1000 ms, in ms, over the
                                        first TICKS intervals of a tick trace
  helper.py now                         the CLOCK_MONOTONIC time in ns
  helper.py stats                       stdin: one number a line; prints "median min max count"
"""
import http.server
import os
import statistics
import sys
import time


def descendants(root):
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(name))
        except OSError:
            continue
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


def tree_mem(root):
    rss = pss = count = 0
    for pid in descendants(root):
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Rss:"):
                        rss += int(line.split()[1])
                    elif line.startswith("Pss:"):
                        pss += int(line.split()[1])
            count += 1
        except OSError:
            continue
    print(rss, pss, count)


def tree_cpu(root):
    ticks = 0
    for pid in descendants(root):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            # utime, stime, and the reaped children's cutime, cstime
            ticks += sum(int(v) for v in fields[11:15])
        except OSError:
            continue
    print(ticks / os.sysconf("SC_CLK_TCK"))


def drift(path, ticks=None):
    with open(path) as f:
        stamps = [int(line) for line in f if line.strip()]
    if ticks:
        stamps = stamps[: int(ticks) + 1]
    if len(stamps) < 2:
        sys.exit("drift: fewer than two ticks traced")
    per_tick = (stamps[-1] - stamps[0]) / (len(stamps) - 1)
    print(f"{per_tick / 1e6 - 1000:.3f}")


def stats():
    values = [float(line) for line in sys.stdin if line.strip()]
    if not values:
        sys.exit("stats: no values")
    print(statistics.median(values), min(values), max(values), len(values))


def serve(port, directory, loaded):
    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=directory, **kwargs)

        def do_GET(self):
            if self.path.startswith("/loaded"):
                with open(loaded, "a") as f:
                    f.write(f"{time.monotonic_ns()}\n")
                self.send_response(204)
                self.end_headers()
                return
            super().do_GET()

        def log_message(self, *args):
            pass

    http.server.ThreadingHTTPServer(("127.0.0.1", int(port)), Handler).serve_forever()


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    {"serve": serve, "tree-mem": lambda p: tree_mem(int(p)), "tree-cpu": lambda p: tree_cpu(int(p)),
     "drift": drift, "stats": stats, "now": lambda: print(time.monotonic_ns())}[command](*args)
