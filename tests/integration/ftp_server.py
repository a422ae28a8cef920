"""A meeting server on loopback for tests, the demo and the benchmark.

pyftpdlib with what a meeting server does: names arrive in Windows-874 and are looked up without
regard to letter case (so "FileUpDate.dat" and "FileUpdate.dat" name one file). Every command, login
and completed file is appended to a log, one line each: "<ns> <session> <EVENT> <detail>". PASS is
never logged with its argument.

    /usr/bin/python3 ftp_server.py --root DIR --user U --password-file F --log FILE --ready FILE
writes "<port>" to the ready file once it listens, and serves until it is terminated. The password is
read from a file so that it never shows in the process list.

Faults are injected per file through the file given with --faults, read at every RETR; each line is
"<file name> <fault>": a reply code (the RETR is answered with it), "drop" (half the file is sent, then
both connections close), or "stall" (the RETR is never answered).
"""
import argparse
import os
import sys
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


def make_handler(log_path, faults_path):
    log = open(log_path, "a", buffering=1, encoding="utf-8")

    def fault_for(name):
        if not faults_path or not os.path.exists(faults_path):
            return None
        with open(faults_path, encoding="utf-8") as faults:
            for line in faults:
                parts = line.split()
                if len(parts) == 2 and parts[0] == name:
                    return parts[1]
        return None

    class LoggingHandler(FTPHandler):
        abstracted_fs = CaseBlindFS
        banner = "meeting server ready"

        def decode(self, data):
            return data.decode("cp874", self.unicode_errors)

        def _log(self, event, detail=""):
            log.write(f"{time.monotonic_ns()} {id(self)} {event} {detail}\n")

        def on_connect(self):
            self._log("CONNECT")

        def pre_process_command(self, line, cmd, arg):
            self._log("CMD", cmd if cmd == "PASS" else f"{cmd} {arg}".rstrip())
            return super().pre_process_command(line, cmd, arg)

        def on_login(self, username):
            self._log("LOGIN", username)

        def on_file_sent(self, file):
            self._log("SENT", os.path.basename(file))

        def on_incomplete_file_sent(self, file):
            self._log("INCOMPLETE", os.path.basename(file))

        def ftp_RETR(self, file):
            name = os.path.basename(file)
            fault = fault_for(name)
            if fault is None:
                return super().ftp_RETR(file)
            self._log("FAULT", f"{name} {fault}")
            if fault.isdigit():
                self.respond(f"{fault} Injected failure.")
            elif fault == "drop":
                self.respond("150 File status okay. About to open data connection.")
                if self.data_channel is not None:
                    with open(file, "rb") as f:
                        data = f.read()
                    self.data_channel.socket.sendall(data[:len(data) // 2])
                self.close()
            return None

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
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    with open(args.password_file, encoding="utf-8") as f:
        password = f.read().rstrip("\n")
    authorizer.add_user(args.user, password, args.root, perm="elr")
    handler = make_handler(args.log, args.faults)
    handler.authorizer = authorizer
    handler.passive_ports = None
    server = FTPServer(("127.0.0.1", args.port), handler)
    server.max_cons = 64
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
