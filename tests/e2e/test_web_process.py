"""What WebKit's processes can reach: the page's process in its sandbox (and the fallback
without it), and no descriptor of the program's in any of them."""

import contextlib
import os
import pathlib
import stat
import subprocess
import time
import unittest

import program
from e2e_case import VERSION, E2ETestCase, host_is_online
from peers import PORT, DemoService, Nginx, wait_until
from sandbox import Sandbox

UNSANDBOXED = "the page's process runs without a sandbox: "


def parent_of(pid):
    with open(f"/proc/{pid}/stat", encoding="ascii") as source:
        return int(source.read().rsplit(")", 1)[1].split()[1])


def name_of(pid):
    with open(f"/proc/{pid}/comm", encoding="utf-8") as source:
        return source.read().strip()


def descendants(pid):
    """Every living process under pid."""
    parents = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError, IndexError):
            parents[int(entry)] = parent_of(entry)
    found = [pid]
    for above in found:  # grows while it is walked
        found += [p for p, parent in parents.items() if parent == above]
    return found[1:]


def web_process(pid):
    """(the program's own web process, the names of the processes between them), once there."""
    for candidate in descendants(pid):
        if name_of(candidate).startswith("WebKitWebProc"):
            between, up = [], parent_of(candidate)
            while up not in (pid, 1, 0):
                between.append(name_of(up))
                up = parent_of(up)
            return candidate, between
    return None


def descriptors(pid):
    """{what it refers to: descriptor} for pid's sockets and regular files past 0, 1 and 2: a
    socket by its inode, a file by its device and inode."""
    found = {}
    folder = f"/proc/{pid}/fd"
    for fd in os.listdir(folder):
        try:
            target = os.readlink(f"{folder}/{fd}")
            info = os.stat(f"{folder}/{fd}")
        except OSError:
            continue  # closed meanwhile
        if int(fd) < 3:
            continue
        if target.startswith("socket:"):
            found[target] = fd
        elif stat.S_ISREG(info.st_mode):
            found[(info.st_dev, info.st_ino)] = f"{fd} {target}"
    return found


def client_ports():
    """The client ports of the connections established to the server's port now."""
    done = subprocess.run(["ss", "-Htn", "state", "established", f"( dport = :{PORT} )"],
                          capture_output=True, text=True, timeout=10, check=True)
    return {line.split()[2].rsplit(":", 1)[1] for line in done.stdout.splitlines()}


@unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
class PageSandbox(E2ETestCase):
    def test_the_page_process_reaches_no_file_of_the_user_unless_the_sandbox_is_off(self):
        # (case, the program's environment, sandboxed, what the log says)
        cases = (
            ("sandbox", {}, True, ""),
            ("forced off", {"WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS": "1"}, False,
             UNSANDBOXED + "WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS is set"),
            ("sandbox that fails", {"DOWNLOADER_TEST_END_SANDBOXED_PAGE": "1"}, False,
             UNSANDBOXED + "its process ended before the page came up (ended)"),
        )
        for case, environment, sandboxed, logged in cases:
            with self.subTest(case), contextlib.ExitStack() as stack:
                self.sandbox = Sandbox("page")
                stack.callback(self.sandbox.cleanup)
                self.sandbox.extra_env = environment
                planted = pathlib.Path(self.sandbox.home, "planted.txt")
                planted.write_text("the user's own\n", encoding="utf-8")
                demo = DemoService(self.sandbox.root, self.installer, version=VERSION, rate=1)
                stack.callback(demo.kill)
                run = program.Downloader(self.sandbox)
                stack.callback(run.kill)

                self.assertTrue(demo.wait_page_ready(), "the page did not come up")
                found = wait_until(lambda: web_process(run.pid), 10)
                self.assertIsNotNone(found, "no web process")
                web, between = found
                self.assertEqual(between, ["bwrap", "bwrap"] if sandboxed else [])
                own_mounts = os.readlink(f"/proc/{web}/ns/mnt") != os.readlink("/proc/self/ns/mnt")
                self.assertEqual(own_mounts, sandboxed)
                # The user's file, and the private folder that holds the installer.
                seen = pathlib.Path(f"/proc/{web}/root{planted}")
                self.assertEqual(seen.exists() and seen.read_text(encoding="utf-8"),
                                 not sandboxed and planted.read_text(encoding="utf-8"))
                self.assertEqual(os.path.isdir(f"/proc/{web}/root{self.sandbox.tmp}"),
                                 not sandboxed)
                self.wait_exit(run)
                self.assert_installed()
                said = [line.split("\t", 1)[1] for line in self.sandbox.log_text().splitlines()
                        if "\t" in line]
                self.assertEqual(said, [logged] if logged else [])


@unittest.skipUnless(host_is_online(), "no default route: the program would report offline")
class ProgramDescriptors(E2ETestCase):
    installer_mib = 32  # four ranges at nginx's 2 MiB/s each, for a few seconds

    def test_no_descriptor_of_the_program_reaches_webkit_and_the_host_sees_four_connections(self):
        nginx = Nginx(self.sandbox.root, self.installer, self.installer_sha, VERSION, rate="2m")
        self.addCleanup(nginx.stop)
        run = self.start_program()
        seen, shared = [], None
        while run.alive():
            ports = client_ports()
            seen.append(ports)
            if shared is None and len(ports) >= 4:
                own = descriptors(run.pid)
                shared = {f"{name_of(p)} {fd}": own[key] for p in descendants(run.pid)
                          for key, fd in descriptors(p).items() if key in own}
            time.sleep(0.05)
        self.assertEqual(run.wait(1), 0, run.text_output())
        self.assert_installed()
        self.assertIsNotNone(shared, "the installer never came in four ranges")
        # Each connection by the requests it carried: the advertisement's is the web host's.
        carried = {}
        for line in nginx.access_lines():
            carried.setdefault(line.rsplit(" ", 1)[1], []).append(line)
        download = [{p for p in ports if not all("type=ad" in r for r in carried.get(p, ["?"]))}
                    for ports in seen]
        self.assertLessEqual(max(map(len, download)), 4, nginx.access_lines())
        self.assertEqual(shared, {}, "descriptors of the program in WebKit's processes")


if __name__ == "__main__":
    unittest.main()
