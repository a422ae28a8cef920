"""A large file over a link that breaks: the meeting server resets the data connection (and answers 426)
every --cut-every-mib MiB of one file of --mib MiB, on loopback, and the run goes on from what it kept.

    /usr/bin/python3 bench/resume_bench.py [--mib 200] [--cut-every-mib 50]

Prints the run's wall time (the busy server's pauses between the tries included), the bytes the server
sent against the file's size, and whether the file arrived whole. Fails when it did not, or when the server
sent more than 1.1 times the file.
"""
import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "integration"))
os.environ.setdefault("TARNWICK_DOWNLOAD", os.path.join(HERE, "..", "build", "tarnwick-download"))
from harness import Workspace  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mib", type=int, default=200)
    parser.add_argument("--cut-every-mib", type=int, default=50)
    args = parser.parse_args()
    size = args.mib << 20
    cuts = [100 * at // args.mib for at in range(args.cut_every_mib, args.mib, args.cut_every_mib)]

    ws = Workspace()
    try:
        ws.start_server()
        ws.publish_tail(["Resume"])
        data = os.urandom(size)
        ws.publish("G1", "R1", {"big.bin": data})
        for percent in cuts:  # each strikes one request: the first try, then each that asks for the rest
            ws.server.inject("big.bin", f"reset-{percent}", times=1)
        started = time.monotonic()
        result = ws.run(ws.cookie(), "--yes", timeout=1800)
        wall = time.monotonic() - started
        whole = result.returncode == 0 and ws.read_local("TW3", "big.bin") == data
        sent = ws.server.sent("big.bin")
    finally:
        ws.close()

    print(f"the file:                {args.mib} MiB, the link cut at {', '.join(f'{p} %' for p in cuts)}")
    print(f"the run:                 {wall:.1f} s, status {result.returncode}")
    print(f"the server sent:         {sent / size:.3f} times the file")
    print(f"arrived whole:           {'yes' if whole else 'no'}")
    return 0 if whole and sent <= 1.1 * size else 1


if __name__ == "__main__":
    sys.exit(main())
