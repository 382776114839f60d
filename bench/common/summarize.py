#!/usr/bin/env python3
"""Reads the raw output of the benchmarks that bench/run-all ran and prints one compact table
of the figures beside their targets.

  summarize.py DOWNLOAD_OUT SCRIPT_CALLS_OUT WINDOW_START_OUT...
"""

import re
import statistics
import sys

DOWNLOAD_SIZE = re.compile(r"^(\d+) MiB, median")
DOWNLOAD_CLIENT = re.compile(
    r"^\s+(curl|DownHttpFile)\s+([\d.]+) s\s+([\d.]+) MiB/s\s+cpu\s+([\d.]+) s\s+"
    r"peak RSS\s+(\d+) KiB(.*)$")
CALLS = re.compile(r"^(counting function|page's jsUpdateProgress):\s+calls (\d+)/(\d+)\s+"
                   r"out of order (\d+)\s+([\d.]+) s\s+(\d+) calls/s.*RSS KiB before (\d+) "
                   r"peak (\d+) after (\d+)")
RATIOS = re.compile(r"throughput ratio ([\d.]+).*CPU ratio ([\d.]+)")
LOADED = re.compile(r"RSS KiB with the page loaded: (\d+)")
PAINT = re.compile(r"page painted ([\d.]+) s")

ROW = "{:<34} {:>14} {:>22} {:>14}  {}"


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as source:
            return source.read().splitlines()
    except OSError:
        return []


def verdict(ok):
    return "meets" if ok else "MISSES"


def download_rows(lines):
    runs, size = {}, None
    for line in lines:
        if match := DOWNLOAD_SIZE.match(line):
            size = int(match.group(1))
            runs[size] = {}
        elif (match := RATIOS.search(line)) and size is not None:
            # The benchmark's own ratios, from unrounded times.
            runs[size]["ratios"] = (float(match.group(1)), float(match.group(2)))
        elif (match := DOWNLOAD_CLIENT.match(line)) and size is not None:
            wall, rate, cpu, rss = (float(match.group(i)) for i in range(2, 6))
            runs[size][match.group(1)] = dict(wall=wall, rate=rate, cpu=cpu, rss=rss,
                                              failed=bool(match.group(6).strip()))
    rows, rss_by_size = [], {}
    for size, clients in runs.items():
        ours, curl = clients.get("DownHttpFile"), clients.get("curl")
        if not ours or not curl:
            continue
        label = f"{size} MiB" if size < 1024 else f"{size // 1024} GiB"
        throughput = ours["rate"] / curl["rate"]
        cpu = ours["cpu"] / curl["cpu"] if curl["cpu"] else float("inf")
        throughput, cpu = clients.get("ratios", (throughput, cpu))
        rows.append(ROW.format(f"download {label}: throughput", f"{ours['rate']:.0f} MiB/s",
                               f"curl {curl['rate']:.0f} MiB/s", f"x{throughput:.2f} >=0.95",
                               verdict(throughput >= 0.95 and not ours["failed"])))
        rows.append(ROW.format(f"download {label}: CPU time", f"{ours['cpu']:.2f} s",
                               f"curl {curl['cpu']:.2f} s", f"x{cpu:.2f} <=1.5",
                               verdict(cpu <= 1.5)))
        rows.append(ROW.format(f"download {label}: peak RSS", f"{ours['rss'] / 1024:.1f} MiB",
                               f"curl {curl['rss'] / 1024:.1f} MiB", "", ""))
        rss_by_size[size] = ours["rss"]
    if len(rss_by_size) >= 2:
        small, large = min(rss_by_size), max(rss_by_size)
        growth = (rss_by_size[large] - rss_by_size[small]) / 1024
        rows.append(ROW.format(f"download RSS growth {small}->{large} MiB",
                               f"{growth:+.1f} MiB", "", "flat (<8 MiB)", verdict(growth < 8)))
    return rows or [ROW.format("download", "no figures", "", "", "see its output")]


def call_rows(lines):
    rows, loaded, afters = [], None, []
    for line in lines:
        if match := LOADED.match(line):
            loaded = int(match.group(1))
        elif match := CALLS.match(line):
            kind = "bridge only" if match.group(1) == "counting function" else "page's function"
            calls, total, disorder = (int(match.group(i)) for i in (2, 3, 4))
            rate = int(match.group(6))
            afters.append(int(match.group(9)))
            complete = calls == total and disorder == 0
            rows.append(ROW.format(f"page calls/s ({kind})", f"{rate:,}",
                                   f"{calls}/{total} in order" if complete else "LOST/DISORDER",
                                   ">=100,000", verdict(rate >= 100000 and complete)))
    if loaded is not None and len(afters) >= 4:
        # The first round (both kinds) warms up: the queue and the page's engine keep some
        # MiB they then reuse. Flat means later rounds add nothing on top.
        warm_up = (afters[1] - loaded) / 1024
        growth = (afters[-1] - afters[1]) / 1024
        rows.append(ROW.format("page calls: native RSS after warm-up", f"{growth:+.1f} MiB",
                               f"warm-up {warm_up:+.1f} MiB", "flat (<8 MiB)",
                               verdict(growth < 8)))
    elif loaded is not None and afters:
        rows.append(ROW.format("page calls: native RSS growth",
                               f"{(afters[-1] - loaded) / 1024:+.1f} MiB", "one round only",
                               "", "run 2+ rounds to judge"))
    return rows or [ROW.format("page calls", "no figures", "", "", "see its output")]


def paint_rows(paths):
    times = []
    for path in paths:
        for line in read(path):
            if match := PAINT.search(line):
                times.append(float(match.group(1)))
    if not times:
        return [ROW.format("start to paint", "no figures", "", "", "see its output")]
    median = statistics.median(times)
    return [ROW.format(f"start to paint (median of {len(times)})", f"{median:.3f} s",
                       f"max {max(times):.3f} s", "<=1 s", verdict(median <= 1.0))]


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    print(ROW.format("figure", "ours", "beside", "target", "verdict"))
    print("-" * 96)
    for row in download_rows(read(argv[1])) + call_rows(read(argv[2])) + paint_rows(argv[3:]):
        print(row)


if __name__ == "__main__":
    main(sys.argv)
