#!/usr/bin/env python3
"""Runs one command and measures it with every process it starts.

  measure.py [--timeout S] [--samples FILE] [--label NAME=COMM]... -- COMMAND [ARG]...

--samples writes every sample (time, pid, name, VmRSS, VmHWM, CPU seconds) to FILE.

Prints one line of key=value pairs on stdout:
  start, exit, end  epoch seconds: just before the start, when the command itself ended, and
                    once every process it started has ended
  status            the command's exit status (124 when it ran past --timeout and was killed)
  cpu, user, sys    CPU seconds of all the processes together
  cpu_method        "cgroup-v2" when a leaf of the cgroup v2 tree could be made for the run
                    (cpu.stat of that leaf), otherwise "wait4": this process is the child
                    subreaper of them all, reaps every one and adds up what the kernel reports
                    for each (its own reaped children included). Both are complete counts.
  cpu_wait4         the wait4 sum, beside the leaf's figure as a check
  lower_bound       1 when a process had to be killed at the timeout, so the run is not whole
  rss_NAME          peak resident set (KiB) of the processes whose command name starts with
                    COMM, per --label: the largest VmHWM seen every 20 ms
  cpu_NAME          CPU seconds of those processes: exact when reaped here without children
                    of their own, otherwise as last seen every 20 ms (a little low)

The command runs with the environment it is given; its standard output goes to standard error. Nothing here needs root, but only root (or
a delegated cgroup) can make the leaf.
"""

import ctypes
import os
import signal
import subprocess
import sys
import threading
import time

PR_SET_CHILD_SUBREAPER = 36
SAMPLE_SECONDS = 0.02
GRACE_SECONDS = 10


def cgroup2_base():
    """The cgroup v2 folder this process belongs to, or None."""
    mount = None
    with open("/proc/self/mounts", encoding="utf-8") as mounts:
        for line in mounts:
            fields = line.split()
            if len(fields) > 2 and fields[2] == "cgroup2":
                mount = fields[1]
                break
    if not mount:
        return None
    with open("/proc/self/cgroup", encoding="utf-8") as own:
        for line in own:
            if line.startswith("0::"):
                return os.path.join(mount, line[3:].strip().lstrip("/"))
    return None


def make_leaf():
    """A fresh cgroup v2 leaf this process may move a child into, or None."""
    base = cgroup2_base()
    if not base:
        return None
    leaf = os.path.join(base, f"launch-figure-{os.getpid()}-{time.monotonic_ns()}")
    try:
        os.mkdir(leaf)
    except OSError:
        return None
    if not os.path.exists(os.path.join(leaf, "cpu.stat")):
        os.rmdir(leaf)
        return None
    return leaf


def leaf_cpu(leaf):
    values = {}
    with open(os.path.join(leaf, "cpu.stat"), encoding="utf-8") as stat:
        for line in stat:
            key, value = line.split()
            values[key] = int(value)
    return values.get("user_usec", 0) / 1e6, values.get("system_usec", 0) / 1e6


def leaf_pids(leaf):
    try:
        with open(os.path.join(leaf, "cgroup.procs"), encoding="utf-8") as procs:
            return [int(line) for line in procs if line.strip()]
    except OSError:
        return []


def child_pids(pid):
    """Children of every thread of pid (orphans reparent to one of the subreaper's threads)."""
    found = []
    try:
        threads = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return found
    for tid in threads:
        try:
            with open(f"/proc/{pid}/task/{tid}/children", encoding="utf-8") as children:
                found += [int(p) for p in children.read().split()]
        except OSError:
            pass
    return found


def tree_pids(root):
    seen, todo = [], child_pids(root)
    while todo:
        pid = todo.pop()
        if pid in seen:
            continue
        seen.append(pid)
        todo += child_pids(pid)
    return seen


TICK = os.sysconf("SC_CLK_TCK")


def read_cpu(pid):
    """User + system CPU seconds of a live process so far, or None."""
    try:
        with open(f"/proc/{pid}/stat", encoding="utf-8", errors="replace") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK
    except (OSError, ValueError, IndexError):
        return None


def read_status(pid):
    """(command name, VmHWM KiB, VmRSS KiB) of a live process, or None."""
    try:
        with open(f"/proc/{pid}/status", encoding="utf-8", errors="replace") as status:
            name, hwm = None, None
            for line in status:
                if line.startswith("Name:"):
                    name = line.split(None, 1)[1].strip()
                elif line.startswith("VmHWM:"):
                    hwm = int(line.split()[1])
                elif line.startswith("VmRSS:"):
                    return (name, hwm, int(line.split()[1])) if name and hwm is not None else None
            return None
    except (OSError, ValueError, IndexError):
        return None


