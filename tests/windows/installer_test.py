"""The Windows installers under Wine, in a fresh prefix, with no display. For all users: a silent install of
an older version, then of this one over it (one product registered, with its icon, the meetings kept), registers
the link for the machine; a link opened as a browser opens it starts the installed program, which downloads a
meeting into the user's %LOCALAPPDATA%\\tarnwick-download through the terminal front end; a link to a host
the folder does not trust touches nothing; a silent uninstall takes the program and the link and leaves the
meetings. For the installing user alone, the same upgrade: the program in the user's own folder, the link
under HKCU, the Start-menu entry the user's. Also the zip's copy registering the link for the current user.
Wine's shell does not look at HKCU's classes: the links there are read back from the registry."""
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "integration"))
from harness import PASSWORD, Workspace, link_encoded  # noqa: E402
from wine_prefix import WinePrefix, windows_path  # noqa: E402

PREFIX = os.environ["TARNWICK_INSTALLER_PREFIX"]
WINE = WinePrefix(PREFIX, display=False)
wine = WINE.run
CLASSES = r"Software\Classes\tarnwick-download\shell\open\command"
# Where Windows Installer registers a product: for the machine, or for the user.
PRODUCTS = {"HKLM": r"Software\Classes\Installer\Products", "HKCU": r"Software\Microsoft\Installer\Products"}
OLDER_VERSION = "1.9.9"


def registry(root):
    return wine("reg", "query", root + "\\" + CLASSES, "/ve")


def installed():
    """Each registered product of ours, as the installed programs' list shows it: (root, version, its icon)."""
    found = []
    for root, key in PRODUCTS.items():
        for entry in wine("reg", "query", root + "\\" + key, "/s").text.split("\n\n"):
            values = dict(re.findall(r"^\s+(\w+)\s+REG_\w+\s+(.*?)\s*$", entry, re.M))
            if values.get("ProductName") == "Tarnwick meeting download":
                number = int(values["Version"], 16)
                version = "%d.%d.%d" % (number >> 24, number >> 16 & 0xFF, number & 0xFFFF)
                found.append((root, version, values.get("ProductIcon", "")))
    return found


def older(msi, folder):
    """The same installer as an older version: from the .wxs beside it, whose sources are relative to it."""
    wxs = msi[:-len(".msi")] + ".wxs"
    with open(wxs, encoding="utf-8") as f:
        text = f.read().replace(' Version="%s"' % os.environ["TARNWICK_VERSION"], ' Version="%s"' % OLDER_VERSION)
    source = os.path.join(os.path.dirname(wxs), "older-" + os.path.basename(wxs))
    with open(source, "w", encoding="utf-8") as f:
        f.write(text)
    made = os.path.join(folder, os.path.basename(msi))
    try:
        subprocess.run(["wixl", "--arch", "x64", "-o", made, os.path.basename(source)], cwd=os.path.dirname(wxs),
                       check=True, capture_output=True)
    finally:
        os.remove(source)
    return windows_path(made)


