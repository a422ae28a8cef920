"""Runs started by the link a meeting page opens: the cookie it carries, the trust of the component folder
in the server it names, the password kept out of sight, and the handler's registration."""
import os
import shutil
import signal
import subprocess
import tempfile
import unittest

from harness import PASSWORD, Workspace, crlf, link_encoded, linux_only, native, program, wait_for

SECRETS = [PASSWORD.encode(), link_encoded(PASSWORD).encode()]  # as typed, and as a link carries it


class Links(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()
        self.ws.start_server()
        self.ws.publish_tail(["ประชุม"])
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "วาระ.txt": "ไทย"})
        # What a browser hands over: every cookie of the page, a blank after each ";".
        self.cookie = self.ws.cookie().replace(";", "; ") + "; JSESSIONID=8F2A"

    def tearDown(self):
        self.ws.close()

    def trust(self, server_url):
        with open(self.ws.local("Tarnwick.cfg"), "wb") as f:
            f.write(crlf(["Tarnwick portal configuration", server_url]))

    def start(self, link, *extra):
        links = [link] if isinstance(link, str) else link  # a link, or what a launcher made of a crafted one
        return program("--folder", native(self.ws.component), "--ui", "terminal", "--yes", *extra, *links)

    def run_link(self, link, *extra):
        result = subprocess.run(self.start(link, *extra), stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        result.text = result.stdout.decode("utf-8", "replace") + result.stderr.decode("utf-8", "replace")
        for secret in SECRETS:
            self.assertNotIn(secret, result.stdout + result.stderr)
        return result

    def test_a_link_runs_as_a_cookie_file_does_and_the_password_stays_out_of_sight(self):
        self.trust("http://127.0.0.1:8080/meeting")
        log = os.path.join(self.ws.base, "runs.log")
        # Any page can name a trusted server with a wrong password: refused by the server, the run plants no
        # recovery marker that would empty the meeting folder next time.
        wrong = self.run_link(self.ws.link(self.cookie.replace(PASSWORD, "wrong")))
        self.assertEqual(wrong.returncode, 1, wrong.text)
        self.assertIn("Load FileUpdate Error 530", wrong.text)
        self.assertFalse(os.path.exists(self.ws.local("CodeWork")))
        result = self.run_link(self.ws.link(self.cookie), "--log", native(log))
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        self.assertEqual(self.ws.read_local("TW3", "วาระ.txt"), "ไทย".encode())
        self.assertFalse(os.path.exists(self.ws.local("CodeWork")))
        for folder, _, names in os.walk(self.ws.base):
            for name in names:
                if folder != self.ws.server_root and name != "server.password":
                    with open(os.path.join(folder, name), "rb") as f:
                        content = f.read()
                    for secret in SECRETS:
                        self.assertNotIn(secret, content, os.path.join(folder, name))

    @linux_only
    def test_the_process_list_shows_the_scheme_and_not_the_password(self):
        self.trust("http://127.0.0.1/")
        self.ws.server.inject("a.doc", "stall")
        link = self.ws.link(self.cookie).replace("tarnwick-download:", "Tarnwick-Download:")  # as a page may write it
        process = subprocess.Popen(self.start(link), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_for(lambda: any(e[2] == "FAULT" for e in self.ws.server.log()), "a.doc in flight")
            with open(f"/proc/{process.pid}/cmdline", "rb") as f:
                cmdline = f.read()
        finally:
            process.send_signal(signal.SIGTERM)
            process.wait(timeout=20)
        self.assertIn(b"\0Tarnwick-Download:\0", cmdline)
        self.assertNotIn(b"meeting", cmdline)

    def test_a_refused_link_touches_nothing_and_connects_nowhere(self):
        port = self.ws.server.port
        other = f"127.0.0.1:{port + 1}"
        elsewhere = os.path.join(self.ws.base, "elsewhere")
        cases = [  # (Tarnwick.cfg's address or None, TrustedHosts.txt or None, link, what the box says)
            (None, None, self.ws.link(self.cookie), f"The meeting server 127.0.0.1:{port} is not trusted"),
            ("https://meeting.example/m", f"{other}\r\n", self.ws.link(self.cookie), "is not trusted"),
            ("http://127.0.0.1/", None, self.ws.link(self.cookie) + "%", "You Send Argument Error"),
            ("http://127.0.0.1/", None, self.ws.link(self.cookie) + "%0A", "You Send Argument Error"),
            # A quote in a link that a launcher put into its command line unencoded: the rest becomes arguments.
            ("http://127.0.0.1/", None, self.ws.link(self.cookie) + f'" --folder "{elsewhere}', "Argument Error"),
            ("http://127.0.0.1/", None, [self.ws.link(self.cookie), "--folder", native(elsewhere)],
             "nothing may follow a tarnwick-download: link"),
            ("http://127.0.0.1/", None, ["--", self.ws.link(self.cookie), "--log", native(elsewhere)],
             '"--" is followed by exactly one argument'),
        ]
        for server_url, listed, link, box in cases:
            shutil.rmtree(self.ws.component)
            os.makedirs(self.ws.component)
            if server_url:
                self.trust(server_url)
            if listed:
                with open(self.ws.local("TrustedHosts.txt"), "w") as f:
                    f.write(listed)
            before = sorted(os.listdir(self.ws.component))
            result = self.run_link(link)
            self.assertEqual(result.returncode, 2, result.text)
            self.assertIn(box, result.text)
            self.assertEqual(sorted(os.listdir(self.ws.component)), before)
            self.assertFalse(os.path.exists(elsewhere))
            self.assertEqual(self.ws.server.log(), [], link)
        # The administrator's list trusts a host on its own.
        with open(self.ws.local("TrustedHosts.txt"), "w") as f:
            f.write(f"# the meeting servers\n127.0.0.1:{port}\n")
        self.assertEqual(self.run_link(self.ws.link(self.cookie)).returncode, 0)


@linux_only
class Registration(unittest.TestCase):
    def test_register_makes_this_program_the_users_handler_and_unregister_takes_it_away(self):
        home = tempfile.mkdtemp(prefix="tarnwick-home-")
        self.addCleanup(shutil.rmtree, home, ignore_errors=True)
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"))
        entry = os.path.join(home, "data", "applications", "tarnwick-download-link.desktop")

        def run(*args):
            result = subprocess.run(program(*args), env=env, capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            return result.stdout

        def default_handler():
            return subprocess.run(["xdg-mime", "query", "default", "x-scheme-handler/tarnwick-download"], env=env,
                                  capture_output=True, text=True).stdout.strip()

        # xdg-open splits the handler's command at blanks: a folder with one could not be passed on.
        spaced = os.path.join(home, "my meetings")
        os.makedirs(spaced)
        refused = subprocess.run(program("--register", "--folder", spaced), env=env, capture_output=True, text=True)
        self.assertEqual(refused.returncode, 2)
        self.assertFalse(os.path.exists(entry))

        folder = os.path.join(home, "meetings")
        os.makedirs(folder)
        self.assertIn("links now start", run("--register", "--folder", folder, "--yes", "--ui", "terminal"))
        with open(entry, encoding="utf-8") as f:
            exec_line = next(line for line in f if line.startswith("Exec="))
        self.assertEqual(exec_line, f'Exec={os.path.realpath(os.environ["TARNWICK_DOWNLOAD"])} --folder '
                                    f'{os.path.realpath(folder)} --ui terminal --yes -- %u\n')
        self.assertEqual(default_handler(), "tarnwick-download-link.desktop")
        # mimeapps.list that cannot be rewritten (its new copy's name taken): said, and nothing claimed.
        mimeapps = os.path.join(home, "config", "mimeapps.list")
        with open(mimeapps, "rb") as f:
            listed = f.read()
        os.makedirs(os.path.join(home, "config", ".mimeapps.list.new"))
        failed = subprocess.run(program("--unregister"), env=env, capture_output=True, text=True)
        self.assertEqual(failed.returncode, 1, failed.stdout)
        self.assertIn("cannot rewrite", failed.stderr)
        with open(mimeapps, "rb") as f:
            self.assertEqual(f.read(), listed)
        os.rmdir(os.path.join(home, "config", ".mimeapps.list.new"))
        self.assertIn("no longer start", run("--unregister"))
        self.assertFalse(os.path.exists(entry))
        self.assertEqual(default_handler(), "")
        self.assertIn("nothing to unregister", run("--unregister"))


if __name__ == "__main__":
    unittest.main()
