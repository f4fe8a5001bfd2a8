#!/usr/bin/python3
"""Start-up benchmarks of the program under a virtual screen with a window
manager, against local servers reached under the program's own host names:

  startup  time from starting the process to its window being mapped, and the
           PSS of its whole process tree once settled, for the program, the two
           floor programs and surf, alternating the programs run by run;
  update   the program's time to map with the update server answering "0",
           refusing connections, accepting and staying silent, with a full
           accept queue, and behind an address that swallows every packet;
  about    from a press on the About label to the About window mapped.

Runs as root or with unprivileged user namespaces: it re-runs itself inside a
private network and mount namespace (nothing on the machine changes). See
bench/README.md.
"""

import argparse
import json
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from startup import namespace, process_tree, servers  # noqa: E402
from startup.screen import MapWatcher, VirtualScreen  # noqa: E402

REPO = Path(__file__).resolve().parent.parent
MAP_TIMEOUT = 30.0
# The About label's client rectangle is (872,8)-(896,24); press its middle.
ABOUT_LABEL_MIDDLE = (884, 16)


def cache_value(build, key):
    for line in (build / "CMakeCache.txt").read_text().splitlines():
        if line.startswith(key + ":"):
            return line.split("=", 1)[1]
    raise SystemExit(f"{build}/CMakeCache.txt has no {key}")


