"""Whole runs over explicit FTPS against Debian's vsftpd on loopback, with a certificate authority made for
the test and added to the system's store while it runs: nothing goes in clear when TLS is required, a
certificate that does not check out and a server without TLS end the run with 906, and the component
folder's configuration asks for TLS on its own."""
import os
import shutil
import socket
import subprocess
import tempfile
import time
import unittest

from harness import WINDOWS, Workspace, crlf, free_port

VSFTPD = shutil.which("vsftpd") or "/usr/sbin/vsftpd"
STORE = "/usr/local/share/ca-certificates"


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


class TlsServer:
    """vsftpd serving `root` to anonymous logins over TLS only, with a certificate for 127.0.0.1 signed by
    a certificate authority of its own (`ca`). Its protocol log is `log`."""

    def __init__(self, base, root):
        self.base = base
        self.ca = os.path.join(base, "ca.pem")
        key, csr, cert = (os.path.join(base, name) for name in ("server.key", "server.csr", "server.pem"))
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", os.path.join(base, "ca.key"), "-out",
                self.ca, "-days", "1", "-subj", "/CN=tarnwick-download test authority")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=127.0.0.1")
        with open(os.path.join(base, "ext"), "w") as f:
            f.write("subjectAltName=IP:127.0.0.1,DNS:127.0.0.1\n")  # Schannel matches DNS names alone
        openssl("x509", "-req", "-in", csr, "-CA", self.ca, "-CAkey", os.path.join(base, "ca.key"),
                "-CAcreateserial", "-out", cert, "-days", "1", "-extfile", os.path.join(base, "ext"))
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

    def trust_the_test_authority(self):
        installed = os.path.join(STORE, f"tarnwick-download-test-{os.getpid()}.crt")
        shutil.copy(self.server.ca, installed)
        subprocess.run(["update-ca-certificates"], check=True, capture_output=True)

        def untrust():
            os.remove(installed)
            subprocess.run(["update-ca-certificates", "--fresh"], capture_output=True)
        self.addCleanup(untrust)

    def test_tls_when_required_or_configured_and_never_a_fall_back(self):
        # Not yet trusted: the certificate does not check out, and the login never went out. (Wine's
        # Schannel checks no certificate without a CA file: there this is Windows' part alone.)
        if not WINDOWS:
            result = self.ws.run(self.cookie, "--yes", "--tls", "require")
            self.assertEqual(result.returncode, 1, result.text)
            self.assertIn("| Load FileUpdate Error 906", result.text)
            self.assertIn(f"the certificate of 127.0.0.1:{self.server.port} does not check out", result.text)
            self.assertEqual(self.server.commands(), ["AUTH TLS"])

        self.trust_the_test_authority()
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
