"""Shared pieces of the whole-run tests: a meeting server on loopback, meetings written to it, and the
real executable run against it."""
import hashlib
import os
import shlex
import shutil
import socket
import subprocess
import tempfile
import time
import unittest
import urllib.parse
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "windows"))
from wine_prefix import windows_path  # noqa: E402

# The Windows build runs under Wine: TARNWICK_RUNNER is the command that starts it ("wine"), and the program
# sees the Linux root as drive Z:.
RUNNER = shlex.split(os.environ.get("TARNWICK_RUNNER", ""))
WINDOWS = bool(RUNNER)
linux_only = unittest.skipIf(WINDOWS, "needs what only Linux has")
SYSTEM_PYTHON = "/usr/bin/python3"
USER = "meeting"
PASSWORD = "Pa:ss@w/rd=9"


# A busy server's refusals are tried again; a test of the box that ends a run tries once.
ONE_TRY = ("--tries", "1")

# Fetched at the end of every run that fetches anything.
TAIL = ["Tarnwick.msg", "Enote.Doc", "MainTarnwick.html", "FileUpdate.dat"]


def remote(*names, folder="m/TW3/t1"):
    """The remote paths of files in the meeting's folder, as the server logs them."""
    return [f"{folder}/{name}" for name in names]


def program(*args):
    """The command that starts the executable under test with `args`."""
    return RUNNER + [os.environ["TARNWICK_DOWNLOAD"], *args]


def native(path):
    """A local path as the program under test names it."""
    return windows_path(path) if WINDOWS else os.path.realpath(path)


def crlf(lines):
    return "".join(line + "\r\n" for line in lines).encode("cp874")