class Installer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(PREFIX, ignore_errors=True)
        WINE.start()
        local = WINE.unix_path(wine("cmd", "/c", "echo %LOCALAPPDATA%").stdout.decode().strip())
        cls.folder = os.path.join(local, "tarnwick-download")
        cls.user_programs = os.path.join(local, "Programs", "tarnwick-download")
        cls.user_menu = WINE.unix_path(wine("cmd", "/c", "echo %APPDATA%").stdout.decode().strip())
        cls.older = tempfile.mkdtemp()

    @classmethod
    def tearDownClass(cls):
        WINE.stop()
        shutil.rmtree(PREFIX, ignore_errors=True)
        shutil.rmtree(cls.older, ignore_errors=True)

    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        self.ws.start_server()
        self.ws.publish_tail(["ประชุม"])
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "วาระ.txt": "ไทย"})

    def open_link(self, cookie, crafted=""):
        return wine(os.environ["TARNWICK_OPEN_LINK"], self.ws.link(cookie.replace(";", "; ")) + crafted)

    def test_upgrade_open_links_and_uninstall_keeping_the_meetings(self):
        msi = windows_path(os.environ["TARNWICK_MSI"])
        self.assertEqual(wine("msiexec", "/i", older(os.environ["TARNWICK_MSI"], self.older), "/qn").returncode, 0)
        self.assertEqual(self.open_link(self.ws.cookie()).returncode, 0)
        self.assertEqual(wine("msiexec", "/i", msi, "/qn").returncode, 0)
        [(root, version, icon)] = installed()
        self.assertEqual((root, version), ("HKLM", os.environ["TARNWICK_VERSION"]))
        self.assertTrue(os.path.exists(WINE.unix_path(icon)), icon)
        self.assertTrue(os.path.exists(os.path.join(self.folder, "TW3", "a.doc")), "the upgrade keeps the meetings")
        program = os.path.join(PREFIX, "drive_c", "Program Files", "tarnwick-download", "tarnwick-download.exe")
        stripped = os.path.join(os.path.dirname(os.environ["TARNWICK_MSI"]), "zip", "tarnwick-download.exe")
        self.assertTrue(filecmp.cmp(program, stripped, shallow=False), "the zip's program, stripped")
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
        self.assertEqual(installed(), [])

    def test_per_user_upgrade_and_uninstall_keeping_the_meetings(self):
        msi = windows_path(os.environ["TARNWICK_MSI_PER_USER"])
        self.assertEqual(wine("msiexec", "/i", older(os.environ["TARNWICK_MSI_PER_USER"], self.older), "/qn").returncode, 0)
        program = os.path.join(self.user_programs, "tarnwick-download.exe")
        result = wine(windows_path(program), self.ws.link(self.ws.cookie()))
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(wine("msiexec", "/i", msi, "/qn").returncode, 0)
        [(root, version, icon)] = installed()
        self.assertEqual((root, version), ("HKCU", os.environ["TARNWICK_VERSION"]))
        self.assertTrue(os.path.exists(WINE.unix_path(icon)), icon)
        self.assertTrue(os.path.exists(os.path.join(self.folder, "TW3", "a.doc")), "the upgrade keeps the meetings")
        command = registry("HKCU").text
        self.assertIn(r'\Programs\tarnwick-download\tarnwick-download.exe"', command)
        self.assertIn('" -- "%1"', command)
        self.assertNotEqual(registry("HKLM").returncode, 0, "nothing for the machine")
        menu = os.path.join(self.user_menu, "Microsoft", "Windows", "Start Menu", "Programs", "Tarnwick meetings.lnk")
        self.assertTrue(os.path.exists(menu))

        self.assertEqual(wine("msiexec", "/x", msi, "/qn").returncode, 0)
        self.assertEqual(installed(), [])
        self.assertNotEqual(registry("HKCU").returncode, 0)
        self.assertFalse(os.path.exists(program))
        self.assertFalse(os.path.exists(menu))
        self.assertTrue(os.path.exists(os.path.join(self.folder, "TW3", "a.doc")))

    def test_signing_with_a_throw_away_certificate(self):
        """scripts/sign-windows on a copy of what the build ships: every signature checks out."""
        build, copy = os.path.dirname(os.environ["TARNWICK_MSI"]), os.path.join(self.ws.base, "build")
        msis = [os.environ["TARNWICK_MSI"], os.environ["TARNWICK_MSI_PER_USER"]]
        zip_file = msis[0][:-len(".msi")] + ".zip"
        os.makedirs(os.path.join(copy, "zip"))
        for name in ["zip/tarnwick-download.exe", *(os.path.basename(path) for path in [zip_file, *msis])]:
            shutil.copy(os.path.join(build, name), os.path.join(copy, name))
        for msi in msis:  # its sources, relative to it: the program copied, the rest where the build has them
            with open(msi[:-len(".msi")] + ".wxs", encoding="utf-8") as f:
                text = re.sub(r'(Source(?:File)?=")([^"]+)"', lambda m: m[1] + (
                    m[2] if os.path.exists(os.path.join(copy, m[2])) else
                    os.path.relpath(os.path.join(build, m[2]), copy)) + '"', f.read())
            with open(os.path.join(copy, os.path.basename(msi)[:-len(".msi")] + ".wxs"), "w", encoding="utf-8") as f:
                f.write(text)
        secret = dict(os.environ, TARNWICK_SIGN_PASSWORD="throw-away secret")
        key, certificate, pkcs12 = (os.path.join(self.ws.base, name) for name in ("key.pem", "cert.pem", "cert.p12"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate,
                        "-days", "2", "-subj", "/CN=Tarnwick test signing", "-addext", "extendedKeyUsage=codeSigning"],
                       check=True, capture_output=True)
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out", pkcs12, "-passout",
                        "env:TARNWICK_SIGN_PASSWORD"], check=True, env=secret)
        sign_windows = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "sign-windows")

        # Each program that the script starts says whether the password is in its environment or its parent's
        # (the script, or a subshell of it).
        shims, leaks = os.path.join(self.ws.base, "shims"), os.path.join(self.ws.base, "leaks.log")
        os.makedirs(shims)
        for name in ("osslsigncode", "wixl", "python3", "mv", "rm", "dirname", "basename"):
            with open(os.path.join(shims, name), "w") as f:
                f.write(f'#!/bin/sh\nfor pid in $$ $PPID; do\n  grep -qzF "throw-away secret" /proc/$pid/environ && '
                        f'echo "{name}: $(tr "\\0" " " </proc/$pid/cmdline)" >>{leaks}\ndone\n'
                        f'exec {shutil.which(name)} "$@"\n')
            os.chmod(os.path.join(shims, name), 0o755)
        secret["PATH"] = shims + os.pathsep + os.environ["PATH"]

        wrong = subprocess.run([sign_windows, pkcs12, copy], capture_output=True, text=True,
                               env=dict(secret, TARNWICK_SIGN_PASSWORD="wrong"))
        self.assertNotEqual(wrong.returncode, 0, wrong.stdout)
        signed = subprocess.run([sign_windows, pkcs12, copy], capture_output=True, text=True, env=secret)
        self.assertEqual(signed.returncode, 0, signed.stdout + signed.stderr)
        self.assertNotIn("secret", signed.stdout + signed.stderr)
        self.assertFalse(os.path.exists(leaks), os.path.exists(leaks) and open(leaks).read())
        zipfile.ZipFile(os.path.join(copy, os.path.basename(zip_file))).extract("tarnwick-download.exe", self.ws.base)
        for shipped in [os.path.join(copy, "zip", "tarnwick-download.exe"), os.path.join(self.ws.base, "tarnwick-download.exe"),
                        *(os.path.join(copy, os.path.basename(msi)) for msi in msis)]:
            verified = subprocess.run(["osslsigncode", "verify", "-in", shipped, "-CAfile", certificate],
                                      capture_output=True, text=True)
            self.assertEqual(verified.returncode, 0, shipped + "\n" + verified.stdout + verified.stderr)

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
