#!/usr/bin/env python3
"""Runs corvane --frames and looks at the pictures, pixel by pixel (PNG read
with the standard library alone).

usage: frames_program_test.py CORVANE CASE PACKAGE [NO_COLOR_PACKAGE]

sample:        every frame is announced in order and decodes; while the
               splash shows, the window is the manifest's colour and the
               splash image's pixels sit where splash.image says; after its
               removal the game's screen shows, and each game frame differs
               from the one before; the timeline decodes. The folder keeps
               only this run's pictures (and files of its own).
no-color:      PACKAGE with NO_COLOR_PACKAGE's manifest, which declares no
               colour: the markup's background stays.
missing-image: the splash image is missing, not a PNG, a FIFO, a link
               loop, too large or without image data: one line says why,
               the splash area is drawn without it, the run goes on.
bad-folder:    a folder that cannot be created or written to: status 2 and a
               message, nothing started.
links:         links named like the pictures in DIR, pointing elsewhere:
               nothing is written through them.
failed-start:  a start that fails leaves DIR as it was.
closed-stdout: standard output closed: the pictures are still whole PNG
               files and the status 0."""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

MANIFEST_COLOR = (0x1E, 0x3A, 0x5F)
MARKUP_BACKGROUND = (0x20, 0x20, 0x20)
GAME_BACKGROUND = (0x10, 0x18, 0x20)
GAME_PROGRESS = (0xF2, 0xA5, 0x41)


def png_parts(path):
    """(width, height, channels, filtered rows) of an 8-bit RGB or RGBA PNG;
    raises ValueError when it does not decode."""
    with open(path, "rb") as file:
        data = file.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    position, chunks = 8, {}
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        chunk = data[position + 8:position + 8 + length]
        if zlib.crc32(kind + chunk) != struct.unpack(">I", data[position + 8 + length:position + 12 + length])[0]:
            raise ValueError(f"{path}: bad {kind} chunk")
        chunks.setdefault(kind, []).append(chunk)
        position += 12 + length
    width, height, depth, color, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"][0])
    if depth != 8 or color not in (2, 6) or interlace or b"IEND" not in chunks:
        raise ValueError(f"{path}: unexpected PNG format {depth}/{color}/{interlace}")
    channels = 3 if color == 2 else 4
    raw = zlib.decompress(b"".join(chunks[b"IDAT"]))
    if len(raw) != height * (width * channels + 1):
        raise ValueError(f"{path}: {len(raw)} bytes of pixels for {width}x{height}")
    return width, height, channels, raw


def read_png(path):
    """(width, height, rows of (r, g, b) tuples)."""
    width, height, channels, raw = png_parts(path)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, previous))
        elif kind != 0:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                up, up_left = previous[i], previous[i - channels] if i >= channels else 0
                if kind == 1:
                    line[i] = (line[i] + left) & 0xFF
                elif kind == 3:
                    line[i] = (line[i] + (left + up) // 2) & 0xFF
                else:
                    p = left + up - up_left
                    pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                    line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc
                                          else up_left)) & 0xFF
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, channels)])
        previous = line
    return width, height, rows


def run(*arguments):
    result = subprocess.run(list(arguments), capture_output=True, timeout=120)
    events = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
    return result.returncode, events, result.stderr.decode("utf-8", "replace")


def named(events, name):
    return [event for event in events if event["event"] == name]


def check(condition, message):
    if not condition:
        sys.exit(message)


class Frame:
    """An announced frame: its trace line and its PNG, decoded on demand."""

    def __init__(self, event):
        self.event, self.path = event, event["path"]
        self.width, self.height, _, self.raw = png_parts(self.path)
        self._rows = None

    @property
    def rows(self):
        if self._rows is None:
            self._rows = read_png(self.path)[2]
        return self._rows


def frames_of(events, folder):
    """The announced frames, in order, each a PNG in `folder` that decodes;
    the timeline decodes too."""
    written = named(events, "frame.written")
    check([event["frame"] for event in written] == list(range(1, len(written) + 1)),
          f"frames not announced in order: {written}")
    check(all(a["shownMs"] <= b["shownMs"] for a, b in zip(written, written[1:])),
          "frames not in timeline order")
    check(all(os.path.dirname(event["path"]) == folder for event in written), "a frame outside DIR")
    timeline = named(events, "timeline.written")
    check(len(timeline) == 1 and events.index(timeline[0]) == len(events) - 2,
          "timeline.written must come once, just before application.exit")
    width, height, _, _ = png_parts(timeline[0]["path"])
    check(width > 0 and height > 0 and timeline[0]["frames"] == len(written),
          "the timeline does not show every frame")
    return [Frame(event) for event in written]


