"""The demo's signed update information: the reply is written and signed by the publisher's
own tool (downloader-sign) with a key made at run time, never one kept in the repository."""

import subprocess


def key_id(key_file):
    """The ID named in a downloader-keygen key file ("downloader-secret-key-v1 ID BASE64")."""
    with open(key_file, encoding="ascii") as source:
        fields = source.read().split()
    if len(fields) != 3:
        raise SystemExit(f"demo: {key_file} is not a downloader-keygen key file")
    return fields[1]


def sign_release(signer, key_file, installer, url, version, product, channel, out):
    """Writes the signed reply for installer to out; returns the X-Update-Signature value."""
    done = subprocess.run(
        [signer, "--key", key_file, "--id", key_id(key_file), "--product", product,
         "--installer", installer, "--url", url, "--version", version, "--channel", channel,
         "--out", out],
        capture_output=True, text=True, check=False)
    if done.returncode != 0:
        raise SystemExit(f"demo: downloader-sign refused: {done.stderr.strip()}")
    return done.stdout.strip()


def signed_answer(mode, body, signature):
    """(status, headers, body) of the signed reply in a mode: as signed, with one byte of the
    body changed, or without its signature header."""
    if mode == "tampered":
        middle = len(body) // 2
        body = body[:middle] + bytes([body[middle] ^ 0x01]) + body[middle + 1:]
    headers = {} if mode == "unsigned" else {"X-Update-Signature": signature}
    return 200, headers, body
