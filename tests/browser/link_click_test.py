"""A click on DownLoad in a real browser: Chromium on a virtual display opens the meeting page served by
scripts/meeting-page-server, hands the link to xdg-open, and the handler that `tarnwick-download --register`
set up runs the download. TARNWICK_DOWNLOAD names the executable."""
import itertools
import json
import os
import shutil
import signal
import subprocess
import sys
import unittest
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "integration"))
from harness import PASSWORD, Workspace, crlf, link_encoded, wait_for  # noqa: E402

try:
    import websocket
except ImportError:
    websocket = None

MISSING = [name for name, found in (("chromium", shutil.which("chromium")), ("Xvfb", shutil.which("Xvfb")),
                                    ("xdg-utils", shutil.which("xdg-open")), ("python3-websocket", websocket))
           if not found]
# The password as it travels in the link, encodeURIComponent's form: it must not be written down either.
PASSWORD_IN_LINK = link_encoded(PASSWORD)


def stop(process):
    """Ends a process started in a session of its own, with whatever it started (xdg-open, the handler), which
    may outlive it."""
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass  # the whole group has ended
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()


@unittest.skipIf(MISSING, f"needs {', '.join(MISSING)} (scripts/setup installs them)")
class LinkClick(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Chromium hands links to xdg-open, which uses the registered handler only with a display.
        read, write = os.pipe()
        cls.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"], pass_fds=[write],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write)
        with os.fdopen(read) as display:
            cls.display = ":" + display.readline().strip()
        if cls.display == ":":
            stop(cls.xvfb)
            raise RuntimeError("Xvfb did not start")

    @classmethod
    def tearDownClass(cls):
        stop(cls.xvfb)

    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        self.ws.start_server()
        self.files = {"agenda.pdf": os.urandom(300_000), "minutes.txt": b"the minutes\r\n"}
        # A "%" in a value: unless the page encodes the cookie, the program's one decoding of the link turns
        # the time folder into "tA".
        self.time_source = "t%41"
        self.ws.publish_tail(["ประชุม"], time_source=self.time_source)
        self.ws.publish("G1", "R1", self.files, time_source=self.time_source)
        with open(self.ws.local("Tarnwick.cfg"), "wb") as f:
            f.write(crlf(["Tarnwick portal configuration", "http://127.0.0.1:8080/meeting"]))
        # A desktop of the test's own: the handler's entry and the default for the scheme land there.
        home = os.path.join(self.ws.base, "home")
        self.env = {key: value for key, value in os.environ.items()
                    if key not in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "BROWSER",
                                   "GNOME_DESKTOP_SESSION_ID", "WAYLAND_DISPLAY")}
        self.env.update(HOME=home, XDG_DATA_HOME=os.path.join(home, "data"), DISPLAY=self.display,
                        XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_CACHE_HOME=os.path.join(home, "cache"))
        self.log = os.path.join(self.ws.base, "run.log")
        registered = subprocess.run(
            [os.environ["TARNWICK_DOWNLOAD"], "--register", "--folder", self.ws.component, "--yes", "--ui", "terminal",
             "--log", self.log], env=self.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        self.assertEqual(registered.returncode, 0, registered.stdout + registered.stderr)
        self.output = os.path.join(self.ws.base, "browser.out")

    def serve_page(self, host):
        cookies = [f"HOST={host}", "LOGIN=meeting", "SUBSOURCE=m\\TW3", f"TIMESOURCE={self.time_source}"]
        server = subprocess.Popen(
            [os.path.join(ROOT, "scripts", "meeting-page-server"), "--password-env", "MEETING_PASSWORD",
             *(f"--cookie={cookie}" for cookie in cookies)], env=dict(os.environ, MEETING_PASSWORD=PASSWORD),
            stdout=subprocess.PIPE, text=True, start_new_session=True)
        self.addCleanup(stop, server)
        with server.stdout:
            return server.stdout.readline().strip()

    def click_download(self, host):
        """Opens the meeting page in Chromium and clicks DownLoad as a person would; returns the run's log
        once it says how the run ended."""
        page = self.serve_page(host)
        origin = page.rsplit("/", 1)[0]
        profile = os.path.join(self.ws.base, "profile")
        os.makedirs(os.path.join(profile, "Default"))
        # What a user's "always allow" leaves behind: no question before the link is handed on.
        with open(os.path.join(profile, "Default", "Preferences"), "w") as f:
            json.dump({"protocol_handler": {"allowed_origin_protocol_pairs": {origin: {"tarnwick-download": True}}}}, f)
        command = ["chromium", f"--user-data-dir={profile}", "--remote-debugging-port=0", "--no-first-run",
                   "--no-default-browser-check", "--disable-background-networking", "--disable-component-update",
                   "--disable-sync", "--disable-gpu", "--disable-quic", "--password-store=basic",
                   "--disable-features=Translate", page]
        if os.geteuid() == 0:
            command.insert(1, "--no-sandbox")
        with open(self.output, "wb") as output:
            browser = subprocess.Popen(command, env=self.env, stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=subprocess.STDOUT, start_new_session=True)
        self.addCleanup(stop, browser)

        port_file = os.path.join(profile, "DevToolsActivePort")

        def devtools_port():
            if os.path.exists(port_file):
                with open(port_file) as f:
                    text = f.read()
                return "\n" in text and text.split()[0]  # whole once its first line ends
            return None

        port = wait_for(devtools_port, "Chromium's DevTools", timeout=30)

        def page_target():
            targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json"))
            return next((t["webSocketDebuggerUrl"] for t in targets if t["type"] == "page" and t["url"] == page), None)

        connection = websocket.create_connection(wait_for(page_target, "the page", timeout=30), timeout=30, suppress_origin=True)
        self.addCleanup(connection.close)
        calls = itertools.count(1)

        def call(method, **params):
            number = next(calls)
            connection.send(json.dumps({"id": number, "method": method, "params": params}))
            while True:
                answer = json.loads(connection.recv())
                if answer.get("id") == number:
                    return answer["result"]

        def evaluate(expression):
            return call("Runtime.evaluate", expression=expression, returnByValue=True)["result"].get("value")

        wait_for(lambda: evaluate("document.readyState == 'complete' && !!document.getElementById('DownLoad')"),
                 "the page to load")
        x, y = evaluate("(r => [r.x + r.width / 2, r.y + r.height / 2])"
                        "(document.getElementById('DownLoad').getBoundingClientRect())")
        # A press and a release from the input pipeline: a user gesture, without which no link is handed on.
        # A click that comes too soon after the load is dropped now and then: it is repeated until the page
        # has seen one.
        evaluate("window.clicks = 0; document.getElementById('DownLoad').addEventListener('click', () => clicks++)")

        def click():
            if not evaluate("clicks"):
                for kind in ("mousePressed", "mouseReleased"):
                    call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)
            return evaluate("clicks")

        wait_for(click, "a click that reaches the page")
        try:
            return self.run_log()
        except AssertionError as error:
            with open(self.output, encoding="utf-8", errors="replace") as f:
                raise AssertionError(f"{error}; the browser printed:\n{f.read()[-2000:]}") from None

    def run_log(self):
        """The handler's log once it says how the run ended."""
        def ended():
            if not os.path.exists(self.log):
                return False
            with open(self.log, encoding="utf-8", errors="replace") as f:
                log = f.read()
            last = log.splitlines()[-1:]
            whole = log.endswith("\n")
            return whole and last[0].split(" ", 2)[-1].startswith(("completed", "failed:", "the data")) and log

        return wait_for(ended, "the run's end in its log", timeout=30)

    def test_a_click_downloads_the_meeting_and_the_password_stays_out_of_every_file(self):
        log = self.click_download("127%2E0%2E0%2E1:" + str(self.ws.server.port))
        self.assertRegex(log, r"\bcompleted\n", log)
        wait_for(lambda: not os.path.exists(self.ws.local("CodeWork")), "OK to remove the recovery marker")
        for name, content in self.files.items():
            self.assertEqual(self.ws.read_local("TW3", name), content, name)
        self.assertTrue(os.path.exists(self.ws.local("Tarnwick.html")))
        # Every byte the run left: the component folder's files, the log, what the browser and the handler printed.
        paths = [self.log, self.output]
        paths += [os.path.join(folder, name) for folder, _, names in os.walk(self.ws.component) for name in names]
        for path in paths:
            with open(path, "rb") as f:
                data = f.read()
            for secret in (PASSWORD, PASSWORD_IN_LINK):
                self.assertNotIn(secret.encode(), data, path)

    def test_a_host_the_folder_does_not_trust_is_never_contacted(self):
        # localhost reaches the same server, but Tarnwick.cfg names 127.0.0.1 only.
        log = self.click_download(f"localhost:{self.ws.server.port}")
        self.assertIn("is not trusted", log)
        self.assertEqual(os.listdir(self.ws.component), ["Tarnwick.cfg"])
        self.assertEqual(self.ws.server.log(), [])

    def test_a_crafted_link_through_xdg_open_and_the_desktop_entry_changes_nothing(self):
        # A document or chat program hands a link on as it came: the quote stays inside the one argument.
        elsewhere = os.path.join(self.ws.base, "elsewhere")
        crafted = self.ws.link(self.ws.cookie()) + f'" --folder "{elsewhere}'
        subprocess.run(["xdg-open", crafted], env=self.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        self.assertIn("You Send Argument Error", self.run_log())
        self.assertFalse(os.path.exists(elsewhere))
        self.assertEqual(os.listdir(self.ws.component), ["Tarnwick.cfg"])
        self.assertEqual(self.ws.server.log(), [])


if __name__ == "__main__":
    unittest.main()
