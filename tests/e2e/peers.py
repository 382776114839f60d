"""The servers the downloader talks to in the end-to-end tests: the demo service (python3) and
nginx as an outside server. Both listen on the port compiled into the tested build."""

import fcntl
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import textwrap
import time

PORT = 18080
HERE = os.path.dirname(os.path.abspath(__file__))
DEMO_DIR = os.path.normpath(os.path.join(HERE, "..", "..", "tools", "demo"))
sys.path.insert(0, DEMO_DIR)

from make_installer import write_installer  # noqa: E402  (the demo's own generator)


def wait_until(predicate, timeout, interval=0.05):
    """Polls predicate until it is true or timeout seconds have passed; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def port_open(port=PORT):
    with socket.socket() as probe:
        probe.settimeout(0.2)
        return probe.connect_ex(("127.0.0.1", port)) == 0


def port_bindable(port=PORT):
    """Whether a server could listen on the port now. A port nobody answers on may still be
    held: a helper process of an earlier test can keep a closed listening socket bound for a
    moment after its test has ended."""
    with socket.socket() as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


class PortLock:
    """Machine-wide turn on the port: end-to-end runs from other checkouts on this machine wait
    for each other instead of meeting each other's servers."""

    PATH = os.path.join(tempfile.gettempdir(), f"downloader-e2e-port-{PORT}.lock")

    def __init__(self, timeout=900):
        self.file = open(self.PATH, "a+b")
        if not wait_until(self._try_lock, timeout, 0.2):
            self.file.close()
            raise RuntimeError(f"another end-to-end run kept {self.PATH} for {timeout} s")

    def _try_lock(self):
        try:
            fcntl.flock(self.file, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return True
        except BlockingIOError:
            return False

    def release(self):
        self.file.close()


def claim_port(port=PORT, timeout=90):
    """Waits for the port to be free (another suite on this machine may hold it for a while);
    raises when it stays taken."""
    if not wait_until(lambda: not port_open(port) and port_bindable(port), timeout, 0.2):
        raise RuntimeError(f"port {port} is taken by another program")


def make_installer(folder, mib=4):
    path = os.path.join(folder, "installer.bin")
    return path, write_installer(path, int(mib * (1 << 20)))


class DemoService:
    """The demo service in a process of its own, with its request log."""

    def __init__(self, folder, installer, *options, version="1.2.3", rate=0):
        self.request_log = os.path.join(folder, f"requests-{time.monotonic_ns()}.jsonl")
        self.version = version
        command = [sys.executable, os.path.join(DEMO_DIR, "demo_service.py"), "--port",
                   str(PORT), "--file", installer, "--version", version, "--rate", str(rate),
                   "--request-log", self.request_log, "--quiet", *options]
        claim_port()
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL)
        if not wait_until(port_open, 10):
            self.kill()
            raise RuntimeError("the demo service did not start")

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.kill()
        wait_until(lambda: not port_open(), 5)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(5)

    def requests(self, path=None):
        if not os.path.exists(self.request_log):
            return []
        with open(self.request_log, encoding="utf-8") as source:
            entries = [json.loads(line) for line in source if line.strip()]
        return [e for e in entries if path is None or e["path"] == path]

    def update_requests(self):
        """The program's update-information requests (the page's advertisement requests and
        any other visitor's are left out)."""
        return [e for e in self.requests("/tools/updateinfo.php")
                if e["query"].get("type") == "all"]

    def installer_requests(self):
        return [e for e in self.requests() if e["path"].endswith("myvelmora_setup.exe")]

    def wait_page_ready(self, timeout=30):
        """Waits for the advertisement request that a window makes once its page is ready:
        input sent before that goes to a page that is not there yet."""
        return wait_until(lambda: any(e["query"].get("type") == "ad"
                                      for e in self.requests("/tools/updateinfo.php")), timeout)


NGINX_CONF = """
daemon off;
master_process off;
user root;
worker_processes 1;
pid {root}/nginx.pid;
error_log {root}/error.log;
events {{ worker_connections 64; }}
http {{
    types {{ application/json json; application/octet-stream exe; }}
    log_format ranges '$request_method $request_uri $status $body_bytes_sent "$http_range"'
                      ' $remote_port';
    access_log {root}/access.log ranges;
    client_body_temp_path {root}/body;
    proxy_temp_path {root}/proxy;
    fastcgi_temp_path {root}/fastcgi;
    uwsgi_temp_path {root}/uwsgi;
    scgi_temp_path {root}/scgi;
    server {{
        listen 127.0.0.1:{port};
        root {root}/www;
        {limit}
        location = /tools/updateinfo.php {{
            default_type application/json;
            try_files /updateinfo.json =404;
        }}
    }}
}}
"""


