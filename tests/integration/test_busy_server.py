"""Whole runs against a busy meeting server: a refusal for now is waited out with growing pauses and the
run completes; a refusal for good ends the run at once; a server busy for longer than the tries gets
today's box with its last reply; and a hall of participants at once against a server that takes few
connections all get the meeting."""
import os
import subprocess
import time
import unittest

from harness import PASSWORD, Workspace, native, program


class BusyServer(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)

    def serve(self, max_cons=64):
        self.ws.start_server(max_cons)
        self.ws.publish_tail(["ประชุม"])
        self.ws.publish("G1", "R1", {"a.doc": b"A" * 50000, "b.doc": "b"})

    def run_yes(self, *extra):
        started = time.monotonic()
        result = self.ws.run(self.ws.cookie(), "--yes", *extra)
        result.seconds = time.monotonic() - started
        self.assertNotIn(PASSWORD, result.text)
        return result

    def test_refusals_for_now_are_waited_out_and_refusals_for_good_are_not(self):
        self.serve()
        self.ws.server.inject("<connect>", "421", times=2)  # the first two logins
        self.ws.server.inject("a.doc", "425", times=1)  # one data connection
        self.ws.server.inject("a.doc", "reset-40", times=1)  # a data connection reset in the middle, 426
        result = self.run_yes()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"A" * 50000)
        self.assertIn("\n   Server busy: next try in ", result.text)  # the status line
        self.assertEqual(self.ws.partial_files(), [])

        self.ws.publish("G1", "R2", {"a.doc": "a2", "b.doc": "b2"})
        self.ws.server.inject("a.doc", "550")
        result = self.run_yes()
        self.assertIn("| Load File  a.doc Error 550", result.text)
        self.assertNotIn("Server busy", result.text)
        self.assertLess(result.seconds, 5)
        self.assertEqual(self.ws.server.retrieved().count("m/TW3/t1/a.doc"), 4)  # refused twice, then once a run

    def test_a_server_busy_beyond_the_tries_gets_the_box_with_its_last_reply(self):
        self.serve()
        self.ws.server.inject("<connect>", "421")
        log = os.path.join(self.ws.base, "runs.log")
        result = self.run_yes("--tries", "3", "--log", native(log))
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("| Load FileUpdate Error 421", result.text)
        with open(log, encoding="utf-8") as f:
            self.assertEqual(f.read().count("Server busy: next try in"), 2)  # before tries 2 and 3
        self.assertLess(result.seconds, (1 + 2) * 4 / 3 + 5)
        self.assertTrue(os.path.exists(self.ws.local("CodeWork")))

    def test_a_hall_of_participants_all_get_the_meeting(self):
        participants = 12
        self.serve(max_cons=6)  # three participants at once, each with a data connection
        runs = []
        for n in range(participants):
            folder = os.path.join(self.ws.base, f"participant-{n}")
            os.makedirs(folder)
            cookie = os.path.join(self.ws.base, f"cookie-{n}")
            with open(cookie, "w") as f:
                f.write(self.ws.cookie())
            runs.append((folder, subprocess.Popen(
                program("--folder", native(folder), "--cookie-file", native(cookie), "--ui", "terminal", "--yes"),
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)))
        for folder, process in runs:
            output = process.communicate(timeout=120)[0].decode("utf-8", "replace")
            self.assertEqual(process.returncode, 0, output)
            with open(os.path.join(folder, "TW3", "a.doc"), "rb") as f:
                self.assertEqual(f.read(), b"A" * 50000)


if __name__ == "__main__":
    unittest.main()
