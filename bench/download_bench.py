#!/usr/bin/env python3
"""Download benchmark: one run fetches 300 files of 20 KB and one of 20 MB from a meeting server on
loopback into an empty component folder.

Reports per run the wall time, the program's peak memory, the logins the server saw, the commands per
file, and the idle gaps between the end of one transfer (the server's SENT) and the start of the next
(its next PASV). The gap after the big file is left out: the server logs SENT when the last bytes are in
the socket, while the client is still reading them.

    /usr/bin/python3 bench/download_bench.py [--runs 3] [--files 300] [--size 20000] [--big-mb 20]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "integration"))
from harness import MeetingServer, PASSWORD, USER, crlf  # noqa: E402

BIG_NAME = "big.bin"


def publish(folder, files, size, big_mb):
    os.makedirs(folder)
    entries = []
    block = os.urandom(size)
    for i in range(files):
        name = f"doc{i:03d}.pdf"
        with open(os.path.join(folder, name), "wb") as f:
            f.write(block)
        entries.append(f"{name} {size}")
    with open(os.path.join(folder, BIG_NAME), "wb") as f:
        chunk = os.urandom(1 << 20)
        for _ in range(big_mb):
            f.write(chunk)
    entries.append(f"{BIG_NAME} {big_mb << 20}")
    for name, data in (("Tarnwick.msg", crlf(["Benchmark", "line"])), ("Enote.Doc", b"e"),
                       ("MainTarnwick.html", b"<html></html>")):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    with open(os.path.join(folder, "FileUpdate.dat"), "wb") as f:
        f.write(crlf(["bench", "1"] + entries))


def one_run(exe, base, port):
    component = os.path.join(base, "component")
    shutil.rmtree(component, ignore_errors=True)
    os.makedirs(component)
    cookie = os.path.join(base, "cookie")
    with open(cookie, "w") as f:
        f.write(f"HOST=127%2E0%2E0%2E1:{port};LOGIN={USER};PWD={PASSWORD};SUBSOURCE=m\\TW3;TIMESOURCE=t1")
    start = time.monotonic()
    process = subprocess.Popen([exe, "--ui", "terminal", "--yes", "--folder", component, "--cookie-file", cookie],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"the run ended with status {os.waitstatus_to_exitcode(status)}")
    return wall, usage.ru_maxrss / 1024


def analyse(server):
    sessions = {}
    for entry in server.log():
        sessions.setdefault(entry[1], []).append(entry)
    queue = max(sessions.values(), key=lambda events: sum(1 for e in events if e[3].startswith("RETR ")))
    gaps = []
    pending = None
    for ns, _, event, detail in queue:
        if event == "SENT":
            pending = None if detail == BIG_NAME else int(ns)
        elif event == "CMD" and detail == "PASV" and pending is not None:
            gaps.append((int(ns) - pending) / 1e6)
            pending = None
    commands = [e[3].split(" ")[0] for e in queue if e[2] == "CMD"]
    files = commands.count("RETR")
    per_file = (commands.count("RETR") + commands.count("PASV") + commands.count("EPSV") + commands.count("SIZE")
                + commands.count("CWD") + commands.count("MDTM")) / max(files, 1)
    return server.logins(), files, per_file, gaps


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--size", type=int, default=20000)
    parser.add_argument("--big-mb", type=int, default=20)
    parser.add_argument("--exe", default=os.path.join(ROOT, "build", "tarnwick-download"))
    args = parser.parse_args()

    base = tempfile.mkdtemp(prefix="tarnwick-bench-")
    server = None
    try:
        publish(os.path.join(base, "server", "m", "TW3", "t1"), args.files, args.size, args.big_mb)
        server = MeetingServer(os.path.join(base, "server"))
        print(f"{args.files} x {args.size} B + 1 x {args.big_mb} MiB, loopback, pyftpdlib")
        print(f"{'run':>3} {'wall s':>8} {'peak MiB':>9} {'logins':>6} {'files':>5} {'cmds/file':>9} "
              f"{'gap mean ms':>11} {'gap max ms':>10}")
        for run in range(1, args.runs + 1):
            server.clear_log()
            wall, peak = one_run(args.exe, base, server.port)
            logins, files, per_file, gaps = analyse(server)
            print(f"{run:>3} {wall:>8.2f} {peak:>9.1f} {logins:>6} {files:>5} {per_file:>9.2f} "
                  f"{statistics.mean(gaps):>11.2f} {max(gaps):>10.2f}")
    finally:
        if server:
            server.stop()
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
