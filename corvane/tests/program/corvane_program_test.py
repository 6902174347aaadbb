#!/usr/bin/env python3
"""Runs the corvane program as a user would and checks its trace.

usage: corvane_program_test.py CORVANE CASE [VERSION]

Every stdout line must be one JSON object with "event", "ms" (a number, never
smaller than the line before) and "thread" (one of the trace's thread names),
and "application.exit" must be the last line. The expected events must appear
in this order (other events may come between them); their time and thread are
not compared. Failures must end with their exit status and message, and
--help and --version start nothing.

output-errors: standard output that cannot be written (/dev/full) is said
               once on stderr and ends every kind of run with status 4; a
               reader that closes the pipe ends the program quietly.
signals:       SIGINT, SIGTERM and SIGHUP close the window: the game quits
               (its session stopped, its requests kept in the outbox), the
               pictures are written, application.exit comes last, status
               128+N; a second signal ends the program at once."""
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile

# The exit statuses (program/exit_status.h).
SUCCESS, FAILURE, USAGE, REQUESTS_KEPT, OUTPUT_FAILED, CLOSED_BY_SIGNAL = 0, 1, 2, 3, 4, 128

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
    "missing-package": (["--package", "/nonexistent/package"], FAILURE, "package folder not found"),
    "bad-uri": (["--protocol", "not a uri"], USAGE, "not an absolute URI"),
    "usage": (["--protocol"], USAGE, "--protocol needs URI"),
    "bad-startup-time": (["--startup-ms", "1.5"], USAGE, "--startup-ms needs"),
    "unknown-option": (["-level", "5", "--levle"], USAGE, "unknown option --levle"),
    "two-activations": (["-level", "--file", "a"], USAGE, "one activation per run"),
}

# The sample game's variables are checked like options.
QUIT_WAITS = {"9223372036854775807": False, "-1": False, "1.5": False, "3600001": False,
              " 5": False, "": True, "0": True, "3600000": True}


def check_starts_nothing(corvane, arguments, expected_stdout):
    result = subprocess.run([corvane] + arguments, capture_output=True, timeout=60)
    stdout = result.stdout.decode("utf-8")
    if result.returncode != 0 or result.stderr or not expected_stdout(stdout):
        sys.exit(f"{arguments}: status {result.returncode}, stdout {stdout!r}, "
                 f"stderr {result.stderr!r}")


THREADS = {"ui", "game", "pool", "delivery", "main", "frames"}


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


def check_game_variables(corvane):
    for value, usable in QUIT_WAITS.items():
        environment = dict(os.environ, SAMPLE_GAME_QUIT_WAIT_MS=value)
        result = subprocess.run([corvane, "--startup-ms", "0", "--frame-ms", "0"], env=environment,
                                capture_output=True, timeout=60)
        stderr = result.stderr.decode("utf-8", "replace")
        expected = (SUCCESS, "") if usable else (USAGE, f'SAMPLE_GAME_QUIT_WAIT_MS needs a whole number '
                                                        f'of milliseconds from 0 to 3600000, not "{value}"')
        if result.returncode != expected[0] or expected[1] not in stderr:
            sys.exit(f"{value!r}: expected {expected}, got {result.returncode}: {stderr}")


def check_output_errors(corvane):
    with tempfile.TemporaryDirectory() as frames:
        for arguments in (["--startup-ms", "0"], ["--startup-ms", "0", "--frames", frames],
                          ["--help"], ["--query-exports", "X"], ["--version"]):
            with open("/dev/full", "w") as full:
                result = subprocess.run([corvane, *arguments], stdout=full, stderr=subprocess.PIPE,
                                        timeout=60)
            said = [line for line in result.stderr.decode("utf-8", "replace").splitlines()
                    if line.startswith("corvane:")]  # not a sanitizer's report
            if result.returncode != OUTPUT_FAILED or \
                    said != ["corvane: cannot write to standard output: No space left on device"]:
                sys.exit(f"{arguments}: expected status {OUTPUT_FAILED} and one message, got "
                         f"{result.returncode}: {said}")
    reader = subprocess.Popen([corvane, "--startup-ms", "0"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    reader.stdout.readline()
    reader.stdout.close()
    stderr = reader.stderr.read()
    if reader.wait(timeout=60) != -signal.SIGPIPE or stderr:
        sys.exit(f"a closed pipe: expected SIGPIPE and silence, got {reader.returncode}: {stderr}")


def run_signalled(arguments, environment, signals):
    """Runs corvane and sends it signals[name] when the first line of that
    name comes; returns (status, trace events)."""
    process = subprocess.Popen(arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               env=dict(os.environ, **environment))
    events, pending = [], dict(signals)
    for line in process.stdout:
        events.append(json.loads(line))
        if events[-1]["event"] in pending:
            process.send_signal(pending.pop(events[-1]["event"]))
    process.wait(timeout=60)
    return process.returncode, events


def named(events, name):
    return [event for event in events if event["event"] == name]


def requested_event_types(events):
    types = []
    for event in named(events, "analytics.request"):
        data = json.loads(event["message"]["data"])
        types += [item["event_type"] for item in (data if isinstance(data, list) else [data])]
    return types


def check_signals(corvane):
    refusing = socket.socket()
    refusing.bind(("127.0.0.1", 0))  # bound, never listening: every connection is refused
    collector = f"http://127.0.0.1:{refusing.getsockname()[1]}"
    slow = ["--startup-ms", "0", "--frame-ms", "200"]
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        with tempfile.TemporaryDirectory() as scratch:
            arguments = [corvane, *slow, "--frames", os.path.join(scratch, "frames"),
                         "--collector", collector, "--outbox", os.path.join(scratch, "outbox")]
            status, events = run_signalled(arguments, {"SAMPLE_GAME_QUIT_WAIT_MS": "100"},
                                           {"window.title": sig})
            errors = trace_shape_errors(events)
            if status != CLOSED_BY_SIGNAL + sig or errors or not named(events, "window.closed") or \
                    requested_event_types(events)[-1:] != ["_session.stop"] or \
                    not named(events, "analytics.kept") or not named(events, "timeline.written"):
                sys.exit(f"{sig.name}: status {status}, {errors}: {[e['event'] for e in events][-12:]}")

    # The second while the game waits a minute for its collector.
    with tempfile.TemporaryDirectory() as outbox:
        status, _ = run_signalled([corvane, *slow, "--collector", collector, "--outbox", outbox],
                                  {"SAMPLE_GAME_QUIT_WAIT_MS": "60000"},
                                  {"window.title": signal.SIGTERM, "window.closed": signal.SIGTERM})
    if status != -signal.SIGTERM:
        sys.exit(f"a second SIGTERM: expected the program to end by it, got {status}")


def main():
    corvane, case = sys.argv[1], sys.argv[2]
    if case == "game-variables":
        return check_game_variables(corvane)
    if case == "output-errors":
        return check_output_errors(corvane)
    if case == "signals":
        return check_signals(corvane)
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
