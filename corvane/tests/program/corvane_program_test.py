#!/usr/bin/env python3
"""Runs the corvane program as a user would and checks its trace.

usage: corvane_program_test.py CORVANE CASE [VERSION]

Every stdout line must be one JSON object with "event", "ms" (a number, never
smaller than the line before) and "thread" (one of the trace's thread names),
and "application.exit" must be the last line. The expected events must appear
in this order (other events may come between them); their time and thread are
not compared. Failures must end with their exit status and message, and
--help and --version start nothing."""
import json
import os
import subprocess
import sys

TITLES = [
    {"event": "window.title", "value": "\U0001F6E9Level 1"},
    {"event": "window.title", "value": "\U0001F6E9Caf\u00e9 \u00c9lan \u2014 Level 2"},
]


def started(arguments):
    return [
        {"event": "player.arguments", "value": arguments},
        {"event": "window.activated"},
        {"event": "frame.navigated", "page": "Corvane.MainPage"},
        {"event": "window.activated"},
    ] + TITLES


def package_beside(corvane):
    return os.path.join(os.path.dirname(corvane), "package")


CASES = {
    "launch": (lambda corvane: [], started("")),
    "launch-arguments": (lambda corvane: ["-level", "5", "caf\u00e9"], started("-level 5 caf\u00e9")),
    "options-after-arguments": (lambda corvane: ["-level", "5", "--package", package_beside(corvane),
                                                 "--", "--help"], started("-level 5 --help")),
    "protocol": (lambda corvane: ["--protocol", "corvane://play/level?id=5&x=a%20b#start"],
                 started("Uri=corvane://play/level?id=5&x=a%20b#start")),
    "file": (lambda corvane: ["--file", "C:\\a.txt", "--file", "D:\\b c.txt"],
             started("File=C:\\a.txt;D:\\b c.txt")),
    "file-empty": (lambda corvane: ["--file"], started("File=")),
    "share-target": (lambda corvane: ["--share-target"], started("")),
}

FAILURES = {
    "missing-package": (["--package", "/nonexistent/package"], 1, "package folder not found"),
    "bad-uri": (["--protocol", "not a uri"], 2, "not an absolute URI"),
    "usage": (["--protocol"], 2, "--protocol needs URI"),
    "bad-startup-time": (["--startup-ms", "1.5"], 2, "--startup-ms needs"),
    "unknown-option": (["-level", "5", "--levle"], 2, "unknown option --levle"),
    "two-activations": (["-level", "--file", "a"], 2, "one activation per run"),
}


def check_starts_nothing(corvane, arguments, expected_stdout):
    result = subprocess.run([corvane] + arguments, capture_output=True, timeout=60)
    stdout = result.stdout.decode("utf-8")
    if result.returncode != 0 or result.stderr or not expected_stdout(stdout):
        sys.exit(f"{arguments}: status {result.returncode}, stdout {stdout!r}, "
                 f"stderr {result.stderr!r}")


THREADS = {"ui", "game", "pool", "delivery", "main"}


def trace_shape_errors(events):
    errors = []
    last = 0
    for event in events:
        ms = event.get("ms")
        if not isinstance(ms, (int, float)) or isinstance(ms, bool) or ms < last:
            errors.append(f"bad or decreasing ms: {event}")
        else:
            last = ms
        if event.get("thread") not in THREADS:
            errors.append(f"bad thread: {event}")
    if not events or events[-1]["event"] != "application.exit":
        errors.append("application.exit is not the last line")
    return errors


def without_stamps(event):
    return {key: value for key, value in event.items() if key not in ("ms", "thread")}


def is_subsequence(expected, events):
    position = 0
    for event in events:
        if position < len(expected) and event == expected[position]:
            position += 1
    return position == len(expected)


def main():
    corvane, case = sys.argv[1], sys.argv[2]
    if case == "help":
        for arguments in (["--help"], ["-level", "-h", "--unknown"]):
            check_starts_nothing(corvane, arguments, lambda out: out.startswith("usage: corvane"))
        return
    if case == "version":
        check_starts_nothing(corvane, ["--version"], lambda out: out == f"corvane {sys.argv[3]}\n")
        return
    if case in FAILURES:
        arguments, status, message = FAILURES[case]
        result = subprocess.run([corvane] + arguments, capture_output=True, timeout=60)
        stderr = result.stderr.decode("utf-8")
        if result.returncode != status or message not in stderr:
            sys.exit(f"expected status {status} with '{message}', got {result.returncode}: {stderr}")
        return
    arguments, expected = CASES[case]
    result = subprocess.run([corvane] + arguments(corvane), capture_output=True, timeout=60)
    if result.returncode != 0:
        sys.exit(f"status {result.returncode}: {result.stderr.decode('utf-8', 'replace')}")
    events = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
    errors = trace_shape_errors(events)
    if errors:
        sys.exit("\n".join(errors))
    if not is_subsequence(expected, [without_stamps(event) for event in events]):
        sys.exit("missing expected events:\n" + "\n".join(json.dumps(e, ensure_ascii=False) for e in events))


if __name__ == "__main__":
    main()
