#!/usr/bin/env python3
"""Runs corvane on a package and checks the extended splash screen in its trace,
as a player would see it.

usage: main_page_program_test.py CORVANE CASE [PACKAGE]

sample:      in every run the splash image is placed, painted in the manifest's
             colour, moved when the window goes full screen, and removed at
             least the start-up time after it was placed; the colour and the
             removal happen on the UI thread, the titles on the game thread;
             nothing follows application.exit. A run without a start-up time
             still ends cleanly.
no-color:    PACKAGE's manifest declares no colour: no splash.background line.
bad-markup:  a copy of PACKAGE with broken, missing, unreadable, too deep or
             unusable markup: a clear message and status 1, never a crash
             or a hang.
renamed:     the connected elements carry other x:Names: the splash.* lines
             still follow them.
hostile-manifest: a manifest that is a FIFO, or a sparse file far over the
             limit: the run ends as usual without a colour, and the second
             says why."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

PLACED = {"x": 330.0, "y": 210.0, "width": 620.0, "height": 300.0}  # in the 1280x720 window
FULL_SCREEN = {"width": 1920.0, "height": 1080.0}
MOVED = {"x": 650.0, "y": 390.0, "width": 620.0, "height": 300.0}
COLOR = "#FF1E3A5F"


def run(corvane, *arguments):
    result = subprocess.run([corvane, *arguments], capture_output=True, timeout=60)
    return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8", "replace")


def trace(corvane, *arguments):
    status, stdout, stderr = run(corvane, *arguments)
    if status != 0:
        sys.exit(f"{arguments}: status {status}: {stderr}")
    events = [json.loads(line) for line in stdout.splitlines()]
    if not events or events[-1]["event"] != "application.exit":
        sys.exit(f"{arguments}: application.exit is not the last line: {events[-3:]}")
    return events


def named(events, name):
    return [event for event in events if event["event"] == name]


def fields(event, *keys):
    return {key: event[key] for key in keys}


def fail(arguments, message, events):
    splash = [event for event in events if event["event"].startswith(("splash.", "window.size"))]
    sys.exit(f"{arguments}: {message}: {splash}")


def check_placement(arguments, events):
    """The image is placed, then moved where the splash screen reports it once
    the window has taken the display's size."""
    images = named(events, "splash.image")
    resizes = named(events, "window.sizechanged")
    if len(images) != 2 or len(resizes) != 1:
        fail(arguments, "expected two placements around one resize", events)
    if fields(images[0], *PLACED) != PLACED or fields(images[1], *MOVED) != MOVED:
        fail(arguments, "wrong image places", events)
    if fields(resizes[0], *FULL_SCREEN) != FULL_SCREEN:
        fail(arguments, "the window did not go full screen", events)
    if not events.index(images[0]) < events.index(resizes[0]) < events.index(images[1]):
        fail(arguments, "the image did not move after the resize", events)
    return images[0]


def check_threads(arguments, events):
    for name, thread in [("splash.background", "ui"), ("splash.removed", "ui"),
                         ("window.title", "game")]:
        if {event["thread"] for event in named(events, name)} - {thread}:
            fail(arguments, f"{name} off the {thread} thread", events)
    if len(named(events, "window.title")) != 2:
        fail(arguments, "expected the game's two titles", events)


def check_sample(corvane, runs=5):
    for startup in ["400", "150"]:
        arguments = [] if startup == "400" else ["--startup-ms", startup]
        for _ in range(runs):
            events = trace(corvane, *arguments)
            placed = check_placement(arguments, events)
            colours = named(events, "splash.background")
            removed = named(events, "splash.removed")
            if [event["color"] for event in colours] != [COLOR] or len(removed) != 1:
                fail(arguments, f"expected one colour line {COLOR} and one removal", events)
            if not events.index(placed) < events.index(colours[0]) < events.index(removed[0]):
                fail(arguments, "expected placing, painting, removing in this order", events)
            # Compared in whole tenths, the trace's resolution.
            if round(removed[0]["ms"] * 10) - round(placed["ms"] * 10) < int(startup) * 10:
                fail(arguments, f"the splash went before {startup} ms", events)
            check_threads(arguments, events)


def check_no_startup(corvane):
    """Rendering may start before the colour arrives: the colour then paints
    the removed container, and the run still ends cleanly."""
    arguments = ["--startup-ms", "0", "--frame-ms", "1"]
    for _ in range(5):
        events = trace(corvane, *arguments)
        check_placement(arguments, events)
        if len(named(events, "splash.removed")) != 1 or named(events, "activation.failed"):
            fail(arguments, "expected one removal and no failure", events)
        if [event["color"] for event in named(events, "splash.background")] not in ([COLOR], []):
            fail(arguments, "the colour was applied more than once or wrongly", events)
        check_threads(arguments, events)


