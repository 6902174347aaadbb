#!/usr/bin/env python3
"""Runs corvane on a package and checks the extended splash screen in its trace.

usage: main_page_program_test.py CORVANE CASE [PACKAGE]

sample:      the splash colour, the image placement and the removal; the
             colour line is there on every run.
no-color:    PACKAGE's manifest declares no colour: no splash.background line.
bad-markup:  a copy of PACKAGE with broken or missing markup: a clear message
             and a non-zero status, never a crash."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

IMAGE = {"event": "splash.image", "x": 330.0, "y": 210.0, "width": 620.0, "height": 300.0}
REMOVED = {"event": "splash.removed"}


def run(corvane, *arguments):
    result = subprocess.run([corvane, *arguments], capture_output=True, timeout=60)
    return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8", "replace")


def splash_events(corvane, *arguments):
    status, stdout, stderr = run(corvane, *arguments)
    if status != 0:
        sys.exit(f"status {status}: {stderr}")
    events = [json.loads(line) for line in stdout.splitlines()]
    return [event for event in events if event["event"].startswith("splash.")]


def check_sample(corvane, runs=5):
    for _ in range(runs):
        events = splash_events(corvane)
        colours = [event for event in events if event["event"] == "splash.background"]
        if colours != [{"event": "splash.background", "color": "#FF1E3A5F"}]:
            sys.exit(f"expected one colour line #FF1E3A5F: {events}")
        others = [event for event in events if event["event"] != "splash.background"]
        if others != [IMAGE, REMOVED]:
            sys.exit(f"expected the image placement, then the removal: {events}")


def check_no_color(corvane, package):
    events = splash_events(corvane, "--package", package)
    if events != [IMAGE, REMOVED]:
        sys.exit(f"expected the image placement and the removal, no colour: {events}")


def check_bad_markup(corvane, package):
    cases = {
        "<Page><SwapChainPanel></Page>": "ms-appx:///MainPage.xaml",
        "<Page><Canvas/></Page>": "declares no renderPanel",
        None: "cannot read markup ms-appx:///MainPage.xaml",
    }
    for markup, message in cases.items():
        with tempfile.TemporaryDirectory() as folder:
            broken = os.path.join(folder, "package")
            shutil.copytree(package, broken)
            markup_path = os.path.join(broken, "MainPage.xaml")
            if markup is None:
                os.remove(markup_path)
            else:
                with open(markup_path, "w", encoding="utf-8") as file:
                    file.write(markup)
            status, stdout, stderr = run(corvane, "--package", broken)
            if status != 1 or "corvane: activation failed" not in stderr or message not in stderr:
                sys.exit(f"{markup!r}: expected status 1 and '{message}', got {status}: {stderr}")
            if any(json.loads(line)["event"] == "player.renderingstarted" for line in stdout.splitlines()):
                sys.exit(f"{markup!r}: the game ran without a page")


def main():
    corvane, case = sys.argv[1], sys.argv[2]
    if case == "sample":
        check_sample(corvane)
    elif case == "no-color":
        check_no_color(corvane, sys.argv[3])
    elif case == "bad-markup":
        check_bad_markup(corvane, sys.argv[3])
    else:
        sys.exit(f"unknown case {case}")


if __name__ == "__main__":
    main()
