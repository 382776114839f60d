"""Bodies of the demo service's text answers: the update information in its normal form and in
the broken forms a test can ask for, the page's advertisement and the version-details page."""

import base64
import html
import json
import pathlib
import re

INSTALLER_PATH = "/download/myvelmora_setup.exe"
# Where the program looks when the update information cannot be used.
DEFAULT_INSTALLER_PATH = "/tools/myvelmora_setup.exe"
DETAILS_PATH = "/dunasotool/index.php"

# The shared set of odd and hostile replies: the unit tests parse the same bodies and the
# fuzzer starts from them.
SHARED_REPLIES = pathlib.Path(__file__).with_name("update-replies.json")


def _shared_bodies():
    bodies = {}
    for entry in json.loads(SHARED_REPLIES.read_text(encoding="utf-8"))["replies"]:
        if "body_base64" in entry:
            body = base64.b64decode(entry["body_base64"])
        elif "repeat" in entry:
            body = b"".join(text.encode() * times for text, times in entry["repeat"])
        else:
            body = entry["body"].encode()
        bodies[entry["name"]] = body
    return bodies


SHARED_BODIES = _shared_bodies()

# Answers made from the demo's own file; "normal" is the one a real service gives.
TEMPLATED_MODES = (
    "normal",  # the document with url, version, detail and sha256
    "huge",  # a well-formed object padded to 100 MiB
    "status500",  # a server error
    "badsha",  # the normal document announcing a digest the file does not have
)
# Every update-information answer a test can choose.
REPLY_MODES = TEMPLATED_MODES + tuple(SHARED_BODIES)

# The page keeps no inline style of an advertisement: its looks are the classes the page's style
# sheet offers adverts.
AD_FRAGMENT = (
    '<div class="ad-banner">'
    '<b class="ad-headline">Tavrin手机伴侣</b>'
    '<span class="ad-text">手机与电脑，一线相连</span>'
    "</div>"
)

# An advertisement that tries everything a script in the page could: calling the window's
# functions (closing it, starting another worker, reading a parameter), inside the fragment and
# after the JSONP call. The program must show only its plain text.
HOSTILE_AD_FRAGMENT = (
    "<b>ad</b><script>window.external._velmora_Retry()</script>"
    '<img src="x" onerror="window.external._velmora_OnExit()">'
    '<iframe src="javascript:window.external._velmora_Retry()"></iframe>'
    "<a href=\"javascript:window.external._velmora_GetAppParams('Log')\">more</a>"
)
HOSTILE_AD_TAIL = (
    "window.external._velmora_Retry();window.external._velmora_OnExit();"
    "window.external._velmora_GetAppParams('Log');"
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
    if mode in SHARED_BODIES:
        return 200, "application/json", SHARED_BODIES[mode]
    document = update_document(base_url, version, sha256)
    if mode == "badsha":
        document["sha256"] = "0" * 64
    if mode == "huge":
        document["padding"] = "x" * (100 << 20)
    return 200, "application/json", json.dumps(document, ensure_ascii=False).encode()


def ad_reply(callback, hostile=False):
    """(status, content type, body bytes) of the page's JSONP advertisement request."""
    if not callback or not _CALLBACK_NAME.match(callback):
        return 400, "text/plain", b"bad callback\n"
    fragment = HOSTILE_AD_FRAGMENT if hostile else AD_FRAGMENT
    payload = json.dumps({"ret": 1, "ad": fragment}, ensure_ascii=False)
    tail = HOSTILE_AD_TAIL if hostile else ""
    return 200, "application/javascript", f"{callback}({payload});{tail}".encode()


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
