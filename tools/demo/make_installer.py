#!/usr/bin/env python3
"""Writes the demo "installer": pseudo-random data of a given size.

It is only data. The downloader hands it to xdg-open at the end, which at worst offers to
open an unknown file; nothing in it can run.
"""

import argparse
import hashlib
import random

CHUNK = 1 << 20


def write_installer(path, size, seed=2026):
    """Writes size bytes derived from seed to path and returns their SHA-256 (hex)."""
    rng = random.Random(seed)
    digest = hashlib.sha256()
    with open(path, "wb") as out:
        left = size
        while left > 0:
            piece = rng.randbytes(min(CHUNK, left))
            out.write(piece)
            digest.update(piece)
            left -= len(piece)
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("path")
    parser.add_argument("--mib", type=float, default=40, help="size in MiB (default 40)")
    parser.add_argument("--seed", type=int, default=2026)
    args = parser.parse_args()
    print(write_installer(args.path, int(args.mib * CHUNK), args.seed))


if __name__ == "__main__":
    main()
