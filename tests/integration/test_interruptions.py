"""Whole runs that are cut short or must not start: a signal during a run, a second run in the same
component folder, a component folder the run cannot use, and server text that would command the terminal.
Runs through the desktop window use Qt's offscreen platform; they are left out when it was not built."""
import os
import signal
import subprocess
import time
import unittest

from harness import (ONE_TRY, PASSWORD, TAIL, WINDOWS, Workspace, free_port, linux_only, native, program, remote,
                     wait_for)

EXE = os.environ.get("TARNWICK_DOWNLOAD", "")
# The Qt window, on Qt's offscreen platform; the Windows build's window has tests of its own.
WINDOW_BUILT = bool(EXE) and not WINDOWS and "libQt6Widgets" in subprocess.run(
    ["ldd", EXE], capture_output=True, text=True).stdout
FRONT_ENDS = ["terminal", "window"] if WINDOW_BUILT else ["terminal"]


def finish(process, timeout=15):
    try:
        out, err = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        raise AssertionError("the run did not end")
    return out.decode("utf-8", "replace") + err.decode("utf-8", "replace")


def snapshot(folder):
    """Every path below the folder, with the content and modification time of its files."""
    found = {}
    for parent, _, names in os.walk(folder):
        found[parent] = None
        for path in (os.path.join(parent, name) for name in names):
            with open(path, "rb") as f:
                found[path] = (f.read(), os.stat(path).st_mtime_ns)
    return found


class Cases(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.close)

    def start(self, *extra, ui="terminal", stdin=subprocess.DEVNULL, cookie=None):
        """A run that goes on in the background; finish() collects it."""
        cookie_file = os.path.join(self.ws.base, "cookie-bg.txt")
        with open(cookie_file, "w", encoding="utf-8") as f:
            f.write((cookie or self.ws.cookie()) + "\n")
        process = subprocess.Popen(
            program("--folder", native(self.ws.component), "--cookie-file", native(cookie_file), "--ui", ui, *extra),
            stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        self.addCleanup(lambda: process.poll() is None and (process.kill(), process.communicate()))
        return process

    def stalled_run(self, ui="terminal", busy=False):
        """A run that has fetched a.doc and waits on z.doc, which the server never sends; `busy`: which the
        server refuses for now, again and again, so that the run waits in its pause before a fourth try."""
        if busy:
            self.ws = Workspace()
            self.addCleanup(self.ws.close)
        if self.ws.server is None:
            self.ws.start_server()
            self.ws.publish_tail(["Stalled"])
            self.ws.publish("G1", "R1", {"a.doc": "a", "z.doc": "z" * 1000})
            self.ws.server.inject("z.doc", "425" if busy else "stall")
        stalls = lambda: sum(1 for entry in self.ws.server.log() if entry[2] == "FAULT")
        stalled_before = stalls()
        process = self.start("--yes", *(() if busy else ONE_TRY), ui=ui)
        in_flight = lambda: (stalls() >= stalled_before + 3 if busy else stalls() > stalled_before and any(
            os.path.basename(path).startswith(".z.doc.part-") for path in self.ws.partial_files()))
        wait_for(lambda: in_flight() or process.poll() is not None, "z.doc in flight")
        self.assertIsNone(process.poll(), "the run ended before z.doc")
        self.assertTrue(os.path.exists(self.ws.local("TW3", "a.doc")))
        return process


# Wine turns no signal into a console control event for a program without a console: Ctrl-C on Windows is
# not tested here.
@linux_only
class Signals(Cases):
    def test_a_signal_mid_file_removes_the_temporary_file_and_keeps_the_marker(self):
        cases = [(ui, [signal.SIGINT], 130, False) for ui in FRONT_ENDS]
        cases += [("terminal", [signal.SIGTERM], 143, False), ("terminal", [signal.SIGINT, signal.SIGTERM], 130, False)]
        # The terminal closed: what read the output is gone with it.
        cases += [("terminal", [signal.SIGHUP], 129, False)]
        # Closed while the run waits for a busy server: the pause ends at once (the next is up to 8 s).
        cases += [(ui, [signal.SIGINT], 130, True) for ui in FRONT_ENDS]
        for ui, signals, status, busy in cases:
            with self.subTest(ui=ui, signals=[s.name for s in signals], busy=busy):
                process = self.stalled_run(ui, busy)
                signalled = time.monotonic()
                for number in signals:
                    if number == signal.SIGHUP:
                        process.stdout.close()
                    process.send_signal(number)
                    time.sleep(0.05)  # a later signal comes while the window closes
                text = finish(process)
                self.assertLess(time.monotonic() - signalled, 1.5)
                self.assertEqual(process.returncode, status, text)
                self.assertTrue(os.path.exists(self.ws.local("CodeWork")))
                self.assertEqual(self.ws.partial_files(), [])
                self.assertFalse(os.path.exists(self.ws.local("TW3", "z.doc")))
                self.assertNotIn(PASSWORD, text)
                if ui == "terminal":
                    self.assertIn("Interrupted: the file in flight was not kept; the next run fetches everything"
                                  " again.\n", text)
        os.remove(self.ws.server.faults_path)
        self.ws.server.clear_log()
        result = self.ws.run(self.ws.cookie(), "--yes")
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.server.retrieved(), remote("FileUpDate.dat", "a.doc", "z.doc", *TAIL))
        self.assertFalse(os.path.exists(self.ws.local("CodeWork")))

    def test_a_signal_while_a_box_waits_for_its_user_ends_the_run(self):
        # Refused before its first change, the run leaves the recovery marker as it found it: what the terminal
        # says of the next run follows the marker.
        said = {False: "Interrupted before anything was changed: the next run goes on as usual.\n",
                True: "the next run fetches everything again.\n"}
        for ui, marker in [(ui, False) for ui in FRONT_ENDS] + [("terminal", True)]:
            with self.subTest(ui=ui, marker=marker):
                if marker:
                    with open(self.ws.local("CodeWork"), "w") as f:
                        f.write(" 1 \r\n")
                leader, follower = os.openpty()  # the terminal waits for Enter only on a terminal
                self.addCleanup(os.close, leader)
                self.addCleanup(os.close, follower)
                process = self.start(ui=ui, stdin=follower, cookie=self.ws.cookie(port=free_port()))
                wait_for(lambda: os.path.exists(self.ws.local("TW3")), "the meeting folder")
                time.sleep(1)  # the refused connection's box is up
                self.assertIsNone(process.poll(), "the box did not wait")
                process.send_signal(signal.SIGTERM)
                text = finish(process)
                self.assertEqual(process.returncode, 143, text)
                self.assertEqual(os.path.exists(self.ws.local("CodeWork")), marker)
                if ui == "terminal":
                    self.assertIn(said[marker], text)
                    self.assertNotIn(said[not marker], text)