class Watch:
    """Peak VmHWM per process, sampled until stopped."""

    def __init__(self, leaf, log=None):
        self.leaf = leaf
        self.log = log
        self.peaks = {}  # pid -> (name, KiB)
        self.cpu = {}  # pid -> CPU seconds, last seen
        self.stopped = threading.Event()
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def sample(self):
        pids = leaf_pids(self.leaf) if self.leaf else tree_pids(os.getpid())
        for pid in pids:
            seen = read_status(pid)
            if not seen:
                continue
            used = read_cpu(pid)
            if self.log:
                self.log.write(f"{time.time():.3f} {pid} {seen[0]} rss {seen[2]} hwm {seen[1]} "
                               f"cpu {used}\n")
            seen = seen[:2]
            with self.lock:
                if used is not None:
                    self.cpu[pid] = max(used, self.cpu.get(pid, 0))
                old = self.peaks.get(pid)
                if not old or seen[1] > old[1]:
                    self.peaks[pid] = seen

    def run(self):
        while not self.stopped.is_set():
            self.sample()
            self.stopped.wait(SAMPLE_SECONDS)

    def named(self, pid, name):
        """A process about to be reaped, by its name, in case no sample saw it."""
        with self.lock:
            if name and pid not in self.peaks:
                self.peaks[pid] = (name, 0)

    def reaped(self, pid, cpu_seconds, had_children):
        """A process reaped here: its CPU time counts when it is its own alone. (Its maxrss
        does not: for a process that a large one forked and then exec'd, the kernel keeps the
        resident set of the forked copy as the maximum.)"""
        with self.lock:
            if pid in self.peaks and not had_children:
                self.cpu[pid] = max(self.cpu.get(pid, 0), cpu_seconds)


def comm_of(pid):
    try:
        with open(f"/proc/{pid}/comm", encoding="utf-8", errors="replace") as comm:
            return comm.read().strip()
    except OSError:
        return None


def main(argv):
    timeout, labels, command, samples = None, [], [], None
    args = list(argv)
    while args:
        arg = args.pop(0)
        if arg == "--timeout":
            timeout = float(args.pop(0))
        elif arg == "--samples":
            samples = open(args.pop(0), "w", encoding="utf-8")
        elif arg == "--label":
            name, comm = args.pop(0).split("=", 1)
            labels.append((name, comm))
        elif arg == "--":
            command = args
            break
        else:
            command = [arg] + args
            break
    if not command:
        print(__doc__, file=sys.stderr)
        return 2

    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
    leaf = make_leaf()
    watch = Watch(leaf, samples)

    def enter_leaf():
        # Runs in the child before exec; a leaf it cannot enter counts nothing (see below).
        if leaf:
            try:
                with open(os.path.join(leaf, "cgroup.procs"), "w", encoding="utf-8") as procs:
                    procs.write(str(os.getpid()))
            except OSError:
                pass

    start = time.time()
    # The command's own output goes to stderr: stdout carries only the figures.
    child = subprocess.Popen(command, stdout=sys.stderr, preexec_fn=enter_leaf)
    watch.thread.start()

    killed = False
    status = None
    exited = None
    user = system = 0.0
    deadline = None if timeout is None else time.monotonic() + timeout
    while True:
        # Reap whatever ends: the command, then the processes it left behind (ours as their
        # subreaper). Past the deadline or the grace after the command, the rest are killed.
        try:
            # A process that has ended is looked at before it is reaped: its name is still
            # there, so its figures count even when no sample caught it alive.
            ended = os.waitid(os.P_ALL, 0, os.WEXITED | os.WNOHANG | os.WNOWAIT)
            if ended:
                watch.named(ended.si_pid, comm_of(ended.si_pid))
            pid, wait_status, usage = os.wait4(ended.si_pid if ended else -1, os.WNOHANG)
        except ChildProcessError:
            break
        if pid == 0:
            if deadline is not None and time.monotonic() > deadline:
                for stray in tree_pids(os.getpid()):
                    os.kill(stray, signal.SIGKILL)
                killed = True
                deadline = None
            time.sleep(0.005)
            continue
        # The kernel counts the reaped process's own reaped children too.
        user += usage.ru_utime
        system += usage.ru_stime
        watch.reaped(pid, usage.ru_utime + usage.ru_stime, pid == child.pid)
        if pid == child.pid:
            exited = time.time()
            status = os.waitstatus_to_exitcode(wait_status)
            grace = time.monotonic() + GRACE_SECONDS
            deadline = grace if deadline is None else min(deadline, grace)
    end = time.time()
    watch.stopped.set()
    watch.thread.join()
    if killed and status is not None and status < 0:
        status = 124
    elif killed and status is None:
        status = 124

    # Both counts cover the same processes and agree to a few milliseconds; the leaf's is the
    # one given when the command could be moved into it.
    method = "wait4"
    reaped = user + system
    if leaf:
        cg_user, cg_system = leaf_cpu(leaf)
        try:
            os.rmdir(leaf)
        except OSError:
            pass
        if cg_user + cg_system > 0 or reaped == 0:
            method = "cgroup-v2"
            user, system = cg_user, cg_system

    fields = [f"start={start:.6f}", f"exit={exited or end:.6f}", f"end={end:.6f}",
              f"status={status}",
              f"cpu={user + system:.3f}", f"user={user:.3f}", f"sys={system:.3f}",
              f"cpu_method={method}", f"cpu_wait4={reaped:.3f}", f"lower_bound={int(killed)}"]
    for name, comm in labels:
        peak = max((kib for pid, (pname, kib) in watch.peaks.items() if pname.startswith(comm)),
                   default=0)
        fields.append(f"rss_{name}={peak}")
        used = sum(watch.cpu.get(pid, 0) for pid, (pname, _) in watch.peaks.items()
                   if pname.startswith(comm))
        fields.append(f"cpu_{name}={used:.3f}")
    print(" ".join(fields), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
