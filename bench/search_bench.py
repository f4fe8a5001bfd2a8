#!/usr/bin/python3
"""Benchmarks of the search, against a local mirror under the build's host name.

    Enter to request  the time from the Enter key (sent through XTEST) to the
                      mirror receiving the search request: the first search
                      after each of a few starts, then the median of many
                      searches once the engine's web process runs
    idle CPU          the program's process tree (qinvara and the engine's
                      helpers) over 30 s while a results page is shown and the
                      home-page watch runs; also the search page alone, and
                      results with the watch stopped, to see where it goes
    cycles            1000 search/home cycles in search_view_bench: the main
                      process's resident memory from the 100th cycle to the last
    watch             search_view_bench: from the view's address becoming a
                      home page to the view hidden

Runs inside tests/e2e/run_in_namespace.sh (the build target run_search_bench
does that), with a build made for the test host names.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))  # the end-to-end harness
sys.path.insert(0, str(HERE))

from harness.display import VirtualDisplay  # noqa: E402
from harness.launcher import ProgramLauncher  # noqa: E402
from harness.servers import LocalServers  # noqa: E402
from harness.waiting import wait_for  # noqa: E402
from search import mirror, process_cpu  # noqa: E402
from search.xtest_keys import Keyboard  # noqa: E402

MAIN_WINDOW_NAME = "Sendrow"
HOME_BUTTON = (728, 15)  # the centre of HomeButton in MainWindow
AWAY = (600, 15)  # a point of the title strip off every button


def click_home(program):
    # "xdotool mousemove --sync" waits for a motion that never comes when the
    # pointer is there already, so it goes somewhere else first.
    program.move(*AWAY)
    program.click(*HOME_BUTTON)


def search_requests(servers, since):
    return [r for r in servers.requests if r.host == mirror.MIRROR_HOST
            and r.target == mirror.SEARCH_TARGET and r.time >= since]


def page_loaded(servers, query, since):
    return [r for r in servers.requests
            if r.target.startswith(mirror.LOADED_PREFIX) and r.time >= since and query in r.target]


def timed_search(program, keyboard, servers, query, key="Return"):
    """Types `query` into the empty SearchBox, presses the key and returns the
    milliseconds until the mirror had the request; waits for the page to load."""
    program.key("ctrl+a", "BackSpace")
    program.type(query)
    time.sleep(0.2)  # the typing has settled
    sent = keyboard.press(key)
    request = wait_for(lambda: next(iter(search_requests(servers, sent)), None), 30,
                       f"the search request for {query}")
    wait_for(lambda: page_loaded(servers, query, sent), 30, f"the results page of {query}")
    return (request.time - sent) * 1000.0


def describe(values):
    values = sorted(values)
    return (f"median {statistics.median(values):.1f} ms, min {values[0]:.1f}, "
            f"p90 {values[int(0.9 * (len(values) - 1))]:.1f}, max {values[-1]:.1f} "
            f"(n={len(values)})")


def cpu_report(title, root, seconds):
    total, shares = process_cpu.measure(root, seconds)
    parts = ", ".join(f"{name} {share:.2f}%" for name, share in sorted(shares.items())
                      if share > 0.005)
    print(f"{title}: {total:.2f}% of one core over {seconds:g} s ({parts or 'nothing'})",
          flush=True)
    return total


def enter_to_request(launcher, servers, display, starts, searches, idle_seconds):
    firsts = []
    keyboard = Keyboard(display.name)
    try:
        for start in range(starts):
            program = launcher()
            wait_for(lambda: servers.requests_for("/id/qvnr.html?1.0bata1"), 30, "the counter page")
            time.sleep(2.0)  # the start has settled: counter page shown, nothing else going on
            firsts.append(timed_search(program, keyboard, servers, f"first{start}"))
            if start + 1 < starts:
                program.stop()
        print(f"first search after start: {', '.join(f'{ms:.1f}' for ms in firsts)} ms", flush=True)

        warm = []
        for number in range(searches):
            click_home(program)  # the next search loads a fresh page
            time.sleep(0.3)
            key = "KP_Enter" if number % 2 else "Return"
            warm.append(timed_search(program, keyboard, servers, f"warm{number}", key))
        print(f"Enter to request, web process running: {describe(warm)}", flush=True)

        time.sleep(3.0)
        cpu_report("idle CPU, results shown, watch running", program.pid, idle_seconds)
        click_home(program)
        time.sleep(3.0)
        cpu_report("idle CPU, search page (watch stopped)", program.pid, idle_seconds)
        program.stop()
    finally:
        keyboard.close()


def run_view_bench(view_bench, env, *args, on_ready=None):
    """Runs search_view_bench with `args`, its figures indented; its standard
    error (the engine's complaints, missed trials) goes to ours."""
    process = subprocess.Popen([str(Path(view_bench).resolve()), *args], env=env,
                               stdout=subprocess.PIPE, text=True, start_new_session=True)
    for line in process.stdout:
        if line.startswith("idle_ready"):
            if on_ready is not None:
                on_ready(process.pid)
        else:
            print(f"  {line.rstrip()}", flush=True)
    status = process.wait()
    if status != 0:
        raise RuntimeError(f"search_view_bench {' '.join(args)} ended with {status}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, help="the built qinvara")
    parser.add_argument("--view-bench", required=True, help="the built search_view_bench")
    parser.add_argument("--starts", type=int, default=3)
    parser.add_argument("--searches", type=int, default=40)
    parser.add_argument("--idle-seconds", type=float, default=30.0)
    parser.add_argument("--cycles", type=int, default=1000)
    parser.add_argument("--watch", type=int, default=300)
    parser.add_argument("--only", choices=["enter", "idle", "cycles", "watch"], action="append")
    options = parser.parse_args()
    chosen = set(options.only or ["enter", "idle", "cycles", "watch"])

    if os.environ.get("QINVARA_E2E_NAMESPACE") != "inside":
        sys.exit("run this inside tests/e2e/run_in_namespace.sh (target run_search_bench)")

    servers = LocalServers(os.environ["QINVARA_E2E_CERT"], os.environ["QINVARA_E2E_KEY"],
                           mirror.routes())
    with tempfile.TemporaryDirectory(prefix="qinvara-search-bench-") as work:
        display = VirtualDisplay(1280, 800, Path(work) / "display")
        launcher = ProgramLauncher([Path(options.program).resolve()], MAIN_WINDOW_NAME,
                                   Path(work) / "programs", lambda width, height: display)
        try:
            if "enter" in chosen:
                enter_to_request(launcher, servers, display, options.starts, options.searches,
                                 options.idle_seconds)
            env = launcher.environment(display)
            if "idle" in chosen:
                for watch in ("on", "off"):
                    def measure(pid, watch=watch):
                        time.sleep(3.0)
                        cpu_report(f"idle CPU, results shown, watch {watch} (search_view_bench)",
                                   pid, options.idle_seconds)
                    run_view_bench(options.view_bench, env, "idle",
                                   str(int(options.idle_seconds + 6)), watch, on_ready=measure)
            if "cycles" in chosen:
                run_view_bench(options.view_bench, env, "cycles", str(options.cycles))
            if "watch" in chosen:
                run_view_bench(options.view_bench, env, "watch", str(options.watch))
        finally:
            launcher.close()
            display.close()
            servers.close()


if __name__ == "__main__":
    main()