class OneRunAtATime(Cases):
    def test_a_second_run_in_the_same_folder_is_refused_and_touches_nothing(self):
        busy = f"Another download is running in {native(self.ws.component)}. Try again when it has finished."
        first = self.stalled_run()
        before, log_before = snapshot(self.ws.component), self.ws.server.log()
        second = self.ws.run(self.ws.cookie(), "--yes")
        self.assertEqual(second.returncode, 1, second.text)
        lines = second.stdout.decode().splitlines()
        self.assertEqual(lines[lines.index("+-- (x) Error") + 1], "| " + busy)
        if WINDOW_BUILT:
            second = self.start("--yes", ui="window")
            text = finish(second)
            self.assertEqual(second.returncode, 1, text)
            self.assertIn(f"[Error] {busy}\n", text)
        self.assertEqual(snapshot(self.ws.component), before)
        self.assertEqual(self.ws.server.log(), log_before)

        first.send_signal(signal.SIGTERM)
        finish(first)
        third = self.ws.run(self.ws.cookie(port=free_port()), "--yes", *ONE_TRY)  # the lock went with the first run
        self.assertNotIn(busy, third.text)
        self.assertIn("Load FileUpdate Error 901", third.text)


class UnusableFolder(Cases):
    @linux_only  # on Windows "\\" is the separator
    def test_a_backslash_in_the_component_folder_path_is_refused_before_anything_is_touched(self):
        folder = os.path.join(self.ws.base, "meet\\ings")
        os.makedirs(folder)
        os.symlink(folder, os.path.join(self.ws.base, "alias"))
        cookie_file = os.path.join(self.ws.base, "cookie.txt")
        with open(cookie_file, "w") as f:
            f.write(self.ws.cookie(port=free_port()))
        before = snapshot(self.ws.base)
        for given in (folder, os.path.join(self.ws.base, "alias")):
            with self.subTest(folder=given):
                result = subprocess.run(program("--folder", given, "--cookie-file", cookie_file, "--yes", "--ui",
                                                "terminal"), capture_output=True, stdin=subprocess.DEVNULL)
                self.assertEqual(result.returncode, 2)
                self.assertIn(b"backslash", result.stderr)
                self.assertEqual(snapshot(self.ws.base), before)


class ServerText(Cases):
    def test_control_characters_in_a_file_name_reach_the_terminal_escaped(self):
        self.ws.start_server()
        self.ws.publish_tail(["Text"])
        self.ws.publish("G1", "R1", {"a.doc": "a"}, extra_entries=["\x1b]0;owned\x07\x1b[2Jfake.doc 1"])
        for ui in FRONT_ENDS:
            with self.subTest(ui=ui):
                text = finish(self.start("--yes", ui=ui))
                self.assertIn("Load File  \\x1b]0;owned\\x07\\x1b[2Jfake.doc Error ", text)
                self.assertNotIn("\x1b", text)
                self.assertNotIn("\x07", text)


if __name__ == "__main__":
    unittest.main()
