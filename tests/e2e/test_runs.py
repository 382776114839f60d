"""Whole runs of the real program: from the update information to the started installer."""

import os
import unittest

import program
from e2e_case import VERSION, E2ETestCase, host_is_online
from peers import Nginx, wait_until


@unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
class FullRuns(E2ETestCase):
    def test_demo_service_run_downloads_verifies_and_starts_the_installer(self):
        demo = self.start_demo()
        run = self.start_program()
        self.wait_exit(run)

        self.assert_installed()
        self.assert_no_log()
        update = demo.update_requests()
        self.assertEqual(update[0]["query"], {"type": "all", "detail": "1", "version": "velmora",
                                              "channel": "general"})
        (download,) = demo.installer_requests()
        self.assertEqual(download["range"], "bytes=0-", "a fresh download asks from its first byte")
        self.assertTrue(download["complete"])

    def test_hostile_advertisement_changes_nothing(self):
        demo = self.start_demo("--ad", "hostile", rate=1)
        self.assert_hostile_advertisement_changed_nothing(demo, self.start_program())

    def test_an_installer_nothing_can_open_is_shown_with_its_place(self):
        self.sandbox.opener_answers(3)  # xdg-open: no handler for an .exe
        self.start_demo()
        run = self.start_program()
        box = run.wait_window(program.BOX_TITLE)
        self.assertTrue(box, "no message box:\n" + run.text_output())
        self.assertTrue(run.alive(), "the window closed without saying why")
        peers_opened = self.sandbox.opened()
        self.assertEqual(len(peers_opened), 1)
        program.dismiss_box(box[0])
        self.assertEqual(run.wait(10), 0, "the window did not close after the box")
        self.assert_installed()

    def test_outside_server_nginx_run(self):
        nginx = Nginx(self.sandbox.root, self.installer, self.installer_sha, VERSION)
        self.addCleanup(nginx.stop)
        run = self.start_program()
        self.wait_exit(run)

        self.assert_installed()
        self.assert_no_log()
        lines = nginx.access_lines()
        self.assertTrue(any("/tools/updateinfo.php" in line for line in lines), lines)
        # Asked for from its first byte: nginx answers with the whole file as a range.
        self.assertTrue(any('/download/myvelmora_setup.exe 206' in line and '"bytes=0-"' in line
                            for line in lines), lines)

    def test_killed_run_is_resumed_with_a_range_request_and_ends_intact(self):
        demo = self.start_demo(rate=1)
        first = self.start_program()
        self.assertTrue(self.wait_partial(256 * 1024), "the first run wrote nothing")
        first.kill()
        self.assert_partial_is_prefix(at_least=256 * 1024)
        self.assert_nothing_started()
        demo.stop()
        # The resume starts where the record says the bytes were synced to disk.
        kept = self.synced_length()

        demo = self.start_demo()
        second = self.start_program()
        self.wait_exit(second)

        self.assert_installed()
        (resumed,) = demo.installer_requests()
        self.assertEqual(resumed["range"], f"bytes={kept}-")
        self.assertEqual(resumed["status"], 206)
        self.assertEqual(resumed["sent"], len(self.installer_bytes) - kept)

    def test_server_that_ignores_range_still_gives_an_intact_file(self):
        planted = self.installer_bytes[: 1 << 20]
        with open(self.sandbox.partial_path(VERSION), "wb") as out:
            out.write(planted)
        demo = self.start_demo("--ignore-range")
        run = self.start_program()
        self.wait_exit(run)

        self.assert_installed()
        # A partial without a record: its last 64 KiB are asked for again to compare.
        self.assertEqual(demo.installer_requests()[0]["range"], f"bytes={len(planted) - 65536}-")

    def test_complete_copy_on_disk_is_started_without_a_transfer(self):
        with open(self.sandbox.installer_path(VERSION), "wb") as out:
            out.write(self.installer_bytes)
        demo = self.start_demo(rate=1)
        run = self.start_program()
        self.wait_exit(run, timeout=30)

        self.assert_installed()
        # Only its last 64 KiB are asked for, to compare with the copy on disk.
        self.assertTrue(all(r["sent"] <= 65536 for r in demo.installer_requests()),
                        "the installer was transferred again")
        self.assertEqual(self.sandbox.files_in(), [f"myvelmora_setup{VERSION}.exe"])

    def test_partial_that_already_holds_everything_is_finished_without_a_body(self):
        with open(self.sandbox.partial_path(VERSION), "wb") as out:
            out.write(self.installer_bytes)
        demo = self.start_demo()
        self.wait_exit(self.start_program())

        self.assert_installed()
        # A partial without a record: its last 64 KiB are compared, and that is all.
        (request,) = demo.installer_requests()
        self.assertEqual((request["range"], request["status"], request["sent"]),
                         (f"bytes={len(self.installer_bytes) - 65536}-", 206, 65536))

    def test_second_start_is_refused_while_the_first_window_is_up(self):
        demo = self.start_demo(rate=0.25)
        first = self.start_program()
        self.assertTrue(first.wait_window(), "the first window did not appear")
        self.assertTrue(demo.wait_page_ready(), "the first window's page did not come up")

        second = self.start_program()
        self.assertEqual(second.wait(20), 0, "the second start did not end by itself")
        self.assertEqual(second.windows(program.WINDOW_TITLE), [])
        self.assertTrue(first.alive())
        self.assertEqual(len(program.find_windows(program.WINDOW_TITLE)), 1)

        self.assertTrue(first.click(program.CANCEL_BUTTON))
        self.assertEqual(first.wait(15), 0, "Cancel did not close the first window")
        self.assert_nothing_started()
        self.assert_partial_is_prefix()


if __name__ == "__main__":
    unittest.main()
