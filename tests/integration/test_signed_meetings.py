"""Whole runs of a meeting whose publisher signs its manifest with minisign or tarnwick-publish: a component
folder that holds MeetingKey.pub takes only a manifest that one of its keys signed, and only files that manifest
answers for.
Over FTP, and over HTTPS against the tests' scripted web server."""
import os
import shutil
import subprocess
import unittest

from harness import RUNNER, Workspace, crlf, native
from test_tls import serve_scripted_https

MINISIGN = "/usr/bin/minisign"
TAIL_FILES = {"Tarnwick.msg": crlf(["Signed meeting"]), "Enote.Doc": b"enote", "MainTarnwick.html": b"<html></html>"}


class Signing:
    """A publisher's key and another's, the publisher's public key in the component folder; start_server()
    serves the meeting and run_yes() runs it."""

    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)
        self.start_server()
        self.keys = os.path.join(self.ws.base, "keys")
        os.makedirs(self.keys)
        for name in ("publisher", "other"):
            subprocess.run([MINISIGN, "-G", "-W", "-p", self.key(name, "pub"), "-s", self.key(name, "key")],
                           check=True, capture_output=True)
        shutil.copy(self.key("publisher", "pub"), self.ws.local("MeetingKey.pub"))

    def key(self, name, kind):
        return os.path.join(self.keys, f"{name}.{kind}")

    def publish(self, revision, files, key="publisher", extra_entries=()):
        """The meeting with every file's size= and sha256=, the manifest signed by `key` (None: unsigned)."""
        self.ws.publish("G1", revision, dict(TAIL_FILES, **files), checked=True, extra_entries=extra_entries)
        manifest = os.path.join(self.ws.remote_folder(), "FileUpdate.dat")
        signature = manifest + ".minisig"
        if os.path.exists(signature):
            os.remove(signature)
        if key:
            subprocess.run([MINISIGN, "-S", "-s", self.key(key, "key"), "-m", manifest, "-x", signature],
                           check=True, capture_output=True)
        return manifest

    def assert_refused(self, result, box, why):
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn(box, result.text)
        self.assertIn(why, result.text)


@unittest.skipUnless(os.path.exists(MINISIGN), "needs minisign (scripts/setup installs it)")
class SignedMeetings(Signing, unittest.TestCase):
    def start_server(self):
        self.ws.start_server()

    def run_yes(self):
        return self.ws.run(self.ws.cookie(), "--yes")

    def test_only_what_the_publisher_signed_is_taken(self):
        self.publish("R1", {"a.doc": b"alpha"})
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        kept = self.ws.read_local("TW3", "FileUpdate.dat")
        before = sorted(os.listdir(self.ws.local("TW3")))

        # Refused before anything changes: an entry altered after signing, no signature, another key's, a
        # signed manifest with a file it does not answer for.
        manifest = self.publish("R2", {"a.doc": b"alpha two"})
        with open(manifest, "ab") as f:
            f.write(b"b.doc size=1\r\n")
        self.assert_refused(self.run_yes(), "Load FileUpdate Error 915", "the signature does not match")
        self.publish("R2", {"a.doc": b"alpha two"}, key=None)
        self.assert_refused(self.run_yes(), "Load FileUpdate Error 915", "the server has no signature")
        self.publish("R2", {"a.doc": b"alpha two"}, key="other")
        self.assert_refused(self.run_yes(), "Load FileUpdate Error 915", "MeetingKey.pub")
        self.publish("R2", {"a.doc": b"alpha two"}, extra_entries=("b.doc unchecked",))
        self.assert_refused(self.run_yes(), "Load FileUpdate Error 915", "lists no sha256=")
        self.assertEqual(sorted(os.listdir(self.ws.local("TW3"))), before)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        self.assertEqual(self.ws.read_local("TW3", "FileUpdate.dat"), kept)
        self.assertFalse(os.path.exists(self.ws.local("CodeWork")))

        # A document replaced on the server after signing: fetched once more, then refused; the old copy stays.
        self.publish("R2", {"a.doc": b"alpha two"})
        with open(os.path.join(self.ws.remote_folder(), "a.doc"), "wb") as f:
            f.write(b"alpha 2!!")
        self.assert_refused(self.run_yes(), "Load File  a.doc Error 914", "differs from the manifest")
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")

        # Another manifest handed over at the end of the run than the one checked at its start.
        manifest = self.publish("R3", {"a.doc": b"alpha three"})
        shutil.copy(manifest, os.path.join(self.ws.remote_folder(), "FileUpDate.dat"))  # the name asked first
        with open(manifest, "ab") as f:
            f.write(b"x.doc size=1\r\n")
        self.assert_refused(self.run_yes(), "Load File  FileUpdate.dat Error 915", "no longer the one")

        # The folder signed by tarnwick-publish, as its publisher does it: taken.
        publish = [os.environ["TARNWICK_PUBLISH"], "--sign", native(self.key("publisher", "key")),
                   native(self.ws.remote_folder())]
        signed = subprocess.run(RUNNER + publish, stdin=subprocess.DEVNULL, capture_output=True)
        self.assertEqual(signed.returncode, 0, signed.stderr)
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha three")


@unittest.skipUnless(os.path.exists(MINISIGN), "needs minisign (scripts/setup installs it)")
@unittest.skipUnless(os.geteuid() == 0, "needs root (the system's store)")
class SignedMeetingsOverHttps(Signing, unittest.TestCase):
    """The same over HTTPS, where a missing signature is a 404. Adds a certificate authority to the system's
    store: tests/CMakeLists.txt runs it under the store's lock."""

    def start_server(self):
        self.server = serve_scripted_https(self, self.ws)

    def run_yes(self):
        return self.ws.run(self.ws.cookie(port=self.server.port), "--yes")

    def test_a_signed_meeting_is_taken_and_an_unsigned_one_refused(self):
        self.publish("R1", {"a.doc": b"alpha"})
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        self.publish("R2", {"a.doc": b"alpha two"}, key=None)
        self.assert_refused(self.run_yes(), "Load FileUpdate Error 915", "the server has no signature")
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")


if __name__ == "__main__":
    unittest.main()
