"""A meeting server on loopback for tests, the demo and the benchmark.

pyftpdlib with what a meeting server does: names arrive in Windows-874 and are looked up without
regard to letter case (so "FileUpDate.dat" and "FileUpdate.dat" name one file). Every command, login
and completed file is appended to a log, one line each: "<ns> <session> <EVENT> <detail>". PASS is
never logged with its argument.

    /usr/bin/python3 ftp_server.py --root DIR --user U --password-file F --log FILE --ready FILE
writes "<port>" to the ready file once it listens, and serves until it is terminated. The password is
read from a file so that it never shows in the process list.

Every RETR is answered "150 Opening BINARY mode data connection for <name> (<size> bytes).", as common
servers do, so that a client can tell a transfer cut short. With --plain-150 it names no size, as stock
pyftpdlib answers ("150 File status okay. About to open data connection."), faults included.

Faults are injected per file through the file given with --faults, read at every RETR; each line is
"<file name> <fault>": a reply code (the RETR is answered with it; after a 421 the server closes the
connection), "drop" (half the file is sent, then both connections close), "short" (the 150 announces the
whole file, half of it is sent and the transfer is reported complete with 226: a data connection cut short
on the way), "long" (the 150 announces half the file and the whole file is sent), "stall" (the RETR is
never answered), "hangup" (the file is sent; the login's next command then gets 421 and the login
closes, as when a server's idle time-out struck while the client kept the login open: the client cannot
tell before it asks), "reset-P" (from the asked offset to P % of the file is sent, then the data connection
is reset and the RETR answered 426, as a link that breaks does), or "republish-P" (the same, after which the
file is published anew: the same size, other bytes, a later modification time), "republish-same-P" (the
same, keeping the modification time too: only the bytes tell), "republish-longer-P" (the same time, the
first KiB changed and a KiB more at the end: the bytes about the break are as they were, only the size tells), "rest-ignored" (after a REST the file is sent
from byte 0, as a gateway that drops REST does; a RETR without REST passes it by) or "endless" (the 150
names no size and bytes come until the client closes the data connection; as a guard for a client with no
bound, the server ends it as complete after 256 MiB). A third field N makes the fault strike the first N
requests only. The name "<rest>" with a reply code answers every REST with it, "<size>" every SIZE.
With --max-cons the server refuses connections beyond that many at once with 421, as busy servers do (a
PASV then gets 425), and with --max-cons-per-ip those beyond that many logins from one address. The name
"<connect>" with a reply code answers every new connection with that code in place of the greeting and
closes it; so does --busy-seconds S with 421 for the first S seconds after the server starts. Each refusal
for being full or busy is logged as REFUSED. Every RETR logs the bytes it sends as "SENDING <name> <from>
<to>"; an endless one, once its data connection closed, from 0 to the count that went out.
"""
import argparse
import fcntl
import os
import socket
import struct
import sys
import termios
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class CaseBlindFS(AbstractedFS):
    def ftp2fs(self, ftppath):
        path = super().ftp2fs(ftppath)
        root = os.path.realpath(self.root)
        resolved = root
        for part in os.path.relpath(path, root).split(os.sep):
            if part in ("", "."):
                continue
            candidate = os.path.join(resolved, part)
            if not os.path.exists(candidate) and os.path.isdir(resolved):
                matches = [n for n in os.listdir(resolved) if n.lower() == part.lower()]
                if matches:
                    candidate = os.path.join(resolved, matches[0])
            resolved = candidate
        return resolved


PLAIN_150 = "150 File status okay. About to open data connection."
ENDLESS_GUARD = 256 << 20


def announcement(path, size):
    return f"150 Opening BINARY mode data connection for {os.path.basename(path)} ({size} bytes)."


def republished_longer(data):
    """A file published anew that differs only far from where a break leaves it: its first KiB, and a KiB more."""
    return bytes(b ^ 0xFF for b in data[:1024]) + data[1024:] + data[:1024]


class Endless:
    """A producer of `block` over and over, up to the guard."""

    def __init__(self, block):
        self.block = block
        self.produced = 0

    def more(self):
        if self.produced >= ENDLESS_GUARD:
            return b""
        self.produced += len(self.block)
        return self.block