class Bench:
    """The screen, the network, the environment and the logs of one run."""

    def __init__(self, build, work):
        self.build = build
        self.work = Path(work)
        self.update_host = cache_value(build, "QINVARA_UPDATE_HOST")
        if self.update_host.endswith(".example"):
            raise SystemExit(f"{build} is built with the default host names; configure it with "
                             "-DQINVARA_UPDATE_HOST=update.test (see bench/README.md)")
        names = [cache_value(build, key) for key in
                 ("QINVARA_MIRROR_HOST", "QINVARA_UPDATE_HOST", "QINVARA_SITE_HOST")]
        self.network = namespace.PrivateNetwork(names, self.work)
        self.logs = self.work / "logs"
        self.logs.mkdir()
        self.screen = VirtualScreen(1366, 768, self.logs)
        home = self.work / "home"
        runtime = self.work / "runtime"
        home.mkdir()
        runtime.mkdir(mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": str(home),
            "XDG_RUNTIME_DIR": str(runtime),
            "DISPLAY": self.screen.name,
            "LANG": "C.UTF-8",
        }
        # A desktop session has a session bus; the toolkit and the engine use it.
        bus_address = f"unix:path={runtime}/bus"
        with open(self.logs / "dbus.log", "wb") as log:
            self.bus = subprocess.Popen(
                ["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--address={bus_address}"],
                env=self.env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        deadline = time.monotonic() + 10
        while not (runtime / "bus").exists():
            if time.monotonic() > deadline:
                raise RuntimeError("the session bus did not start")
            time.sleep(0.02)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus_address
        self.watcher = MapWatcher(self.screen.name)
        self.page = f"http://{self.update_host}{servers.COUNTER_PATH}?1.0bata1"
        self.programs = {
            "qinvara": [str(build / "app" / "qinvara")],
            "floor_gtk": [str(build / "bench" / "floor_gtk")],
            "floor_webkit": [str(build / "bench" / "floor_webkit"), self.page],
            "surf": ["surf", self.page],
        }
        self.extra_env = {name: {} for name in self.programs}
        self._launches = 0
        self.last_cpu = 0.0

    def add_variant(self, setting):
        """Adds the program run with one more environment variable, NAME=VALUE."""
        variable, _, value = setting.partition("=")
        name = f"qinvara {variable}={value}"
        self.programs[name] = self.programs["qinvara"]
        self.extra_env[name] = {variable: value}

    def launch(self, name):
        """Starts program `name`: (process, client window, seconds to map)."""
        self.watcher.forget_pending()
        self._launches += 1
        safe_name = re.sub(r"[^A-Za-z0-9_.=-]", "_", name)
        log = open(self.logs / f"{self._launches:03d}-{safe_name}.log", "wb")
        started = time.monotonic()
        process = subprocess.Popen(self.programs[name], env={**self.env, **self.extra_env[name]},
                                   cwd=self.work, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        client, mapped = self.watcher.wait_for_map(started + MAP_TIMEOUT)
        if client is None:
            process_tree.end(process)
            raise RuntimeError(f"{name} showed no window within {MAP_TIMEOUT} s; see {log.name}")
        # What the program's own threads spent until then: it depends much
        # less than the wall time on what else the machine is doing.
        self.last_cpu = process_tree.cpu_seconds(process.pid)
        return process, client, mapped - started

    def close(self):
        try:
            self.watcher.close()
        except Exception as error:  # noqa: BLE001 - the screen may be gone already
            print(f"closing the screen connection: {error}", file=sys.stderr)
        self.bus.terminate()
        self.bus.wait()
        self.screen.close()


def rotated(items, by):
    by %= len(items)
    return items[by:] + items[:by]


def summary(values):
    return {"median": statistics.median(values), "min": min(values), "max": max(values),
            "n": len(values)}


# ---- the start-up of each program ---------------------------------------------------------------


def measure_startup(bench, runs):
    server = servers.AnsweringServer(namespace.LOOPBACK)
    names = list(bench.programs)
    times = {name: [] for name in names}
    cpu = {name: [] for name in names}
    memory = {name: [] for name in names}
    private = {name: [] for name in names}
    members = {}
    try:
        for run in range(-1, runs):  # run -1 warms caches up and is not counted
            for name in rotated(names, run):
                switch_before = server.count(servers.SWITCH_PATH)
                page_before = server.count(servers.COUNTER_PATH)
                process, _, seconds = bench.launch(name)
                cpu_used = bench.last_cpu
                total, own, tree, steady = process_tree.settled_memory_kib(process.pid)
                process_tree.end(process)
                # The memory figure means something only with the page loaded.
                if name != "floor_gtk" and server.count(servers.COUNTER_PATH) == page_before:
                    raise RuntimeError(f"{name} did not load the counter page")
                if name.startswith("qinvara") and server.count(servers.SWITCH_PATH) != switch_before + 1:
                    raise RuntimeError("the program did not ask the update server exactly once")
                if run < 0:
                    continue
                times[name].append(seconds)
                cpu[name].append(cpu_used)
                memory[name].append(total / 1024)
                private[name].append(own / 1024)
                members[name] = sorted(tree.values())
                print(f"  run {run + 1:2d} {name:13s} mapped {seconds * 1000:7.1f} ms  "
                      f"CPU {cpu_used * 1000:6.1f} ms  "
                      f"PSS {total / 1024:6.1f} MiB  private {own / 1024:6.1f} MiB"
                      f"{'' if steady else ' (still moving)'}", flush=True)
    finally:
        server.close()
    return {name: {"map_s": summary(times[name]), "cpu_to_map_s": summary(cpu[name]),
                   "pss_mib": summary(memory[name]), "private_mib": summary(private[name]),
                   "processes": members[name]} for name in names}


# ---- the update server's states ----------------------------------------------------------------


def answering():
    return servers.AnsweringServer(namespace.LOOPBACK)


class Refusing:
    """Nothing listens: every connection is refused at once."""

    def close(self):
        pass


class SilentAddress:
    """The names lead to an address whose packets vanish."""

    def __init__(self, network):
        self._network = network
        network.point_names_at(namespace.SILENT_ADDRESS)

    def close(self):
        self._network.point_names_at(namespace.LOOPBACK)


def measure_update_states(bench, runs):
    states = {
        "answering 0": answering,
        "refusing": Refusing,
        "accepts, never answers": lambda: servers.SilentServer(namespace.LOOPBACK),
        "accept queue full": lambda: servers.FullQueueListener(namespace.LOOPBACK),
        "address never answers": lambda: SilentAddress(bench.network),
    }
    names = list(states)
    times = {name: [] for name in names}
    for run in range(-1, runs):
        for name in rotated(names, run):
            state = states[name]()
            try:
                process, _, seconds = bench.launch("qinvara")
                process_tree.end(process)
            finally:
                state.close()
            if run < 0:
                continue
            times[name].append(seconds)
            print(f"  run {run + 1:2d} {name:24s} mapped {seconds * 1000:7.1f} ms", flush=True)
    return {name: {"map_s": summary(times[name])} for name in names}


# ---- the About window ------------------------------------------------------------------------------


def measure_about(bench, runs, opens):
    server = servers.AnsweringServer(namespace.LOOPBACK)
    first, later = [], []
    try:
        for run in range(runs):
            process, main, _ = bench.launch("qinvara")
            try:
                time.sleep(1.5)  # the counter page loaded, the window idle
                left, top = bench.watcher.window_origin(main)
                for count in range(opens):
                    bench.watcher.move_pointer(left + ABOUT_LABEL_MIDDLE[0], top + ABOUT_LABEL_MIDDLE[1])
                    time.sleep(0.2)
                    bench.watcher.forget_pending()
                    pressed = time.monotonic()
                    bench.watcher.press()
                    about, mapped = bench.watcher.wait_for_map(pressed + MAP_TIMEOUT,
                                                               lambda client: client != main)
                    bench.watcher.release()
                    if about is None:
                        raise RuntimeError("no About window after a press on the About label")
                    (first if count == 0 else later).append(mapped - pressed)
                    print(f"  run {run + 1:2d} open {count + 1}: {(mapped - pressed) * 1000:6.1f} ms",
                          flush=True)
                    time.sleep(0.3)
                    bench.watcher.ask_to_close(about)
                    back, _ = bench.watcher.wait_for_map(time.monotonic() + MAP_TIMEOUT,
                                                         lambda client: client == main)
                    if back is None:
                        raise RuntimeError("the main window did not come back after the About window")
                    time.sleep(0.3)
            finally:
                process_tree.end(process)
    finally:
        server.close()
    result = {"first_open_s": summary(first)}
    if later:
        result["later_opens_s"] = summary(later)
    return result


# ---- report ---------------------------------------------------------------------------------------------


def ms(seconds):
    return f"{seconds * 1000:.0f} ms"


def report(results):
    load = [f"{results[key][0]:.1f}" for key in ("load_before", "load_after") if key in results]
    lines = [f"Load average (1 min) before and after: {' / '.join(load)}, on {results['cpus']} CPUs; "
             f"niceness {results['niceness']}.", ""]
    if "startup" in results:
        r = results["startup"]
        lines += ["| program | time to map, median (min–max) | its CPU until mapped | "
                  "tree PSS, median (min–max) | tree private | processes |",
                  "|---|---|---|---|---|---|"]
        for name, row in r.items():
            t, c, m = row["map_s"], row["cpu_to_map_s"], row["pss_mib"]
            lines.append(f"| {name} | {ms(t['median'])} ({ms(t['min'])}–{ms(t['max'])}) | {ms(c['median'])} | "
                         f"{m['median']:.0f} MiB ({m['min']:.0f}–{m['max']:.0f}) | "
                         f"{row['private_mib']['median']:.0f} MiB | "
                         f"{', '.join(row['processes'])} |")
        q, w, s = r["qinvara"], r["floor_webkit"], r["surf"]
        time_ratio = q["map_s"]["median"] / w["map_s"]["median"]
        pss_ratio = q["pss_mib"]["median"] / w["pss_mib"]["median"]
        lines += ["",
                  f"- time to map: {time_ratio:.2f}× floor_webkit (target ≤ 1.10×): "
                  f"{'met' if time_ratio <= 1.1 else 'MISSED'}; "
                  f"{'below' if q['map_s']['median'] < s['map_s']['median'] else 'NOT below'} surf",
                  f"- tree PSS: {pss_ratio:.2f}× floor_webkit (target ≤ 1.10×): "
                  f"{'met' if pss_ratio <= 1.1 else 'MISSED'}", ""]
    if "update" in results:
        r = results["update"]
        lines += ["| update server | time to map, median (min–max) |", "|---|---|"]
        for name, row in r.items():
            t = row["map_s"]
            lines.append(f"| {name} | {ms(t['median'])} ({ms(t['min'])}–{ms(t['max'])}) |")
        base = r["answering 0"]["map_s"]["median"]
        extra = r["refusing"]["map_s"]["median"] - base
        worst = max(row["map_s"]["max"] for name, row in r.items())
        lines += ["",
                  f"- refusing: {ms(extra)} more than answering (target ≤ 300 ms): "
                  f"{'met' if extra <= 0.3 else 'MISSED'}",
                  f"- slowest map of any run: {worst:.2f} s (target ≤ 6 s): "
                  f"{'met' if worst <= 6 else 'MISSED'}", ""]
    if "about" in results:
        r = results["about"]
        lines += ["| About window | press to mapped, median (min–max) |", "|---|---|"]
        for name, t in r.items():
            label = "first open in a process" if name == "first_open_s" else "later opens"
            lines.append(f"| {label} | {ms(t['median'])} ({ms(t['min'])}–{ms(t['max'])}) n={t['n']} |")
        worst = max(t["median"] for t in r.values())
        lines += ["", f"- target < 100 ms: {'met' if worst < 0.1 else 'MISSED'}", ""]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", type=Path, default=REPO / "build" / "bench",
                        help="build folder of the program and the floor programs, configured with "
                             "test host names (default: build/bench)")
    parser.add_argument("--runs", type=int, default=15, help="runs of each program (default 15)")
    parser.add_argument("--update-runs", type=int, default=7,
                        help="runs of each update-server state (default 7; blackholed ones take ~5 s)")
    parser.add_argument("--about-opens", type=int, default=3,
                        help="About windows opened in each run (default 3)")
    parser.add_argument("--variant", action="append", default=[], metavar="NAME=VALUE",
                        help="startup: also run the program with this environment variable set, "
                             "as one more program in the rotation (repeatable)")
    parser.add_argument("--json", type=Path, help="also write the figures here")
    parser.add_argument("--nice", type=int, default=0,
                        help="niceness increment for the driver, the X server, the window manager "
                             "and every program under test alike, and for their scheduling group, "
                             "e.g. -10 (needs root): other work on a shared machine then disturbs "
                             "the figures less")
    parser.add_argument("benchmarks", nargs="*", metavar="startup|update|about",
                        help="which to run (default: all)")
    args = parser.parse_args()
    chosen = args.benchmarks or ["startup", "update", "about"]
    unknown = set(chosen) - {"startup", "update", "about"}
    if unknown:
        parser.error(f"no benchmark called {', '.join(sorted(unknown))}")
    for setting in args.variant:
        if "=" not in setting:
            parser.error(f"--variant {setting}: NAME=VALUE expected")
    build = args.build.resolve()
    namespace.enter()
    if args.nice:
        try:
            namespace.raise_priority(args.nice)
        except PermissionError:
            parser.error(f"--nice {args.nice} needs root")

    results = {"build": str(build), "started": time.strftime("%Y-%m-%d %H:%M:%S"),
               "host": socket.gethostname(), "cpus": os.cpu_count(), "niceness": os.nice(0)}
    work = tempfile.mkdtemp(prefix="qinvara-bench-")
    bench = Bench(build, work)
    try:
        results["load_before"] = os.getloadavg()
        for setting in args.variant:
            bench.add_variant(setting)
        if "startup" in chosen:
            print(f"startup: {args.runs} runs of {', '.join(bench.programs)}", flush=True)
            results["startup"] = measure_startup(bench, args.runs)
        if "update" in chosen:
            print(f"update: {args.update_runs} runs of each update-server state", flush=True)
            results["update"] = measure_update_states(bench, args.update_runs)
        if "about" in chosen:
            print(f"about: {args.runs} runs, {args.about_opens} opens each", flush=True)
            results["about"] = measure_about(bench, args.runs, args.about_opens)
        results["load_after"] = os.getloadavg()
    except BaseException:
        # The programs' logs, Xvfb's and openbox's explain what went wrong.
        print(f"failed; the logs are kept in {bench.logs}", file=sys.stderr)
        raise
    finally:
        bench.close()
    shutil.rmtree(work)
    print()
    print(report(results))
    if args.json:
        args.json.write_text(json.dumps(results, indent=2, ensure_ascii=False) + "\n")


if __name__ == "__main__":
    main()
