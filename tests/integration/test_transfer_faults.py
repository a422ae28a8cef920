"""Whole runs against a server whose transfers go wrong in ways that leave no error on the data itself."""
import os
import unittest

from harness import ONE_TRY, PASSWORD, Workspace


class TransferFaults(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()
        self.ws.start_server()
        self.ws.publish_tail(["Faults"])
        self.ws.publish("G1", "R1", {"a.doc": b"A" * 200000, "b.doc": "b"})

    def tearDown(self):
        self.ws.close()

    def run_yes(self, *extra):
        result = self.ws.run(self.ws.cookie(), "--yes", *extra)
        self.assertNotIn(PASSWORD, result.text)
        return result

    def assert_failed(self, box, result, leftover):
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn(f"| {box}", result.text)
        self.assertFalse(os.path.exists(self.ws.local("TW3", leftover)))
        self.assertFalse(os.path.exists(self.ws.local("Tarnwick.html")))
        if leftover != "oFileUpdate.dat":  # a failed file came after the run's first change: the marker
            self.assertTrue(os.path.exists(self.ws.local("CodeWork")))
        self.assertEqual(self.ws.partial_files(), [])

    def test_a_file_cut_short_or_longer_than_announced_is_not_kept(self):
        self.ws.server.inject("a.doc", "short")
        self.assert_failed("Load File  a.doc Error 904", self.run_yes(), "a.doc")
        self.ws.server.inject("FileUpdate.dat", "long")
        result = self.run_yes()
        self.assert_failed("Load FileUpdate Error 904", result, "oFileUpdate.dat")
        self.assertIn("came longer than announced", result.text)

    def test_a_login_that_the_server_closed_between_requests_is_made_again(self):
        self.ws.server.inject("FileUpdate.dat", "hangup")
        result = self.run_yes(*ONE_TRY)  # the new login is no second try: one is enough
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"A" * 200000)
        self.assertEqual(self.ws.server.retrieved().count("m/TW3/t1/a.doc"), 1)
        self.assertEqual(self.ws.server.logins(), 2)  # the first, and one after the manifest

    def test_a_manifest_cut_short_is_not_read(self):
        self.ws.server.inject("FileUpdate.dat", "short")
        self.assert_failed("Load FileUpdate Error 904", self.run_yes(), "oFileUpdate.dat")
        self.assertFalse(os.path.exists(self.ws.local("TW3", "FileUpdate.dat")))

    def test_a_421_is_shown_as_the_server_gave_it(self):
        self.ws.server.inject("b.doc", "421")
        self.assert_failed("Load File  b.doc Error 421", self.run_yes(*ONE_TRY), "b.doc")
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"A" * 200000)

    def test_a_connection_refused_with_421_at_the_greeting_shows_421(self):
        self.ws.server.inject("<connect>", "421")
        self.assert_failed("Load FileUpdate Error 421", self.run_yes(*ONE_TRY), "oFileUpdate.dat")
        self.assertEqual(self.ws.server.logins(), 0)

    def test_a_short_file_that_the_server_announces_as_short_is_fetched(self):
        # Only a difference from the announced size fails: an empty file is announced as 0 bytes.
        self.ws.publish("G1", "R1", {"empty.doc": b"", "a.doc": b"A" * 70000})
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "empty.doc"), b"")
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"A" * 70000)


if __name__ == "__main__":
    unittest.main()
