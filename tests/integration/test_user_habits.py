"""Whole runs as a user meets them: help, errors that explain themselves, progress, a summary, a log,
quiet runs, and cookie files as editors leave them."""
import os
import re
import subprocess
import unittest

from harness import ONE_TRY, PASSWORD, Workspace, free_port, native, program


class UserHabits(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()

    def tearDown(self):
        self.ws.close()

    def serve(self, files):
        self.ws.start_server()
        self.ws.publish_tail(["ประชุม"])
        self.ws.publish("G1", "R1", files)

    def run_raw(self, *args, cookie_text=None):
        cookie_file = os.path.join(self.ws.base, "cookie.txt")
        with open(cookie_file, "w", encoding="utf-8") as f:
            f.write(cookie_text if cookie_text is not None else self.ws.cookie() + "\n")
        result = subprocess.run(program(f"--folder={native(self.ws.component)}", f"--cookie-file={native(cookie_file)}",
                                        *args),
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        result.out = result.stdout.decode("utf-8", "replace")
        result.err = result.stderr.decode("utf-8", "replace")
        self.assertNotIn(PASSWORD, result.out + result.err)
        return result


class CommandLine(UserHabits):
    def test_help_and_version_answer_on_standard_output(self):
        for option in ("--help", "-h"):
            result = subprocess.run(program(option), capture_output=True)
            self.assertEqual(result.returncode, 0)
            self.assertIn(b"usage: tarnwick-download --cookie-file FILE", result.stdout)
            self.assertIn(b"(default: 60)", result.stdout)
        result = subprocess.run(program("--version"), capture_output=True)
        self.assertEqual(result.returncode, 0)
        self.assertRegex(result.stdout.decode(), r"^tarnwick-download \d+\.\d+\.\d+\n$")

    def test_an_unknown_option_is_named(self):
        result = subprocess.run(program("--cookie-file", "x", "--colour"), capture_output=True)
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"unknown option: --colour", result.stderr)

    def test_values_after_an_equals_sign_and_a_cookie_file_with_blank_last_lines(self):
        self.serve({"a.doc": "alpha"})
        result = self.run_raw("--ui=terminal", "--timeout=30", "--yes",
                              cookie_text=self.ws.cookie() + "\r\n\r\n\n")
        self.assertEqual(result.returncode, 0, result.out)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")

    def test_a_cookie_on_standard_input(self):
        # How a page that will not write the password into a file starts a run.
        self.serve({"a.doc": "alpha"})
        result = subprocess.run(program("--folder", native(self.ws.component), "--cookie-file", "-", "--ui", "terminal"),
                                input=(self.ws.cookie() + "\r\n").encode(), capture_output=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        self.assertNotIn(PASSWORD.encode(), result.stdout + result.stderr)


class Errors(UserHabits):
    def assert_explained(self, result, box, detail):
        self.assertEqual(result.returncode, 1, result.out)
        for stream in (result.out, result.err):  # on standard error too, for a scheduled run's log
            self.assertIn(f"| {box}\n", stream)
            self.assertIn(f"|   ({detail})\n", stream)

    def test_a_missing_file_names_the_remote_path(self):
        self.serve({"a.doc": "alpha"})
        self.ws.server.inject("a.doc", "550")
        result = self.run_raw("--ui", "terminal", "--yes")
        self.assert_explained(result, "Load File  a.doc Error 550", "the server has no file m/TW3/t1/a.doc (550)")

    def test_a_refused_login_and_an_unreachable_host_say_so(self):
        self.serve({"a.doc": "alpha"})
        result = self.run_raw("--ui", "terminal", "--yes", cookie_text=self.ws.cookie(password="wrong") + "\n")
        self.assert_explained(result, "Load FileUpdate Error 530",
                              f"the server 127.0.0.1:{self.ws.server.port} refused the login of meeting (530)")
        port = free_port()
        result = self.run_raw("--ui", "terminal", "--yes", *ONE_TRY, cookie_text=self.ws.cookie(port=port) + "\n")
        self.assert_explained(result, "Load FileUpdate Error 901", f"connection to 127.0.0.1:{port} refused")


class Reports(UserHabits):
    def test_a_line_per_file_a_summary_and_the_names_no_longer_listed(self):
        self.serve({"a.doc": "alpha", "b.doc": "beta"})
        result = self.run_raw("--ui", "terminal", "--yes")
        self.assertEqual(result.returncode, 0, result.out)
        self.assertRegex(result.out, r"\n   1/6 a\.doc  5 B in [\d.]+ s \(")
        self.assertRegex(result.out, r"\n   Fetched 6 files, [\d.]+ (B|KiB) in [\d.]+ s \(")
        self.ws.publish("G1", "R2", {"a.doc": "alpha 2"})
        result = self.run_raw("--ui", "terminal", "--yes")
        self.assertIn("   Fetched 5 files,", result.out)
        self.assertIn("   No longer listed on the server, kept on disk: b.doc\n", result.out)
        self.assertTrue(os.path.exists(self.ws.local("TW3", "b.doc")))

    def test_the_log_gets_a_time_stamped_line_per_file_and_the_error(self):
        self.serve({"a.doc": "alpha"})
        log = os.path.join(self.ws.base, "runs.log")
        self.assertEqual(self.run_raw("--ui", "terminal", "--yes", "--log", native(log)).returncode, 0)
        self.ws.publish("G1", "R2", {"a.doc": "alpha 2"})
        self.ws.server.inject("a.doc", "550")
        self.assertEqual(self.run_raw("--ui", "terminal", "--yes", f"--log={native(log)}").returncode, 1)
        with open(log, encoding="utf-8") as f:
            lines = f.read().splitlines()
        stamp = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d "
        for line in lines:
            self.assertRegex(line, "^" + stamp)
            self.assertNotIn(PASSWORD, line)
        text = "\n".join(line[20:] for line in lines)
        self.assertIn("fetched a.doc (5 B in ", text)
        self.assertIn("completed", text)
        self.assertIn("failed: Load File  a.doc Error 550 (the server has no file m/TW3/t1/a.doc (550))", text)
        self.assertEqual(sum(1 for line in lines if line[20:].startswith("run in ")), 2)

    def test_quiet_prints_only_errors(self):
        self.serve({"a.doc": "alpha"})
        result = self.run_raw("--ui", "terminal", "--yes", "-q")
        self.assertEqual((result.returncode, result.out, result.err), (0, "", ""))
        self.ws.publish("G1", "R2", {"a.doc": "alpha 2"})
        self.ws.server.inject("a.doc", "550")
        result = self.run_raw("--ui", "terminal", "--yes", "--quiet")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(re.sub(r"\|.*\n|\+--.*\n", "", result.out), "")  # nothing but the box
        self.assertIn("| Load File  a.doc Error 550\n", result.out)


if __name__ == "__main__":
    unittest.main()
