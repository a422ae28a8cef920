"""Whole runs under faults that must never cost the user a document: no server, a failed update, a
manifest republished during the run, leftovers of an interrupted run, links, long names, huge manifests."""
import os
import re
import resource
import shutil
import signal
import stat
import subprocess
import unittest

from harness import ONE_TRY, PASSWORD, TAIL, Workspace, crlf, free_port, linux_only, remote

class DataSafety(unittest.TestCase):
    def setUp(self):
        self.ws = Workspace()
        self.ws.start_server()
        self.ws.publish_tail(["ประชุม"])

    def tearDown(self):
        self.ws.close()

    def run_download(self, port=None):
        result = self.ws.run(self.ws.cookie(port=port), "--yes", *ONE_TRY)
        self.assertNotIn(PASSWORD, result.text)
        return result

    def write_local(self, relative, data):
        path = self.ws.local(*relative.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def assert_no_partial_files(self):
        self.assertEqual(self.ws.partial_files(), [])


class Recovery(DataSafety):
    def test_a_run_that_cannot_reach_the_server_deletes_nothing(self):
        self.write_local("CodeWork", b" 1 \r\n")
        self.write_local("TW3/a.doc", b"mine")
        self.write_local("TW3/FileUpdate.dat", crlf(["G1", "R1", "a.doc 4"]))
        result = self.run_download(port=free_port())
        self.assertEqual(result.returncode, 1)
        self.assertIn("Load FileUpdate Error 901", result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"mine")
        self.assertTrue(os.path.exists(self.ws.local("TW3", "FileUpdate.dat")))

    def test_after_an_interrupted_run_everything_comes_again_once_the_server_answers(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "b.doc": "beta"})
        with open(os.path.join(self.ws.remote_folder(), "FileUpdate.dat"), "rb") as f:
            self.write_local("TW3/FileUpdate.dat", f.read())  # the kept copy says: current
        self.write_local("TW3/a.doc", b"half of a")
        self.write_local("TW3/old.doc", b"no longer listed")
        self.write_local("CodeWork", b" 1 \r\n")
        result = self.run_download()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.server.retrieved(), remote("FileUpDate.dat", "a.doc", "b.doc", *TAIL))
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        self.assertFalse(os.path.exists(self.ws.local("TW3", "old.doc")))
        self.assertFalse(os.path.exists(self.ws.local("CodeWork")))

    def test_leftovers_of_an_interrupted_run_are_removed_and_nothing_else(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        self.write_local("TW3/.a.doc.part-Ab12cD", b"half")
        self.write_local(".Tarnwick.html.part-XyZ789", b"half")
        self.write_local("TW3/.notes", b"the user's own")
        result = self.run_download()
        self.assertEqual(result.returncode, 0, result.text)
        self.assert_no_partial_files()
        self.assertEqual(self.ws.read_local("TW3", ".notes"), b"the user's own")


class Updates(DataSafety):
    def test_a_failed_update_keeps_the_old_copy(self):
        for fault in ("550", "drop"):
            with self.subTest(fault=fault):
                if os.path.exists(self.ws.server.faults_path):
                    os.remove(self.ws.server.faults_path)
                self.ws.publish("G1", "R1", {"a.doc": "a1", "b.doc": "b1"})
                self.assertEqual(self.run_download().returncode, 0)  # a confirmed run: no marker left
                self.ws.publish("G1", "R2", {"a.doc": "a2", "b.doc": "b2"})
                self.ws.server.inject("b.doc", fault)
                result = self.run_download()
                self.assertEqual(result.returncode, 1, result.text)
                self.assertIn("Load File  b.doc Error", result.text)
                self.assertEqual(self.ws.read_local("TW3", "b.doc"), b"b1")
                self.assert_no_partial_files()
                os.remove(self.ws.local("CodeWork"))

    def test_a_revision_published_during_the_run_is_fetched_by_the_next_run(self):
        folder = self.ws.remote_folder()
        for name, content in (("a.doc", b"alpha"), ("b.doc", b"beta")):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(content)
        compared = crlf(["G1", "R1", "a.doc 5"])
        # The manifest is asked for as "FileUpDate.dat" first and as "FileUpdate.dat" at the end: two
        # files on the server stand for a revision published in between.
        with open(os.path.join(folder, "FileUpDate.dat"), "wb") as f:
            f.write(compared)
        with open(os.path.join(folder, "FileUpdate.dat"), "wb") as f:
            f.write(crlf(["G1", "R2", "a.doc 5", "b.doc 4"]))
        self.assertEqual(self.run_download().returncode, 0)
        self.assertEqual(self.ws.read_local("TW3", "FileUpdate.dat"), compared)
        self.assertFalse(os.path.exists(self.ws.local("TW3", "b.doc")))

        os.remove(os.path.join(folder, "FileUpDate.dat"))  # from now on one revision under both names
        result = self.run_download()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", "b.doc"), b"beta")

    def test_a_new_generation_that_would_overflow_the_list_deletes_nothing(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        self.assertEqual(self.run_download().returncode, 0)
        entries = [f"f{i:05d} 1" for i in range(32764)]
        with open(os.path.join(self.ws.remote_folder(), "FileUpdate.dat"), "wb") as f:
            f.write(crlf(["G2", "R2"] + entries))
        result = self.run_download()
        self.assertEqual(result.returncode, 1)
        self.assertIn("Load FileUpdate Error 910", result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")

    def test_a_manifest_larger_than_its_entries_can_need_is_refused_before_it_is_read(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        self.assertEqual(self.run_download().returncode, 0)
        with open(os.path.join(self.ws.remote_folder(), "FileUpdate.dat"), "wb") as f:
            f.write(crlf(["G2", "R2"]))
            f.write(b"x" * (33 << 20))
        result = self.run_download()
        self.assertEqual(result.returncode, 1)
        self.assertIn("Load FileUpdate Error 910", result.text)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"alpha")
        self.assertFalse(os.path.exists(self.ws.local("TW3", "oFileUpdate.dat")))

    def test_two_full_manifests_compare_without_holding_up_the_run(self):
        names = [(f"Doc{i:05d}" if i % 2 else f"doc_{i:05d}") + ".pdf" for i in range(32767)]
        kept = ["G1", "R1"] + [f"{name} 1" for name in names]
        fresh = ["G1", "R2"] + [f"{name} {2 if i == 7 else 1}" for i, name in enumerate(names)]
        self.write_local("TW3/FileUpdate.dat", crlf(kept))
        folder = self.ws.remote_folder()
        with open(os.path.join(folder, "FileUpdate.dat"), "wb") as f:
            f.write(crlf(fresh))
        with open(os.path.join(folder, names[7]), "wb") as f:
            f.write(b"changed")
        result = self.ws.run(self.ws.cookie(), "--yes", timeout=60)
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.server.retrieved(), remote("FileUpDate.dat", names[7], *TAIL))


class LocalFiles(DataSafety):
    @linux_only  # a write limit on the process
    def test_a_file_that_cannot_be_written_ends_with_903_and_leaves_nothing(self):
        self.ws.publish("G1", "R1", {"big.doc": b"x" * 300000})
        cookie_file = os.path.join(self.ws.base, "cookie.txt")
        with open(cookie_file, "w") as f:
            f.write(self.ws.cookie())

        def limit_file_size():  # the child's writes past 64 KiB fail instead of killing it
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))

        result = subprocess.run(
            [os.environ["TARNWICK_DOWNLOAD"], "--folder", self.ws.component, "--cookie-file", cookie_file,
             "--ui", "terminal", "--yes"], stdin=subprocess.DEVNULL, capture_output=True, timeout=120,
            preexec_fn=limit_file_size)
        text = result.stdout.decode("utf-8", "replace")
        self.assertEqual(result.returncode, 1, text)
        self.assertIn("Load File  big.doc Error 903", text)
        self.assertFalse(os.path.exists(self.ws.local("TW3", "big.doc")))
        self.assert_no_partial_files()

    def test_a_host_text_that_cannot_be_read_ends_with_905(self):
        result = self.ws.run(self.ws.cookie(port=99999), "--yes")
        self.assertEqual(result.returncode, 1, result.text)
        self.assertIn("Load FileUpdate Error 905", result.text)

    def test_files_and_the_page_are_replaced_whole_never_written_in_place(self):
        self.ws.publish("G1", "R1", {"a.doc": "first"})
        self.assertEqual(self.run_download().returncode, 0)
        links = os.path.join(self.ws.base, "links")
        os.makedirs(links)
        for name, path in (("a.doc", ("TW3", "a.doc")), ("page", ("Tarnwick.html",))):
            os.link(self.ws.local(*path), os.path.join(links, name))
        with open(os.path.join(links, "page"), "rb") as f:
            first_page = f.read()
        self.ws.publish_tail(["ประชุม", "แก้ไขแล้ว"])
        self.ws.publish("G1", "R2", {"a.doc": "second"})
        self.assertEqual(self.run_download().returncode, 0)
        self.assertEqual(self.ws.read_local("TW3", "a.doc"), b"second")
        self.assertNotEqual(self.ws.read_local("Tarnwick.html"), first_page)
        with open(os.path.join(links, "a.doc"), "rb") as f:
            self.assertEqual(f.read(), b"first")
        with open(os.path.join(links, "page"), "rb") as f:
            self.assertEqual(f.read(), first_page)

    @linux_only
    @unittest.skipUnless(shutil.which("strace"), "reads the system calls with strace")
    def test_what_the_run_put_in_place_is_on_the_disk_before_the_marker_goes(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha", "b.doc": "beta"})
        trace = os.path.join(self.ws.base, "trace")
        calls = "trace=rename,renameat,renameat2,unlink,unlinkat,syncfs,fsync,fdatasync,sync"
        # The leak check of a sanitizer build cannot work under ptrace: the other runs keep it.
        no_leak_check = "ASAN_OPTIONS=" + ":".join(filter(None, (os.environ.get("ASAN_OPTIONS"), "detect_leaks=0")))
        result = self.ws.run(self.ws.cookie(), "--yes",
                             under=["env", no_leak_check, "strace", "-f", "-qq", "-y", "-o", trace, "-e", calls])
        self.assertEqual(result.returncode, 0, result.text)
        seen = []
        unflushed = set()  # put in place (the file and its folder) and not yet on the disk when the marker goes
        with open(trace, encoding="utf-8", errors="replace") as f:
            for call in (line for line in f if "resumed>" not in line and "= -1" not in line):
                if "unlink" in call:
                    seen.append("marker deleted" if "CodeWork" in call else "deleted")
                    if "CodeWork" in call:
                        self.assertEqual(unflushed, set(), "put in place but not flushed before the marker went")
                elif "sync" in call:
                    seen.append("flushed")
                    if "syncfs(" in call or re.search(r"\bsync\(", call):  # the whole file system
                        unflushed.clear()
                    else:
                        unflushed.discard(re.search(r"\(\d+<([^>]*)>", call).group(1))
                else:
                    seen.append("placed")
                    target = os.path.realpath(re.findall(r'"([^"]*)"', call)[-1])
                    unflushed |= {target, os.path.dirname(target)}
        # One flush for everything the run put in place, then the marker's deletion, then its own flush.
        self.assertEqual(seen[seen.index("marker deleted") - 1:], ["flushed", "marker deleted", "flushed"], seen)
        self.assertEqual(seen.count("flushed"), 2, seen)
        self.assertGreaterEqual(seen.count("placed"), len(TAIL) + 2, seen)

    def test_a_meeting_folder_behind_a_link_is_never_emptied(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        elsewhere = os.path.join(self.ws.base, "elsewhere")
        for link_name, marker in (("TW3", False), ("tw3", True)):
            with self.subTest(link=link_name, marker=marker):
                os.makedirs(elsewhere, exist_ok=True)
                with open(os.path.join(elsewhere, "precious.doc"), "wb") as f:
                    f.write(b"not the component's")
                link = self.ws.local(link_name)
                os.symlink(elsewhere, link)
                if marker:
                    self.write_local("CodeWork", b" 1 \r\n")
                result = self.run_download()
                self.assertEqual(result.returncode, 1, result.text)
                self.assertIn("Load FileUpdate Error 912", result.text)
                with open(os.path.join(elsewhere, "precious.doc"), "rb") as f:
                    self.assertEqual(f.read(), b"not the component's")
                os.remove(link)

    @linux_only  # under Wine a Linux file system's 255 bytes, not NTFS's 255 letters, bound a name
    def test_a_name_as_long_as_the_disk_allows_is_stored(self):
        name = "ก" * 83 + ".pdf"  # 253 bytes in UTF-8: the temporary name must not add to it
        self.assertEqual(len(name.encode("utf-8")), 253)
        self.ws.publish("G1", "R1", {name: "long"})
        result = self.run_download()
        self.assertEqual(result.returncode, 0, result.text)
        self.assertEqual(self.ws.read_local("TW3", name), b"long")

    @linux_only  # the umask
    def test_files_get_the_users_permissions(self):
        self.ws.publish("G1", "R1", {"a.doc": "alpha"})
        previous = os.umask(0o027)
        try:
            result = self.run_download()
        finally:
            os.umask(previous)
        self.assertEqual(result.returncode, 0, result.text)
        for path in (("TW3", "a.doc"), ("TW3", "FileUpdate.dat"), ("Tarnwick.html",)):
            self.assertEqual(stat.S_IMODE(os.stat(self.ws.local(*path)).st_mode), 0o640, path)


if __name__ == "__main__":
    unittest.main()
