"""Pointing one of the program's host names elsewhere for a while, inside the
private network of the end-to-end tests (which has its own /etc/hosts)."""

import contextlib
import os
import subprocess
import tempfile


@contextlib.contextmanager
def host_pointing_to(host, address):
    """/etc/hosts maps `host` to `address` (a loopback address such as 127.0.0.2,
    where nothing listens) until the block ends; the other names stay."""
    if os.environ.get("QINVARA_E2E_NAMESPACE") != "inside":
        raise RuntimeError("only inside run_in_namespace.sh may /etc/hosts be changed")
    if not address.startswith("127."):
        raise ValueError("test traffic stays on loopback")
    with open("/etc/hosts") as current:
        lines = [line for line in current.read().splitlines()
                 if host not in line.split()[1:]]
    with tempfile.NamedTemporaryFile("w", prefix="hosts-", suffix=".txt", delete=False) as hosts:
        hosts.write("\n".join([*lines, f"{address} {host}", ""]))
    os.chmod(hosts.name, 0o644)
    subprocess.run(["mount", "--bind", hosts.name, "/etc/hosts"], check=True)
    try:
        yield
    finally:
        # The mount over the namespace's own hosts file comes off; that one is back.
        subprocess.run(["umount", "/etc/hosts"], check=True)
        os.unlink(hosts.name)
