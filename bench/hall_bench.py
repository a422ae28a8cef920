"""A meeting hall: many participants click DownLoad in the same second against one meeting server that
accepts a limited number of connections at once (data connections included), as meeting servers do.

    /usr/bin/python3 bench/hall_bench.py [--participants 100] [--max-cons 64] [--files 60]

Prints how many participants got the whole meeting, the time until the last one had it, the logins the
server saw, and how long a run takes to end on a refusal for good (550): a busy server is waited for, a
missing file is not. Fails when a participant did not get the meeting or the refusal took a second or more.
"""
import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "integration"))
os.environ.setdefault("TARNWICK_DOWNLOAD", os.path.join(HERE, "..", "build", "tarnwick-download"))
from harness import Workspace, native, program  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--participants", type=int, default=100)
    parser.add_argument("--max-cons", type=int, default=64)
    parser.add_argument("--files", type=int, default=60)
    args = parser.parse_args()

    ws = Workspace()
    try:
        ws.start_server(args.max_cons)
        ws.publish_tail(["Hall"])
        ws.publish("G1", "R1", {f"doc{i:03}.pdf": os.urandom(20000) for i in range(args.files)})
        ws.server.clear_log()
        cookie = os.path.join(ws.base, "cookie")
        with open(cookie, "w") as f:
            f.write(ws.cookie())
        runs = []
        started = time.monotonic()
        for n in range(args.participants):
            folder = os.path.join(ws.base, f"participant-{n}")
            os.makedirs(folder)
            process = subprocess.Popen(
                program("--folder", native(folder), "--cookie-file", native(cookie), "--ui", "terminal", "--yes", "-q"),
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            runs.append((folder, process))
        ended = []
        got = 0
        failures = []
        for folder, process in runs:
            output = process.communicate()[0].decode("utf-8", "replace")
            ended.append(time.monotonic() - started)
            whole = process.returncode == 0 and len(os.listdir(os.path.join(folder, "TW3"))) == args.files + 4
            got += whole
            if not whole and len(failures) < 3:
                failures.append(output.strip().splitlines()[:3])
        logins = ws.server.logins()

        ws.publish("G1", "R2", {"gone.pdf": b"x"})
        ws.server.inject("gone.pdf", "550")
        refusal_start = time.monotonic()
        subprocess.run(program("--folder", native(os.path.join(ws.base, "participant-0")), "--cookie-file",
                               native(cookie), "--ui", "terminal", "--yes", "-q"), capture_output=True)
        refusal = time.monotonic() - refusal_start
    finally:
        ws.close()

    print(f"participants at once:          {args.participants} (server: {args.max_cons} connections, "
          f"{args.files} files of 20 KB)")
    print(f"got the whole meeting:         {got} of {args.participants}")
    print(f"time until the last had it:    {max(ended):.1f} s")
    print(f"logins the server saw:         {logins} ({logins / args.participants:.2f} a participant)")
    print(f"a refusal for good (550) ends: {refusal:.2f} s after the start")
    for failure in failures:
        print("  a participant without the meeting:", " / ".join(failure))
    return 0 if got == args.participants and refusal < 1 else 1


if __name__ == "__main__":
    sys.exit(main())
