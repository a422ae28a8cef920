"""The Windows installer under Wine, in a fresh prefix, with no display: a silent install registers the link
for the machine; a link opened as a browser opens it starts the installed program, which downloads a
meeting into the user's %LOCALAPPDATA%\\tarnwick-download through the terminal front end; a link to a host
the folder does not trust touches nothing; a silent uninstall takes the program and the link and leaves the
meetings. Also the zip's copy registering the link for the current user (read back from the registry:
Wine's shell does not look there)."""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "integration"))
from harness import PASSWORD, Workspace, link_encoded  # noqa: E402
from wine_prefix import WinePrefix, windows_path  # noqa: E402

PREFIX = os.environ["TARNWICK_INSTALLER_PREFIX"]
WINE = WinePrefix(PREFIX, display=False)
wine = WINE.run
CLASSES = r"Software\Classes\tarnwick-download\shell\open\command"


def registry(root):
    return wine("reg", "query", root + "\\" + CLASSES, "/ve")


class Installer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(PREFIX, ignore_errors=True)
        WINE.start()
        local = wine("cmd", "/c", "echo %LOCALAPPDATA%").stdout.decode().strip()
        cls.folder = os.path.join(WINE.unix_path(local), "tarnwick-download")

    @classmethod
    def tearDownClass(cls):
        WINE.stop()
        shutil.rmtree(PREFIX, ignore_errors=True)

    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        self.ws.start_server()
        self.ws.publish_tail(["ประชุม"])
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "วาระ.txt": "ไทย"})

    def open_link(self, cookie, crafted=""):
        return wine(os.environ["TARNWICK_OPEN_LINK"], self.ws.link(cookie.replace(";", "; ")) + crafted)

    def test_install_open_links_and_uninstall_keeping_the_meetings(self):
        msi = windows_path(os.environ["TARNWICK_MSI"])
        self.assertEqual(wine("msiexec", "/i", msi, "/qn").returncode, 0)
        command = registry("HKLM").text
        self.assertIn(r'tarnwick-download\tarnwick-download.exe" -- "%1"', command)
        self.assertIn("Program Files", command)
        self.assertEqual(wine("reg", "query", r"HKLM\Software\Classes\tarnwick-download", "/v", "URL Protocol").returncode, 0)

        result = self.open_link(self.ws.cookie())
        self.assertEqual(result.returncode, 0, result.text)
        # What other programs read of the run's command line while it ran: the scheme, not the password.
        self.assertIn("tarnwick-download:", result.text)
        for secret in (PASSWORD, link_encoded(PASSWORD)):
            self.assertNotIn(secret, result.text)
        with open(os.path.join(self.folder, "TW3", "a.doc"), "rb") as f:
            self.assertEqual(f.read(), b"alpha")
        for laid_in in ("Tarnwick.cfg", "Tarnwick.html", os.path.join("imageTarnwick", "index_01.gif")):
            self.assertTrue(os.path.exists(os.path.join(self.folder, laid_in)), laid_in)
        self.assertFalse(os.path.exists(os.path.join(self.folder, "CodeWork")))

        before = sorted(os.walk(self.folder))
        self.ws.server.clear_log()
        untrusted = self.ws.cookie().replace("127%2E0%2E0%2E1", "localhost")
        self.assertEqual(self.open_link(untrusted).returncode, 2)
        # Links that a document or chat program hands on unencoded: a quote ends the link's argument and
        # what follows would be options, or a second link.
        elsewhere = os.path.join(self.ws.base, "elsewhere")
        for crafted in (f'" --folder "{windows_path(elsewhere)}', f'" --log "{windows_path(elsewhere)}.bat',
                        '" --tls "off', '" "' + self.ws.link(self.ws.cookie())):
            result = self.open_link(self.ws.cookie(), crafted)
            self.assertEqual(result.returncode, 2, crafted + result.text)
            self.assertFalse(os.path.exists(elsewhere) or os.path.exists(elsewhere + ".bat"), crafted)
        self.assertEqual(sorted(os.walk(self.folder)), before)
        self.assertEqual(self.ws.server.log(), [])

        self.assertEqual(wine("msiexec", "/x", msi, "/qn").returncode, 0)
        self.assertNotEqual(registry("HKLM").returncode, 0)
        self.assertFalse(os.path.exists(os.path.join(PREFIX, "drive_c", "Program Files", "tarnwick-download")))
        self.assertTrue(os.path.exists(os.path.join(self.folder, "TW3", "a.doc")))

    def test_the_zips_copy_registers_the_link_for_the_current_user(self):
        exe = windows_path(os.environ["TARNWICK_DOWNLOAD"])
        folder = windows_path(self.ws.component)
        # The shell would put the link, password and all, in place of a "%1" in the folder's path.
        percent = os.path.join(self.ws.base, "Meet %1 x")
        os.makedirs(percent)
        self.assertEqual(wine(exe, "--register", "--folder", windows_path(percent)).returncode, 2)
        self.assertNotEqual(registry("HKCU").returncode, 0)
        result = wine(exe, "--register", "--folder", folder, "--yes")
        self.assertEqual(result.returncode, 0, result.text)
        self.assertIn(f'{exe} --folder {folder} --yes -- "%1"', registry("HKCU").text)  # no blank to quote
        self.assertEqual(wine(exe, "--unregister").returncode, 0)
        self.assertNotEqual(registry("HKCU").returncode, 0)


if __name__ == "__main__":
    unittest.main()
