"""Bodies of the demo service's text answers: the update information in its normal form and in
the broken forms a test can ask for, the page's advertisement and the version-details page."""

import html
import json
import re

INSTALLER_PATH = "/download/myvelmora_setup.exe"
# Where the program looks when the update information cannot be used.
DEFAULT_INSTALLER_PATH = "/tools/myvelmora_setup.exe"
DETAILS_PATH = "/dunasotool/index.php"

# Update-information answers a test can choose; "normal" is the only well-formed one.
REPLY_MODES = (
    "normal",  # the document with url, version, detail and sha256
    "garbage",  # not JSON at all
    "huge",  # a well-formed object padded to many megabytes
    "deep",  # arrays nested far deeper than any parser should follow
    "array",  # JSON, but a list instead of an object
    "string",  # JSON, but a bare string
    "number",  # JSON, but a bare number
    "members",  # an object whose url and version are not strings
    "empty",  # status 200 with an empty body
    "status500",  # a server error
    "badsha",  # the normal document announcing a digest the file does not have
)

AD_FRAGMENT = (
    '<div style="width:591px;height:296px;display:flex;flex-direction:column;'
    "justify-content:center;align-items:center;color:#fff;font-size:30px;"
    'background:linear-gradient(135deg,#236fd0,#5fb0ff);">'
    "<b>Tavrin手机伴侣</b>"
    '<span style="font-size:16px;margin-top:12px">手机与电脑，一线相连</span>'
    "</div>"
)

_CALLBACK_NAME = re.compile(r"^[A-Za-z_$][A-Za-z0-9_$.]{0,127}$")


def update_document(base_url, version, sha256):
    return {
        "url": base_url + INSTALLER_PATH,
        "version": version,
        "detail": base_url + DETAILS_PATH + "?act=pc",
        "sha256": sha256,
    }


def update_reply(mode, base_url, version, sha256):
    """(status, content type, body bytes) of the update information in the given mode."""
    if mode == "status500":
        return 500, "text/plain", b"internal error\n"
    if mode == "empty":
        return 200, "application/json", b""
    if mode == "garbage":
        return 200, "text/html", b"<html><body>\x00\xff{ not json at all\n"
    if mode == "deep":
        return 200, "application/json", b"[" * 200000 + b"]" * 200000
    if mode == "array":
        return 200, "application/json", b'["url", "version", 1, 2, 3]'
    if mode == "string":
        return 200, "application/json", b'"http://127.0.0.1/evil.exe"'
    if mode == "number":
        return 200, "application/json", b"42"
    if mode == "members":
        body = {"url": ["http://127.0.0.1/evil.exe"], "version": {"v": 1}, "detail": 7}
        return 200, "application/json", json.dumps(body).encode()
    document = update_document(base_url, version, sha256)
    if mode == "badsha":
        document["sha256"] = "0" * 64
    if mode == "huge":
        document["padding"] = "x" * (24 << 20)
    return 200, "application/json", json.dumps(document, ensure_ascii=False).encode()


def ad_reply(callback):
    """(status, content type, body bytes) of the page's JSONP advertisement request."""
    if not callback or not _CALLBACK_NAME.match(callback):
        return 400, "text/plain", b"bad callback\n"
    payload = json.dumps({"ret": 1, "ad": AD_FRAGMENT}, ensure_ascii=False)
    return 200, "application/javascript", f"{callback}({payload});".encode()


def details_page(version):
    v = html.escape(version)
    body = f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Tavrin手机伴侣 V{v}</title></head>
<body style="font-family:sans-serif;max-width:40em;margin:2em auto">
<h1>Tavrin手机伴侣 V{v}</h1>
<ul><li>更快的连接</li><li>更稳的传输</li>
<li>Demo build served by the local demo service.</li></ul>
</body></html>
"""
    return 200, "text/html; charset=utf-8", body.encode()
