#!/usr/bin/env python3
"""How long the extended splash screen shows without its colour.

Runs corvane RUNS times (default 30) and measures, in each run's trace, the
time from placing the splash image (the first "splash.image" line) to painting
its colour ("splash.background"). Prints the median, the 95th percentile
(nearest rank) and the largest, and counts the runs in which a player would
see something wrong: no colour, the colour painted after the splash was
removed or after application.exit, or the splash removed before the start-up
time had passed. Exits 1 when the goal is missed: a 95th percentile above one
frame (16 ms), or any such run.

usage: bench/splash_color_latency.py CORVANE [--runs N] [-- CORVANE_ARGUMENTS...]
e.g.   cmake --preset release && cmake --build --preset release --target corvane
       bench/splash_color_latency.py build/release/corvane/corvane --runs 30
"""
import argparse
import json
import math
import statistics
import subprocess
import sys

GOAL_MS = 16.0
DEFAULT_STARTUP_MS = 400


def startup_of(arguments):
    for option, value in zip(arguments, arguments[1:]):
        if option == "--startup-ms":
            return int(value)
    return DEFAULT_STARTUP_MS


def first(events, name):
    return next((event for event in events if event["event"] == name), None)


def measure(corvane, arguments):
    """(latency in ms or None, list of faults) for one run."""
    result = subprocess.run([corvane, *arguments], capture_output=True, timeout=120)
    if result.returncode != 0:
        return None, [f"status {result.returncode}"]
    events = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
    placed, painted = first(events, "splash.image"), first(events, "splash.background")
    removed, exited = first(events, "splash.removed"), first(events, "application.exit")
    if placed is None or painted is None:
        return None, ["no colour"]
    faults = []
    position = events.index
    if removed is not None and position(removed) < position(painted):
        faults.append("colour after removal")
    if exited is None or position(exited) != len(events) - 1:
        faults.append("lines after application.exit")
    if removed is not None and removed["ms"] - placed["ms"] < startup_of(arguments) - 0.05:
        faults.append("removed before the start-up time")
    return painted["ms"] - placed["ms"], faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("corvane")
    parser.add_argument("--runs", type=int, default=30)
    own = sys.argv[1:]
    corvane_arguments = []
    if "--" in own:
        own, corvane_arguments = own[:own.index("--")], own[own.index("--") + 1:]
    options = parser.parse_args(own)
    options.arguments = corvane_arguments

    latencies, faults = [], {}
    for _ in range(options.runs):
        latency, run_faults = measure(options.corvane, options.arguments)
        if latency is not None:
            latencies.append(latency)
        for fault in run_faults:
            faults[fault] = faults.get(fault, 0) + 1

    print(f"runs: {options.runs}, colour painted in {len(latencies)}")
    if latencies:
        ordered = sorted(latencies)
        p95 = ordered[math.ceil(0.95 * len(ordered)) - 1]
        print(f"placing the splash image -> painting its colour: median "
              f"{statistics.median(ordered):.1f} ms, p95 {p95:.1f} ms, max {ordered[-1]:.1f} ms "
              f"(goal: p95 <= {GOAL_MS:.0f} ms)")
    else:
        p95 = math.inf
    print("faults: " + (", ".join(f"{name} {count}" for name, count in faults.items()) or "none"))
    return 0 if p95 <= GOAL_MS and not faults else 1


if __name__ == "__main__":
    sys.exit(main())