def first_shown_after(frames, event):
    return next(frame for frame in frames if frame.event["shownMs"] >= event["ms"])


def region(rows, x, y, width, height):
    return [row[x:x + width] for row in rows[y:y + height]]


def check_image_at(frame, place, background, image_rows):
    """The image's pixels (or, without an image, `background`) at `place`,
    `background` around it."""
    x, y, w, h = (int(place[key]) for key in ("x", "y", "width", "height"))
    expected = image_rows if image_rows else [[background] * w for _ in range(h)]
    check(region(frame.rows, x, y, w, h) == expected,
          f"frame {frame.event['frame']}: the splash image is not at {x},{y} {w}x{h}")
    check(frame.rows[y - 1][x - 1] == background and frame.rows[y + h][x + w] == background,
          f"frame {frame.event['frame']}: {background} is not around the image")


def check_splash(frames, events, background, image_rows):
    """The first frame shows the window as the page placed the splash; the
    last frame before the removal (the splash as it stays up) shows
    `background` everywhere but where the last splash.image line puts the
    image."""
    placed = named(events, "splash.image")
    first = frames[0]
    check((first.width, first.height) == (1280, 720), "the first frame is not the 1280x720 window")
    check_image_at(first, placed[0], MARKUP_BACKGROUND, image_rows)
    removed = named(events, "splash.removed")[0]
    frame = [frame for frame in frames if frame.event["shownMs"] < removed["ms"]][-1]
    check((frame.width, frame.height) == (1920, 1080), "the splash frame is not full screen")
    corners = {frame.rows[5][5], frame.rows[frame.height - 5][frame.width - 5]}
    check(corners == {background}, f"the splash background is {corners}, expected {background}")
    check_image_at(frame, placed[-1], background, image_rows)


def check_game(frames, events):
    """After the removal the game's screen shows, and each game frame differs
    from the one before."""
    removed = named(events, "splash.removed")[0]
    games = [frame for frame in frames if frame.event["shownMs"] >= removed["ms"]]
    check(games[0].rows[5][5] == GAME_BACKGROUND, f"after the removal: {games[0].rows[5][5]}")
    check(GAME_PROGRESS in games[0].rows[int(1080 * 0.7) + 5], "the game's progress bar is missing")
    check(len(games) >= 10 and all(a.raw != b.raw for a, b in zip(games, games[1:])),
          "the game's frames should each differ from the one before")


def run_frames(corvane, package, folder):
    status, events, stderr = run(corvane, "--package", package, "--frames", folder,
                                 "--startup-ms", "100")
    check(status == 0, f"status {status}: {stderr}")
    return events, frames_of(events, folder)


def splash_image(package):
    return read_png(os.path.join(package, "Assets", "SplashScreen.png"))[2]


def check_sample(corvane, package, folder):
    os.makedirs(folder)
    for name in ("frame-0999.png", "timeline.png", "notes.txt"):
        with open(os.path.join(folder, name), "w") as file:
            file.write("from an earlier run")
    events, frames = run_frames(corvane, package, folder)
    expected = sorted([os.path.basename(frame.path) for frame in frames] + ["timeline.png", "notes.txt"])
    check(sorted(os.listdir(folder)) == expected,
          f"the folder should hold this run's pictures and notes.txt: {sorted(os.listdir(folder))}")
    check_splash(frames, events, MANIFEST_COLOR, splash_image(package))
    check_game(frames, events)


def check_no_color(corvane, package, no_color, scratch):
    copy = os.path.join(scratch, "package")
    shutil.copytree(package, copy)
    shutil.copy(os.path.join(no_color, "AppxManifest.xml"), copy)
    events, frames = run_frames(corvane, copy, os.path.join(scratch, "frames"))
    check(not named(events, "splash.background"), "a colour without one in the manifest")
    check_splash(frames, events, MARKUP_BACKGROUND, splash_image(package))


def png_file(width, height, data=True):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    header = chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    pixels = chunk(b"IDAT", zlib.compress(b"\0" * 100000)) if data else b""
    return b"\x89PNG\r\n\x1a\n" + header + pixels + chunk(b"IEND", b"")


def write_bytes(content):
    return lambda path: open(path, "wb").write(content)


