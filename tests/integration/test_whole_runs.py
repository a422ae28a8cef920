"""Whole runs of tarnwick-download against a real FTP server on loopback."""
import os
import socket
import threading
import unittest

from harness import ONE_TRY, PASSWORD, TAIL, Workspace, crlf, free_port, remote

ERROR_TITLE = "มีข้อผิดพลาด"
UP_TO_DATE = "ข้อมูลในเครื่องเป็นปัจจุบันแล้วครับ"
class WholeRun(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()

    def tearDown(self):
        self.ws.close()

    def run_ok(self, *extra):
        result = self.ws.run(self.ws.cookie(), "--yes", *extra)
        self.assertNotIn(PASSWORD, result.text)
        return result

    def assert_no_partial_files(self):
        self.assertEqual(self.ws.partial_files(), [])


class Launch(WholeRun):
    def test_a_cookie_without_a_key_is_an_argument_error_and_leaves_no_marker(self):
        result = self.ws.run("HOST=h;LOGIN=u;PWD=secret-pw;SUBSOURCE=m\\TW3")
        self.assertEqual(result.returncode, 2)
        lines = result.stdout.decode().splitlines()
        title = next(i for i, line in enumerate(lines) if "Error" in line and line.startswith("+--"))
        self.assertEqual(lines[title + 1:title + 3], ["| You Send Argument Error", "| Please. Asked Ostwin, 555-010101"])
        self.assertFalse(os.path.exists(self.ws.local("CodeWork")))
        self.assertNotIn("secret-pw", result.text)

    def test_an_element_without_equals_shows_start_one(self):
        result = self.ws.run(self.ws.cookie(port=free_port()) + ";broken")
        self.assertEqual(result.returncode, 1)
        self.assertIn(ERROR_TITLE, result.text)
        self.assertIn("| Start-1", result.text)

    def test_a_marker_from_an_unconfirmed_run_empties_nothing_while_the_server_is_away(self):
        os.makedirs(self.ws.local("TW3", "sub"))
        for name in ("CodeWork", os.path.join("TW3", "a.doc"), os.path.join("TW3", "sub", "b.doc")):
            with open(self.ws.local(name), "w") as f:
                f.write("x")
        result = self.ws.run(self.ws.cookie(port=free_port()), *ONE_TRY)
        self.assertIn("Load FileUpdate Error 901", result.text)
        self.assertEqual(result.returncode, 1)
        self.assertTrue(os.path.exists(self.ws.local("TW3", "a.doc")))
        self.assertTrue(os.path.exists(self.ws.local("TW3", "sub", "b.doc")))
        self.assertEqual(self.ws.read_local("CodeWork"), b"x")  # as it was found: the next run still recovers
        self.assertNotIn(PASSWORD, result.text)

    def test_usage_errors_exit_with_two(self):
        result = self.ws.run(self.ws.cookie(port=1), "--ui", "nonsense")
        self.assertEqual(result.returncode, 2)
        self.assertIn("usage:", result.text)


class ManifestRuns(WholeRun):
    def setUp(self):
        super().setUp()
        self.ws.start_server()
        self.ws.publish_tail(["ประชุมทดสอบ", "วาระที่ 1"])

    def test_first_run_fetches_everything_on_one_login(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "b.pdf": b"\x00\x01binary\r\n"})
        result = self.run_ok()
        self.assertEqual(result.returncode, 0, result.text)
        server = self.ws.server
        self.assertEqual(server.retrieved(), remote("FileUpDate.dat", "a.doc", "b.pdf", *TAIL))
        self.assertEqual(server.logins(), 1)
        self.assertEqual(self.ws.read_local("TW3", "b.pdf"), b"\x00\x01binary\r\n")
        with open(os.path.join(self.ws.remote_folder(), "FileUpdate.dat"), "rb") as published:
            self.assertEqual(self.ws.read_local("TW3", "FileUpdate.dat"), published.read())
        self.assertFalse(os.path.exists(self.ws.local("TW3", "oFileUpdate.dat")))
        self.assertFalse(os.path.exists(self.ws.local("CodeWork")))
        self.assertIn("File Copy Completed =  6 Files", result.text)
        page = self.ws.read_local("Tarnwick.html").decode("cp874")
        self.assertIn("<A href=TW3\\MainTarnwick.html><STRONG>ประชุมทดสอบ</STRONG></A>\r\n", page)
        self.assert_no_partial_files()

    def test_each_file_costs_only_a_data_port_request_and_a_retr(self):
        self.ws.publish("G1", "R1", {f"f{i}.doc": f"file {i}" for i in range(5)})
        self.run_ok()
        by_session = {}
        for session, command in self.ws.server.commands():
            by_session.setdefault(session, []).append(command.split(" ")[0])
        sessions = list(by_session.values())
        self.assertEqual(len(sessions), 1)
        for commands in sessions:
            logged_in = commands.index("PASS") + 1
            self.assertEqual(commands[:2], ["USER", "PASS"])
            after = [c for c in commands[logged_in:] if c not in ("PWD", "TYPE", "QUIT")]
            self.assertEqual(after, ["PASV", "RETR"] * (len(after) // 2), commands)
            self.assertLessEqual(commands.count("TYPE"), 1)

    def test_no_file_waits_on_a_wake_up_time_out(self):
        # libcurl can sit out a 1 s poll time-out while it opens a data connection; a run that pays that
        # per file is broken. Each file, from its PASV to the server's SENT, takes milliseconds here.
        self.ws.publish("G1", "R1", {f"f{i}.doc": f"file {i}" for i in range(8)})
        self.run_ok()
        started = None
        for ns, _, event, detail in self.ws.server.log():
            if event == "CMD" and detail == "PASV":
                started = int(ns)
            elif event == "SENT" and started is not None:
                self.assertLess((int(ns) - started) / 1e6, 500, detail)
                started = None

    def test_an_identical_manifest_reports_the_data_as_current(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        self.run_ok()
        self.ws.server.clear_log()
        result = self.run_ok()
        self.assertEqual(result.returncode, 0)
        self.assertIn(UP_TO_DATE, result.text)
        self.assertIn("[ OK ]", result.text)
        self.assertEqual(self.ws.server.retrieved(), remote("FileUpDate.dat"))
        self.assertFalse(os.path.exists(self.ws.local("TW3", "oFileUpdate.dat")))

    def test_a_missing_manifest_leaves_no_file_under_the_target_name(self):
        result = self.run_ok()
        self.assertEqual(result.returncode, 1)
        self.assertIn("| Load FileUpdate Error 550", result.text)
        self.assertFalse(os.path.exists(self.ws.local("TW3", "oFileUpdate.dat")))
        self.assertFalse(os.path.exists(self.ws.local("CodeWork")))  # nothing changed: no marker
        self.assert_no_partial_files()

    def test_a_changed_manifest_fetches_changed_and_new_files_then_the_tail(self):
        self.ws.publish("G1", "R1", {"a.doc": "a1", "b.doc": "b1", "c.doc": "c1"})
        self.run_ok()
        self.ws.server.clear_log()
        self.ws.publish("G1", "R2", {"a.doc": "a1", "b.doc": "b2 changed", "c.doc": "c1", "d.doc": "new"})
        result = self.run_ok()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.server.retrieved(), remote("FileUpDate.dat", "b.doc", "d.doc", *TAIL))
        self.assertEqual(self.ws.read_local("TW3", "b.doc"), b"b2 changed")
        self.assertIn("File Copy Completed =  6 Files", result.text)

    def test_a_new_generation_clears_the_folder_and_fetches_everything(self):
        self.ws.publish("G1", "R1", {"a.doc": "a1", "old.doc": "old"})
        self.run_ok()
        os.remove(os.path.join(self.ws.remote_folder(), "old.doc"))
        self.ws.server.clear_log()
        self.ws.publish("G2", "R1", {"a.doc": "a1"})
        result = self.run_ok()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.server.retrieved(), remote("FileUpDate.dat", "a.doc", *TAIL))
        self.assertFalse(os.path.exists(self.ws.local("TW3", "old.doc")))

    def test_a_missing_file_stops_the_queue_and_the_next_run_recovers(self):
        self.ws.publish("G1", "R1", {"one.doc": "1", "three.doc": "3", "two.doc": "2"})
        os.remove(os.path.join(self.ws.remote_folder(), "three.doc"))
        result = self.run_ok()
        self.assertEqual(result.returncode, 1)
        self.assertIn("| Load File  three.doc Error 550", result.text)
        self.assertEqual(self.ws.server.retrieved(), remote("FileUpDate.dat", "one.doc", "three.doc"))
        self.assertFalse(os.path.exists(self.ws.local("Tarnwick.html")))
        self.assertFalse(os.path.exists(self.ws.local("TW3", "three.doc")))
        self.assertTrue(os.path.exists(self.ws.local("CodeWork")))
        self.assert_no_partial_files()

        self.ws.publish("G1", "R1", {"one.doc": "1", "three.doc": "3", "two.doc": "2"})
        self.ws.server.clear_log()
        result = self.run_ok()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.server.retrieved(),
                         remote("FileUpDate.dat", "one.doc", "three.doc", "two.doc", *TAIL))

    def test_thai_names_and_messages(self):
        self.ws.publish_tail(["การประชุมสภา", "เรื่องที่ 1: งบประมาณ", "เรื่องที่ 2"])
        self.ws.publish("G1", "R1", {"วาระ1.pdf": "agenda", "รายงาน.doc": "report"})
        result = self.run_ok()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "วาระ1.pdf"), b"agenda")
        self.assertEqual(self.ws.read_local("TW3", "รายงาน.doc"), b"report")
        page = self.ws.read_local("Tarnwick.html").decode("cp874")
        self.assertIn("เรื่องที่ 1: งบประมาณ <Br> เรื่องที่ 2 <Br> </STRONG>", page)
        self.assertIn("<STRONG>การประชุมสภา</STRONG>", page)

    def test_a_name_that_leads_outside_the_folder_is_never_requested(self):
        self.ws.publish("G1", "R1", {"a.doc": "a"}, extra_entries=["..\\..\\escape.doc 1"])
        result = self.run_ok()
        self.assertEqual(result.returncode, 1)
        self.assertIn("| Load File  ..\\..\\escape.doc Error 911", result.text)
        self.assertNotIn("escape", " ".join(self.ws.server.retrieved()))
        self.assertFalse(os.path.exists(os.path.join(self.ws.base, "escape.doc")))

    def test_an_empty_manifest_line_and_a_line_without_a_blank_are_passed_over(self):
        self.ws.publish("G1", "R1", {"a.doc": "a"}, extra_entries=["", "noblank"])
        result = self.run_ok()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.server.retrieved(), remote("FileUpDate.dat", "a.doc", *TAIL))
        self.assertIn("File Copy Completed =  7 Files", result.text)

    def test_a_login_that_is_refused_reports_the_reply_code(self):
        result = self.ws.run(self.ws.cookie(password="wrong"), "--yes")
        self.assertEqual(result.returncode, 1)
        self.assertIn("| Load FileUpdate Error 530", result.text)


