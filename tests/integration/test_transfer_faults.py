"""Whole runs against a server whose transfers go wrong in ways that leave no error on the data itself."""
import os
import random
import unittest

from ftp_server import republished_longer
from harness import ONE_TRY, PASSWORD, Workspace, wait_for

REPUBLISHED = bytes((b + 1) % 256 for b in range(256))  # ftp_server.py's republish: every byte one more


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

    def test_a_manifest_cut_short_or_endless_is_not_read(self):
        self.ws.server.inject("FileUpdate.dat", "short", times=1)
        self.assert_failed("Load FileUpdate Error 904", self.run_yes(), "oFileUpdate.dat")
        self.assertFalse(os.path.exists(self.ws.local("TW3", "FileUpdate.dat")))

        # Bytes without end, no size named: stopped soon after its bound, and what the last run left stays.
        self.assertEqual(self.run_yes().returncode, 0)
        kept = self.ws.read_local("TW3", "FileUpdate.dat")
        self.ws.publish("G2", "R1", {"c.doc": "c"})
        self.ws.server.inject("FileUpdate.dat", "endless", times=1)
        self.ws.server.clear_log()
        result = self.run_yes()
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("| Load FileUpdate Error 910", result.text)
        sent = wait_for(lambda: self.ws.server.sent("FileUpdate.dat"), "the end of the bytes")
        self.assertLessEqual(sent, 48 << 20)  # 32 MiB, and what was still on its way when the program stopped
        self.assertEqual(self.ws.read_local("TW3", "FileUpdate.dat"), kept)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"A" * 200000)
        self.assertFalse(os.path.exists(self.ws.local("TW3", "oFileUpdate.dat")))
        self.assertEqual(self.ws.partial_files(), [])

    def test_a_421_is_shown_as_the_server_gave_it(self):
        self.ws.server.inject("b.doc", "421")
        self.assert_failed("Load File  b.doc Error 421", self.run_yes(*ONE_TRY), "b.doc")
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"A" * 200000)

    def test_a_connection_refused_with_421_at_the_greeting_shows_421(self):
        self.ws.server.inject("<connect>", "421")
        self.assert_failed("Load FileUpdate Error 421", self.run_yes(*ONE_TRY), "oFileUpdate.dat")
        self.assertEqual(self.ws.server.logins(), 0)

    def test_a_broken_transfer_asks_for_the_rest_only_where_it_splices_onto_the_bytes_kept(self):
        # Not periodic: a rest sent from the wrong offset must not match the bytes kept by chance.
        size = 2_000_000
        first = {name: random.Random(name).randbytes(size)
                 for name in ("a.doc", "b.doc", "d.doc", "e.doc", "f.doc", "h.doc")}
        self.ws.publish("G1", "R2", first)
        self.ws.server.inject("a.doc", "reset-20", times=1)  # then at 40 % and 80 %: three breaks
        self.ws.server.inject("a.doc", "reset-40", times=1)
        self.ws.server.inject("a.doc", "reset-80", times=1)
        self.ws.server.inject("b.doc", "reset-40", times=1)  # then published anew when cut at 80 %
        self.ws.server.inject("b.doc", "republish-80", times=1)
        self.ws.server.inject("d.doc", "republish-40", times=1)  # anew at once: the same size, a later time
        self.ws.server.inject("e.doc", "reset-40", times=1)  # then the rest asked for, the file from byte 0 sent
        self.ws.server.inject("e.doc", "rest-ignored")
        self.ws.server.inject("f.doc", "republish-same-40", times=1)  # the same size and time: the bytes tell
        self.ws.server.inject("h.doc", "republish-longer-40", times=1)  # the same time and overlap: the size tells
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), first["a.doc"])
        self.assertLessEqual(self.ws.server.sent("a.doc"), 1.1 * size)
        for name in ("b.doc", "d.doc", "f.doc"):
            self.assertEqual(self.ws.read_local("TW3", name), first[name].translate(REPUBLISHED), name)
        self.assertEqual(self.ws.read_local("TW3", "e.doc"), first["e.doc"])
        self.assertEqual(self.ws.read_local("TW3", "h.doc"), republished_longer(first["h.doc"]))
        self.assertEqual(self.ws.partial_files(), [])

        self.ws.publish("G1", "R3", dict(first, **{"c.doc": first["a.doc"]}))
        self.ws.server.inject("c.doc", "reset-40", times=1)
        self.ws.server.inject("<rest>", "502")  # the rest refused: the file from nothing
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "c.doc"), first["a.doc"])

        open(self.ws.server.faults_path, "w").close()  # REST answered again, SIZE refused
        self.ws.publish("G1", "R4", dict(first, **{"c.doc": first["a.doc"], "g.doc": first["e.doc"]}))
        self.ws.server.inject("g.doc", "reset-40", times=1)
        self.ws.server.inject("<size>", "550")
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "g.doc"), first["e.doc"])
        self.assertLessEqual(self.ws.server.sent("g.doc"), 1.1 * size)  # the rest asked for all the same
        self.assertEqual(self.ws.partial_files(), [])

    def test_a_broken_transfer_asks_for_the_rest_though_the_150_names_no_size(self):
        self.ws.server.stop()
        self.ws.start_server(options=("--plain-150",))
        big = os.urandom(48 << 20)
        self.ws.publish("G1", "R2", {"big.bin": big})
        self.ws.server.inject("big.bin", "reset-30", times=1)
        self.ws.server.inject("big.bin", "reset-60", times=1)
        self.ws.server.inject("big.bin", "reset-90", times=1)
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "big.bin"), big)
        self.assertLessEqual(self.ws.server.sent("big.bin"), 1.1 * len(big))
        self.assertEqual(self.ws.partial_files(), [])

    def test_a_file_that_differs_from_the_manifest_is_fetched_once_more_then_refused(self):
        self.assertEqual(self.run_yes().returncode, 0)
        meant = random.Random(7).randbytes(150000)
        self.ws.publish("G1", "R2", {"a.doc": meant, "b.doc": "b"}, checked=True)
        with open(os.path.join(self.ws.remote_folder(), "a.doc"), "wb") as f:
            f.write(meant[::-1])  # the size listed, other bytes
        self.ws.server.clear_log()
        result = self.run_yes()
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("| Load File  a.doc Error 914", result.text)
        self.assertIn("differs from the manifest", result.text)
        self.assertEqual(self.ws.server.retrieved().count("m/TW3/t1/a.doc"), 2)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"A" * 200000)
        self.assertTrue(os.path.exists(self.ws.local("CodeWork")))
        self.assertEqual(self.ws.partial_files(), [])

        self.ws.publish("G1", "R2", {"a.doc": meant, "b.doc": "b"}, checked=True)
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), meant)

    def test_a_short_file_that_the_server_announces_as_short_is_fetched(self):
        # Only a difference from the announced size fails: an empty file is announced as 0 bytes.
        self.ws.publish("G1", "R1", {"empty.doc": b"", "a.doc": b"A" * 70000})
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "empty.doc"), b"")
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"A" * 70000)


if __name__ == "__main__":
    unittest.main()
