"""Whole runs behind a proxy: Debian's tinyproxy on loopback, started by each test with a configuration of
its own. The system's proxy comes from the environment (https_proxy, ftp_proxy, no_proxy), --proxy takes its
place; HTTPS and FTP alike go through the proxy's tunnel (CONNECT), which its log shows; its login is Basic,
its refusal a box of its own; its password is never shown or logged."""
import os
import re
import shutil
import socket
import ssl
import struct
import subprocess
import tempfile
import threading
import unittest

from harness import (ONE_TRY, PASSWORD, RUNNER, USER, WINDOWS, Workspace, crlf, free_port, linux_only, native,
                     wait_for)
from scripted_https import ScriptedWebServer
from test_tls import make_certificates, trust

TINYPROXY = shutil.which("tinyproxy") or "/usr/bin/tinyproxy"
PROXY_USER = "staff"
PROXY_PASSWORD = "Pr0xy-Secret9"  # tinyproxy reads no ":" in it


class Proxy:
    """tinyproxy on 127.0.0.1 until stop(); with `login`, it asks for that Basic login."""

    def __init__(self, base, login=None):
        self.port = free_port()
        self.log_path = os.path.join(base, f"proxy-{self.port}.log")
        conf = os.path.join(base, f"proxy-{self.port}.conf")
        with open(conf, "w") as f:
            f.write(f"Port {self.port}\nListen 127.0.0.1\nTimeout 30\nLogFile \"{self.log_path}\"\nLogLevel Info\n"
                    "MaxClients 20\nAllow 127.0.0.1\n" + (f"BasicAuth {login[0]} {login[1]}\n" if login else ""))
        self.process = subprocess.Popen([TINYPROXY, "-d", "-c", conf], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        wait_for(lambda: "listening" in self.log() or self.process.poll() is not None, "the proxy to listen")
        if self.process.poll() is not None:
            raise RuntimeError("the proxy did not start")

    def log(self):
        if not os.path.exists(self.log_path):
            return ""
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def tunnels(self):
        """Where each CONNECT asked to go, "host:port"."""
        return re.findall(r"Request \(file descriptor \d+\): CONNECT (\S+)", self.log())

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class InterceptingProxy:
    """A proxy that answers CONNECT itself and then speaks TLS with a certificate of its own, as a proxy that
    looks inside the tunnel does; what it read after the handshake is `received`."""

    def __init__(self, base):
        os.makedirs(os.path.join(base, "other"), exist_ok=True)
        _, cert, key = make_certificates(os.path.join(base, "other"))
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(cert, key)
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.received = b""
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            with connection:
                connection.settimeout(10)
                request = b""
                while b"\r\n\r\n" not in request and (chunk := connection.recv(4096)):
                    request += chunk
                connection.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                try:
                    with self.context.wrap_socket(connection, server_side=True) as tls:
                        self.received += tls.recv(4096)
                except (OSError, ssl.SSLError):
                    pass

    def stop(self):
        self.listener.close()


CONNECTIONS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"


def set_internet_options(proxy, bypass):
    """The current user's proxy as Internet Options keep it (their DefaultConnectionSettings: a fixed proxy
    and its bypass list); None takes the setting away."""
    if proxy is None:
        command = ["reg", "delete", CONNECTIONS, "/v", "DefaultConnectionSettings", "/f"]
    else:
        field = lambda text: struct.pack("<I", len(text)) + text.encode("ascii")  # noqa: E731
        direct_or_proxy = 0x1 | 0x2
        settings = struct.pack("<III", 0x46, 1, direct_or_proxy) + field(proxy) + field(bypass) + field("") + bytes(32)
        command = ["reg", "add", CONNECTIONS, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY", "/d",
                   settings.hex(), "/f"]
    subprocess.run(RUNNER + command, check=True, capture_output=True)


def environment(**variables):
    """The test's environment without any proxy of the machine's, with `variables`."""
    env = {name: value for name, value in os.environ.items() if not name.lower().endswith("_proxy")}
    env.update(variables)
    return env


@unittest.skipUnless(os.geteuid() == 0, "needs root (the system's store)")
class HttpsBehindAProxy(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        self.ws.publish_tail(["Proxy"])
        self.base = tempfile.mkdtemp(prefix="tarnwick-proxy-")
        self.addCleanup(shutil.rmtree, self.base, ignore_errors=True)
        ca, cert, key = make_certificates(self.base)
        self.server = ScriptedWebServer(self.base, self.ws.server_root, cert, key)
        self.addCleanup(self.server.stop)
        if not WINDOWS:  # Wine's Schannel checks no certificate without a CA file
            self.addCleanup(trust(ca))
        with open(self.ws.local("Tarnwick.cfg"), "wb") as f:
            f.write(crlf(["Tarnwick portal configuration", "https://127.0.0.1/meeting", "HTTPS"]))
        self.log = os.path.join(self.base, "run.log")
        self.revision = 0

    def run_meeting(self, *extra, **variables):
        """A run of a newly published revision, so that every run fetches something."""
        self.revision += 1
        self.ws.publish("G1", f"R{self.revision}", {"a.doc": f"alpha {self.revision}"})
        open(self.log, "w").close()
        result = self.ws.run(f"HOST=127.0.0.1:{self.server.port};LOGIN={USER};PWD={PASSWORD};SUBSOURCE=m\\TW3;"
                             "TIMESOURCE=t1", "--yes", "--log", native(self.log), *ONE_TRY, *extra,
                             env=environment(**variables))
        with open(self.log, encoding="utf-8") as f:
            result.log = f.read()
        for secret in (PASSWORD, PROXY_PASSWORD):
            self.assertNotIn(secret, result.text + result.log)
        return result

    def test_the_environments_proxy_for_https_unless_no_proxy_or_the_command_line_says_otherwise(self):
        proxy = Proxy(self.base)
        self.addCleanup(proxy.stop)
        meeting = f"127.0.0.1:{self.server.port}"
        via = f"http://127.0.0.1:{proxy.port}"
        nothing_there = f"http://127.0.0.1:{free_port()}"

        result = self.run_meeting(https_proxy=via, ftp_proxy=nothing_there)
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(set(proxy.tunnels()), {meeting})
        self.assertIn(f"connection: through the proxy {via}", result.log)

        # no_proxy names the meeting server's range: direct (the other variables: proxy_route_test.cpp).
        count = len(proxy.tunnels())
        result = self.run_meeting(HTTPS_PROXY=via, no_proxy="example.org, 127.0.0.0/8")
        self.assertEqual(result.returncode, 0, result.text)
        self.assertIn("connection: direct (no proxy)", result.log)
        self.assertEqual(len(proxy.tunnels()), count)

        # --proxy in place of the environment's, which leads nowhere and names no proxy for the meeting server;
        # none goes direct.
        result = self.run_meeting("--proxy", via, https_proxy=nothing_there, no_proxy="127.0.0.1")
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(len(proxy.tunnels()), count + 1)
        result = self.run_meeting("--proxy", "none", https_proxy=nothing_there)
        self.assertEqual(result.returncode, 0, result.text)
        self.assertIn("connection: direct (no proxy)", result.log)
        self.assertEqual(len(proxy.tunnels()), count + 1)
        # A proxy that is not there is what the box names, not the meeting server.
        result = self.run_meeting(https_proxy=nothing_there)
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn(f"no connection to the proxy for {meeting}", result.text)

    @unittest.skipUnless(WINDOWS, "Internet Options are Windows' own")
    def test_internet_options_proxy_and_its_bypass_list_where_the_environment_names_none(self):
        proxy = Proxy(self.base)
        self.addCleanup(proxy.stop)
        self.addCleanup(set_internet_options, None, None)
        via = f"127.0.0.1:{proxy.port}"
        set_internet_options(via, "example.org;<local>")
        result = self.run_meeting()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(proxy.tunnels(), [f"127.0.0.1:{self.server.port}"])
        self.assertIn(f"connection: through the proxy http://{via}", result.log)

        set_internet_options(via, "example.org;127.0.0.*")
        result = self.run_meeting()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertIn("connection: direct (no proxy)", result.log)
        self.assertEqual(len(proxy.tunnels()), 1)

    @linux_only  # Wine's Schannel checks no certificate without a CA file
    def test_a_proxy_that_shows_another_certificate_gets_no_request(self):
        proxy = InterceptingProxy(self.base)
        self.addCleanup(proxy.stop)
        result = self.run_meeting(https_proxy=f"http://127.0.0.1:{proxy.port}")
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("906", result.text)
        self.assertEqual(proxy.received, b"")

    def test_the_proxys_basic_login_and_its_refusal_in_a_box_of_its_own(self):
        proxy = Proxy(self.base, login=(PROXY_USER, PROXY_PASSWORD))
        self.addCleanup(proxy.stop)
        address = f"127.0.0.1:{proxy.port}"
        result = self.run_meeting(https_proxy=f"http://{PROXY_USER}:{PROXY_PASSWORD}@{address}")
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(len(proxy.tunnels()), 2)  # asked without the login, then with it
        self.assertIn(f"connection: through the proxy http://{PROXY_USER}@{address}", result.log)

        # No login, and a wrong one: the proxy's refusal, not the meeting server's (its 530).
        for login in ("", f"{PROXY_USER}:wrong@"):
            result = self.run_meeting(https_proxy=f"http://{login}{address}")
            self.assertEqual(result.returncode, 1, result.text)
            self.assertIn(f"the proxy refused the login for 127.0.0.1:{self.server.port} (407)", result.text)
            self.assertNotIn("530", result.text)

        # A password on the command line would be in the process list.
        result = self.run_meeting("--proxy", f"http://{PROXY_USER}:{PROXY_PASSWORD}@{address}")
        self.assertEqual(result.returncode, 2)
        self.assertIn("--proxy takes no password", result.text)


class FtpBehindAProxy(unittest.TestCase):
    def test_ftp_goes_through_the_proxys_tunnel_and_the_password_stays_inside_it(self):
        ws = Workspace()
        self.addCleanup(ws.close)
        ws.publish_tail(["Proxy"])
        ws.publish("G1", "R1", {"a.doc": "alpha"})
        server = ws.start_server()
        base = tempfile.mkdtemp(prefix="tarnwick-proxy-")
        self.addCleanup(shutil.rmtree, base, ignore_errors=True)
        proxy = Proxy(base)
        self.addCleanup(proxy.stop)
        result = ws.run(ws.cookie(), "--yes", *ONE_TRY,
                        env=environment(ftp_proxy=f"127.0.0.1:{proxy.port}", https_proxy="http://127.0.0.1:9"))
        self.assertEqual(result.returncode, 0, result.text)
        self.assertNotIn(PASSWORD, result.text)
        # The login's connection and a data connection a file, each a tunnel; no ftp:// URL with the password.
        tunnels = proxy.tunnels()
        self.assertIn(f"127.0.0.1:{server.port}", tunnels)
        self.assertGreater(len(tunnels), 1)
        self.assertNotIn("ftp://", proxy.log())
        self.assertNotIn(PASSWORD, proxy.log())
        self.assertEqual(ws.read_local("TW3", "a.doc"), b"alpha")


if __name__ == "__main__":
    unittest.main()