def check_no_color(corvane, package):
    arguments = ["--package", package, "--startup-ms", "50"]
    events = trace(corvane, *arguments)
    check_placement(arguments, events)
    if named(events, "splash.background") or len(named(events, "splash.removed")) != 1:
        fail(arguments, "expected the removal and no colour", events)


SPLASH = ('<Canvas x:ConnectionId="3"><Image x:ConnectionId="4" Width="620" Height="300"/>'
          '</Canvas>')


def page(body):
    return f'<Page xmlns:x="http://schemas.microsoft.com/winfx/2006/xaml">{body}</Page>'


def write_markup(text):
    return lambda path: open(path, "w", encoding="utf-8").write(text)


def sparse_file(size):
    def make(path):
        with open(path, "wb") as file:
            file.truncate(size)
    return make


BAD_MARKUP = [
    (write_markup("<Page><SwapChainPanel></Page>"), "ms-appx:///MainPage.xaml"),
    (write_markup("<Page><Canvas/></Page>"), "declares no renderPanel"),
    (os.remove, "cannot read markup ms-appx:///MainPage.xaml"),
    (os.mkfifo, "MainPage.xaml): not a regular file"),
    (os.mkdir, "MainPage.xaml): a folder, not a file"),
    (sparse_file(17 << 20), "17825792 bytes, more than the 16777216 a markup file may have"),
    (write_markup(page('<SwapChainPanel x:ConnectionId="2">' + "<Grid>" * 25000 + "</Grid>" * 25000 +
                       SPLASH + "</SwapChainPanel>")), "nested deeper than 256 levels"),
    (write_markup(page('<SwapChainPanel x:ConnectionId="2"><Grid>' + SPLASH + "</Grid></SwapChainPanel>")),
     "splashContainer (connection 3) must be a child of renderPanel"),
    (write_markup(page('<SwapChainPanel x:ConnectionId="2"><Canvas x:ConnectionId="3"/>'
                       '<Image x:ConnectionId="4"/></SwapChainPanel>')),
     "splashImage (connection 4) must be inside splashContainer"),
]


def check_bad_markup(corvane, package):
    for make, message in BAD_MARKUP:
        with tempfile.TemporaryDirectory() as folder:
            broken = os.path.join(folder, "package")
            shutil.copytree(package, broken)
            markup_path = os.path.join(broken, "MainPage.xaml")
            os.remove(markup_path)
            if make is not os.remove:
                make(markup_path)
            status, stdout, stderr = run(corvane, "--package", broken)
            if status != 1 or "corvane: activation failed" not in stderr or message not in stderr:
                sys.exit(f"{message!r}: expected status 1 and the message, got {status}: {stderr}")
            if any(json.loads(line)["event"] == "player.renderingstarted" for line in stdout.splitlines()):
                sys.exit(f"{message!r}: the game ran without a page")


def check_renamed(corvane, package):
    with tempfile.TemporaryDirectory() as folder:
        renamed = os.path.join(folder, "package")
        shutil.copytree(package, renamed)
        markup_path = os.path.join(renamed, "MainPage.xaml")
        with open(markup_path, encoding="utf-8") as file:
            markup = file.read()
        for name in ("splashContainer", "splashImage"):
            markup = markup.replace(f'x:Name="{name}"', f'x:Name="my{name}"')
        with open(markup_path, "w", encoding="utf-8") as file:
            file.write(markup)
        arguments = ["--package", renamed, "--startup-ms", "50"]
        events = trace(corvane, *arguments)
        check_placement(arguments, events)
        if [e["color"] for e in named(events, "splash.background")] != [COLOR] or \
                len(named(events, "splash.removed")) != 1:
            fail(arguments, "expected the colour and the removal", events)


def check_hostile_manifest(corvane, package):
    for make, why in [(os.mkfifo, None), (sparse_file(2 << 30), "more than the 1048576")]:
        with tempfile.TemporaryDirectory() as folder:
            copy = os.path.join(folder, "package")
            shutil.copytree(package, copy)
            manifest = os.path.join(copy, "AppxManifest.xml")
            os.remove(manifest)
            make(manifest)
            arguments = ["--package", copy, "--startup-ms", "50"]
            events = trace(corvane, *arguments)
            said = [e["text"] for e in named(events, "debug.output")]
            if named(events, "splash.background") or (why and not any(why in text for text in said)):
                fail(arguments, f"expected no colour and a line saying why: {said}", events)


def main():
    corvane, case = sys.argv[1], sys.argv[2]
    if case == "sample":
        check_sample(corvane)
        check_no_startup(corvane)
    elif case == "no-color":
        check_no_color(corvane, sys.argv[3])
    elif case == "bad-markup":
        check_bad_markup(corvane, sys.argv[3])
    elif case == "renamed":
        check_renamed(corvane, sys.argv[3])
    elif case == "hostile-manifest":
        check_hostile_manifest(corvane, sys.argv[3])
    else:
        sys.exit(f"unknown case {case}")


if __name__ == "__main__":
    main()
