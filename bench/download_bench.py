#!/usr/bin/env python3
"""Download benchmark, in two modes.

--link loopback (the default): one run fetches 300 files of 20 KiB and one of 20 MiB from a meeting server
on loopback into an empty component folder. Reports per run the wall time, the program's peak memory, the
logins the server saw, the commands per file, and the idle gaps between the end of one transfer (the
server's SENT) and the start of the next (its next PASV). The gap after the big file is left out: the
server logs SENT when the last bytes are in the socket, while the client is still reading them.

--link wan: what a participant at the end of a real network link sees. The meeting server runs in one
network namespace, the clients in another, with a 50 ms round trip between them (bench/slow_link.py);
needs root, and without it measures on loopback. The same tree, 300 files of 20 KiB with the manifest
and the fixed tail, goes into an empty folder by each client in turn: the Linux build, the Windows build
under Wine (when build-windows/ holds one), and lftp's mirror as the general client to compare with.
Reports per client the median wall time, the FTP commands per file (after login, from the server's log),
the commands sent once per file, the logins per run, the ratio of the wall time to lftp's and the median
round of a file (PASV to PASV): the queue timer starts a file on its 10 ms tick, so a client's own time
per file shows there as whole ticks, where the median idle gap may hide it. Then the same tree over HTTPS
from nginx (with a certificate authority of its own, trusted by the system's store while it runs): the
Linux build and the Windows build with Tarnwick.cfg saying HTTPS, curl and wget fetching the same files in
one invocation each (one connection), curl with 16 files in flight on its one HTTP/2 connection
(`--parallel --parallel-max 16 --http2`), and the Linux build and curl once more through a proxy (squid on
the clients' side of the link, as an organisation's proxy is); per client the median wall time, its ratio to
the Linux build over FTP and to curl's, the TLS connections and the requests per file.

    /usr/bin/python3 bench/download_bench.py [--link loopback|wan] [--runs N] [--files 300] [--size 20480]
                                             [--big-mb 20] [--delay-ms 25] [--checked]
"""
import argparse
import hashlib
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "integration"))
sys.path.insert(0, os.path.join(ROOT, "tests", "windows"))
from harness import SYSTEM_PYTHON, MeetingServer, PASSWORD, USER, crlf, free_port, wait_for  # noqa: E402
from slow_link import SERVER_ADDRESS, LinkUnavailable, SlowLink  # noqa: E402
from wine_prefix import WinePrefix, windows_path  # noqa: E402
from test_tls import NGINX, WebServer, trust  # noqa: E402

BIG_NAME = "big.bin"
REMOTE = "m/TW3/t1"


def publish(folder, files, size, big_mb, checked=False, signing_key=None):
    """`checked`: every entry lists the file's size= and sha256=, which the program checks. `signing_key`: the
    fixed tail is listed too, and the manifest signed with that minisign key (FileUpDate.dat.minisig)."""
    os.makedirs(folder)
    entries = []

    def entry(name, length, digest):
        return f"{name} size={length} sha256={digest.hexdigest()}" if checked else f"{name} {length}"

    block = os.urandom(size)
    for i in range(files):
        name = f"doc{i:03d}.pdf"
        with open(os.path.join(folder, name), "wb") as f:
            f.write(block)
        entries.append(entry(name, size, hashlib.sha256(block)))
    if big_mb:
        digest = hashlib.sha256()
        with open(os.path.join(folder, BIG_NAME), "wb") as f:
            chunk = os.urandom(1 << 20)
            for _ in range(big_mb):
                f.write(chunk)
                digest.update(chunk)
        entries.append(entry(BIG_NAME, big_mb << 20, digest))
    for name, data in (("Tarnwick.msg", crlf(["Benchmark", "line"])), ("Enote.Doc", b"e"),
                       ("MainTarnwick.html", b"<html></html>")):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        if signing_key:
            entries.append(entry(name, len(data), hashlib.sha256(data)))
    manifest = os.path.join(folder, "FileUpdate.dat")
    with open(manifest, "wb") as f:
        f.write(crlf(["bench", "1"] + entries))
    if signing_key:
        signature = os.path.join(folder, "FileUpDate.dat.minisig")
        subprocess.run(["minisign", "-S", "-s", signing_key, "-m", manifest, "-x", signature], check=True,
                       stdin=subprocess.DEVNULL, capture_output=True)
        shutil.copy(signature, os.path.join(folder, "FileUpdate.dat.minisig"))