def check_missing_image(corvane, package, scratch):
    cases = [(None, "not found"), (write_bytes(b"GIF89a not a png"), "not a PNG"),
             (os.mkfifo, "not a regular file"),
             (lambda path: os.symlink(os.path.basename(path), path), "symbolic links"),
             (write_bytes(png_file(16000, 16000)), "too large: 16000x16000 pixels"),
             (write_bytes(png_file(60000, 60000, data=False)), "too large: 60000x60000"),
             (write_bytes(png_file(600, 300, data=False)), "no image data")]
    for make, reason in cases:
        copy = os.path.join(scratch, "package")
        shutil.copytree(package, copy)
        image = os.path.join(copy, "Assets", "SplashScreen.png")
        os.remove(image)
        if make is not None:
            make(image)
        out = os.path.join(scratch, "frames")
        events, frames = run_frames(corvane, copy, out)
        unavailable = named(events, "image.unavailable")
        check(len(unavailable) == 1 and reason in unavailable[0]["reason"] and
              unavailable[0]["element"] == "splashImage", f"{reason}: {unavailable}")
        check_splash(frames, events, MANIFEST_COLOR, None)
        shutil.rmtree(copy)
        shutil.rmtree(out)


def check_bad_folder(corvane, scratch):
    blocker = os.path.join(scratch, "a-file")
    with open(blocker, "w") as file:
        file.write("in the way")
    for target, message in [(blocker, "not a folder"),
                            (os.path.join(blocker, "frames"), "Not a directory")]:
        status, events, stderr = run(corvane, "--frames", target)
        check(status == 2 and "--frames" in stderr and message in stderr and not events,
              f"{target}: expected status 2 with '{message}' and no trace, got {status}: {stderr}")


def check_links(corvane, scratch):
    """Dangling links in DIR named like this run's pictures."""
    folder, elsewhere = os.path.join(scratch, "frames"), os.path.join(scratch, "elsewhere")
    os.makedirs(folder)
    os.makedirs(elsewhere)
    for name in ("frame-0002.png", "timeline.png"):
        os.symlink(os.path.join(elsewhere, name), os.path.join(folder, name))
    run_frames(corvane, os.path.join(os.path.dirname(corvane), "package"), folder)
    check(not os.listdir(elsewhere), f"written through a link: {os.listdir(elsewhere)}")
    check(all(not os.path.islink(os.path.join(folder, name)) for name in os.listdir(folder)),
          "a link is left among the pictures")


def check_failed_start(corvane, scratch):
    folder = os.path.join(scratch, "frames")
    os.makedirs(folder)
    for name in ("frame-0001.png", "timeline.png"):
        with open(os.path.join(folder, name), "w") as file:
            file.write("the last run's")
    status, events, stderr = run(corvane, "--frames", folder, "--package", "/nonexistent")
    check(status == 1 and "package folder not found" in stderr, f"status {status}: {stderr}")
    check(sorted(os.listdir(folder)) == ["frame-0001.png", "timeline.png"] and
          open(os.path.join(folder, "timeline.png")).read() == "the last run's",
          f"the folder was changed: {os.listdir(folder)}")


def check_closed_stdout(corvane, scratch):
    folder = os.path.join(scratch, "frames")
    result = subprocess.run([corvane, "--frames", folder, "--startup-ms", "100"], stdout=None,
                            stderr=subprocess.PIPE, timeout=120,
                            preexec_fn=lambda: os.close(1))
    check(result.returncode == 0, f"status {result.returncode}: {result.stderr}")
    pictures = sorted(os.listdir(folder))
    check("timeline.png" in pictures and len(pictures) > 2, f"pictures: {pictures}")
    for name in pictures:
        png_parts(os.path.join(folder, name))


def main():
    corvane, case, package = sys.argv[1], sys.argv[2], sys.argv[3]
    with tempfile.TemporaryDirectory() as scratch:
        if case == "sample":
            check_sample(corvane, package, os.path.join(scratch, "frames"))
        elif case == "no-color":
            check_no_color(corvane, package, sys.argv[4], scratch)
        elif case == "missing-image":
            check_missing_image(corvane, package, scratch)
        elif case == "bad-folder":
            check_bad_folder(corvane, scratch)
        elif case == "links":
            check_links(corvane, scratch)
        elif case == "failed-start":
            check_failed_start(corvane, scratch)
        elif case == "closed-stdout":
            check_closed_stdout(corvane, scratch)
        else:
            sys.exit(f"unknown case {case}")


if __name__ == "__main__":
    main()