class MeetingServer:
    """pyftpdlib serving `root`, started in its own process and stopped by stop()."""

    def __init__(self, root, max_cons=64, launch=None, options=()):
        """`options`: more of ftp_server.py's arguments (--max-cons-per-ip, --busy-seconds). `launch` turns
        its arguments into the command that starts it (by default, on loopback)."""
        self.root = root
        self.log_path = os.path.join(root, "..", "server.log")
        self.faults_path = os.path.join(root, "..", "server.faults")
        ready = os.path.join(root, "..", "server.ready")
        password_file = os.path.join(root, "..", "server.password")
        with open(os.open(password_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as f:
            f.write(PASSWORD)
        for stale in (self.log_path, ready):
            if os.path.exists(stale):
                os.remove(stale)
        arguments = ["--root", root, "--user", USER, "--password-file", password_file, "--log", self.log_path,
                     "--ready", ready, "--faults", self.faults_path, "--max-cons", str(max_cons), *options]
        launch = launch or (lambda args: [SYSTEM_PYTHON, os.path.join(HERE, "ftp_server.py"), *args])
        self.process = subprocess.Popen(launch(arguments), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not os.path.exists(ready):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the FTP server did not start")
            time.sleep(0.02)
        with open(ready) as f:
            self.port = int(f.read())

    def inject(self, name, fault, times=None):
        """From now on the RETR of `name` meets the fault (see ftp_server.py), `times` times or always."""
        add_script_line(self.faults_path, name, fault, times)

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def log(self):
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, encoding="utf-8") as f:
            return [line.rstrip("\n").split(" ", 3) for line in f]

    def clear_log(self):
        open(self.log_path, "w").close()

    def commands(self):
        return [(entry[1], entry[3]) for entry in self.log() if entry[2] == "CMD"]

    def retrieved(self):
        return [detail[len("RETR "):] for _, detail in self.commands() if detail.startswith("RETR ")]

    def sent(self, name):
        """The bytes of `name` that the server sent, over all its requests."""
        spans = [entry[3].rsplit(" ", 2) for entry in self.log() if entry[2] == "SENDING"]
        return sum(int(end) - int(start) for sent_name, start, end in spans if sent_name == name)

    def logins(self):
        return sum(1 for entry in self.log() if entry[2] == "LOGIN")

    def refusals(self):
        """The connections and data connections refused for a full or busy server."""
        return sum(1 for entry in self.log() if entry[2] == "REFUSED")


class Workspace:
    """A server folder, a component folder, and helpers to write meetings and run downloads."""

    def __init__(self):
        self.base = tempfile.mkdtemp(prefix="tarnwick-it-")
        self.server_root = os.path.join(self.base, "server")
        self.component = os.path.join(self.base, "component")
        os.makedirs(self.server_root)
        os.makedirs(self.component)
        self.server = None

    def start_server(self, max_cons=64, options=()):
        self.server = MeetingServer(self.server_root, max_cons, options=options)
        return self.server

    def close(self):
        if self.server:
            self.server.stop()
        shutil.rmtree(self.base, ignore_errors=True)

    def remote_folder(self, sub="m/TW3", time_source="t1"):
        folder = os.path.join(self.server_root, sub, time_source)
        os.makedirs(folder, exist_ok=True)
        return folder

    def publish(self, generation, revision, files, sub="m/TW3", time_source="t1", extra_entries=(), checked=False):
        """Puts the files on the server with a manifest that lists them (details: a digest of the content;
        `checked`: each file's size= and sha256=, which the program checks)."""
        folder = self.remote_folder(sub, time_source)
        entries = []
        for name, content in files.items():
            data = content if isinstance(content, bytes) else content.encode("utf-8")
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
            entries.append(f"{name} size={len(data)} sha256={hashlib.sha256(data).hexdigest()}" if checked
                           else f"{name} {len(data)}-{zlib.crc32(data):08x}")
        entries.extend(extra_entries)
        with open(os.path.join(folder, "FileUpdate.dat"), "wb") as f:
            f.write(crlf([generation, revision] + entries))

    def publish_tail(self, title_lines, sub="m/TW3", time_source="t1"):
        folder = self.remote_folder(sub, time_source)
        with open(os.path.join(folder, "Tarnwick.msg"), "wb") as f:
            f.write(crlf(title_lines))
        for name, content in (("Enote.Doc", b"enote"), ("MainTarnwick.html", b"<html>main</html>")):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(content)

    def cookie(self, port=None, sub="m\\TW3", time_source="t1", password=PASSWORD):
        port = self.server.port if port is None else port
        host = f"127%2E0%2E0%2E1:{port}"
        return f"HOST={host};LOGIN={USER};PWD={password};SUBSOURCE={sub};TIMESOURCE={time_source}"

    def link(self, cookie):
        """The link a meeting page opens with this cookie (encodeURIComponent of it)."""
        return "tarnwick-download:" + link_encoded(cookie)

    def run(self, cookie, *extra, timeout=120, under=(), env=None):
        cookie_file = os.path.join(self.base, "cookie.txt")
        with open(cookie_file, "w", encoding="utf-8") as f:
            f.write(cookie + "\n")
        result = subprocess.run(
            [*under, *program("--folder", native(self.component), "--cookie-file", native(cookie_file), "--ui",
                              "terminal", *extra)],
            stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout, env=env)
        result.text = result.stdout.decode("utf-8", "replace") + result.stderr.decode("utf-8", "replace")
        return result

    def partial_files(self):
        """Temporary files of unfinished writes anywhere in the component folder: there must be none."""
        return [os.path.join(folder, name) for folder, _, names in os.walk(self.component)
                for name in names if ".part-" in name]

    def local(self, *parts):
        return os.path.join(self.component, *parts)

    def read_local(self, *parts):
        with open(self.local(*parts), "rb") as f:
            return f.read()


def link_encoded(text):
    """As encodeURIComponent writes it."""
    return urllib.parse.quote(text, safe="!'()*-._~")


def add_script_line(path, name, what, times=None):
    """One line of a scripted server's faults: `name` meets `what`, `times` times or always."""
    with open(path, "a", encoding="utf-8") as f:
        f.write(f"{name} {what}{'' if times is None else f' {times}'}\n")


def wait_for(condition, what, timeout=20):
    """What `condition` gives once it gives something."""
    deadline = time.monotonic() + timeout
    while not (value := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"waited {timeout} s in vain for {what}")
        time.sleep(0.02)
    return value


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
