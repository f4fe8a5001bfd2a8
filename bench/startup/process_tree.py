"""A program and its descendants (the engine's web and network processes):
who they are, how much memory they hold together, and ending them."""

import os
import signal
import time


def _parent_of(pid):
    try:
        with open(f"/proc/{pid}/stat", "rb") as stat:
            # The command name may hold spaces and parentheses: read after the last ")".
            return int(stat.read().rsplit(b")", 1)[1].split()[1])
    except (OSError, IndexError, ValueError):
        return None


def tree(root):
    """`root` and every process descending from it that is alive now."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            parent = _parent_of(int(entry))
            if parent is not None:
                children.setdefault(parent, []).append(int(entry))
    found, queue = [], [root]
    while queue:
        pid = queue.pop()
        found.append(pid)
        queue.extend(children.get(pid, []))
    return found


def name_of(pid):
    try:
        with open(f"/proc/{pid}/comm", encoding="utf-8", errors="replace") as comm:
            return comm.read().strip()
    except OSError:
        return "?"


def memory_kib(pid):
    """(proportional set size, private pages) of one process in KiB; zeros
    once it is gone. PSS shares each page among all processes mapping it, on
    the whole machine; the private figure is this process's alone."""
    pss = private = 0
    try:
        with open(f"/proc/{pid}/smaps_rollup", encoding="ascii") as rollup:
            for line in rollup:
                if line.startswith("Pss:"):
                    pss = int(line.split()[1])
                elif line.startswith(("Private_Clean:", "Private_Dirty:")):
                    private += int(line.split()[1])
    except OSError:
        pass
    return pss, private


def cpu_seconds(pid):
    """CPU time used so far by every thread of one process."""
    total = 0
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return 0.0
    for task in tasks:
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat", encoding="ascii") as schedstat:
                total += int(schedstat.read().split()[0])
        except (OSError, IndexError, ValueError):
            pass
    return total / 1e9


def tree_memory_kib(root):
    """(total PSS, total private, {pid: name}) of the tree under `root`, in KiB."""
    members = tree(root)
    figures = [memory_kib(pid) for pid in members]
    return (sum(pss for pss, _ in figures), sum(private for _, private in figures),
            {pid: name_of(pid) for pid in members})


def settled_memory_kib(root, least_wait=3.0, most_wait=15.0, step=0.5, tolerance=0.005):
    """(PSS, private, {pid: name}, steady) of the tree once it has stopped
    changing: the same processes and a private total within `tolerance` over
    three readings in a row; `steady` is false when `most_wait` ran out
    first. The private total decides because PSS also moves whenever other
    programs on the machine start or end mapping the same libraries."""
    start = time.monotonic()
    time.sleep(least_wait)
    readings = []
    while True:
        pss, private, members = tree_memory_kib(root)
        readings.append((private, frozenset(members)))
        last = readings[-3:]
        steady = (len(last) == 3 and len({m for _, m in last}) == 1 and
                  max(t for t, _ in last) - min(t for t, _ in last) <= tolerance * private)
        if steady or time.monotonic() - start > most_wait:
            return pss, private, members, steady
        time.sleep(step)


def end(process, grace=5.0):
    """Ends a program we started and then every descendant it left, by id."""
    members = tree(process.pid)
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=grace)
        except Exception:  # noqa: BLE001 - any failure to stop means SIGKILL
            process.kill()
            process.wait()
    deadline = time.monotonic() + grace
    for pid in members[1:]:
        # The engine's helpers end themselves when the program is gone.
        while _parent_of(pid) is not None and time.monotonic() < deadline:
            time.sleep(0.02)
        if _parent_of(pid) is not None:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
