"""A private network and mount namespace in which the program's host names
lead to loopback, or to an address that swallows every packet.

Nothing outside the namespace is touched: /etc/hosts is replaced by a bind
mount that ends with the namespace, and the only links are loopback and a
veth pair whose both ends stay inside.
"""

import os
import subprocess
import sys

_MARK = "QINVARA_BENCH_NAMESPACE"

LOOPBACK = "127.0.0.1"
# Routed onto the veth pair with a fixed neighbour that nobody answers for:
# a connection attempt's packets vanish, as behind a dropping firewall.
SILENT_ADDRESS = "192.0.2.2"


def enter():
    """Re-run this program inside a new namespace unless it already is.

    It also becomes a session of its own, and so a scheduling group of its
    own: the driver and everything it starts share one CPU share."""
    if os.environ.get(_MARK) == "inside":
        return
    env = {**os.environ, _MARK: "inside"}
    command = [sys.executable, *sys.argv]
    if os.geteuid() == 0:
        prefix = ["setsid", "--wait", "unshare", "--net", "--mount", "--"]
    else:
        prefix = ["setsid", "--wait", "unshare", "--user", "--map-root-user", "--net", "--mount", "--"]
    os.execvpe(prefix[0], prefix + command, env)


def raise_priority(increment):
    """Lowers the niceness of this process and of its scheduling group (the
    session) by `increment`, for everything started from now on. Other work
    on a shared machine then disturbs the measurements less. Needs root."""
    os.nice(increment)
    try:
        with open("/proc/self/autogroup", "w", encoding="ascii") as group:
            group.write(str(os.nice(0)))
    except FileNotFoundError:
        pass  # no automatic grouping: the process niceness is all there is


def _run(*command):
    subprocess.run(command, check=True)


class PrivateNetwork:
    """Loopback, one veth pair, and a hosts file of our own for `names`."""

    def __init__(self, names, work_dir):
        if os.environ.get(_MARK) != "inside":
            raise RuntimeError("call namespace.enter() first")
        self.names = list(names)
        _run("mount", "--make-rprivate", "/")
        # X servers in other namespaces all take display :0 (their abstract
        # sockets are apart) but would share the socket file, which
        # python-xlib prefers: a folder of our own keeps us on our server.
        os.makedirs("/tmp/.X11-unix", exist_ok=True)
        _run("mount", "-t", "tmpfs", "-o", "mode=1777", "tmpfs", "/tmp/.X11-unix")
        _run("ip", "link", "set", "lo", "up")
        # glibc's AI_ADDRCONFIG hides 127.0.0.1 when only loopback has an
        # address; the engine's resolver then finds nothing.
        _run("ip", "link", "add", "qb0", "type", "veth", "peer", "name", "qb1")
        _run("ip", "addr", "add", "192.0.2.1/32", "dev", "qb0")
        _run("ip", "link", "set", "qb0", "up")
        _run("ip", "link", "set", "qb1", "up")
        _run("ip", "route", "add", f"{SILENT_ADDRESS}/32", "dev", "qb0")
        _run("ip", "neigh", "add", SILENT_ADDRESS, "lladdr", "02:00:00:00:00:02", "dev", "qb0",
             "nud", "permanent")
        self._hosts = os.path.join(work_dir, "hosts")
        self.point_names_at(LOOPBACK)
        _run("mount", "--bind", self._hosts, "/etc/hosts")

    def point_names_at(self, address):
        """Make every name resolve to `address` for processes started from now on."""
        # Rewritten in place: the bind mount follows the file, not its name.
        with open(self._hosts, "w", encoding="ascii") as hosts:
            hosts.write(f"127.0.0.1 localhost\n{address} {' '.join(self.names)}\n")
            hosts.write("::1 localhost ip6-localhost ip6-loopback\n")
