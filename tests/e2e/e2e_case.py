"""Common ground of the end-to-end tests: a sandbox per test, one generated installer per
test class, the servers and program starts to clean up, and the checks every run ends with."""

import os
import shutil
import tempfile
import unittest

import peers
import program
from sandbox import Sandbox, sha256_of

VERSION = "1.2.3"
RUN_TIMEOUT = 60


def host_is_online():
    """The program's network check follows the routing table: without a default route it
    reports the machine offline, and the online cases cannot run. (The kernel's own
    unreachable default on lo does not count.)"""
    try:
        with open("/proc/net/route", encoding="ascii") as routes:
            if any(f[1] == "00000000" and f[0] != "lo" for f in map(str.split, list(routes)[1:])):
                return True
        with open("/proc/net/ipv6_route", encoding="ascii") as routes:
            return any(f[0] == "0" * 32 and f[1] == "00" and f[-1] != "lo"
                       for f in map(str.split, routes))
    except OSError:
        return False


def skip_reason():
    if not program.binary() or not os.access(program.binary(), os.X_OK):
        return "DOWNLOADER_BIN does not name the built downloader"
    if not os.environ.get("DISPLAY"):
        return "no display: run under xvfb-run -a"
    if not shutil.which("xdotool"):
        return "xdotool is missing"
    return None


class E2ETestCase(unittest.TestCase):
    installer_mib = 4

    @classmethod
    def setUpClass(cls):
        reason = skip_reason()
        if reason:
            raise unittest.SkipTest(reason)
        cls.shared = tempfile.mkdtemp(prefix="dl-e2e-files-")
        cls.installer, cls.installer_sha = peers.make_installer(cls.shared, cls.installer_mib)
        with open(cls.installer, "rb") as source:
            cls.installer_bytes = source.read()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.shared, ignore_errors=True)

    def setUp(self):
        self.addCleanup(peers.PortLock().release)
        self.sandbox = Sandbox(self.id().rsplit(".", 1)[-1])
        self.addCleanup(self.sandbox.cleanup)

    # Servers and program starts, each stopped when the test ends.
    def start_demo(self, *options, rate=0, version=VERSION):
        demo = peers.DemoService(self.sandbox.root, self.installer, *options, version=version,
                                 rate=rate)
        self.addCleanup(demo.kill)
        return demo

    def start_program(self, sandbox=None, **kwargs):
        run = program.Downloader(sandbox or self.sandbox, **kwargs)
        self.addCleanup(run.kill)
        return run

    def wait_exit(self, run, timeout=RUN_TIMEOUT):
        code = run.wait(timeout)
        self.assertIsNotNone(code, "the program did not finish:\n" + run.text_output())
        self.assertEqual(code, 0, "the program failed:\n" + run.text_output())

    # Checks.
    def assert_hostile_advertisement_changed_nothing(self, demo, run):
        """The advertisement tried to close the window, start a second worker and read a
        parameter while the installer arrived: the run ends as a plain one does."""
        self.wait_exit(run)
        self.assert_installed()
        ads = [e for e in demo.requests("/tools/updateinfo.php") if e["query"].get("type") == "ad"]
        self.assertTrue(ads, "the advertisement was never asked for")
        self.assertEqual(len(demo.update_requests()), 1, "a second worker asked again")
        self.assertEqual(len(demo.installer_requests()), 1)

    def assert_installed(self, version=VERSION, folder=None):
        """The complete, genuine installer is in place, was started once, and no partial file
        is left."""
        sandbox = self.sandbox
        path = sandbox.installer_path(version, folder)
        self.assertTrue(os.path.exists(path), f"no installer at {path}: {sandbox.files_in(folder)}")
        self.assertEqual(sha256_of(path), self.installer_sha, "installer bytes differ")
        self.assertFalse(os.path.exists(sandbox.partial_path(version, folder)), "partial left")
        # xdg-open is spawned detached, so its record may land after the program has ended.
        peers.wait_until(sandbox.opened, 10)
        opened = [(os.path.normpath(p), s) for p, s in sandbox.opened()]
        self.assertEqual(opened, [(path, self.installer_sha)])

    def assert_nothing_started(self):
        peers.wait_until(self.sandbox.opened, 0.5)  # a start just made is recorded by now
        self.assertEqual(self.sandbox.opened(), [], "something was started")

    def assert_partial_is_prefix(self, version=VERSION, folder=None, at_least=1):
        """The partial file holds the installer's first bytes and nothing else."""
        path = self.sandbox.partial_path(version, folder)
        self.assertTrue(os.path.exists(path), f"no partial file: {self.sandbox.files_in(folder)}")
        with open(path, "rb") as source:
            data = source.read()
        self.assertGreaterEqual(len(data), at_least)
        self.assertLess(len(data), len(self.installer_bytes))
        self.assertEqual(data, self.installer_bytes[: len(data)], "partial file is corrupt")
        return len(data)

    def assert_no_log(self, folder=None):
        self.assertEqual(self.sandbox.log_text(folder), "", "unexpected log entries")

    def synced_length(self, version=VERSION, folder=None):
        """The length the partial's record says is safely on disk (0 without a record)."""
        path = self.sandbox.partial_path(version, folder) + ".meta"
        if not os.path.exists(path):
            return 0
        with open(path, encoding="utf-8") as source:
            for line in source:
                if line.startswith("synced "):
                    return int(line.split()[1])
        return 0

    def partial_size(self, version=VERSION, folder=None):
        path = self.sandbox.partial_path(version, folder)
        return os.path.getsize(path) if os.path.exists(path) else 0

    def wait_partial(self, at_least, version=VERSION, timeout=20):
        return peers.wait_until(lambda: self.partial_size(version) >= at_least, timeout)
