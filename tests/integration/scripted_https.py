"""A web server of the tests' own over HTTPS on loopback, whose answers go wrong as scripted.

    /usr/bin/python3 scripted_https.py --root DIR --cert PEM --key PEM --user U --password-file F --log FILE
        --script FILE --ready FILE
writes "<port>" to the ready file once it listens, and serves until it is terminated. HTTP/1.1 with the
connection kept open; GET and HEAD of the files under the root, names looked up without regard to letter case
(so "FileUpDate.dat" and "FileUpdate.dat" name one file); basic authentication with the meeting's login, 401
otherwise. Unscripted it answers as a web server does: a strong ETag that follows the file's bytes and
Last-Modified; a Range "bytes=S-" or "bytes=S-E" answered 206 while If-Range, when sent, names the file, else
200 with the whole file; a start past the end 416.

The script is read at every GET; each line is "<file name> <answer>", with a third field N when the answer
strikes the first N requests only:
  cut-P            the unscripted answer (its Content-Length whole) up to P % of the file, then the
                   connection closed, as a link that breaks
  range-length-N   a range request answered 206 from the asked start to the file's end, the complete length
                   in Content-Range N
  range-star       a range request answered 206 "bytes S-E/*", with 1000 bytes more than the file has
  416              a range request answered 416
  endless          200, chunked, bytes until the client closes the connection (256 MiB, then ended, as a
                   guard for a client with no bound)
  two-lengths-A-B  200 with two Content-Length headers, A then B, B bytes of the file, then closed
  range-start-N    a range request answered 206 from byte N, its Content-Range saying so, the length right
  redirect-URL     302 to URL as written ("/m/x.doc", "x.doc", "https://other:1/x", "https://u:p@host/x")
  gzip             200 with the file gzip-compressed and "Content-Encoding: gzip", asked for or not
  busy-N           503, with "Retry-After: N" when N is not 0
The range answers pass a request without Range by, uncounted.

Each request is logged when its answer ends: "<method> <path> <Range or -> <status> <body bytes sent>".
"""
import argparse
import base64
import email.utils
import hashlib
import http.server
import os
import re
import ssl
import subprocess
import sys
import threading
import urllib.parse
import zlib

ENDLESS_GUARD = 256 << 20


def resolve(root, url_path):
    """The file that the URL path names under `root`, matching each name without regard to case; None."""
    resolved = root.encode()
    for part in urllib.parse.unquote_to_bytes(url_path.split("?")[0]).split(b"/"):
        if part in (b"", b"."):
            continue
        if part == b".." or not os.path.isdir(resolved):
            return None
        matches = [n for n in os.listdir(resolved) if n == part] or \
                  [n for n in os.listdir(resolved) if n.lower() == part.lower()]
        if not matches:
            return None
        resolved = os.path.join(resolved, matches[0])
    return resolved if os.path.isfile(resolved) else None


