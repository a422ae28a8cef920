"""Whole runs over TLS on loopback, with a certificate authority made for the test and added to the system's
store while it runs. Explicit FTPS against Debian's vsftpd: nothing goes in clear when TLS is required, a
certificate that does not check out and a server without TLS end the run with 906, and the component
folder's configuration asks for TLS on its own. HTTPS against Debian's nginx (nginx-light), the meeting
published as static files: the same runs and boxes as over FTP, on one TLS connection. And HTTPS against a
web server of the tests' own (scripted_https.py) whose answers go wrong on purpose."""
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest

from harness import PASSWORD, TAIL, USER, WINDOWS, Workspace, crlf, free_port, native, program, remote, wait_for
from scripted_https import ScriptedWebServer

VSFTPD = shutil.which("vsftpd") or "/usr/sbin/vsftpd"
NGINX = shutil.which("nginx") or "/usr/sbin/nginx"
STORE = "/usr/local/share/ca-certificates"


def openssl(*args):
    return subprocess.run(["openssl", *args], check=True, capture_output=True).stdout


def make_certificates(base, address="127.0.0.1"):
    """A certificate authority of the test's own (`ca.pem`) and a server certificate for `address` that it
    signed: the paths of the authority's certificate, the server's certificate and its key."""
    ca = os.path.join(base, "ca.pem")
    key, csr, cert = (os.path.join(base, name) for name in ("server.key", "server.csr", "server.pem"))
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", os.path.join(base, "ca.key"), "-out",
            ca, "-days", "1", "-subj", "/CN=tarnwick-download test authority")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr, "-subj", f"/CN={address}")
    with open(os.path.join(base, "ext"), "w") as f:
        f.write(f"subjectAltName=IP:{address},DNS:{address}\n")  # Schannel matches DNS names alone
    openssl("x509", "-req", "-in", csr, "-CA", ca, "-CAkey", os.path.join(base, "ca.key"),
            "-CAcreateserial", "-out", cert, "-days", "1", "-extfile", os.path.join(base, "ext"))
    return ca, cert, key


def trust(ca):
    """The system's store trusts `ca` until the function this returns is called."""
    installed = os.path.join(STORE, f"tarnwick-download-test-{os.getpid()}.crt")
    shutil.copy(ca, installed)
    subprocess.run(["update-ca-certificates"], check=True, capture_output=True)

    def untrust():
        os.remove(installed)
        subprocess.run(["update-ca-certificates", "--fresh"], capture_output=True)
    return untrust


