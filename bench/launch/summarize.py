#!/usr/bin/env python3
"""Prints the whole-program figures that bench/launch/launch-figure took: medians per installer
size and mode beside curl, the ratios, peak memory per process, and the targets.

  summarize.py RESULTS [BEFORE]

RESULTS is the launch-results.txt that launch-figure leaves in its build folder. BEFORE, a
results file of an earlier build, adds its medians beside the new ones.
"""

import statistics
import sys

TARGET_LAUNCH = 1.5  # start to launch, times curl's time
TARGET_CPU = 2.0  # all of the program's processes, times curl's CPU
TARGET_FLAT = 0.10  # each process's peak at the largest size against the smallest
ROLES = ("program", "web", "network")


def parse(path):
    runs, machine = [], {}
    with open(path, encoding="utf-8") as source:
        for line in source:
            kind, *pairs = line.split()
            values = dict(pair.split("=", 1) for pair in pairs if "=" in pair)
            if kind == "machine":
                machine = values
            elif kind in ("program", "curl"):
                values["kind"] = kind
                runs.append(values)
    return machine, runs


def number(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return None


def median(runs, key):
    values = [v for v in (number(run.get(key)) for run in runs) if v is not None]
    return statistics.median(values) if values else None


def fmt(value, unit="s", digits=2):
    if value is None:
        return "?"
    return f"{value:.{digits}f}{' ' + unit if unit else ''}"


def mib(kib):
    return None if kib is None else kib / 1024


def ratio(a, b):
    return None if a is None or not b else a / b


def groups(runs):
    sizes = sorted({int(run["mib"]) for run in runs})
    modes = []
    for mode in ("signed", "unsigned", "signed-unsandboxed", "unsigned-unsandboxed"):
        if any(r.get("mode") == mode for r in runs):
            modes.append(mode)
    return sizes, modes


def select(runs, kind, size, mode=None):
    return [r for r in runs if r["kind"] == kind and int(r["mib"]) == size
            and (mode is None or r.get("mode") == mode)]


def program_figures(runs):
    """Medians of one (size, mode), the transfer phase as asked -> launch per run."""
    for run in runs:
        launch, asked = number(run.get("launch")), number(run.get("asked"))
        run["transfer"] = None if launch is None or asked is None else f"{launch - asked:.3f}"
    keys = ("launch", "exit", "began", "worker", "update", "drawn", "ready", "painted", "asked", "transfer", "cpu", "user",
            "sys") + tuple("rss_" + role for role in ROLES) + tuple("cpu_" + role for role in ROLES)
    figures = {key: median(runs, key) for key in keys}
    shown = sum(1 for run in runs if number(run.get("ready")) is not None
                and number(run.get("launch")) is not None
                and number(run["ready"]) < number(run["launch"]))
    traced = any(number(run.get(key)) is not None for run in runs
                 for key in ("began", "drawn", "ready", "painted"))
    figures["shown"] = f"{shown} of {len(runs)}" if traced else "?"
    return figures


def print_size(size, modes, runs, before):
    curls = select(runs, "curl", size)
    curl = {key: median(curls, key) for key in ("time", "cpu", "checked_time", "checked_cpu")}
    print(f"\n{size} MiB: curl {fmt(curl['time'])} (CPU {fmt(curl['cpu'])}); curl + sha256sum "
          f"+ sync {fmt(curl['checked_time'])} (CPU {fmt(curl['checked_cpu'])}); "
          f"{len(curls)} curl runs")
    width = max(14, *(len(m) + 2 for m in modes))
    header = f"  {'':<36}" + "".join(f"{m:>{width}}" for m in modes)
    if before:
        header += "".join(f"{m + ' before':>17}" for m in modes)
    print(header)
    figures = {m: program_figures(select(runs, "program", size, m)) for m in modes}
    old = {m: program_figures(select(before, "program", size, m)) for m in modes} if before else {}
    rows = [
        ("start -> start-up began (in main)", lambda f: fmt(f["began"])),
        ("start -> first worker started", lambda f: fmt(f["worker"])),
        ("start -> update request", lambda f: fmt(f["update"])),
        ("start -> window first drawn", lambda f: fmt(f["drawn"])),
        ("start -> page ready", lambda f: fmt(f["ready"])),
        ("start -> page painted", lambda f: fmt(f["painted"])),
        ("  runs whose page was up before launch", lambda f: f["shown"]),
        ("start -> installer request", lambda f: fmt(f["asked"])),
        ("transfer phase (request -> launch)", lambda f: fmt(f["transfer"])),
        ("start -> launch", lambda f: fmt(f["launch"])),
        ("start -> exit", lambda f: fmt(f["exit"])),
        ("  launch / curl", lambda f: "x" + fmt(ratio(f["launch"], curl["time"]), "")),
        ("  launch / (curl+sha256sum+sync)",
         lambda f: "x" + fmt(ratio(f["launch"], curl["checked_time"]), "")),
        ("  transfer phase / curl", lambda f: "x" + fmt(ratio(f["transfer"], curl["time"]), "")),
        ("CPU, all processes (user+sys)", lambda f: fmt(f["cpu"])),
        ("  CPU / curl's", lambda f: "x" + fmt(ratio(f["cpu"], curl["cpu"]), "")),
        ("  CPU / (curl+sha256sum+sync)'s",
         lambda f: "x" + fmt(ratio(f["cpu"], curl["checked_cpu"]), "")),
    ] + [(f"  CPU of the {role} process", lambda f, role=role: fmt(f["cpu_" + role]))
         for role in ROLES] + [(f"peak RSS, {role} process", lambda f, role=role: fmt(mib(f["rss_" + role]), "MiB", 1))
         for role in ROLES]
    for label, show in rows:
        line = f"  {label:<36}" + "".join(f"{show(figures[m]):>{width}}" for m in modes)
        if before:
            line += "".join(f"{show(old[m]):>17}" for m in modes)
        print(line)
    return curl, figures


def verdict(ok):
    return "met" if ok else "MISSED"


def memory_growth(small, large):
    """Each process's peak at two sizes, and whether all stay within TARGET_FLAT."""
    parts, flat = [], True
    for role in ROLES:
        a, b = small["rss_" + role], large["rss_" + role]
        growth = ratio(b, a)
        flat = flat and growth is not None and growth <= 1 + TARGET_FLAT
        parts.append(f"{role} {fmt(mib(a), '', 1)} -> {fmt(mib(b), 'MiB', 1)}"
                     f" ({'?' if growth is None else f'{(growth - 1) * 100:+.0f} %'})")
    return f"{'; '.join(parts)}: {verdict(flat)} (within {TARGET_FLAT * 100:.0f} %)"


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    machine, runs = parse(argv[1])
    before = parse(argv[2])[1] if len(argv) > 2 else []
    if not runs:
        sys.exit(f"no runs in {argv[1]}")
    sizes, modes = groups(runs)
    programs = [r for r in runs if r["kind"] == "program"]
    busy = [r for r in programs if r.get("quiet") != "1"]
    methods = sorted({r.get("cpu_method", "?") for r in programs})
    lower = any(r.get("lower_bound") == "1" for r in programs)
    rounds = len(programs) // max(1, len(sizes) * len(modes))
    print(f"Whole program beside curl: {machine.get('cores', '?')} cores, {machine.get('date', '?')}, "
          f"server {machine.get('server', '?')}, medians of {rounds} rounds")
    print(f"CPU time from {', '.join(methods)}"
          + (" (a LOWER BOUND: a run had to be killed)" if lower else " (complete counts)"))
    if busy:
        loads = sorted(number(r.get("load")) or 0 for r in busy)
        print(f"PROVISIONAL: {len(busy)} of {len(programs)} program runs started at a load "
              f"average >= {machine.get('max_load', '0.5')} (up to {loads[-1]:.2f})")
    results = {size: print_size(size, modes, runs, before) for size in sizes}

    largest, smallest = sizes[-1], sizes[0]
    curl, figures = results[largest]
    print(f"\nTargets at {largest} MiB:")
    for mode in modes:
        f = figures[mode]
        launch_ratio = ratio(f["launch"], curl["time"])
        cpu_ratio = ratio(f["cpu"], curl["cpu"])
        mode_runs = select(runs, "program", largest, mode)
        # A window that had not drawn when the program ended drew after the request.
        drawn = [r for r in mode_runs if number(r.get("drawn")) is not None]
        early = [number(r.get("update")) is not None and number(r["update"]) < number(r["drawn"])
                 for r in drawn]
        undrawn = sum(1 for r in mode_runs if number(r.get("drawn")) is None
                      and number(r.get("update")) is not None and r.get("exit") not in (None, "?"))
        print(f"  {mode}:")
        print(f"    1. start to launch x{fmt(launch_ratio, '')} of curl (<= {TARGET_LAUNCH}): "
              f"{verdict(launch_ratio is not None and launch_ratio <= TARGET_LAUNCH)}")
        print(f"    2. CPU x{fmt(cpu_ratio, '')} of curl's (<= {TARGET_CPU}): "
              f"{verdict(cpu_ratio is not None and cpu_ratio <= TARGET_CPU)}")
        traced = any(number(r.get(k)) is not None for r in runs if r.get("mode") == mode
                     for k in ("drawn", "ready", "painted"))
        if traced:
            print(f"    3. update request before the window first drew in {sum(early)} of "
                  f"{len(early)} runs ({undrawn} more ended before it drew): "
                  f"{verdict(all(early) and len(early) + undrawn == len(mode_runs) > 0)}")
        else:
            print("    3. the program traced no window moments (a build before they were traced)")
        if len(sizes) > 1:
            for other in sorted({smallest, sizes[-2]}):
                print(f"    4. peak RSS {other} -> {largest} MiB: "
                      + memory_growth(results[other][1][mode], f))
        else:
            print("    4. peak RSS: run two sizes (e.g. 64,512) to compare")


if __name__ == "__main__":
    main(sys.argv)
