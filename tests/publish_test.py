"""tarnwick-publish on a meeting folder of its own, run as the program it is (the Windows build under Wine when
TARNWICK_RUNNER says so): what it writes, what it refuses, and that a run with nothing changed leaves the
manifest alone."""
import contextlib
import hashlib
import os
import pathlib
import pty
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "windows"))
from wine_prefix import windows_path  # noqa: E402

RUNNER = shlex.split(os.environ.get("TARNWICK_RUNNER", ""))
THAI = "วาระการประชุม.txt"


def publish(*args, password=None):
    """`password`: a line on standard input, else none (an empty one)."""
    result = subprocess.run(RUNNER + [os.environ["TARNWICK_PUBLISH"], *args], capture_output=True, timeout=120,
                            input=b"" if password is None else password.encode() + b"\n")
    result.out, result.err = result.stdout.decode("utf-8"), result.stderr.decode("utf-8")
    return result


class Publish(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="publish-")
        self.addCleanup(shutil.rmtree, self.folder)
        self.argument = windows_path(self.folder) if RUNNER else self.folder

    def write(self, name, data):
        pathlib.Path(self.folder, name).write_bytes(data)

    def manifests(self):
        """The manifest's names on disk, and its bytes under each (one file on a case-blind system)."""
        names = sorted(name for name in os.listdir(self.folder) if name.lower() == "fileupdate.dat")
        return names, {pathlib.Path(self.folder, name).read_bytes() for name in names}

    def test_publishes_refuses_a_subfolder_and_leaves_a_current_manifest_alone(self):
        files = {THAI: "ประชุมครั้งที่ 1".encode(), "agenda.txt": b"agenda\n",
                 "Tarnwick.msg": b"title\r\n"}
        for name, content in files.items():
            self.write(name, content)
        self.write(".hidden", b"not published")
        os.mkdir(os.path.join(self.folder, "attachments"))

        refused = publish(self.argument)
        self.assertEqual(refused.returncode, 1, refused.err)
        self.assertIn("attachments: a subfolder", refused.err)
        self.assertEqual(self.manifests()[0], [])

        os.rmdir(os.path.join(self.folder, "attachments"))
        first = publish(self.argument)
        self.assertEqual(first.returncode, 0, first.err)
        self.assertIn("new      " + THAI, first.out)
        names, contents = self.manifests()
        self.assertEqual(names, ["FileUpDate.dat"] if RUNNER else ["FileUpDate.dat", "FileUpdate.dat"])
        self.assertEqual(len(contents), 1)
        data = contents.pop()
        lines = data.split(b"\r\n")
        self.assertEqual(lines.pop(), b"")
        self.assertEqual(lines[1], b"1")
        listed = {line.split(b" ")[0].decode("cp874"): line.split(b" ")[1:] for line in lines[2:]}
        self.assertEqual(listed, {
            name: [b"size=%d" % len(content), b"sha256=" + hashlib.sha256(content).hexdigest().encode()]
            for name, content in files.items()})

        # Nothing changed: not even written again.
        before = os.stat(os.path.join(self.folder, "FileUpDate.dat"))
        again = publish(self.argument)
        self.assertEqual(again.returncode, 0, again.err)
        after = os.stat(os.path.join(self.folder, "FileUpDate.dat"))
        self.assertEqual((after.st_ino, after.st_mtime_ns), (before.st_ino, before.st_mtime_ns))
        self.assertEqual(self.manifests()[1], {data})

        self.write("agenda.txt", b"agenda, amended\n")
        changed = publish(self.argument)
        self.assertEqual(changed.returncode, 0, changed.err)
        self.assertIn("changed  agenda.txt", changed.out)
        (new_data,) = self.manifests()[1]
        self.assertEqual(new_data.split(b"\r\n")[:2], [lines[0], b"2"])

        renewed = publish("--new-generation", "TW3 generation 2", self.argument)
        self.assertEqual(renewed.returncode, 0, renewed.err)
        self.assertEqual(self.manifests()[1].pop().split(b"\r\n")[:2], [b"TW3 generation 2", b"2"])

    @unittest.skipUnless(shutil.which("minisign"), "needs minisign (scripts/setup installs it)")
    def test_signs_by_itself_and_again_only_for_another_manifest(self):
        keys = os.path.join(self.folder, ".keys")
        os.mkdir(keys)

        def make_key(name, password=None):
            """minisign -G's key pair, with a password or without (-W)."""
            pub, key = (os.path.join(keys, f"{name}.{kind}") for kind in ("pub", "key"))
            subprocess.run(["minisign", "-G", "-p", pub, "-s", key, *([] if password else ["-W"])], check=True,
                           capture_output=True, input=f"{password}\n{password}\n".encode() if password else None)
            return pub, windows_path(key) if RUNNER else key

        def signature(pub):
            """The signature under each manifest name on disk, once that manifest is verified with it."""
            names = self.manifests()[0]
            for name in names:
                verified = subprocess.run(["minisign", "-Vm", os.path.join(self.folder, name), "-p", pub],
                                          capture_output=True)
                self.assertEqual(verified.returncode, 0, verified.stderr)
            (data,) = {pathlib.Path(self.folder, name + ".minisig").read_bytes() for name in names}
            return data

        # Without a password: signed without asking (standard input is empty).
        plain_pub, key = make_key("plain")
        self.write("agenda.txt", b"agenda\n")
        first = publish("--sign", key, self.argument)
        self.assertEqual(first.returncode, 0, first.err)
        signed = signature(plain_pub)
        again = publish("--sign", key, self.argument)
        self.assertEqual((again.returncode, signature(plain_pub)), (0, signed), again.err)

        # Changed without --sign: the signature no longer matches, and --sign signs the current manifest.
        self.write("agenda.txt", b"agenda, amended\n")
        unsigned = publish(self.argument)
        self.assertIn("no longer matches", unsigned.err)
        resigned = publish("--sign", key, self.argument)
        self.assertEqual(resigned.returncode, 0, resigned.err)
        self.assertNotEqual(signature(plain_pub), signed)

        # With a password on standard input. A wrong one, or none, is refused before anything changes; the
        # password is never shown.
        pub, key = make_key("protected", "pass word 1")
        self.write("agenda.txt", b"agenda, amended twice\n")
        before = self.manifests(), signature(plain_pub)
        for password, status, told in (("pass word 2", 1, "wrong password for the key"),
                                       (None, 1, "no password came"), ("pass word 1", 0, "")):
            result = publish("--sign", key, self.argument, password=password)
            self.assertEqual(result.returncode, status, result.err)
            self.assertIn(told, result.err)
            self.assertNotIn("pass word", result.out + result.err)
            if status:
                self.assertEqual((self.manifests(), signature(plain_pub)), before)
        signed = signature(pub)

        if not RUNNER:
            # On a terminal: asked for, and not shown as it is typed.
            self.write("agenda.txt", b"agenda, amended three times\n")
            terminal, its_side = pty.openpty()
            typed = subprocess.Popen([os.environ["TARNWICK_PUBLISH"], "--sign", key, self.argument], stdin=its_side,
                                     stdout=its_side, stderr=its_side, start_new_session=True)
            os.close(its_side)
            shown = b""
            while b"password of" not in shown:
                shown += os.read(terminal, 1024)
            os.write(terminal, b"pass word 1\n")
            with contextlib.suppress(OSError):  # the end of the terminal's output
                while data := os.read(terminal, 1024):
                    shown += data
            os.close(terminal)
            self.assertEqual(typed.wait(timeout=120), 0, shown)
            self.assertNotIn(b"pass word", shown)
            self.assertNotEqual(signature(pub), signed)

    def test_command_line(self):
        version = publish("--version")
        self.assertEqual((version.returncode, version.out.strip()),
                         (0, "tarnwick-publish " + os.environ["TARNWICK_VERSION"]))
        for args in (["--bogus", self.argument], [], ["--revision"], [self.argument, self.argument], ["--sign"]):
            wrong = publish(*args)
            self.assertEqual(wrong.returncode, 2, args)
            self.assertIn("usage: tarnwick-publish", wrong.err)


if __name__ == "__main__":
    unittest.main()