class TlsServer:
    """vsftpd serving `root` to anonymous logins over TLS only, with a certificate for 127.0.0.1 signed by
    a certificate authority of its own (`ca`). Its protocol log is `log`."""

    def __init__(self, base, root):
        self.base = base
        self.ca, cert, key = make_certificates(base)
        self.port = free_port()
        self.log_path = os.path.join(base, "vsftpd.log")
        empty = os.path.join(base, "empty")
        os.makedirs(empty)
        config = os.path.join(base, "vsftpd.conf")
        with open(config, "w") as f:
            f.write("\n".join([
                "listen=YES", "listen_address=127.0.0.1", f"listen_port={self.port}", "background=NO",
                "anonymous_enable=YES", f"anon_root={root}", "no_anon_password=YES", "local_enable=NO",
                "write_enable=NO", "ssl_enable=YES", "allow_anon_ssl=YES", "force_anon_logins_ssl=YES",
                "force_anon_data_ssl=YES", "ssl_ciphers=HIGH", "require_ssl_reuse=NO", f"rsa_cert_file={cert}",
                f"rsa_private_key_file={key}", "xferlog_enable=YES", "log_ftp_protocol=YES",
                f"vsftpd_log_file={self.log_path}", "xferlog_std_format=NO", f"secure_chroot_dir={empty}",
                "seccomp_sandbox=NO", ""]))
        self.process = subprocess.Popen([VSFTPD, config], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while True:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1) as probe:
                    probe.recv(100)  # the greeting
                break
            except OSError:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("vsftpd did not start")
                time.sleep(0.05)
        self.clear_log()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)

    def clear_log(self):
        open(self.log_path, "w").close()

    def commands(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return [line.split('FTP command: Client "127.0.0.1", "', 1)[1].rstrip('"\n')
                    for line in f if "FTP command:" in line]


class WebServer:
    """nginx serving `root` over HTTPS (HTTP/2 offered) on loopback to the meeting's login (basic
    authentication), with a certificate signed by an authority of its own (`ca`). While the file `busy`
    beside its configuration exists it answers 503 with Retry-After: 3; big.bin goes at 64 KiB/s. Its
    request log has a line a request: the connection's number, the status, the user, the time, the path;
    its protocol log, the request's protocol ("HTTP/2.0" when ALPN chose h2)."""

    def __init__(self, base, root, address="127.0.0.1", launch=list, connections=64):
        """`launch` turns nginx's command into the one that starts it (the benchmark's: in another network
        namespace); `connections`, how many it holds at once."""
        self.base = base
        self.ca, cert, key = make_certificates(base, address)
        self.port = free_port()
        self.log_path = os.path.join(base, "access.log")
        self.protocol_log_path = os.path.join(base, "protocol.log")
        self.busy_flag = os.path.join(base, "busy")
        users = os.path.join(base, "htpasswd")
        with open(users, "w") as f:
            f.write(f"{USER}:{openssl('passwd', '-apr1', PASSWORD).decode().strip()}\n")
        config = os.path.join(base, "nginx.conf")
        with open(config, "w") as f:
            f.write(f"""
daemon off; user root; worker_processes 1; pid {base}/nginx.pid; error_log {base}/error.log;
events {{ worker_connections {connections}; }}
http {{
  log_format meeting '$connection $status $remote_user $msec $request_uri';
  access_log {self.log_path} meeting;
  log_format protocol '$server_protocol';
  access_log {self.protocol_log_path} protocol;
  client_body_temp_path {base}/body;
  default_type application/octet-stream;
  server {{
    listen {address}:{self.port} ssl http2;
    ssl_certificate {cert}; ssl_certificate_key {key};
    root {root};
    auth_basic meeting; auth_basic_user_file {users};
    location / {{
      if (-f {self.busy_flag}) {{ add_header Retry-After 3 always; return 503; }}
    }}
    location ~ /big\.bin$ {{ limit_rate 64k; }}
  }}
}}
""")
        self.process = subprocess.Popen(launch([NGINX, "-c", config, "-p", base]), stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        # nginx writes its pid file once it listens.
        wait_for(lambda: os.path.exists(os.path.join(base, "nginx.pid")) or self.process.poll() is not None,
                 "nginx to start", timeout=10)
        if self.process.poll() is not None:
            raise RuntimeError("nginx did not start")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)

    def cut_connections(self):
        """Its worker ends at once, cutting what it sends; the master starts another."""
        children = subprocess.run(["pgrep", "-P", str(self.process.pid)], capture_output=True, text=True).stdout
        for pid in children.split():
            os.kill(int(pid), signal.SIGKILL)

    def requests(self):
        """Each request: (connection, status, user, time, path)."""
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path) as f:
            return [(c, int(status), user, float(at), path) for c, status, user, at, path in
                    (line.split() for line in f)]

    def clear_log(self):
        open(self.log_path, "w").close()


