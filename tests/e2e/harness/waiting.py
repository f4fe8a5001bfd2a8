"""Waiting on a condition instead of sleeping for a fixed time."""

import time

# Generous, because waiting ends as soon as the condition holds; the browser
# engine can be slow to start on a loaded two-core machine.
DEFAULT_TIMEOUT = 30.0


def wait_for(predicate, timeout=DEFAULT_TIMEOUT, what="a condition", interval=0.05):
    """Polls predicate until it returns a true value, and returns that value.

    Raises TimeoutError naming `what` when the time is up.
    """
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError(f"waited {timeout:g} s for {what}")
        time.sleep(interval)
