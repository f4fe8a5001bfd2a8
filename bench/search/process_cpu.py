"""CPU time of a process and everything it started (the browser engine's web
and network processes), read from /proc."""

import os
import time

_TICKS = os.sysconf("SC_CLK_TCK")


def _stat_fields(pid):
    with open(f"/proc/{pid}/stat", "rb") as stat:
        # The command name may hold spaces and parentheses: split after the last ")".
        return stat.read().rsplit(b")", 1)[1].split()


def _children():
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            parent = int(_stat_fields(int(entry))[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(parent, []).append(int(entry))
    return children


def tree(root):
    """`root` and its living descendants."""
    children = _children()
    found, queue = [], [root]
    while queue:
        pid = queue.pop()
        found.append(pid)
        queue.extend(children.get(pid, []))
    return found


def name(pid):
    try:
        with open(f"/proc/{pid}/comm", encoding="utf-8", errors="replace") as comm:
            return comm.read().strip()
    except OSError:
        return "?"


def cpu_seconds(pid):
    """User and system time of every thread of the process so far."""
    try:
        fields = _stat_fields(pid)
    except OSError:
        return 0.0
    # utime and stime are fields 14 and 15 of stat, 12 and 13 after the name.
    return (int(fields[11]) + int(fields[12])) / _TICKS


def measure(root, seconds):
    """CPU used by the tree under `root` over `seconds` of wall time:
    (percent of one core in total, {"name pid": percent})."""
    members = tree(root)
    before = {pid: cpu_seconds(pid) for pid in members}
    start = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - start
    shares = {f"{name(pid)} {pid}": 100.0 * (cpu_seconds(pid) - used) / elapsed
              for pid, used in before.items()}
    return sum(shares.values()), shares