@unittest.skipUnless(os.path.exists(NGINX) and os.geteuid() == 0, "needs nginx and root (the system's store)")
class Https(unittest.TestCase):
    """The meeting from a web server: Tarnwick.cfg's line 3 says HTTPS."""

    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        self.ws.publish_tail(["ประชุม"])
        self.publish("R1", {"a.doc": "alpha", "รายงาน#1.doc": b"\x00\xffreport\r\n"})
        self.tls_base = tempfile.mkdtemp(prefix="tarnwick-https-")
        self.addCleanup(shutil.rmtree, self.tls_base, ignore_errors=True)
        self.server = WebServer(self.tls_base, self.ws.server_root)
        self.addCleanup(self.server.stop)
        with open(self.ws.local("Tarnwick.cfg"), "wb") as f:
            f.write(crlf(["Tarnwick portal configuration", "https://127.0.0.1/meeting", "HTTPS"]))

    def run_meeting(self, password=PASSWORD):
        result = self.ws.run(f"HOST=127.0.0.1:{self.server.port};LOGIN={USER};PWD={password};SUBSOURCE=m\\TW3;"
                             "TIMESOURCE=t1", "--yes")
        self.assertNotIn(password, result.text)
        return result

    def publish(self, revision, files):
        """As a meeting server holds them: the names in Windows-874 bytes, the manifest under both names."""
        self.ws.publish("G1", revision, files)
        folder = self.ws.remote_folder()
        shutil.copy(os.path.join(folder, "FileUpdate.dat"), os.path.join(folder, "FileUpDate.dat"))
        for name in files:
            os.replace(os.path.join(folder, name), os.path.join(folder.encode(), name.encode("cp874")))

    def assert_one_connection(self, paths):
        requests = self.server.requests()
        self.assertEqual([path for *_, path in requests], ["/" + p for p in paths])
        self.assertEqual({(c, status, user) for c, status, user, *_ in requests}, {(requests[0][0], 200, USER)})
        with open(self.server.protocol_log_path) as f:  # both builds speak HTTP/2 when it is offered
            self.assertEqual(set(f.read().split()), {"HTTP/2.0"})

    def test_a_meeting_and_its_second_revision_on_one_tls_connection(self):
        # Not yet trusted: the certificate does not check out, and no request (nor the password) went out.
        # (Wine's Schannel checks no certificate without a CA file: there this is Windows' part alone.)
        if not WINDOWS:
            result = self.run_meeting()
            self.assertEqual(result.returncode, 1, result.text)
            self.assertIn("| Load FileUpdate Error 906", result.text)
            self.assertIn(f"the certificate of 127.0.0.1:{self.server.port} does not check out", result.text)
            self.assertEqual(self.server.requests(), [])
            self.addCleanup(trust(self.server.ca))
            shutil.rmtree(self.ws.local("TW3"), ignore_errors=True)

        result = self.run_meeting()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "รายงาน#1.doc"), b"\x00\xffreport\r\n")
        thai = "%C3%D2%C2%A7%D2%B9%231.doc"  # the name's Windows-874 bytes
        self.assert_one_connection(remote("FileUpDate.dat", "a.doc", thai, *TAIL))

        self.server.clear_log()
        self.publish("R2", {"a.doc": "alpha, second revision", "รายงาน#1.doc": b"\x00\xffreport\r\n"})
        result = self.run_meeting()
        self.assertEqual(result.returncode, 0, result.text)
        self.assert_one_connection(remote("FileUpDate.dat", "a.doc", *TAIL))
        for name in ("a.doc", "Enote.Doc", "FileUpdate.dat"):
            with open(os.path.join(self.ws.remote_folder(), name), "rb") as published:
                self.assertEqual(self.ws.read_local("TW3", name), published.read())

    def test_the_boxes_of_ftp_and_a_busy_server_waited_for_as_it_asks(self):
        if not WINDOWS:
            self.addCleanup(trust(self.server.ca))
        result = self.run_meeting(password="wrong")
        self.assertIn("| Load FileUpdate Error 530", result.text)
        self.assertIn(f"refused the login of {USER} (401 Unauthorized)", result.text)

        os.remove(os.path.join(self.ws.remote_folder(), "a.doc"))
        result = self.run_meeting()
        self.assertIn("| Load File  a.doc Error 550", result.text)
        self.assertIn("(the server has no file m/TW3/t1/a.doc (404 Not Found))", result.text)

        # Busy until its first refusal has been seen: the next try comes as Retry-After says, not sooner.
        self.server.clear_log()
        self.publish("R2", {"a.doc": "alpha"})
        open(self.server.busy_flag, "w").close()
        done = []
        runner = threading.Thread(target=lambda: done.append(self.run_meeting()))
        runner.start()
        wait_for(lambda: self.server.requests(), "the first refusal")
        os.remove(self.server.busy_flag)
        runner.join()
        self.assertEqual(done[0].returncode, 0, done[0].text)
        refused, *served = self.server.requests()
        self.assertEqual(refused[1], 503)
        self.assertGreaterEqual(served[0][3] - refused[3], 3)

        # A connection cut in the middle of a file: waited for as a refusal for now, and only the rest is
        # asked for (206, If-Range naming the file); the old copy stays until the file is whole.
        with open(self.ws.local("TW3", "big.bin"), "wb") as f:
            f.write(b"old")
        result = self.cut_in_the_middle("R3", b"B" * 200000)
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "big.bin"), b"B" * 200000)
        self.assertEqual(self.ws.partial_files(), [])
        self.assertEqual([r[1] for r in self.server.requests() if r[4].endswith("/big.bin")], [206])

        # Published anew while it came: If-Range no longer names the server's file, which comes whole.
        def publish_anew():
            anew = os.path.join(self.ws.remote_folder(), "big.bin.new")
            with open(anew, "wb") as f:
                f.write(b"D" * 200000)
            os.utime(anew, (time.time() + 60, time.time() + 60))  # nginx's ETag is the time and the size
            os.replace(anew, os.path.join(self.ws.remote_folder(), "big.bin"))

        result = self.cut_in_the_middle("R4", b"C" * 200000, before_the_cut=publish_anew)
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "big.bin"), b"D" * 200000)
        self.assertEqual([r[1] for r in self.server.requests() if r[4].endswith("/big.bin")], [200])

    def cut_in_the_middle(self, revision, big, before_the_cut=lambda: None):
        """A run of `revision` with big.bin, whose connection nginx cuts once some of it came; its result."""
        self.server.clear_log()
        self.publish(revision, {"a.doc": "alpha", "big.bin": big})
        done = []
        runner = threading.Thread(target=lambda: done.append(self.run_meeting()))
        runner.start()
        wait_for(lambda: self.ws.partial_files(), "big.bin under way")
        time.sleep(1)  # some of it on its way at 64 KiB/s
        before_the_cut()
        self.server.cut_connections()
        runner.join()
        return done[0]


