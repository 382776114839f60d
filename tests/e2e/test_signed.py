"""Whole runs of a program built with the publisher's key, against the demo service signing
with the secret half: only the installer the publisher signed is ever started."""

import json
import os
import subprocess
import time
import unittest

import program
from e2e_case import VERSION, E2ETestCase, host_is_online
from peers import wait_until
from sandbox import private_dir

SIGN_KEY = os.environ.get("DOWNLOADER_SIGN_KEY", "")
SIGNER = os.environ.get("DOWNLOADER_SIGNER", "")
SIGN_UNCHECKED = os.environ.get("DOWNLOADER_SIGN_UNCHECKED", "")


@unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
@unittest.skipUnless(SIGN_KEY and SIGNER and SIGN_UNCHECKED, "not a signed e2e build")
class SignedRuns(E2ETestCase):
    def start_signed_demo(self, *options, rate=0, version=VERSION):
        return self.start_demo("--sign-key", SIGN_KEY, "--signer", SIGNER, *options, rate=rate,
                               version=version)

    def assert_refused(self, run, demo, logged):
        """The window stays with its failure view, nothing is fetched or started, the log
        names the cause, and Retry (shown only in the failure view) asks again."""
        self.assertTrue(wait_until(lambda: logged in self.sandbox.log_text(), 20),
                        f"not logged: {logged!r}:\n{self.sandbox.log_text()}\n{run.text_output()}")
        self.assertTrue(run.alive())
        self.assert_nothing_started()
        self.assertEqual(self.sandbox.files_in(), [], "something was kept")
        before = len(demo.update_requests())
        self.assertTrue(wait_until(lambda: run.click(program.RETRY_BUTTON) and wait_until(
            lambda: len(demo.update_requests()) > before, 2), 15), "Retry did not ask again")
        self.assertTrue(run.click(program.CANCEL_BUTTON))
        self.assertEqual(run.wait(15), 0)
        self.assert_nothing_started()

    def test_good_signed_update_is_started_exactly_once(self):
        demo = self.start_signed_demo()
        run = self.start_program()
        self.wait_exit(run)
        self.assert_installed()
        self.assert_no_log()
        self.assertEqual(len(demo.installer_requests()), 1)
        self.assertEqual(self.sandbox.accepted_version(), VERSION)
        self.assertEqual(os.stat(self.sandbox.state).st_mode & 0o777, 0o700)
        self.assertFalse(os.path.exists(os.path.join(self.sandbox.tmp, "accepted-version")))

    def test_older_reply_is_refused_under_another_temporary_folder(self):
        first = self.start_signed_demo(version="3.0")
        self.wait_exit(self.start_program())
        self.assert_installed(version="3.0")
        first.stop()
        # The same user, another temporary folder, and an older reply that is still signed.
        self.sandbox.tmp = self.sandbox.tmpdir_for_program = private_dir(
            os.path.join(self.sandbox.root, "other-tmp"))
        os.remove(self.sandbox.record)
        demo = self.start_signed_demo(version="2.0")
        self.assert_refused(self.start_program(), demo, "version '2.0' is below '3.0'")
        self.assertEqual(demo.installer_requests(), [])
        self.assertEqual(self.sandbox.accepted_version(), "3.0")

    def test_reply_for_another_product_starts_nothing(self):
        demo = self.start_signed_demo("--product", "lumen")
        self.assert_refused(self.start_program(), demo, "for product 'lumen', asked for 'velmora'")
        self.assertEqual(demo.installer_requests(), [])

    def test_hostile_advertisement_changes_nothing(self):
        demo = self.start_signed_demo("--ad", "hostile", rate=1)
        self.assert_hostile_advertisement_changed_nothing(demo, self.start_program())

    def test_tampered_reply_starts_nothing(self):
        demo = self.start_signed_demo("--reply", "tampered")
        self.assert_refused(self.start_program(), demo, "does not verify")
        self.assertEqual(demo.installer_requests(), [])

    def test_stripped_signature_starts_nothing(self):
        demo = self.start_signed_demo("--reply", "unsigned")
        self.assert_refused(self.start_program(), demo, "no X-Update-Signature header")
        self.assertEqual(demo.installer_requests(), [])

    def test_tampered_installer_starts_nothing_and_keeps_no_bytes(self):
        signed = os.path.join(self.shared, "signed.bin")
        with open(signed, "wb") as out:
            out.write(self.installer_bytes[:-1] + bytes([self.installer_bytes[-1] ^ 1]))
        demo = self.start_signed_demo("--signed-file", signed)
        self.assert_refused(self.start_program(), demo, "sha256 mismatch")

    def test_replayed_expired_reply_starts_nothing(self):
        reply = os.path.join(self.sandbox.root, "expired.json")
        document = {"url": "http://127.0.0.1:18080/download/myvelmora_setup.exe",
                    "version": VERSION, "product": "velmora", "channel": "general",
                    "sha256": self.installer_sha,
                    "size": len(self.installer_bytes), "expires": int(time.time()) - 86400}
        with open(reply, "w", encoding="utf-8") as out:
            json.dump(document, out)
        signature = subprocess.run([SIGN_UNCHECKED, SIGN_KEY, reply], capture_output=True,
                                   text=True, check=True).stdout.strip()
        demo = self.start_demo("--reply-file", reply, "--signature", signature)
        self.assert_refused(self.start_program(), demo, "expired at")
        self.assertEqual(demo.installer_requests(), [])


if __name__ == "__main__":
    unittest.main()