def make_handler(root, user, password, log_path, script_path):
    lock = threading.Lock()
    fired = {}  # (name, answer) -> how often it struck
    login = "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()

    def answer_for(name, ranged):
        if not os.path.exists(script_path):
            return None
        with lock, open(script_path, encoding="utf-8") as script:
            for line in script:
                parts = line.split()
                if len(parts) not in (2, 3) or parts[0] != name:
                    continue
                if not ranged and parts[1].startswith(("range-", "416")):
                    continue
                key = (name, parts[1])
                if len(parts) == 3 and fired.get(key, 0) >= int(parts[2]):
                    continue
                fired[key] = fired.get(key, 0) + 1
                return parts[1]
        return None

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        timeout = 60

        def log_message(self, *args):
            pass

        def do_GET(self):
            self.answer(body=True)

        def do_HEAD(self):
            self.answer(body=False)

        def answer(self, body):
            self.status, self.sent = 0, 0
            try:
                self.serve(body)
            except (OSError, ValueError):  # the client went: nothing more to send
                self.close_connection = True
            finally:
                line = f"{self.command} {self.path} {self.headers.get('Range', '-').replace(' ', '')} " \
                       f"{self.status} {self.sent}\n"
                with lock, open(log_path, "a", encoding="utf-8") as log:
                    log.write(line)

        def head(self, status, headers):
            self.status = status
            self.send_response(status)
            for name, value in headers:
                self.send_header(name, value)
            self.end_headers()

        def send(self, data):
            for at in range(0, len(data), 1 << 16):
                self.wfile.write(data[at:at + (1 << 16)])
                self.sent += len(data[at:at + (1 << 16)])

        def serve(self, body):
            if self.headers.get("Authorization") != login:
                self.head(401, [("WWW-Authenticate", 'Basic realm="meeting"'), ("Content-Length", "0")])
                return
            path = resolve(root, self.path)
            if path is None:
                self.head(404, [("Content-Length", "0")])
                return
            with open(path, "rb") as f:
                data = f.read()
            size = len(data)
            tag = '"' + hashlib.sha256(data).hexdigest()[:32] + '"'
            modified = email.utils.formatdate(os.path.getmtime(path), usegmt=True)
            names = [("ETag", tag), ("Last-Modified", modified)]
            asked = re.fullmatch(r"bytes=(\d+)-(\d*)", self.headers.get("Range", "").replace(" ", ""))
            if_range = self.headers.get("If-Range")
            if asked and if_range is not None and if_range not in (tag, modified):
                asked = None  # another file than the client's: the whole of this one
            start = int(asked.group(1)) if asked else 0
            end = min(int(asked.group(2) or size - 1), size - 1) if asked else size - 1
            answer = answer_for(os.path.basename(path).decode("cp874", "replace"), asked is not None) \
                if body else None

            if answer is not None and answer.startswith("range-length-"):
                self.head(206, names + [("Content-Range", f"bytes {start}-{size - 1}/{answer.split('-')[-1]}"),
                                        ("Content-Length", str(size - start))])
                self.send(data[start:])
            elif answer is not None and answer.startswith("range-start-"):
                wrong = int(answer.split("-")[-1])
                self.head(206, names + [("Content-Range", f"bytes {wrong}-{size - 1}/{size}"),
                                        ("Content-Length", str(size - wrong))])
                self.send(data[wrong:])
            elif answer is not None and answer.startswith("redirect-"):
                self.head(302, [("Location", answer[len("redirect-"):]), ("Content-Length", "0")])
            elif answer is not None and answer.startswith("busy-"):
                after = answer.split("-")[1]
                self.head(503, ([] if after == "0" else [("Retry-After", after)]) + [("Content-Length", "0")])
            elif answer == "gzip":
                packer = zlib.compressobj(wbits=31)
                packed = packer.compress(data) + packer.flush()
                self.head(200, names + [("Content-Encoding", "gzip"), ("Content-Length", str(len(packed)))])
                self.send(packed)
            elif answer == "range-star":
                more = data[start:] + os.urandom(1000)
                self.head(206, names + [("Content-Range", f"bytes {start}-{start + len(more) - 1}/*"),
                                        ("Content-Length", str(len(more)))])
                self.send(more)
            elif answer == "416" or (asked and start >= size):
                self.head(416, [("Content-Range", f"bytes */{size}"), ("Content-Length", "0")])
            elif answer == "endless":
                self.close_connection = True
                self.head(200, names + [("Transfer-Encoding", "chunked")])
                block = (data[:1 << 16] or b"endless ") * (1 + (1 << 16) // max(1, len(data[:1 << 16])))
                chunk = f"{len(block):x}\r\n".encode() + block + b"\r\n"
                while self.sent < ENDLESS_GUARD:
                    self.wfile.write(chunk)
                    self.sent += len(block)
                self.wfile.write(b"0\r\n\r\n")
            elif answer is not None and answer.startswith("two-lengths-"):
                first, second = (int(n) for n in answer.split("-")[2:4])
                self.close_connection = True
                self.head(200, names + [("Content-Length", str(first)), ("Content-Length", str(second))])
                self.send(data[:second])
            else:
                ranged = asked is not None
                headers = names + [("Accept-Ranges", "bytes"), ("Content-Length", str(end - start + 1))]
                if ranged:
                    headers.append(("Content-Range", f"bytes {start}-{end}/{size}"))
                self.head(206 if ranged else 200, headers)
                if not body:
                    return
                if answer is not None and answer.startswith("cut-"):
                    self.close_connection = True
                    end = min(end, size * int(answer.split("-")[1]) // 100 - 1)
                self.send(data[start:end + 1])

    return Handler


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, handler, context):
        super().__init__(address, handler)
        self.context = context

    def get_request(self):
        # The handshake in the request's thread, not in the one that accepts.
        connection, address = self.socket.accept()
        return self.context.wrap_socket(connection, server_side=True, do_handshake_on_connect=False), address


def main():
    parser = argparse.ArgumentParser()
    for option in ("--root", "--cert", "--key", "--user", "--password-file", "--log", "--script", "--ready"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    with open(args.password_file, encoding="utf-8") as f:
        password = f.read().rstrip("\n")
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    context.set_alpn_protocols(["http/1.1"])
    server = Server(("127.0.0.1", 0), make_handler(args.root, args.user, password, args.log, args.script), context)
    with open(args.ready + ".tmp", "w") as ready:
        ready.write(str(server.server_address[1]))
    os.rename(args.ready + ".tmp", args.ready)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    return 0


class ScriptedWebServer:
    """scripted_https.py serving `root` with the certificate `cert` and its `key`, in its own process beside
    `base`'s files until stop()."""

    def __init__(self, base, root, cert, key):
        from harness import PASSWORD, SYSTEM_PYTHON, USER, wait_for
        self.log_path, self.script_path, ready, password_file = (
            os.path.join(base, name) for name in ("web.log", "web.script", "web.ready", "web.password"))
        with open(os.open(password_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as f:
            f.write(PASSWORD)
        self.process = subprocess.Popen(
            [SYSTEM_PYTHON, os.path.abspath(__file__), "--root", root, "--cert", cert, "--key", key, "--user", USER,
             "--password-file", password_file, "--log", self.log_path, "--script", self.script_path, "--ready", ready],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: os.path.exists(ready) or self.process.poll() is not None, "the web server to start")
        if self.process.poll() is not None:
            raise RuntimeError("the web server did not start")
        with open(ready) as f:
            self.port = int(f.read())

    def script(self, name, answer, times=None):
        """From now on a GET of `name` meets the answer (see above), `times` times or always."""
        from harness import add_script_line
        add_script_line(self.script_path, name, answer, times)

    def requests(self):
        """Each request as logged: (method, path, Range or "-", status, body bytes sent)."""
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, encoding="utf-8") as f:
            return [(method, path, asked, int(status), int(sent))
                    for method, path, asked, status, sent in (line.split() for line in f)]

    def statuses(self, name):
        """The statuses of the GETs of `name`, in order."""
        return [status for method, path, _, status, _ in self.requests()
                if method == "GET" and path.lower().endswith("/" + name.lower())]

    def sent(self, name):
        return sum(sent for _, path, _, _, sent in self.requests() if path.lower().endswith("/" + name.lower()))

    def clear_log(self):
        open(self.log_path, "w").close()

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


if __name__ == "__main__":
    sys.exit(main())