def serve_scripted_https(test, ws):
    """scripted_https.py serving `ws`'s meetings with a certificate its authority signed, the authority trusted
    and the component folder configured for HTTPS, all undone when `test` ends. The server."""
    tls_base = tempfile.mkdtemp(prefix="tarnwick-https-")
    test.addCleanup(shutil.rmtree, tls_base, ignore_errors=True)
    ca, cert, key = make_certificates(tls_base)
    server = ScriptedWebServer(tls_base, ws.server_root, cert, key)
    test.addCleanup(server.stop)
    if not WINDOWS:  # Wine's Schannel checks no certificate without a CA file
        test.addCleanup(trust(ca))
    with open(ws.local("Tarnwick.cfg"), "wb") as f:
        f.write(crlf(["Tarnwick portal configuration", "https://127.0.0.1/meeting", "HTTPS"]))
    return server


@unittest.skipUnless(os.geteuid() == 0, "needs root (the system's store)")
class ScriptedHttps(unittest.TestCase):
    """The meeting from scripted_https.py: a rest that does not splice, and bytes past their bounds."""

    run_meeting = Https.run_meeting

    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        self.ws.publish_tail(["Scripted"])
        self.server = serve_scripted_https(self, self.ws)

    def test_a_rest_whose_range_is_not_the_one_asked_for_is_dropped_for_the_whole_file(self):
        size = 1 << 20
        files = {name: random.Random(name).randbytes(size)
                 for name in ("length.doc", "star.doc", "refused.doc", "start.doc")}
        self.ws.publish("G1", "R1", files)
        for name, answer in (("length.doc", f"range-length-{size + 1}"), ("star.doc", "range-star"),
                             ("refused.doc", "416"), ("start.doc", "range-start-1000")):
            self.server.script(name, "cut-40", times=1)
            self.server.script(name, answer, times=1)
        result = self.run_meeting()
        self.assertEqual(result.returncode, 0, result.text)
        for name, data in files.items():
            self.assertEqual(self.ws.read_local("TW3", name), data, name)
            # Cut, asked for the rest and refused it, then the whole file.
            self.assertEqual(self.server.statuses(name), [200, 416 if name == "refused.doc" else 206, 200], name)
        self.assertEqual(self.ws.partial_files(), [])

    def test_redirects_stay_on_the_meeting_server_and_an_encoded_answer_is_not_kept(self):
        moved = random.Random(8).randbytes(3000)
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "root.doc": "r", "near.doc": "n", "moved.doc": moved})
        self.server.script("root.doc", "redirect-/m/TW3/t1/moved.doc")  # relative, on the same origin
        self.server.script("near.doc", "redirect-moved.doc")
        result = self.run_meeting()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "root.doc"), moved)
        self.assertEqual(self.ws.read_local("TW3", "near.doc"), moved)

        # Compressed bytes that were not asked for are not the document: the old copy stays.
        self.ws.publish("G1", "R2", {"a.doc": "alpha two"})
        self.server.script("a.doc", "gzip", times=1)
        result = self.run_meeting()
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("| Load File  a.doc Error 904", result.text)
        self.assertIn("encoded as gzip", result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        self.assertEqual(self.ws.partial_files(), [])

        # Another origin, or a login of the redirect's own: not followed, the redirect's status shown.
        port = self.server.port
        for revision, target in (("R3", f"https://127.0.0.2:{port}/m/TW3/t1/moved.doc"),
                                 ("R4", f"https://meeting:x@127.0.0.1:{port}/m/TW3/t1/moved.doc")):
            self.ws.publish("G1", revision, {"a.doc": "alpha", "far.doc": revision})
            self.server.script("far.doc", "redirect-" + target, times=1)
            self.server.clear_log()
            result = self.run_meeting()
            self.assertEqual(result.returncode, 1, result.text)
            self.assertIn("| Load File  far.doc Error 302", result.text)
            self.assertEqual(self.server.statuses("moved.doc"), [])  # the login went nowhere else

    def test_a_busy_web_server_is_waited_for_in_pauses_held_to_their_bounds(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        cookie = f"HOST=127.0.0.1:{self.server.port};LOGIN={USER};PWD={PASSWORD};SUBSOURCE=m\\TW3;TIMESOURCE=t1"
        # Without Retry-After the pauses grow from at most 2 s: a few tries in 3 s, never a storm of them.
        self.server.script("FileUpdate.dat", "busy-0")
        result = self.ws.run(cookie, "--yes", "--busy-wait", "3")
        self.assertIn("| Load FileUpdate Error 421", result.text)
        self.assertLessEqual(len(self.server.statuses("FileUpdate.dat")), 8)

        # A Retry-After of an hour is held to the longest pause, a minute, whatever time is left.
        open(self.server.script_path, "w").close()
        self.server.script("FileUpdate.dat", "busy-3600")
        log = os.path.join(self.ws.base, "busy.log")
        cookie_file = os.path.join(self.ws.base, "busy.cookie")
        with open(cookie_file, "w") as f:
            f.write(cookie)
        run = subprocess.Popen(program("--folder", native(self.ws.component), "--cookie-file", native(cookie_file),
                                       "--ui", "terminal", "--yes", "--log", native(log)),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(run.wait)
        self.addCleanup(run.kill)

        def announced():
            if not os.path.exists(log):
                return []
            with open(log, encoding="utf-8") as f:
                return re.findall(r"next try in (\d+) s", f.read())
        wait_for(announced, "the first pause")
        self.assertLessEqual(int(announced()[0]), 60)

    def test_bytes_past_their_bound_are_stopped_and_not_kept(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        self.assertEqual(self.run_meeting().returncode, 0)
        kept = self.ws.read_local("TW3", "FileUpdate.dat")

        # A manifest without end: stopped soon after its bound; what the last run left stays.
        self.ws.publish("G2", "R1", {"c.doc": "c"})
        self.server.script("FileUpdate.dat", "endless", times=1)
        self.server.clear_log()
        result = self.run_meeting()
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("| Load FileUpdate Error 910", result.text)
        wait_for(lambda: self.server.statuses("FileUpdate.dat"), "the end of the bytes")
        self.assertLessEqual(self.server.sent("FileUpdate.dat"), 48 << 20)  # 32 MiB, and what was on its way
        self.assertEqual(self.ws.read_local("TW3", "FileUpdate.dat"), kept)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")

        # A file without end, listed with its size: stopped there, fetched once more, then refused.
        self.ws.publish("G1", "R2", {"a.doc": "alpha", "e.doc": random.Random(5).randbytes(5000)}, checked=True)
        self.server.script("e.doc", "endless")
        result = self.run_meeting()
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("| Load File  e.doc Error 914", result.text)
        wait_for(lambda: len(self.server.statuses("e.doc")) == 2, "the end of the second fetch")
        self.assertLessEqual(self.server.sent("e.doc"), 48 << 20)
        self.assertFalse(os.path.exists(self.ws.local("TW3", "e.doc")))

        # Two lengths that disagree: neither is believed.
        self.ws.publish("G1", "R3", {"a.doc": "alpha", "t.doc": random.Random(6).randbytes(5000)})
        self.server.script("t.doc", "two-lengths-5000-10")
        result = self.run_meeting()
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("| Load File  t.doc Error 904", result.text)
        self.assertFalse(os.path.exists(self.ws.local("TW3", "t.doc")))
        self.assertEqual(self.ws.partial_files(), [])


@unittest.skipUnless(os.path.exists(VSFTPD) and os.geteuid() == 0, "needs vsftpd and root (the system's store)")
class Tls(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        anon = os.path.join(self.ws.base, "anon")
        os.makedirs(anon)
        self.ws.server_root = anon
        self.ws.publish_tail(["ประชุม"])
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        folder = self.ws.remote_folder()
        shutil.copy(os.path.join(folder, "FileUpdate.dat"), os.path.join(folder, "FileUpDate.dat"))  # a case-blind name
        subprocess.run(["chmod", "-R", "a+rX", self.ws.base], check=True)
        self.tls_base = tempfile.mkdtemp(prefix="tarnwick-tls-")
        self.addCleanup(shutil.rmtree, self.tls_base, ignore_errors=True)
        self.server = TlsServer(self.tls_base, anon)
        self.addCleanup(self.server.stop)
        self.cookie = f"HOST=127.0.0.1:{self.server.port};LOGIN=anonymous;PWD=guest;SUBSOURCE=m\\TW3;TIMESOURCE=t1"

    def test_tls_when_required_or_configured_and_never_a_fall_back(self):
        # Not yet trusted: the certificate does not check out, and the login never went out. (Wine's
        # Schannel checks no certificate without a CA file: there this is Windows' part alone.)
        if not WINDOWS:
            result = self.ws.run(self.cookie, "--yes", "--tls", "require")
            self.assertEqual(result.returncode, 1, result.text)
            self.assertIn("| Load FileUpdate Error 906", result.text)
            self.assertIn(f"the certificate of 127.0.0.1:{self.server.port} does not check out", result.text)
            self.assertEqual(self.server.commands(), ["AUTH TLS"])

        self.addCleanup(trust(self.server.ca))
        self.server.clear_log()
        shutil.rmtree(self.ws.local("TW3"), ignore_errors=True)
        with open(self.ws.local("Tarnwick.cfg"), "wb") as f:
            f.write(crlf(["Tarnwick portal configuration", "https://127.0.0.1/meeting", "FTPS"]))
        result = self.ws.run(self.cookie, "--yes")  # the folder's configuration asks for TLS
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        commands = self.server.commands()
        self.assertEqual(commands[:2], ["AUTH TLS", "USER anonymous"])
        self.assertEqual(commands.count("USER anonymous"), 1)  # one login for the manifest and every file

        # The command line's choice over the folder's: auto asks for TLS and takes it, off never asks.
        for tls, status, first in (("auto", 0, "AUTH TLS"), ("off", 1, "USER anonymous")):
            self.server.clear_log()
            result = self.ws.run(self.cookie, "--yes", "--tries", "1", "--tls", tls)
            self.assertEqual(result.returncode, status, result.text)
            self.assertEqual(self.server.commands()[0], first, tls)

        # A certificate for another name than the host's does not check out, though its authority is trusted.
        if not WINDOWS:
            self.server.clear_log()
            result = self.ws.run(self.cookie.replace("127.0.0.1", "localhost"), "--yes")
            self.assertIn("| Load FileUpdate Error 906", result.text)
            self.assertEqual(self.server.commands(), ["AUTH TLS"])

        # A server that offers no TLS gets nothing when TLS is required.
        self.ws.server_root = os.path.join(self.ws.base, "server")
        plain = self.ws.start_server()
        result = self.ws.run(self.ws.cookie(), "--yes", "--tls", "require")
        self.assertIn("| Load FileUpdate Error 906", result.text)
        self.assertIn("offers no TLS", result.text)
        self.assertEqual([c for _, c in plain.commands() if not c.startswith("AUTH ")], [])  # no USER, no PASS


if __name__ == "__main__":
    unittest.main()
