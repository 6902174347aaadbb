#!/usr/bin/env python3
"""Runs the corvane program as a user would and checks its trace.

usage: corvane_program_test.py CORVANE CASE

Every stdout line must be one JSON object; the expected events must appear
in this order (other events may come between them)."""
import json
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


CASES = {
    "launch": ([], started("")),
    "launch-arguments": (["-level", "5", "caf\u00e9"], started("-level 5 caf\u00e9")),
    "protocol": (["--protocol", "corvane://play/level?id=5&x=a%20b#start"],
                 started("Uri=corvane://play/level?id=5&x=a%20b#start")),
    "file": (["--file", "C:\\a.txt", "D:\\b c.txt"], started("File=C:\\a.txt;D:\\b c.txt")),
    "file-empty": (["--file"], started("File=")),
    "share-target": (["--share-target"], started("")),
}

FAILURES = {
    "missing-package": (["--package", "/nonexistent/package"], "package folder not found"),
    "bad-uri": (["--protocol", "not a uri"], "not an absolute URI"),
    "usage": (["--protocol"], "usage: corvane"),
}


def is_subsequence(expected, events):
    position = 0
    for event in events:
        if position < len(expected) and event == expected[position]:
            position += 1
    return position == len(expected)


def main():
    corvane, case = sys.argv[1], sys.argv[2]
    if case in FAILURES:
        arguments, message = FAILURES[case]
        result = subprocess.run([corvane] + arguments, capture_output=True, timeout=60)
        stderr = result.stderr.decode("utf-8")
        if result.returncode == 0 or message not in stderr:
            sys.exit(f"expected failure with '{message}', got status {result.returncode}: {stderr}")
        return
    arguments, expected = CASES[case]
    result = subprocess.run([corvane] + arguments, capture_output=True, timeout=60)
    if result.returncode != 0:
        sys.exit(f"status {result.returncode}: {result.stderr.decode('utf-8', 'replace')}")
    events = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
    if not is_subsequence(expected, events):
        sys.exit("missing expected events:\n" + "\n".join(json.dumps(e, ensure_ascii=False) for e in events))


if __name__ == "__main__":
    main()