class Nginx:
    """nginx serving the installer and a fixed update-information document."""

    def __init__(self, folder, installer, sha256, version="1.2.3", rate=None, url=None):
        """rate: nginx's limit_rate for each request (e.g. "2m"), or none; url: the installer's
        address the document names, when not nginx's own."""
        self.root = os.path.join(folder, "nginx")
        www = os.path.join(self.root, "www")
        os.makedirs(os.path.join(www, "download"))
        shutil.copyfile(installer, os.path.join(www, "download", "myvelmora_setup.exe"))
        document = {"url": url or f"http://127.0.0.1:{PORT}/download/myvelmora_setup.exe",
                    "version": version, "detail": f"http://127.0.0.1:{PORT}/", "sha256": sha256}
        with open(os.path.join(www, "updateinfo.json"), "w", encoding="utf-8") as out:
            json.dump(document, out)
        conf = os.path.join(self.root, "nginx.conf")
        with open(conf, "w", encoding="utf-8") as out:
            limit = f"limit_rate {rate};" if rate else ""
            out.write(textwrap.dedent(NGINX_CONF).format(root=self.root, port=PORT, limit=limit))
        claim_port()
        self.process = subprocess.Popen(["nginx", "-p", self.root, "-c", conf, "-e",
                                         os.path.join(self.root, "error.log")],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_until(port_open, 10):
            self.stop()
            raise RuntimeError("nginx did not start: " + self.error_log())

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGQUIT)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        wait_until(lambda: not port_open(), 5)

    def access_lines(self):
        path = os.path.join(self.root, "access.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as source:
            return [line.strip() for line in source if line.strip()]

    def error_log(self):
        path = os.path.join(self.root, "error.log")
        return open(path, encoding="utf-8").read() if os.path.exists(path) else ""

    def serve(self, name, text):
        """Another file from the server's root."""
        with open(os.path.join(self.root, "www", name), "w", encoding="utf-8") as out:
            out.write(text)


SQUID_CONF = """
http_port 127.0.0.1:{port}
pid_filename {root}/squid.pid
cache_log {root}/cache.log
logformat requests %rm %ru %>Hs %un %{{User-Agent}}>h
access_log stdio:{root}/access.log requests
cache deny all
shutdown_lifetime 0 seconds
visible_hostname downloader-test
pinger_enable off
"""


class Squid:
    """squid on a free port of 127.0.0.1 with a configuration of its own: Basic logins
    (login: user and password) checked by basic_ncsa_auth, and CONNECT refused, when asked.
    Started as root it runs as the user proxy, which owns its folder."""

    def __init__(self, login=None, refuse_tunnels=False):
        self.root = tempfile.mkdtemp(prefix="dl-e2e-squid-")
        os.chmod(self.root, 0o755)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        rules = ["acl tunnel method CONNECT", "http_access deny tunnel"] if refuse_tunnels else []
        if login:
            hashed = subprocess.run(["openssl", "passwd", "-apr1", login[1]], check=True,
                                    capture_output=True, text=True).stdout.strip()
            with open(os.path.join(self.root, "passwd"), "w", encoding="utf-8") as out:
                out.write(f"{login[0]}:{hashed}\n")
            rules += [f"auth_param basic program /usr/lib/squid/basic_ncsa_auth {self.root}/passwd",
                      "acl login proxy_auth REQUIRED", "http_access deny !login"]
        conf = os.path.join(self.root, "squid.conf")
        with open(conf, "w", encoding="utf-8") as out:
            out.write(SQUID_CONF.format(port=self.port, root=self.root))
            out.write("\n".join(rules + ["http_access allow all", ""]))
        if os.geteuid() == 0:
            shutil.chown(self.root, "proxy", "proxy")
        self.process = subprocess.Popen(["squid", "-N", "-f", conf], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.address = f"127.0.0.1:{self.port}"
        if not wait_until(lambda: port_open(self.port), 20, 0.1):
            self.stop()
            raise RuntimeError("squid did not start")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(15)
        shutil.rmtree(self.root, ignore_errors=True)

    def requests(self):
        """[method, address, status, user, agent] of each request squid answered so far (the
        start-up probe's connection, which carried none, left out)."""
        path = os.path.join(self.root, "access.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as source:
            return [line.rstrip("\n").split(" ", 4) for line in source if line[0] != "-"]
