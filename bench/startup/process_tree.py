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


def pss_kib(pid):
    """Proportional set size of one process in KiB; 0 once it is gone."""
    try:
        with open(f"/proc/{pid}/smaps_rollup", encoding="ascii") as rollup:
            for line in rollup:
                if line.startswith("Pss:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


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


def tree_pss_kib(root):
    """(total PSS in KiB, {pid: name}) of the tree under `root`."""
    members = tree(root)
    return sum(pss_kib(pid) for pid in members), {pid: name_of(pid) for pid in members}


def settled_pss_kib(root, least_wait=3.0, most_wait=15.0, step=0.5, tolerance=0.005):
    """The tree's PSS once it has stopped changing: the same processes and a
    total within `tolerance` over three readings in a row."""
    start = time.monotonic()
    time.sleep(least_wait)
    readings = []
    while True:
        total, members = tree_pss_kib(root)
        readings.append((total, frozenset(members)))
        last = readings[-3:]
        steady = (len(last) == 3 and len({m for _, m in last}) == 1 and
                  max(t for t, _ in last) - min(t for t, _ in last) <= tolerance * total)
        if steady or time.monotonic() - start > most_wait:
            return total, members, steady
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