class Squid:
    """Debian's squid as an organisation's proxy: tunnels (CONNECT) to any port, no cache, until stop()."""

    def __init__(self, launch):
        # squid writes its logs as its own user, who cannot enter the benchmark's private folder.
        folder = self.folder = tempfile.mkdtemp(prefix="tarnwick-squid-")
        os.chmod(folder, 0o777)
        self.port = free_port()
        self.log_path = os.path.join(folder, "cache.log")
        conf = os.path.join(folder, "squid.conf")
        with open(conf, "w") as f:
            f.write(f"http_port 127.0.0.1:{self.port}\nhttp_access allow all\ncache deny all\npinger_enable off\n"
                    f"access_log none\ncache_log {self.log_path}\npid_filename {folder}/squid.pid\n"
                    f"coredump_dir {folder}\nshutdown_lifetime 0 seconds\n")
        self.process = subprocess.Popen(launch(["squid", "-N", "-f", conf]), stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wait_for(lambda: self.accepting() or self.process.poll() is not None, "squid to listen", timeout=90)
        if self.process.poll() is not None:
            raise RuntimeError("squid did not start")

    def accepting(self):
        if not os.path.exists(self.log_path):
            return False
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return "Accepting HTTP Socket connections" in f.read()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)
        shutil.rmtree(self.folder, ignore_errors=True)


def write_cookie(base, host, port):
    cookie = os.path.join(base, "cookie")
    with open(cookie, "w") as f:
        f.write(f"HOST={host.replace('.', '%2E')}:{port};LOGIN={USER};PWD={PASSWORD};SUBSOURCE=m\\TW3;"
                "TIMESOURCE=t1")
    return cookie


def one_run(exe, base, port):
    component = os.path.join(base, "component")
    shutil.rmtree(component, ignore_errors=True)
    os.makedirs(component)
    cookie = write_cookie(base, "127.0.0.1", port)
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


def loopback(args):
    base = tempfile.mkdtemp(prefix="tarnwick-bench-")
    server = None
    try:
        publish(os.path.join(base, "server", REMOTE), args.files, args.size, args.big_mb, args.checked)
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


def link_server(root, link):
    """The meeting server in the link's server namespace, on the link's address; its log read as on loopback."""
    return MeetingServer(root, launch=lambda args: link.server(
        [SYSTEM_PYTHON, os.path.join(ROOT, "bench", "link_server.py"), SERVER_ADDRESS, *args]))


def read_log(server):
    """The commands each session sent after its login, the files fetched, the idle gaps from the end of
    each transfer (the server's SENT) to the session's next command, and each file's round, from one PASV
    to the next."""
    logged_in, sent, last_pasv = set(), {}, {}
    commands, gaps, rounds = [], [], []
    for ns, session, event, *detail in server.log():
        if event == "LOGIN":
            logged_in.add(session)
        elif event == "SENT":
            sent[session] = int(ns)
        elif event == "CMD" and session in logged_in:
            commands.append(detail[0] if detail else "")
            if session in sent:
                gaps.append((int(ns) - sent.pop(session)) / 1e6)
            if commands[-1] == "PASV":
                if session in last_pasv:
                    rounds.append((int(ns) - last_pasv[session]) / 1e6)
                last_pasv[session] = int(ns)
    # Names as the case-blind server takes them: the manifest fetched as FileUpDate.dat and again in the
    # tail as FileUpdate.dat is one file fetched twice.
    fetched = {c[len("RETR "):].rsplit("/", 1)[-1].lower() for c in commands if c.startswith("RETR ")}
    return commands, fetched, gaps, rounds


def round_trip(in_client, host, port):
    """The link's round trip as the client sees it: the median of five TCP connects to the server, in ms."""
    probe = ("import socket, statistics, time\n"
             "times = []\n"
             "for _ in range(5):\n"
             "    start = time.monotonic()\n"
             f"    socket.create_connection(({host!r}, {port}), timeout=10).close()\n"
             "    times.append(time.monotonic() - start)\n"
             "print(statistics.median(times) * 1000)\n")
    return float(subprocess.run(in_client([SYSTEM_PYTHON, "-c", probe]), capture_output=True, text=True,
                                check=True).stdout)


def fetched_all(folder, files, size):
    complete = sum(1 for where, _, names in os.walk(folder) for n in names
                   if n.startswith("doc") and os.path.getsize(os.path.join(where, n)) == size)
    return complete == files


