"""A private world for one run of the downloader: its own temporary, runtime, home and cache
folders, and a recording xdg-open first on PATH."""

import hashlib
import os
import shutil
import stat
import tempfile
import time

RECORDING_XDG_OPEN = """#!/bin/sh
# Records what the downloader asked to open, with the file's digest at that moment.
if [ -f "$1" ]; then sum=$(sha256sum "$1" | cut -d' ' -f1); else sum=missing; fi
printf '%s\\t%s\\n' "$1" "$sum" >> 'RECORD'
exit STATUS
"""


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as source:
        for piece in iter(lambda: source.read(1 << 20), b""):
            digest.update(piece)
    return digest.hexdigest()


def private_dir(path):
    os.makedirs(path, exist_ok=True)
    os.chmod(path, 0o700)
    return path


class Sandbox:
    def __init__(self, name="run"):
        self.root = tempfile.mkdtemp(prefix=f"dl-e2e-{name}-")
        self.tmp = private_dir(os.path.join(self.root, "tmp"))
        self.runtime = private_dir(os.path.join(self.root, "run"))
        self.home = private_dir(os.path.join(self.root, "home"))
        self.cache = private_dir(os.path.join(self.root, "cache"))
        self.state = os.path.join(self.home, ".local", "state", "downloader")
        self.bin = private_dir(os.path.join(self.root, "bin"))
        self.record = os.path.join(self.root, "xdg-open.calls")
        self.tmpdir_for_program = self.tmp
        # Whether the program talks to the accessibility bus (only a test that reads it asks).
        self.accessible = False
        # Settings of the program's environment that a test chooses, given last.
        self.extra_env = {}
        opener = os.path.join(self.bin, "xdg-open")
        with open(opener, "w", encoding="utf-8") as out:
            out.write(RECORDING_XDG_OPEN.replace("RECORD", self.record).replace("STATUS", "0"))
        os.chmod(opener, stat.S_IRWXU)

    def opener_answers(self, status):
        """Makes the recording xdg-open exit with status (3: no handler, 4: action failed)."""
        opener = os.path.join(self.bin, "xdg-open")
        with open(opener, "w", encoding="utf-8") as out:
            out.write(RECORDING_XDG_OPEN.replace("RECORD", self.record)
                      .replace("STATUS", str(status)))

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def env(self):
        env = dict(os.environ)
        env.update(
            TMPDIR=self.tmpdir_for_program,
            XDG_RUNTIME_DIR=self.runtime,
            HOME=self.home,
            XDG_CACHE_HOME=self.cache,
            XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
            XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
            PATH=self.bin + os.pathsep + env.get("PATH", "/usr/bin:/bin"),
        )
        # The state folder follows HOME (~/.local/state), as on a desktop without the variable.
        env.pop("XDG_STATE_HOME", None)
        if not self.accessible:
            env["NO_AT_BRIDGE"] = "1"
        for proxy in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                      "ALL_PROXY", "no_proxy", "NO_PROXY"):
            env.pop(proxy, None)
        # The page's sandbox is on unless a test turns it off.
        env.pop("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", None)
        env.pop("DOWNLOADER_TEST_END_SANDBOXED_PAGE", None)
        # The desktop's proxy answers "direct", whatever this machine's settings say.
        env["GSETTINGS_BACKEND"] = "memory"
        env.pop("XDG_CURRENT_DESKTOP", None)
        env.update(self.extra_env)
        return env

    def desktop_settings(self, keyfile):
        """A GNOME desktop whose settings are keyfile's text (GSettings' keyfile backend in the
        program's own configuration folder)."""
        folder = os.path.join(self.home, ".config", "glib-2.0", "settings")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "keyfile"), "w", encoding="utf-8") as out:
            out.write(keyfile)
        self.extra_env.update(GSETTINGS_BACKEND="keyfile", XDG_CURRENT_DESKTOP="GNOME")

    # Where the program puts its files, given the folder it settles on.
    def installer_path(self, version, folder=None):
        return os.path.join(folder or self.tmp, f"myvelmora_setup{version}.exe")

    def partial_path(self, version, folder=None):
        return self.installer_path(version, folder) + ".df"

    def accepted_version(self):
        """The newest version this user accepted, from the user's state folder."""
        with open(os.path.join(self.state, "accepted-version.velmora"), encoding="ascii") as f:
            return f.read().strip()

    def log_path(self, folder=None):
        return os.path.join(folder or self.tmp, "log" + time.strftime("%Y-%m"))

    def opened(self):
        """(path, sha256 at the time of the call) for every xdg-open call so far."""
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as source:
            return [tuple(line.rstrip("\n").split("\t")) for line in source if line.strip()]

    def files_in(self, folder=None):
        """Names in the folder, without the program's own log."""
        folder = folder or self.tmp
        if not os.path.isdir(folder):
            return []
        return sorted(n for n in os.listdir(folder) if not n.startswith("log"))

    def log_text(self, folder=None):
        path = self.log_path(folder)
        if not os.path.exists(path):
            return ""
        with open(path, "rb") as source:
            return source.read().decode("utf-8", "replace")
