#!/usr/bin/env python3
"""The whole process, as a new user runs it: `kova parse jackett FILE --limit 1`
beside `python3 bench/jackett_py.py FILE` (json.load and the same extraction
of the row fields), in pairs run one after the other (the order alternating
from pair to pair), so that a busy spell of a shared machine hits both alike.

    python3 bench/whole_process.py KOVA FILE [PAIRS]

Prints one JSON object: for each pair the elapsed and CPU (user + system)
seconds of both processes and the peak resident memory of each.
"""
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(argv):
    """Elapsed seconds, CPU seconds and peak resident bytes of one process."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("whole_process.py: %s failed: %s" % (" ".join(argv), err.strip()))
    return {"elapsed": elapsed, "cpu": usage.ru_utime + usage.ru_stime, "peak_rss": usage.ru_maxrss * 1024}


def main():
    kova, path = sys.argv[1], sys.argv[2]
    pairs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    commands = {
        "kova": [kova, "parse", "jackett", path, "--limit", "1"],
        "python": [sys.executable, os.path.join(HERE, "jackett_py.py"), path],
    }
    out = {"file_bytes": os.path.getsize(path), "pairs": []}
    for i in range(pairs):
        order = ("kova", "python") if i % 2 == 0 else ("python", "kova")
        out["pairs"].append({name: run(commands[name]) for name in order})
    print(json.dumps(out))


if __name__ == "__main__":
    main()
