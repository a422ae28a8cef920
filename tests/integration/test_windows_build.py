"""The Windows build, run under Wine, against the Linux build: on the same server, randomly generated
meetings must give the same requests, the same files, the same portal page and the same messages."""
import os
import random
import re
import subprocess
import unittest

from harness import PASSWORD, WINDOWS, Workspace, native

LINUX_BUILD = os.environ.get("TARNWICK_LINUX_DOWNLOAD", "")
# No blank (it ends a name in the manifest) and one letter case (the server is case-blind).
LETTERS = "abcdefghijklmnopqrstuvwxyz0123456789_-กขคงจฉชซญดตถทนบปผพฟมยรลวศสหอฮะาิีึืุูเแโใไ"


def random_name(rng):
    stem = "".join(rng.choice(LETTERS) for _ in range(rng.randint(1, 24)))
    return stem + rng.choice([".doc", ".pdf", ".xls", ".ppt", ".txt"])


def random_content(rng):
    size = rng.choice([0, 1, rng.randint(2, 4096), rng.randint(4097, 200000)])
    return bytes(rng.getrandbits(8) for _ in range(size))


def folder_files(folder):
    """Every file below the folder, relative path to bytes, the portal page apart."""
    found = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(parent, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found


@unittest.skipUnless(WINDOWS and os.path.exists(LINUX_BUILD),
                     "compares the Windows build under Wine with the Linux build (scripts/build makes that)")
class SameAsLinux(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        self.ws.start_server()
        self.linux_component = os.path.join(self.ws.base, "linux-component")
        os.makedirs(self.linux_component)

    def run_linux(self, cookie):
        cookie_file = os.path.join(self.ws.base, "cookie-linux.txt")
        with open(cookie_file, "w", encoding="utf-8") as f:
            f.write(cookie + "\n")
        result = subprocess.run(
            [LINUX_BUILD, "--folder", self.linux_component, "--cookie-file", cookie_file, "--ui", "terminal", "--yes"],
            stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        return result, (result.stdout + result.stderr).decode("utf-8")

    def both_runs(self, cookie=None, ok=False, before=lambda: None):
        """The two builds one after the other, `before` called before each; what each asked of the server,
        said and left."""
        cookie = cookie or self.ws.cookie()
        self.ws.server.clear_log()
        before()
        linux, linux_text = self.run_linux(cookie)
        linux_requests = self.ws.server.retrieved()
        self.ws.server.clear_log()
        before()
        windows = self.ws.run(cookie, "--yes")
        windows_requests = self.ws.server.retrieved()
        self.assertNotIn(PASSWORD, windows.text)
        self.assertEqual(windows.returncode, linux.returncode, windows.text)
        if ok:
            self.assertEqual(windows.returncode, 0, windows.text)
        self.assertEqual(windows_requests, linux_requests)
        # The messages name the component folder as each system spells it, and the rates and times differ.
        seen_linux = linux_text.replace(os.path.realpath(self.linux_component), "<folder>")
        seen_windows = windows.text.replace(native(self.ws.component), "<folder>")
        # How each system's libcurl words a broken connection varies too.
        strip = lambda text: [re.sub(r"was broken: .*", "was broken: …", line) for line in text.splitlines()
                              if " in " not in line and "/s" not in line]
        self.assertEqual(strip(seen_windows), strip(seen_linux))
        linux_files, windows_files = folder_files(self.linux_component), folder_files(self.ws.component)
        linux_page, windows_page = linux_files.pop("Tarnwick.html", None), windows_files.pop("Tarnwick.html", None)
        self.assertEqual(windows_files.keys(), linux_files.keys())
        for name in linux_files:
            self.assertEqual(windows_files[name], linux_files[name], name)
        if linux_page is not None:
            # The page holds the component folder's path, in Windows-874.
            linux_folder = os.path.realpath(self.linux_component).encode("cp874")
            windows_folder = native(self.ws.component).encode("cp874")
            self.assertEqual(windows_page, linux_page.replace(linux_folder, windows_folder))
        return windows_requests

    def test_random_meetings_through_three_revisions(self):
        for seed in range(3):
            with self.subTest(seed=seed):
                rng = random.Random(seed)
                sub = rng.choice(["m/TW3", "meeting/TW7", "ประชุม/TW1"])
                title = ["ประชุม " + "".join(rng.choice(LETTERS) for _ in range(8)), "วาระที่ %d" % seed]
                self.ws.publish_tail(title, sub=sub)
                files = {random_name(rng): random_content(rng) for _ in range(rng.randint(1, 12))}
                cookie = self.ws.cookie(sub=sub.replace("/", "\\"))
                self.ws.publish("G%d" % seed, "R1", files, sub=sub)
                self.assertTrue(self.both_runs(cookie, ok=True))
                # A new revision: some files change, some come, some go.
                for name in rng.sample(sorted(files), k=len(files) // 2):
                    files[name] = random_content(rng)
                for _ in range(rng.randint(0, 4)):
                    files[random_name(rng)] = random_content(rng)
                for name in rng.sample(sorted(files), k=len(files) // 4):
                    del files[name]
                self.ws.publish("G%d" % seed, "R2", files, sub=sub)
                self.both_runs(cookie, ok=True)
                self.assertEqual(len(self.both_runs(cookie, ok=True)), 1, "the third run fetches only the manifest")

    def test_failures_end_alike(self):
        self.ws.publish_tail(["ประชุม"])
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "b.doc": "b" * 50000, "c.doc": "gamma"})
        os.remove(os.path.join(self.ws.remote_folder(), "c.doc"))
        self.both_runs()  # a missing file: 550
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "b.doc": "b" * 50000, "c.doc": "gamma"})
        # A dropped connection: the rest on the next try. (The server counts a fault's strikes over both runs.)
        strikes = iter((1, 2))
        self.both_runs(before=lambda: self.ws.server.inject("b.doc", "drop", times=next(strikes)))
        self.both_runs(self.ws.cookie(password="wrong"))  # a refused login


if __name__ == "__main__":
    unittest.main()