def make_handler(log_path, faults_path, busy_until=0.0, plain_150=False):
    log = open(log_path, "a", buffering=1, encoding="utf-8")

    def announce(path, size):
        return PLAIN_150 if plain_150 else announcement(path, size)

    fired = {}  # (name, fault) -> how often it struck, for faults that strike a given number of times

    def fault_for(name, applies=lambda fault: True):
        """The fault that the next request for `name` meets, and counts as struck; one that does not apply to
        this request is passed by uncounted."""
        if not faults_path or not os.path.exists(faults_path):
            return None
        with open(faults_path, encoding="utf-8") as faults:
            for line in faults:
                parts = line.split()
                if len(parts) in (2, 3) and parts[0] == name and applies(parts[1]):
                    key = (name, parts[1])
                    if len(parts) == 3 and fired.get(key, 0) >= int(parts[2]):
                        continue
                    fired[key] = fired.get(key, 0) + 1
                    return parts[1]
        return None

    class LoggingHandler(FTPHandler):
        abstracted_fs = CaseBlindFS
        banner = "meeting server ready"

        def decode(self, data):
            return data.decode("cp874", self.unicode_errors)

        def _log(self, event, detail=""):
            log.write(f"{time.monotonic_ns()} {id(self)} {event} {detail}\n")

        def handle_max_cons(self):
            self._log("REFUSED", "max-cons")
            super().handle_max_cons()

        def handle_max_cons_per_ip(self):
            self._log("REFUSED", "max-cons-per-ip")
            super().handle_max_cons_per_ip()

        def on_connect(self):
            self._log("CONNECT")
            if time.monotonic() < busy_until:
                self._log("REFUSED", "busy")
                self.respond("421 Too many connections. Service temporarily unavailable.")
                self.close_when_done()
                return
            fault = fault_for("<connect>")
            if fault is not None and fault.isdigit():
                # Refused the way a server at its connection limit refuses: no greeting, then closed.
                self._log("FAULT", f"<connect> {fault}")
                self.respond(f"{fault} Too many connections. Service temporarily unavailable.")
                self.close_when_done()

        def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
            self._announcing = file if cmd == "RETR" and file is not None else None
            try:
                return super().push_dtp_data(data, isproducer, file, cmd)
            finally:
                self._announcing = None

        def respond(self, resp, *args, **kwargs):
            if resp.startswith("425 Too many connections"):
                self._log("REFUSED", "data connection")
            # pyftpdlib's own 150/125 for RETR carries no size; announce the file's whole size in its place.
            file = getattr(self, "_announcing", None)
            if file is not None and resp[:4] in ("150 ", "125 ") and not plain_150:
                self._announcing = None
                size = getattr(self, "_announced_size", None)
                resp = announcement(file.name, os.fstat(file.fileno()).st_size if size is None else size)
            return super().respond(resp, *args, **kwargs)

        def pre_process_command(self, line, cmd, arg):
            self._log("CMD", cmd if cmd == "PASS" else f"{cmd} {arg}".rstrip())
            if getattr(self, "_gone", False):
                self.respond("421 Timeout.")
                self.close_when_done()
                return None
            return super().pre_process_command(line, cmd, arg)

        def on_login(self, username):
            self._log("LOGIN", username)

        def on_disconnect(self):
            self._log("DISCONNECT")

        def on_file_sent(self, file):
            self._log("SENT", os.path.basename(file))
            if getattr(self, "_hangup", False):
                self._hangup = False
                self._log("FAULT", f"{os.path.basename(file)} hangup")
                self._gone = True

        def on_incomplete_file_sent(self, file):
            self._log("INCOMPLETE", os.path.basename(file))

        def ftp_REST(self, line):
            fault = fault_for("<rest>")
            if fault is not None:
                self._log("FAULT", f"<rest> {fault}")
                self.respond(f"{fault} Injected failure.")
                return
            super().ftp_REST(line)

        def ftp_SIZE(self, path):
            fault = fault_for("<size>")
            if fault is not None:
                self._log("FAULT", f"<size> {fault}")
                self.respond(f"{fault} Injected failure.")
                return
            super().ftp_SIZE(path)

        def sending(self, name, start, end):
            """Every RETR logs the bytes it sends: "SENDING <name> <from> <to>"."""
            self._log("SENDING", f"{name} {start} {end}")

        def ftp_RETR(self, file):
            name = os.path.basename(file)
            fault = fault_for(name, lambda fault: fault != "rest-ignored" or self._restart_position > 0)
            if fault == "rest-ignored":
                self._log("FAULT", f"{name} {fault} {self._restart_position}")
                self._restart_position = 0
                fault = None
            if fault is None or fault == "hangup":
                self._hangup = fault == "hangup"
                if os.path.isfile(file):
                    self.sending(name, self._restart_position, os.path.getsize(file))
                return super().ftp_RETR(file)
            self._log("FAULT", f"{name} {fault}")
            if fault.startswith(("reset-", "republish-")):
                return self.break_link(file, fault)
            if fault == "endless":
                with open(file, "rb") as f:
                    block = f.read(1 << 16) or b"endless "
                self._endless = name
                self._restart_position = 0
                self.push_dtp_data(Endless(block * (1 + (1 << 16) // len(block))), isproducer=True, cmd="RETR")
                return file
            if fault.isdigit():
                self.respond(f"{fault} Injected failure.")
                if fault == "421":
                    self.close_when_done()
            elif fault == "drop":
                with open(file, "rb") as f:
                    data = f.read()
                self.respond(announce(file, len(data)))
                if self.data_channel is not None:
                    self.data_channel.socket.sendall(data[:len(data) // 2])
                self.close()
            elif fault in ("short", "long"):
                f = self.run_as_current_user(self.fs.open, file, "rb")
                data = f.read()
                if fault == "short":
                    self.push_dtp_data(data[:len(data) // 2], file=f, cmd="RETR")
                else:
                    self._announced_size = len(data) // 2
                    try:
                        self.push_dtp_data(data, file=f, cmd="RETR")
                    finally:
                        self._announced_size = None
                return file
            return None

        def break_link(self, file, fault):
            start, self._restart_position = self._restart_position, 0
            self.respond(announce(file, os.path.getsize(file)))
            self._breaking = (file, fault, start)
            if self.data_channel is not None:
                self._on_dtp_connection()

        def _on_dtp_connection(self):
            breaking, self._breaking = getattr(self, "_breaking", None), None
            if breaking is None:
                return super()._on_dtp_connection()
            file, fault, start = breaking
            with open(file, "rb") as f:
                data = f.read()
            end = max(start, len(data) * int(fault.split("-")[-1]) // 100)
            self.sending(os.path.basename(file), start, end)
            # The whole span handed over and acknowledged (pyftpdlib's sockets do not wait), then a moment
            # to be read by the client before the reset, which drops what it still buffers.
            self.data_channel.socket.setblocking(True)
            self.data_channel.socket.sendall(data[start:end])
            deadline = time.monotonic() + 30
            while fcntl.ioctl(self.data_channel.socket, termios.TIOCOUTQ, b"\0" * 4) != b"\0" * 4 and \
                    time.monotonic() < deadline:
                time.sleep(0.01)
            time.sleep(0.2)
            self.data_channel.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.data_channel.close()
            self.respond("426 Connection closed; transfer aborted.")
            if fault.startswith("republish-"):
                mtime = os.stat(file).st_mtime_ns
                with open(file, "wb") as f:
                    if fault.startswith("republish-longer-"):
                        f.write(republished_longer(data))
                    else:
                        f.write(data.translate(bytes((b + 1) % 256 for b in range(256))))
                later = 0 if fault.startswith(("republish-same-", "republish-longer-")) else 3600 * 10**9
                os.utime(file, ns=(mtime + later, mtime + later))
            return None

        def _on_dtp_close(self):
            name, self._endless = getattr(self, "_endless", None), None
            if name is not None and self.data_channel is not None:
                self.sending(name, 0, self.data_channel.tot_bytes_sent)
            super()._on_dtp_close()

    return LoggingHandler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password-file", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--ready", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--faults")
    parser.add_argument("--max-cons", type=int, default=64, help="connections at once, data connections included")
    parser.add_argument("--max-cons-per-ip", type=int, default=0, help="logins at once from one address")
    parser.add_argument("--busy-seconds", type=float, default=0, help="every connection refused for so long")
    parser.add_argument("--plain-150", action="store_true", help="the 150 of a RETR names no size")
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    with open(args.password_file, encoding="utf-8") as f:
        password = f.read().rstrip("\n")
    authorizer.add_user(args.user, password, args.root, perm="elr")
    handler = make_handler(args.log, args.faults, time.monotonic() + args.busy_seconds, args.plain_150)
    handler.authorizer = authorizer
    handler.passive_ports = None
    server = FTPServer(("127.0.0.1", args.port), handler)
    server.max_cons = args.max_cons
    server.max_cons_per_ip = args.max_cons_per_ip
    port = server.socket.getsockname()[1]
    with open(args.ready + ".tmp", "w") as ready:
        ready.write(str(port))
    os.rename(args.ready + ".tmp", args.ready)
    try:
        server.serve_forever(timeout=0.5)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