def compare(args):
    if not shutil.which("lftp") or not shutil.which("ip") or not shutil.which("squid"):
        subprocess.run([os.path.join(ROOT, "scripts", "setup"), "bench"], check=True)
    base = tempfile.mkdtemp(prefix="tarnwick-bench-")
    link = server = wine = None
    cleanups = []
    try:
        key = None
        if args.signed:  # a key without a password, as a publishing script's may be
            key = os.path.join(base, "meeting.key")
            subprocess.run(["minisign", "-G", "-W", "-p", key + ".pub", "-s", key], check=True,
                           stdin=subprocess.DEVNULL, capture_output=True)
        publish(os.path.join(base, "server", REMOTE), args.files, args.size, 0, args.checked or args.signed, key)
        try:
            if args.delay_ms <= 0:  # the comparison on loopback, for large files and many small ones
                raise LinkUnavailable("--delay-ms 0")
            link = SlowLink(args.delay_ms).open()
            where, host = f"{link.kind}, {2 * args.delay_ms:g} ms round trip", SERVER_ADDRESS
            server = link_server(os.path.join(base, "server"), link)
            in_client = link.client
        except (LinkUnavailable, OSError) as e:
            print(f"no slow link ({e}): measuring on loopback only, without the delay")
            link = None
            where, host = "loopback, no delay", "127.0.0.1"
            server = MeetingServer(os.path.join(base, "server"))
            in_client = list

        exe = os.path.join(base, "tarnwick-download")
        shutil.copy(args.exe, exe)
        clients = [("Linux build", None, lambda dest, cookie: [exe, "--ui", "terminal", "--yes", "--folder", dest,
                                                                "--cookie-file", cookie])]
        if key:
            def signed(dest, cookie):
                shutil.copy(key + ".pub", os.path.join(dest, "MeetingKey.pub"))
                return clients[0][2](dest, cookie)
            clients.append(("Linux build, signed", None, signed))
        if not os.path.exists(args.windows_exe):
            print(f"Windows build: left out, there is no {args.windows_exe}")
        elif not shutil.which("wine"):
            print("Windows build: left out, Wine is not installed (scripts/setup windows)")
        else:
            # A copy: the Windows build may be rebuilt while the benchmark runs.
            windows_exe = os.path.join(base, "tarnwick-download.exe")
            shutil.copy(args.windows_exe, windows_exe)
            # Wine's server makes the program's sockets: it runs in the clients' namespace.
            wine = WinePrefix(args.wine_prefix, wrap=in_client)
            if not os.path.exists(os.path.join(args.wine_prefix, "system.reg")):
                print("wine: making the benchmark's prefix (once, some seconds)", flush=True)
            wine.start()
            clients.append(("Windows build, Wine", wine.env, lambda dest, cookie: [
                "wine", windows_exe, "--ui", "terminal", "--yes", "--folder", windows_path(dest),
                "--cookie-file", windows_path(cookie)]))
        clients.append(("lftp mirror --parallel=1", None, lambda dest, _: [
            "lftp", "-c", f'open -u "{USER},{PASSWORD}" -p {server.port} {host}; mirror --parallel=1 {REMOTE} {dest}']))

        cookie = write_cookie(base, host, server.port)
        tree = args.files + 4  # the manifest and the fixed tail: Tarnwick.msg, Enote.Doc, MainTarnwick.html
        print(f"{args.files} x {args.size} B + manifest and tail ({tree} files), {where} "
              f"(measured: {round_trip(in_client, host, server.port):.1f} ms); pyftpdlib")
        print(f"{'run':>3}  {'client':<26} {'wall s':>7} {'logins':>6} {'cmds':>5}")
        results = {name: [] for name, _, _ in clients}
        for run in range(1, args.runs + 1):
            for name, env, command in clients:
                dest = os.path.join(base, "component")
                shutil.rmtree(dest, ignore_errors=True)
                os.makedirs(dest)
                server.clear_log()
                with open(os.path.join(base, "client.err"), "w+b") as err:
                    start = time.monotonic()
                    status = subprocess.run(in_client(command(dest, cookie)), env=env,
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err,
                                            timeout=1800).returncode
                    wall = time.monotonic() - start
                    err.seek(0)
                    said = err.read().decode("utf-8", "replace").strip()[-500:]
                if status != 0 or not fetched_all(dest, args.files, args.size):
                    raise RuntimeError(f"{name}: status {status}, not every file arrived: {said}")
                commands, fetched, gaps, rounds = read_log(server)
                results[name].append((wall, server.logins(), commands, fetched, gaps, rounds))
                print(f"{run:>3}  {name:<26} {wall:>7.2f} {server.logins():>6} {len(commands):>5}", flush=True)

        print()
        print(f"{'client':<26} {'wall s':>7} {'x lftp':>6} {'cmds/file':>9} {'once per file':<15} "
              f"{'logins/run':>10} {'gap ms':>6} {'round ms':>8}")
        lftp_wall = statistics.median(r[0] for r in results[clients[-1][0]])
        summary = {}
        for name, runs in results.items():
            wall = statistics.median(r[0] for r in runs)
            per_file = statistics.mean(len(r[2]) / max(len(r[3]), 1) for r in runs)
            names = [c.split(" ")[0] for c in runs[-1][2]]
            each = [c for c in dict.fromkeys(names) if names.count(c) >= len(runs[-1][3])]
            logins = statistics.mean(r[1] for r in runs)
            gap = statistics.median(g for r in runs for g in r[4])
            file_round = statistics.median(t for r in runs for t in r[5])
            summary[name] = (wall / lftp_wall, len(each), logins)
            print(f"{name:<26} {wall:>7.2f} {wall / lftp_wall:>6.3f} {per_file:>9.2f} {' '.join(each):<15} "
                  f"{logins:>10g} {gap:>6.1f} {file_round:>8.1f}")
        ratio, each, logins = summary["Linux build"]
        met = ratio <= 1.02 and each == 2 and logins == 1
        print(f"\nLinux build against the goal (at most 1.02 x lftp, 2 commands per file, 1 login per run): "
              f"{'met' if met else 'not met'}{'' if link else ' (but measured without the slow link)'}")
        if key:
            signed_ratio = summary["Linux build, signed"][0] / ratio
            print(f"a signed meeting: {signed_ratio:.3f} x an unsigned one (goal: under 1.02 x): "
                  f"{'met' if signed_ratio < 1.02 else 'not met'}")
        if not os.path.exists(NGINX) or os.geteuid() != 0:
            print("\nHTTPS: left out, it needs nginx (scripts/setup) and root (the system's store)")
            return
        ftp_wall = statistics.median(r[0] for r in results["Linux build"])
        os.makedirs(os.path.join(base, "web"))
        web = WebServer(os.path.join(base, "web"), os.path.join(base, "server"), host,
                        launch=link.server if link else list)
        cleanups.append(web.stop)
        cleanups.append(trust(web.ca))
        https_runs(args, base, web, host, in_client, wine, windows_exe if wine else None, ftp_wall)
    finally:
        for cleanup in reversed(cleanups):
            cleanup()
        if wine:
            wine.stop()
        if server:
            server.stop()
        if link:
            link.close()
        shutil.rmtree(base, ignore_errors=True)


