"""Runs that go wrong: each must lose no downloaded byte and start nothing but the genuine
installer."""

import fcntl
import os
import resource
import signal
import time
import unittest

import program
from e2e_case import VERSION, E2ETestCase, host_is_online
from peers import wait_until
from sandbox import Sandbox

# A resume asks again for the 64 KiB before it, to compare them with those on disk.
OVERLAP = 64 * 1024


def limited_file_size(limit):
    """preexec_fn: writes past limit bytes fail with EFBIG instead of killing the process."""

    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    return apply


class Offline(E2ETestCase):
    def test_offline_shows_the_box_and_the_failure_view_and_writes_nothing(self):
        run = self.start_program(wrapper=("unshare", "-rn"))
        for attempt in ("first check", "after Retry"):
            box = run.wait_window(program.BOX_TITLE)
            self.assertTrue(box, f"no message box ({attempt}):\n{run.text_output()}")
            # Read the box for a moment, as a person would: the failure view follows its
            # dismissal, and a page still loading would miss it.
            time.sleep(2)
            program.dismiss_box(box[0])
            self.assertTrue(wait_until(lambda: not run.windows(program.BOX_TITLE), 10),
                            "the box stayed")
            self.assertTrue(run.alive())
            if attempt == "first check":
                # Retry is only clickable in the failure view; it runs the check again.
                self.assertTrue(run.click(program.RETRY_BUTTON))
        self.assertTrue(run.click(program.CANCEL_BUTTON))
        self.assertEqual(run.wait(15), 0)

        self.assert_nothing_started()
        self.assertEqual(os.listdir(self.sandbox.tmp), [], "something was written")


@unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
class TransferFaults(E2ETestCase):
    def retry_until_installed(self, run, demo):
        """Clicks Retry in the failure view until the new run reaches the server."""
        before = len(demo.update_requests())
        for _ in range(5):
            self.assertTrue(run.click(program.RETRY_BUTTON), "no window to click")
            if wait_until(lambda: len(demo.update_requests()) > before, 3):
                break
        self.wait_exit(run)

    def test_failed_transfer_is_shown_with_retry_and_retry_finishes(self):
        demo = self.start_demo("--installer-status", "404")
        run = self.start_program()
        self.assertTrue(wait_until(lambda: "file not exist" in self.sandbox.log_text(), 20),
                        "the failure was not logged")
        self.assertTrue(run.alive())
        self.assert_nothing_started()
        demo.stop()

        demo = self.start_demo()
        self.retry_until_installed(run, demo)
        self.assert_installed()
        self.assertIn("file not exist", self.sandbox.log_text())

    def test_server_killed_mid_transfer_then_back_resumes_without_a_click(self):
        demo = self.start_demo(rate=1)
        run = self.start_program()
        self.assertTrue(self.wait_partial(256 * 1024))
        demo.kill()
        time.sleep(1)
        self.assertTrue(run.alive(), "the program ended with the server")
        self.assert_nothing_started()
        kept = self.assert_partial_is_prefix()

        # The program tries again by itself after its pauses; the server is back meanwhile.
        demo = self.start_demo()
        self.wait_exit(run)
        self.assert_installed()
        # The 64 KiB before the resume point are asked again and compared.
        self.assertEqual(demo.installer_requests()[0]["range"], f"bytes={kept - OVERLAP}-")

    def test_answers_cut_short_every_mib_still_finish_in_one_run(self):
        cut_at = 1 << 20
        demo = self.start_demo("--close-after", str(cut_at))
        run = self.start_program()
        self.wait_exit(run)
        self.assert_installed()
        ranges = [r["range"] for r in demo.installer_requests()]
        self.assertEqual(ranges[:2], ["bytes=0-", f"bytes={cut_at - OVERLAP}-"])

    def test_stall_times_out_and_the_next_try_resumes(self):
        stall_at = 512 * 1024
        demo = self.start_demo("--stall-after", str(stall_at))
        run = self.start_program()
        # Up to a write buffer (256 KiB) of what arrived may still be in memory while stalled.
        self.assertTrue(self.wait_partial(stall_at - 256 * 1024))
        time.sleep(29)
        self.assertTrue(run.alive())
        self.assert_nothing_started()
        # 30 s without a byte fail the transfer, which puts every byte received on disk; the
        # program then tries again by itself (about a second later), at the next server.
        self.assertTrue(self.wait_partial(stall_at, timeout=10))
        demo.stop()
        self.assertEqual(self.assert_partial_is_prefix(), stall_at)

        demo = self.start_demo()
        self.wait_exit(run)
        self.assert_installed()
        self.assertEqual(demo.installer_requests()[0]["range"], f"bytes={stall_at - OVERLAP}-")

    def test_stalled_server_and_cancel_closes_at_once_keeping_the_bytes(self):
        stall_at = 512 * 1024
        self.start_demo("--stall-after", str(stall_at))
        run = self.start_program()
        # Up to a write buffer (256 KiB) of what arrived may still be in memory while stalled.
        self.assertTrue(self.wait_partial(stall_at - 256 * 1024))
        time.sleep(1)
        self.assertTrue(run.alive())

        self.assertTrue(run.click(program.CANCEL_BUTTON))
        self.assertEqual(run.wait(5), 0, "closing waited for the stalled transfer")
        self.assert_nothing_started()
        self.assertEqual(self.assert_partial_is_prefix(), stall_at)

    def test_disk_full_keeps_a_clean_prefix_and_a_later_run_completes(self):
        limit = 1 << 20
        self.start_demo()
        run = self.start_program(preexec_fn=limited_file_size(limit))
        self.assertTrue(self.wait_partial(limit), "the partial file never reached the limit")
        time.sleep(1)
        self.assertTrue(run.alive(), "a full disk ended the program:\n" + run.text_output())
        self.assert_nothing_started()
        self.assertEqual(self.assert_partial_is_prefix(), limit)
        self.assertTrue(run.click(program.CANCEL_BUTTON))
        self.assertEqual(run.wait(10), 0)

        self.wait_exit(self.start_program())
        self.assert_installed()

    def test_partial_held_by_another_writer_is_left_alone(self):
        kept = self.installer_bytes[: 512 * 1024]
        partial = self.sandbox.partial_path(VERSION)
        with open(partial, "wb") as out:
            out.write(kept)
        holder = open(partial, "ab")
        self.addCleanup(holder.close)
        fcntl.flock(holder, fcntl.LOCK_EX)

        demo = self.start_demo()
        run = self.start_program()
        self.assertTrue(wait_until(lambda: demo.update_requests(), 20))
        time.sleep(2)
        self.assertTrue(run.alive())
        self.assertEqual([r for r in demo.installer_requests() if r["sent"]], [])
        self.assert_nothing_started()
        with open(partial, "rb") as source:
            self.assertEqual(source.read(), kept)

        fcntl.flock(holder, fcntl.LOCK_UN)
        holder.close()
        self.retry_until_installed(run, demo)
        self.assert_installed()

    def test_stale_copy_with_wrong_bytes_is_replaced_not_started(self):
        stale = bytes(len(self.installer_bytes))  # the right size, the wrong bytes
        with open(self.sandbox.installer_path(VERSION), "wb") as out:
            out.write(stale)
        demo = self.start_demo()
        self.wait_exit(self.start_program())

        self.assert_installed()
        self.assertTrue(any(r["complete"] and r["sent"] for r in demo.installer_requests()))

    def test_download_with_a_wrong_digest_is_not_started(self):
        demo = self.start_demo("--reply", "badsha")
        run = self.start_program()
        self.assertTrue(wait_until(lambda: any(r["complete"] for r in demo.installer_requests()),
                                   20), "the download did not finish")
        wait_until(lambda: not run.alive(), 2)
        self.assertTrue(run.alive(), "the program ended as if the download had succeeded")
        self.assert_nothing_started()
        self.assertFalse(os.path.exists(self.sandbox.installer_path(VERSION)))


@unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
class HostileReplies(E2ETestCase):
    """Whatever the update service says, the program only ever starts the genuine installer,
    from inside its own private folder."""

    def run_with_reply(self, mode, version=VERSION):
        demo = self.start_demo("--reply", mode, version=version)
        run = self.start_program()
        code = run.wait(90)
        self.assertIsNotNone(code, f"{mode}: the program did not finish")
        self.assertEqual(code, 0, f"{mode}: the program failed:\n{run.text_output()}")
        return demo

    def assert_started_default(self, demo):
        """The unusable reply was dropped for the default address and file name."""
        self.assertEqual([r["path"] for r in demo.installer_requests()],
                         ["/tools/myvelmora_setup.exe"])
        self.assert_installed(version="")

    def test_replies_that_are_not_an_update_document_fall_back_to_the_default(self):
        for mode in ("garbage", "deep", "array", "string", "number", "members", "empty",
                     "status500"):
            with self.subTest(mode=mode):
                self.sandbox = Sandbox(mode)
                self.addCleanup(self.sandbox.cleanup)
                demo = self.run_with_reply(mode)
                demo.stop()
                self.assert_started_default(demo)

    def test_huge_reply_is_no_reply_and_costs_no_memory(self):
        # 100 MiB of a well-formed document: over the bound of a reply it is not read on, so
        # it counts as unusable (the default installer is fetched) and never fills memory.
        demo = self.start_demo("--reply", "huge")
        run = self.start_program()
        peak = 0
        while run.alive():
            try:
                with open(f"/proc/{run.pid}/status") as status:
                    peak = max(peak, next(int(line.split()[1]) for line in status
                                          if line.startswith("VmHWM:")))
            except (OSError, StopIteration):
                pass
            time.sleep(0.05)
        self.assertEqual(run.wait(5), 0, run.text_output())
        self.assertLess(peak, 400 << 10, f"the program peaked at {peak} KiB")
        demo.stop()
        self.assert_started_default(demo)

    def test_version_cannot_lead_out_of_the_temporary_folder(self):
        # The folder the traversal would step through exists, so only a check can stop it.
        os.mkdir(os.path.join(self.sandbox.tmp, "myvelmora_setup"))
        escape = "/../../escaped"
        demo = self.run_with_reply("normal", version=escape)
        self.assertFalse(os.path.exists(os.path.join(self.sandbox.root, "escaped.exe")))
        self.assertFalse(os.path.exists(os.path.join(self.sandbox.root, "escaped.exe.df")))
        self.assertEqual(len(demo.installer_requests()), 1)
        self.assert_installed(version="")


@unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
class SharedTemporaryFolder(E2ETestCase):
    def test_world_writable_tmpdir_is_refused_and_a_planted_installer_never_runs(self):
        shared = os.path.join(self.sandbox.root, "shared")
        os.mkdir(shared)
        os.chmod(shared, 0o1777)
        planted = os.path.join(shared, f"myvelmora_setup{VERSION}.exe")
        evil = b"\x7fELF planted by another user".ljust(len(self.installer_bytes), b"\0")
        with open(planted, "wb") as out:
            out.write(evil)
        self.sandbox.tmpdir_for_program = shared
        self.start_demo()
        self.wait_exit(self.start_program())

        private = os.path.join(self.sandbox.cache, "downloader")
        self.assertEqual(os.stat(private).st_mode & 0o777, 0o700)
        self.assert_installed(folder=private)
        with open(planted, "rb") as source:
            self.assertEqual(source.read(), evil)
        self.assertEqual(sorted(os.listdir(shared)), [os.path.basename(planted)])


if __name__ == "__main__":
    unittest.main()