class Faults(WholeRun):
    def setUp(self):
        super().setUp()
        self.ws.start_server()
        self.ws.publish_tail(["Faults"])
        self.ws.publish("G1", "R1", {"a.doc": b"A" * 200000, "b.doc": "b"})

    def assert_failed_on(self, name, code, result):
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn(f"| Load File  {name} Error {code}", result.text)
        self.assertFalse(os.path.exists(self.ws.local("TW3", name)))
        self.assertFalse(os.path.exists(self.ws.local("Tarnwick.html")))
        self.assertTrue(os.path.exists(self.ws.local("CodeWork")))
        self.assert_no_partial_files()

    def test_a_reply_code_from_the_server_is_shown(self):
        self.ws.server.inject("b.doc", "451")
        self.assert_failed_on("b.doc", 451, self.run_ok())

    def test_a_connection_dropped_mid_file_leaves_nothing_under_its_name(self):
        self.ws.server.inject("a.doc", "drop")
        result = self.run_ok()
        self.assert_failed_on("a.doc", 904, result)
        # How much of the first half is read before the closed control connection is noticed varies.
        self.assertRegex(result.text, r"\(the file m/TW3/t1/a\.doc was cut short: \d+ of 200000 bytes came\)")

    def test_a_stalled_transfer_times_out(self):
        self.ws.server.inject("a.doc", "stall")
        self.assert_failed_on("a.doc", 902, self.run_ok("--timeout", "2", *ONE_TRY))


class Unreachable(WholeRun):
    def test_a_refused_connection(self):
        result = self.ws.run(self.ws.cookie(port=free_port()), "--yes", *ONE_TRY)
        self.assertEqual(result.returncode, 1)
        self.assertIn("| Load FileUpdate Error 901", result.text)

    def test_a_server_that_never_answers_times_out(self):
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(4)
        accepted = []
        thread = threading.Thread(target=lambda: accepted.append(listener.accept()), daemon=True)
        thread.start()
        try:
            result = self.ws.run(self.ws.cookie(port=listener.getsockname()[1]), "--yes", "--timeout", "2", *ONE_TRY)
        finally:
            for connection, _ in accepted:
                connection.close()
            listener.close()
        self.assertEqual(result.returncode, 1)
        self.assertIn("| Load FileUpdate Error 902", result.text)


if __name__ == "__main__":
    unittest.main()