def https_runs(args, base, web, host, in_client, wine, windows_exe, ftp_wall):
    """The same tree over HTTPS from nginx: the builds with Tarnwick.cfg saying HTTPS, curl and wget."""
    folder = os.path.join(base, "server", REMOTE)
    shutil.copy(os.path.join(folder, "FileUpdate.dat"), os.path.join(folder, "FileUpDate.dat"))
    names = (["FileUpDate.dat"] + [f"doc{i:03d}.pdf" for i in range(args.files)] +
             ["Tarnwick.msg", "Enote.Doc", "MainTarnwick.html", "FileUpdate.dat"])
    urls = [f"https://{host}:{web.port}/{REMOTE}/{name}" for name in names]
    url_list = os.path.join(base, "urls")
    with open(url_list, "w") as f:
        f.write("".join(url + "\n" for url in urls))
    cookie = write_cookie(base, host, web.port)

    def configured(dest):
        with open(os.path.join(dest, "Tarnwick.cfg"), "wb") as f:
            f.write(crlf(["bench", f"https://{host}/meeting", "HTTPS"]))

    proxy = Squid(launch=in_client)
    direct = {name: value for name, value in os.environ.items() if not name.lower().endswith("_proxy")}
    clients = [("Linux build, HTTPS", direct, lambda dest: [
        args.exe, "--ui", "terminal", "--yes", "--folder", dest, "--cookie-file", cookie]),
        ("Linux build, HTTPS, proxy", dict(direct, https_proxy=f"http://127.0.0.1:{proxy.port}"), lambda dest: [
            args.exe, "--ui", "terminal", "--yes", "--folder", dest, "--cookie-file", cookie])]
    if wine:
        clients.append(("Windows build, HTTPS, Wine", wine.env, lambda dest: [
            "wine", windows_exe, "--ui", "terminal", "--yes", "--folder", windows_path(dest),
            "--cookie-file", windows_path(cookie)]))
    def curl(dest):
        return ["curl", "--silent", "--show-error", "--fail", "--cacert", web.ca, "--user", f"{USER}:{PASSWORD}",
                *[a for name, url in zip(names, urls) for a in ("-o", os.path.join(dest, name), url)]]
    clients.append(("curl, one connection", direct, curl))
    clients.append(("curl, one connection, proxy", clients[1][1], curl))
    # The best a general tool does over HTTP/2: up to 16 files in flight on the one connection.
    clients.append(("curl --parallel --http2", direct,
                    lambda dest: curl(dest)[:1] + ["--parallel", "--parallel-max", "16", "--http2"] + curl(dest)[1:]))
    clients.append(("wget, one connection", None, lambda dest: [
        "wget", "--quiet", "--ca-certificate", web.ca, "--user", USER, "--password", PASSWORD,
        "--directory-prefix", dest, "--input-file", url_list]))
    print(f"\nthe same tree over HTTPS from nginx at {host}:{web.port}")
    results = {name: [] for name, _, _ in clients}
    for run in range(1, args.runs + 1):
        for name, env, command in clients:
            dest = os.path.join(base, "component")
            shutil.rmtree(dest, ignore_errors=True)
            os.makedirs(dest)
            configured(dest)
            web.clear_log()
            start = time.monotonic()
            done = subprocess.run(in_client(command(dest)), env=env, stdin=subprocess.DEVNULL,
                                  capture_output=True, timeout=1800)
            wall = time.monotonic() - start
            if done.returncode != 0 or not fetched_all(dest, args.files, args.size):
                raise RuntimeError(f"{name}: status {done.returncode}, not every file arrived: "
                                   f"{done.stderr.decode('utf-8', 'replace')[-500:]}")
            requests = web.requests()
            connections = len({connection for connection, *_ in requests})
            results[name].append((wall, connections, len(requests)))
            print(f"{run:>3}  {name:<26} {wall:>7.2f} {connections:>5} conn {len(requests):>5} requests", flush=True)
    curl_wall = statistics.median(r[0] for r in results["curl, one connection"])
    print(f"\n{'client':<26} {'wall s':>7} {'x FTP':>6} {'x curl':>6} {'connections':>11} {'requests/file':>13}")
    for name, runs in results.items():
        wall = statistics.median(r[0] for r in runs)
        print(f"{name:<26} {wall:>7.2f} {wall / ftp_wall:>6.3f} {wall / curl_wall:>6.3f} "
              f"{statistics.mean(r[1] for r in runs):>11g} {statistics.mean(r[2] for r in runs) / len(names):>13.2f}")
    proxy.stop()
    wall = statistics.median(r[0] for r in results["Linux build, HTTPS"])
    met = wall <= 0.6 * ftp_wall and wall <= 1.05 * curl_wall
    print(f"\nLinux build over HTTPS against the goal (at most 0.6 x its FTP time, 1.05 x curl's): "
          f"{'met' if met else 'not met'}")
    proxied = statistics.median(r[0] for r in results["Linux build, HTTPS, proxy"])
    curl_proxied = statistics.median(r[0] for r in results["curl, one connection, proxy"])
    print(f"through the proxy: {proxied / wall:.3f} x direct (goal: under 1.05 x): "
          f"{'met' if proxied < 1.05 * wall else 'not met'}; curl through it: {curl_proxied / curl_wall:.3f} x direct")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[1])
    parser.add_argument("--link", choices=("loopback", "wan"), default="loopback")
    parser.add_argument("--checked", action="store_true", help="entries with size= and sha256=, checked")
    parser.add_argument("--signed", action="store_true",
                        help="over the slow link: the meeting signed, and the Linux build once more with its key")
    parser.add_argument("--runs", type=int, help="runs per client: 3 on loopback, 1 over the slow link")
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--size", type=int, default=20 << 10)
    parser.add_argument("--big-mb", type=int, default=20, help="loopback only")
    parser.add_argument("--delay-ms", type=float, default=25, help="each way, over the slow link; 0: loopback")
    parser.add_argument("--exe", default=os.path.join(ROOT, "build", "tarnwick-download"))
    parser.add_argument("--windows-exe", default=os.path.join(ROOT, "build-windows", "tarnwick-download.exe"))
    parser.add_argument("--wine-prefix", default=os.path.join(ROOT, "build", "bench", "wine-prefix"))
    args = parser.parse_args()
    if args.runs is None:
        args.runs = 3 if args.link == "loopback" else 1
    # A terminated benchmark still takes its namespaces, servers and Wine away (the finally clauses).
    for ending in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(ending, lambda number, _: sys.exit(128 + number))
    (loopback if args.link == "loopback" else compare)(args)


if __name__ == "__main__":
    main()
