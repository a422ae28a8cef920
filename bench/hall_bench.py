"""A meeting hall: many participants click DownLoad in the same second against one meeting server that
accepts a limited number of connections at once (data connections included), as meeting servers do.

    /usr/bin/python3 bench/hall_bench.py [--participants 100] [--max-cons 64] [--per-address N] [--files 60]
                                         [--link loopback|wan] [--delay-ms 25] [--server ftp|https]

Prints how many participants got the whole meeting, the time until the last one had it, the logins the
server saw, the connections it refused (421, and 425 for data connections) per participant, and how long a
run takes to end on a refusal for good (550): a busy server is waited for, a missing file is not. Then the
hall model (bench/hall_model.py) beside it: the same hall simulated 200 times from what the server's log
shows (the spread of the first tries, the median time a login was held), its median time until the last
and the middle 90 % of its halls. With --per-address every participant is behind the one loopback address. --link wan puts the server
behind the benchmark's slow link (bench/slow_link.py, a 50 ms round trip; needs root) and the participants
on its other end, behind one address too.
With --server https the same hall fetches the meeting over HTTPS from nginx on loopback (as an
organisation would run it: 1,024 connections at once, Tarnwick.cfg saying HTTPS, its certificate authority
trusted by the system's store while it runs; needs nginx and root), and the connections and the statuses
come from nginx's log; the hall model, which knows FTP's limits, is left out.
Fails when a participant did not get the meeting or the refusal took a second or more (40 round trips
more: 3 s over the slow link).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "integration"))
os.environ.setdefault("TARNWICK_DOWNLOAD", os.path.join(HERE, "..", "build", "tarnwick-download"))
from harness import SYSTEM_PYTHON, MeetingServer, Workspace, crlf, native, program  # noqa: E402
from slow_link import SERVER_ADDRESS, SlowLink  # noqa: E402
from test_tls import WebServer, trust  # noqa: E402
import hall_model  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--participants", type=int, default=100)
    parser.add_argument("--max-cons", type=int, default=64)
    parser.add_argument("--per-address", type=int, default=0, help="logins at once from one address")
    parser.add_argument("--files", type=int, default=60)
    parser.add_argument("--link", choices=("loopback", "wan"), default="loopback")
    parser.add_argument("--delay-ms", type=float, default=25, help="each way, over the slow link")
    parser.add_argument("--server", choices=("ftp", "https"), default="ftp")
    args = parser.parse_args()
    if args.server == "https":
        return https_hall(args)

    ws = Workspace()
    link = None
    in_client = list
    rtt = 0.001
    try:
        options = ("--max-cons-per-ip", str(args.per_address))
        if args.link == "wan":
            link = SlowLink(args.delay_ms).open()
            in_client, rtt = link.client, 2 * args.delay_ms / 1000
            ws.server = MeetingServer(ws.server_root, args.max_cons, options=options, launch=lambda a: link.server(
                [SYSTEM_PYTHON, os.path.join(HERE, "link_server.py"), SERVER_ADDRESS, *a]))
            print(f"the link: {link.kind}")
        else:
            ws.start_server(args.max_cons, options)
        ws.publish_tail(["Hall"])
        ws.publish("G1", "R1", {f"doc{i:03}.pdf": os.urandom(20000) for i in range(args.files)})
        ws.server.clear_log()
        cookie = os.path.join(ws.base, "cookie")
        with open(cookie, "w") as f:
            f.write(ws.cookie() if link is None else ws.cookie().replace("127%2E0%2E0%2E1", SERVER_ADDRESS))
        commands = []
        for n in range(args.participants):
            folder = os.path.join(ws.base, f"participant-{n}")
            os.makedirs(folder)
            commands.append((folder, in_client(program("--folder", native(folder), "--cookie-file", native(cookie),
                                                       "--ui", "terminal", "--yes", "-q"))))
        ended, got, failures = hall(commands, args.files)
        logins = ws.server.logins()
        refusals = ws.server.refusals()
        data_refusals = sum(1 for entry in ws.server.log() if entry[2:] == ["REFUSED", "data connection"])
        spread, last, held = hall_model.hall_in_the_server(ws.server.log(), args.participants)

        ws.publish("G1", "R2", {"gone.pdf": b"x"})
        ws.server.inject("gone.pdf", "550")
        refusal_start = time.monotonic()
        subprocess.run(in_client(program("--folder", native(os.path.join(ws.base, "participant-0")), "--cookie-file",
                               native(cookie), "--ui", "terminal", "--yes", "-q")), capture_output=True)
        refusal = time.monotonic() - refusal_start
    finally:
        ws.close()
        if link is not None:
            link.close()

    print(f"participants at once:          {args.participants} (server: {args.max_cons} connections, "
          f"{args.files} files of 20 KB)")
    print(f"got the whole meeting:         {got} of {args.participants}")
    print(f"time until the last had it:    {max(ended):.1f} s")
    print(f"logins the server saw:         {logins} ({logins / args.participants:.2f} a participant)")
    print(f"connections refused:           {refusals} ({refusals / args.participants:.2f} a participant; "
          f"{data_refusals} of them data connections of a run logged in)")
    run = statistics.median(held)
    halls = sorted(hall_model.simulate(args.participants, args.max_cons, run, per_address=args.per_address,
                                       behind_one=args.participants if args.per_address else 0, spread=spread,
                                       rtt=rtt, seed=seed)["last"] for seed in range(200))
    print(f"in the server's log:           first tries over {spread:.2f} s, a login held {run:.2f} s (median), "
          f"the last ended after {last:.1f} s")
    print(f"the hall model:                the last after {halls[100]:.1f} s (middle 90 %: {halls[10]:.1f} to "
          f"{halls[190]:.1f} s)")
    print(f"a refusal for good (550) ends: {refusal:.2f} s after the start")
    for failure in failures:
        print("  a participant without the meeting:", " / ".join(failure))
    return 0 if got == args.participants and refusal < 1 + 40 * rtt else 1


def hall(commands, files):
    """Starts every participant's (folder, command) at once: the seconds until each ended, how many got the
    whole meeting, and what the first three without it said."""
    started = time.monotonic()
    runs = [(folder, subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                      stderr=subprocess.STDOUT)) for folder, command in commands]
    ended, got, failures = [], 0, []
    for folder, process in runs:
        output = process.communicate()[0].decode("utf-8", "replace")
        ended.append(time.monotonic() - started)
        whole = process.returncode == 0 and len(os.listdir(os.path.join(folder, "TW3"))) == files + 4
        got += whole
        if not whole and len(failures) < 3:
            failures.append(output.strip().splitlines()[:3])
    return ended, got, failures


def https_hall(args):
    """The hall against nginx: who got the meeting, when the last had it, and what nginx saw."""
    ws = Workspace()
    cleanups = [ws.close]
    try:
        ws.publish_tail(["Hall"])
        files = {f"doc{i:03}.pdf": os.urandom(20000) for i in range(args.files)}
        ws.publish("G1", "R1", files)
        remote = ws.remote_folder()
        shutil.copy(os.path.join(remote, "FileUpdate.dat"), os.path.join(remote, "FileUpDate.dat"))
        web_base = os.path.join(ws.base, "web")
        os.makedirs(web_base)
        web = WebServer(web_base, ws.server_root, connections=1024)
        cleanups.append(web.stop)
        cleanups.append(trust(web.ca))
        cookie = os.path.join(ws.base, "cookie")
        with open(cookie, "w") as f:
            f.write(ws.cookie(port=web.port))

        def participant(n):
            folder = os.path.join(ws.base, f"participant-{n}")
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "Tarnwick.cfg"), "wb") as f:
                f.write(crlf(["hall", "https://127.0.0.1/meeting", "HTTPS"]))
            return folder, program("--folder", native(folder), "--cookie-file", native(cookie), "--ui", "terminal",
                                   "--yes", "-q")

        ended, got, failures = hall(commands=[participant(n) for n in range(args.participants)], files=args.files)
        requests = web.requests()
        connections = len({connection for connection, *_ in requests})
        refused = sum(1 for _, status, *_ in requests if status in (429, 503))

        # A file the manifest lists and the server does not have: 404, a refusal for good.
        ws.publish("G1", "R2", {"gone.pdf": b"x"})
        shutil.copy(os.path.join(remote, "FileUpdate.dat"), os.path.join(remote, "FileUpDate.dat"))
        os.remove(os.path.join(remote, "gone.pdf"))
        refusal_start = time.monotonic()
        subprocess.run(participant(0)[1], capture_output=True)
        refusal = time.monotonic() - refusal_start
    finally:
        for cleanup in reversed(cleanups):
            cleanup()

    print(f"participants at once:          {args.participants} (nginx over HTTPS, 1024 connections, "
          f"{args.files} files of 20 KB)")
    print(f"got the whole meeting:         {got} of {args.participants}")
    print(f"time until the last had it:    {max(ended):.1f} s")
    print(f"connections nginx saw:         {connections} ({connections / args.participants:.2f} a participant)")
    print(f"requests refused (503, 429):   {refused}")
    print(f"a refusal for good (404) ends: {refusal:.2f} s after the start")
    for failure in failures:
        print("  a participant without the meeting:", " / ".join(failure))
    return 0 if got == args.participants and refusal < 1 else 1


if __name__ == "__main__":
    sys.exit(main())
