"""Sends the installer file: byte ranges, a throttle, and the faults a test can ask for."""

import email.utils
import os
import re
import time

CHUNK = 16 * 1024
_RANGE = re.compile(r"^bytes=(\d+)-(\d*)$")


def parse_range(header, size):
    """(start, end inclusive) asked for by a single "bytes=a-" or "bytes=a-b" Range header,
    None for no usable header, or "unsatisfiable" when it starts past the end."""
    match = _RANGE.match((header or "").strip())
    if not match:
        return None
    start = int(match.group(1))
    end = int(match.group(2)) if match.group(2) else size - 1
    if start >= size:
        return "unsatisfiable"
    if end < start:
        return None
    return start, min(end, size - 1)


class Throttle:
    """Keeps one response at or below rate bytes per second (0: no limit)."""

    def __init__(self, rate):
        self.rate = rate
        self.started = time.monotonic()
        self.sent = 0

    def account(self, count):
        self.sent += count
        if self.rate <= 0:
            return
        ahead = self.sent / self.rate - (time.monotonic() - self.started)
        if ahead > 0:
            time.sleep(ahead)


class FileSender:
    """Answers one GET or HEAD of the installer on behalf of a request handler."""

    def __init__(self, settings, stopping):
        self.settings = settings
        self.stopping = stopping  # threading.Event set when the service shuts down

    def send(self, handler, head):
        """Writes the answer; returns (status, body bytes sent, body complete)."""
        settings = self.settings
        if settings.installer_status != 200:
            handler.send_plain(settings.installer_status, b"not here\n", head)
            return settings.installer_status, 0, True
        info = os.stat(settings.file)
        size = info.st_size
        # Validators as a static web server gives them: a resume asks "only if unchanged".
        etag = f'"{info.st_mtime_ns:x}-{size:x}"'
        modified = email.utils.formatdate(info.st_mtime, usegmt=True)
        wanted = None if settings.ignore_range else parse_range(handler.headers.get("Range"), size)
        if_range = handler.headers.get("If-Range")
        if wanted and if_range is not None and if_range not in (etag, modified):
            wanted = None  # the file changed: the whole new file
        if wanted == "unsatisfiable":
            handler.send_response(416)
            handler.send_header("Content-Range", f"bytes */{size}")
            handler.send_header("Content-Length", "0")
            handler.end_headers()
            return 416, 0, True
        start, end = wanted if wanted else (0, size - 1)
        status = 206 if wanted else 200
        handler.send_response(status)
        handler.send_header("Content-Type", "application/octet-stream")
        handler.send_header("Content-Length", str(end - start + 1))
        handler.send_header("Accept-Ranges", "none" if settings.ignore_range else "bytes")
        handler.send_header("ETag", etag)
        handler.send_header("Last-Modified", modified)
        if wanted:
            handler.send_header("Content-Range", f"bytes {start}-{end}/{size}")
        handler.end_headers()
        if head:
            return status, 0, True
        sent, complete = self._send_body(handler, start, end - start + 1)
        return status, sent, complete

    def _send_body(self, handler, start, length):
        settings = self.settings
        throttle = Throttle(settings.rate)
        sent = 0
        with open(settings.file, "rb") as source:
            source.seek(start)
            while sent < length:
                limit = length - sent
                fault_at = self._fault_point()
                if fault_at is not None:
                    limit = min(limit, fault_at - sent)
                if limit <= 0:
                    return sent, self._fault(handler)
                piece = source.read(min(CHUNK, limit))
                if not piece:
                    break
                handler.wfile.write(piece)
                sent += len(piece)
                throttle.account(len(piece))
        handler.wfile.flush()
        return sent, sent == length

    def _fault_point(self):
        """Body offset of this response at which the chosen fault strikes, if any."""
        for limit in (self.settings.close_after, self.settings.stall_after):
            if limit is not None:
                return limit
        return None

    def _fault(self, handler):
        """Carries out the fault at the fault point; the body stays incomplete."""
        handler.wfile.flush()
        if self.settings.stall_after is not None:
            # Keep the connection open without sending: the client sees a stall.
            self.stopping.wait(self.settings.stall_seconds)
        handler.close_connection = True
        return False
