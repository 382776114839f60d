#!/usr/bin/env python3
"""Local stand-in for the maker's update-information service and web server.

Answers, on 127.0.0.1:
  GET /tools/updateinfo.php?type=all...   the update information (JSON)
  GET /tools/updateinfo.php?type=ad&callback=f...   the page's advertisement (JSONP)
  GET /dunasotool/index.php?act=pc        the version-details page
  GET/HEAD /download/myvelmora_setup.exe  the installer, with byte ranges and a throttle
  GET/HEAD /tools/myvelmora_setup.exe     the same file at the program's default address
Options turn on the faults the end-to-end tests need.
"""

import argparse
import hashlib
import json
import os
import signal
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

import replies
import signing
from file_sender import FileSender

INSTALLER_PATHS = (replies.INSTALLER_PATH, replies.DEFAULT_INSTALLER_PATH)


def file_sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as source:
        for piece in iter(lambda: source.read(1 << 20), b""):
            digest.update(piece)
    return digest.hexdigest()


class RequestLog:
    """One JSON line per answered request, for tests to read back."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()

    def write(self, entry):
        if not self.path:
            return
        with self.lock, open(self.path, "a", encoding="utf-8") as out:
            out.write(json.dumps(entry, ensure_ascii=False) + "\n")


class DemoHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as the real server offers
    server_version = "DemoUpdateService/1.0"

    def do_GET(self):
        self._answer(head=False)

    def do_HEAD(self):
        self._answer(head=True)

    def log_message(self, fmt, *args):
        if not self.server.quiet:
            sys.stderr.write("demo: " + (fmt % args) + "\n")

    def send_plain(self, status, body, head, content_type="text/plain", headers=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if not head:
            self.wfile.write(body)

    def _answer(self, head):
        url = urlsplit(self.path)
        query = {k: v[0] for k, v in parse_qs(url.query, keep_blank_values=True).items()}
        entry = {"method": self.command, "path": url.path, "query": query,
                 "range": self.headers.get("Range"), "agent": self.headers.get("User-Agent"),
                 "time": time.time()}
        status, sent, complete = 0, 0, False
        try:
            status, sent, complete = self._route(url.path, query, head)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
        finally:
            entry.update(status=status, sent=sent, complete=complete)
            self.server.request_log.write(entry)

    def _route(self, path, query, head):
        settings = self.server.settings
        if path in INSTALLER_PATHS:
            return self.server.file_sender.send(self, head)
        if path == "/tools/updateinfo.php" and query.get("type") == "ad":
            answer = replies.ad_reply(query.get("callback"), settings.ad == "hostile")
        elif path == "/tools/updateinfo.php" and self.server.signed:
            status, headers, body = signing.signed_answer(settings.reply, *self.server.signed)
            self.send_plain(status, body, head, "application/json", headers)
            return status, 0 if head else len(body), True
        elif path == "/tools/updateinfo.php":
            answer = replies.update_reply(settings.reply, self.server.base_url, settings.version,
                                          self.server.sha256)
        elif path == replies.DETAILS_PATH:
            answer = replies.details_page(settings.version)
        else:
            answer = (404, "text/plain", b"not found\n")
        status, content_type, body = answer
        self.send_plain(status, body, head, content_type)
        return status, 0 if head else len(body), True


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=18080)
    parser.add_argument("--file", required=True, help="the installer file to serve")
    parser.add_argument("--version", default="1.2.3", help='"version" in the update information')
    parser.add_argument("--rate", type=float, default=3.0,
                        help="throttle in MiB/s per download (0: none; default 3)")
    parser.add_argument("--reply", choices=replies.REPLY_MODES + ("tampered", "unsigned"),
                        default="normal",
                        help="form of the update-information answer")
    parser.add_argument("--installer-status", type=int, default=200,
                        help="answer installer requests with this status instead (e.g. 404)")
    parser.add_argument("--ignore-range", action="store_true",
                        help="answer every installer request with 200 and the whole file")
    fault = parser.add_mutually_exclusive_group()
    fault.add_argument("--close-after", type=int, metavar="N",
                       help="close each installer answer after N body bytes")
    fault.add_argument("--stall-after", type=int, metavar="N",
                       help="stop sending after N body bytes, holding the connection open")
    parser.add_argument("--stall-seconds", type=float, default=600)
    signed = parser.add_argument_group(
        "signed update information",
        "with --sign-key the reply is written and signed by downloader-sign; --reply then is "
        "normal, tampered (one body byte changed) or unsigned (no signature header)")
    signed.add_argument("--sign-key", help="a key file made by downloader-keygen")
    signed.add_argument("--signer", default="downloader-sign", help="the downloader-sign tool")
    signed.add_argument("--product", default="velmora", help='"product" of the signed reply')
    signed.add_argument("--channel", default="general", help='"channel" of the signed reply')
    signed.add_argument("--signed-file",
                        help="the installer the reply describes (default: --file, the one served)")
    signed.add_argument("--reply-file", help="serve this reply as it is instead (with --signature)")
    signed.add_argument("--signature", help="the X-Update-Signature value of --reply-file")
    parser.add_argument("--ad", choices=("plain", "hostile"), default="plain",
                        help="the page's advertisement: the demo's, or one that tries to run")
    parser.add_argument("--request-log", help="append one JSON line per request to this file")
    parser.add_argument("--quiet", action="store_true", help="no access log on stderr")
    args = parser.parse_args(argv)
    args.rate = int(args.rate * (1 << 20))
    return args


class DemoServer(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Clients that hang up (a size query closing after the headers, a killed program) are
        # part of the job, not errors worth a traceback.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def make_server(settings):
    server = DemoServer(("127.0.0.1", settings.port), DemoHandler)
    server.settings = settings
    server.quiet = settings.quiet
    server.base_url = f"http://127.0.0.1:{settings.port}"
    server.sha256 = file_sha256(settings.file)
    server.stopping = threading.Event()
    server.file_sender = FileSender(settings, server.stopping)
    server.request_log = RequestLog(settings.request_log)
    server.signed = load_signed_reply(settings, server.base_url)
    return server


def load_signed_reply(settings, base_url):
    """(body, signature) of the signed reply, or None when the demo answers unsigned."""
    if settings.reply_file:
        with open(settings.reply_file, "rb") as source:
            return source.read(), settings.signature or ""
    if not settings.sign_key:
        return None
    folder = (os.path.dirname(settings.request_log) if settings.request_log
              else tempfile.mkdtemp(prefix="demo-reply-"))
    out = os.path.join(folder, f"updateinfo-{os.getpid()}.json")
    signature = signing.sign_release(settings.signer, settings.sign_key,
                                     settings.signed_file or settings.file,
                                     base_url + replies.INSTALLER_PATH, settings.version,
                                     settings.product, settings.channel, out)
    with open(out, "rb") as source:
        return source.read(), signature


def main(argv=None):
    settings = parse_args(argv)
    try:
        server = make_server(settings)
    except OSError as error:
        sys.exit(f"demo: cannot listen on 127.0.0.1:{settings.port}: {error.strerror}")

    def stop(_signum, _frame):
        server.stopping.set()
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print(f"demo: serving {settings.file} (sha256 {server.sha256}) on {server.base_url}",
          flush=True)
    if server.signed and settings.sign_key:
        print(f"demo: update information signed with key '{signing.key_id(settings.sign_key)}'",
              flush=True)
    server.serve_forever(poll_interval=0.2)
    server.server_close()


if __name__ == "__main__":
    main()
