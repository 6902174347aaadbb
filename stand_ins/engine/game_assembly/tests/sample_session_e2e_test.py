#!/usr/bin/env python3
"""The main job end to end: corvane runs the sample package, the sample game
plays its analytics session through Ostrel, and its requests are printed and,
with --collector, stored in the delivery library's outbox and delivered to
scripts/collector, across runs, outages and a killed process.

Environment: CORVANE (the built program), COLLECTOR (scripts/collector) and
OUTBOX_WORKER (the delivery tests' program that fills an outbox).
The run's platform version and locale are pinned through the environment.
"""
import hashlib
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

CORVANE = os.environ["CORVANE"]
COLLECTOR = os.environ["COLLECTOR"]
PROJECT = "sample-game"

PINNED = {"LC_ALL": "de_DE.UTF-8", "SAMPLE_GAME_PLATFORM_VERSION": "6.1.0-e2e",
          "SAMPLE_GAME_QUIT_WAIT_MS": "10000"}

# Every event the sample game records, in order: one request per line.
REQUESTS = [
    ["_session.start"],
    ["a_Start_loading", "a_Finish_loading", "a_Tutorial_start", "c_tutorial_step",
     "a_Tutorial_finish", "a_Levelup", "a_Purchase", "c_shop_visit", "_init_attribution_pc"],
    ["a_Levelup", "c_boss_defeated", "c_session_summary", "_session.stop"],
]
EVENT_TYPES = [name for request in REQUESTS for name in request]

CONTEXT = {
    "application": {"app_id": "sample-game", "cognito_identity_pool_id": "",
                    "package_name": "Corvane.SampleGame",
                    "sdk": {"name": "Services", "version": "2.0.1"},
                    "title": "Corvane Sample Game", "version_code": "201", "version_name": "2.0.1"},
    "client": {"client_id": "client-5e1f9a", "cognito_id": ""},
    "device": {"locale": {"code": "de-DE", "country": "DE", "language": "de"},
               "make": "", "model": "",
               "platform": {"name": os.uname().sysname, "version": "6.1.0-e2e"}},
}


def run_corvane(*arguments, quit_wait_ms=None, cwd=None, timeout=120):
    """Runs corvane; returns (status, trace events, stderr text)."""
    environment = dict(os.environ, **PINNED)
    if quit_wait_ms is not None:
        environment["SAMPLE_GAME_QUIT_WAIT_MS"] = str(quit_wait_ms)
    result = subprocess.run([CORVANE, *arguments], env=environment, capture_output=True,
                            timeout=timeout, cwd=cwd)
    events = [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]
    return result.returncode, events, result.stderr.decode("utf-8", "replace")


def named(events, name):
    return [event for event in events if event["event"] == name]


def events_of(body):
    return body if isinstance(body, list) else [body]


def requested_events(trace):
    """The events of every analytics.request line, in order."""
    events = []
    for line in named(trace, "analytics.request"):
        events += events_of(json.loads(line["message"]["data"]))
    return events


class Collector:
    """scripts/collector on a free loopback port, for the length of a with-block."""

    def __init__(self, fail_first=0):
        self.folder = tempfile.TemporaryDirectory()
        self.outbox = os.path.join(self.folder.name, "outbox")
        self.out = os.path.join(self.folder.name, "received.jsonl")
        self.report = os.path.join(self.folder.name, "report.json")
        port_file = os.path.join(self.folder.name, "port")
        self.log = open(os.path.join(self.folder.name, "log"), "w+")
        self.process = subprocess.Popen(
            [sys.executable, COLLECTOR, "--port", "0", "--port-file", port_file, "--out", self.out,
             "--project", PROJECT, "--fail-first", str(fail_first), "--report", self.report],
            stdout=subprocess.DEVNULL, stderr=self.log)
        deadline = time.monotonic() + 30
        while not os.path.exists(port_file):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("the collector did not start")
            time.sleep(0.05)
        with open(port_file) as file:
            self.url = f"http://127.0.0.1:{int(file.read())}"

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=30)

    def received(self):
        """The stored requests: [{"path", "project", "key", "sha256", "body"}, ...]."""
        if not os.path.exists(self.out):
            return []
        with open(self.out, encoding="utf-8") as file:
            return [json.loads(line) for line in file]

    def streams(self):
        """The collector's ledger of each stream's numbers."""
        with open(self.report, encoding="utf-8") as file:
            return json.load(file)["streams"]

    def answers(self, status):
        self.log.seek(0)
        return sum(1 for line in self.log if line.rstrip().endswith(f" {status} -"))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        self.log.close()
        self.folder.cleanup()


class RefusingPort:
    """A loopback port bound but never listening, for a with-block: every
    connection is refused, and no other test's server can take the port."""

    def __enter__(self):
        self.socket = socket.socket()
        self.socket.bind(("127.0.0.1", 0))
        return f"http://127.0.0.1:{self.socket.getsockname()[1]}"

    def __exit__(self, *exc):
        self.socket.close()


def keys(trace, name="analytics.stored"):
    return [line["key"] for line in named(trace, name)]


class SampleSession(unittest.TestCase):
    def assertCleanRun(self, status, trace, stderr, expected_status=0):
        self.assertEqual(status, expected_status, stderr)
        self.assertEqual(len(named(trace, "player.gamequit")), 1)
        self.assertEqual([t["value"] for t in named(trace, "window.title")],
                         ["\U0001F6E9Level 1", "\U0001F6E9Caf\u00e9 \u00c9lan \u2014 Level 2"])
        self.assertEqual({line["thread"] for line in named(trace, "analytics.request")}, {"game"})
        self.assertEqual(trace[-1]["event"], "application.exit")

    def assertSessionEvents(self, events):
        self.assertEqual([event["event_type"] for event in events], EVENT_TYPES)
        for event in events:
            for key, value in CONTEXT.items():
                self.assertEqual(event[key], value, event["event_type"])
            self.assertEqual(event["attributes"]["user_id"], "player-0042")
        attribution = events[EVENT_TYPES.index("_init_attribution_pc")]
        self.assertEqual(attribution["attributes"]["_params"], "campaign=spring_launch&source=store")
        purchase = events[EVENT_TYPES.index("a_Purchase")]
        self.assertEqual(purchase["metrics"], {"a_amount": 1.0, "a_price": 0.99,
                                               "a_sandbox": 1.0, "a_validated": 1.0})
        boss = events[EVENT_TYPES.index("c_boss_defeated")]
        self.assertEqual(boss["attributes"]["dsa_area"], "Caf\u00e9 \u00c9lan")
        self.assertEqual(boss["metrics"], {"dsm_time": 73.5, "dsm_tries": 3.0})

    def assertStoredAfterEachRequest(self, trace):
        analytics = [line for line in trace if line["event"].startswith("analytics.")]
        for index, line in enumerate(analytics):
            if line["event"] == "analytics.request":
                self.assertEqual(analytics[index + 1]["event"], "analytics.stored")
                self.assertEqual(analytics[index + 1]["thread"], line["thread"],
                                 "on the game thread, as its request line")
        for line in analytics:
            if line["event"] in ("analytics.sent", "analytics.retry"):
                self.assertEqual(line["thread"], "delivery")

    def test_default_run_prints_each_request_of_the_session(self):
        status, trace, stderr = run_corvane()
        self.assertCleanRun(status, trace, stderr)
        requests = named(trace, "analytics.request")
        self.assertEqual(len(requests), len(REQUESTS))
        for line, types in zip(requests, REQUESTS):
            message = line["message"]
            self.assertEqual(list(message), ["data", "headers", "url"])
            path = "record" if len(types) == 1 else "batch"
            self.assertTrue(message["url"].endswith(f"/v1/win/{path}?project={PROJECT}"), message["url"])
            self.assertIn("Content-Type: application/json", message["headers"])
        self.assertSessionEvents(requested_events(trace))
        self.assertEqual([line for line in trace if line["event"].startswith("analytics.")
                          and line["event"] != "analytics.request"], [])

    def deliver(self, fail_first):
        with Collector(fail_first) as collector:
            status, trace, stderr = run_corvane("--collector", collector.url,
                                                "--outbox", collector.outbox)
            collector.stop()
            received, refused = collector.received(), collector.answers(500)
        self.assertCleanRun(status, trace, stderr)
        self.assertEqual(refused, fail_first)
        self.assertStoredAfterEachRequest(trace)
        sent = named(trace, "analytics.sent")
        self.assertEqual(len(sent), len(REQUESTS))
        self.assertEqual({line["status"] for line in sent}, {200})
        self.assertEqual({line["thread"] for line in sent}, {"delivery"})
        self.assertEqual(len(named(trace, "analytics.retry")), fail_first)
        self.assertEqual(named(trace, "analytics.kept"), [])
        self.assertLess(trace.index(sent[-1]), trace.index(named(trace, "player.gamequit")[0]),
                        "the game quits only after its last request was delivered")
        self.assertEqual([request["key"] for request in received], keys(trace))
        self.assertEqual(keys(trace, "analytics.sent"), keys(trace))
        self.assertEqual({request["project"] for request in received}, {PROJECT})
        for request, line in zip(received, named(trace, "analytics.request")):
            body = line["message"]["data"].encode("utf-8")
            self.assertEqual(request["sha256"], hashlib.sha256(body).hexdigest(), "byte for byte")
        arrived = [event for request in received for event in events_of(request["body"])]
        self.assertEqual(arrived, requested_events(trace), "every request arrives once, in order")
        self.assertSessionEvents(arrived)

    def test_collector_receives_every_event_once_in_order(self):
        self.deliver(fail_first=0)

    def test_collector_refusing_the_first_attempts_still_receives_everything(self):
        self.deliver(fail_first=2)

    def test_requests_kept_while_the_collector_is_down_arrive_first_in_the_next_run(self):
        with Collector() as collector, RefusingPort() as down:
            status, first, stderr = run_corvane("--collector", down, "--outbox", collector.outbox,
                                                quit_wait_ms=500)
            self.assertCleanRun(status, first, stderr, expected_status=3)
            self.assertStoredAfterEachRequest(first)
            self.assertEqual([line["count"] for line in named(first, "analytics.kept")],
                             [len(REQUESTS)])
            self.assertGreaterEqual(len(named(first, "analytics.retry")), 1)
            self.assertEqual(named(first, "analytics.sent"), [])

            # The same outbox named relative to the current folder.
            status, second, stderr = run_corvane("--collector", collector.url,
                                                 "--outbox", "outbox", cwd=collector.folder.name)
            collector.stop()
            received = collector.received()
        self.assertCleanRun(status, second, stderr)
        self.assertEqual([request["key"] for request in received], keys(first) + keys(second),
                         "the kept requests first, then the new ones")
        self.assertEqual(keys(second, "analytics.sent"), keys(first) + keys(second))
        self.assertEqual(named(second, "analytics.kept"), [])

    def test_a_request_stored_before_the_game_is_killed_is_delivered_by_the_next_run(self):
        with Collector() as collector, RefusingPort() as down:
            environment = dict(os.environ, **PINNED)
            game = subprocess.Popen(
                [CORVANE, "--collector", down,
                 "--outbox", collector.outbox],
                env=environment, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            for line in game.stdout:
                stored = json.loads(line)
                if stored["event"] == "analytics.stored":
                    game.send_signal(signal.SIGKILL)
                    break
            game.wait(timeout=30)
            game.stdout.close()
            self.assertEqual(game.returncode, -signal.SIGKILL)

            status, trace, stderr = run_corvane("--collector", collector.url,
                                                "--outbox", collector.outbox)
            collector.stop()
            received = collector.received()
        self.assertCleanRun(status, trace, stderr)
        self.assertEqual(received[0]["key"], stored["key"])
        self.assertEqual([request["key"] for request in received[1:]], keys(trace))
        self.assertEqual(events_of(received[0]["body"])[0]["event_type"], "_session.start")

    def test_a_game_whose_outbox_is_at_its_count_bound_quits_within_its_quit_wait(self):
        bound = 10000  # the library's default
        with Collector() as collector, RefusingPort() as down:
            filled = subprocess.run([os.environ["OUTBOX_WORKER"], collector.outbox, down, "earlier",
                                     str(bound), "keep"], timeout=120)
            self.assertEqual(filled.returncode, 0)
            status, trace, stderr = run_corvane("--collector", down, "--outbox", collector.outbox,
                                                quit_wait_ms=500, timeout=60)
        self.assertCleanRun(status, trace, stderr, expected_status=3)
        self.assertStoredAfterEachRequest(trace)
        dropped = named(trace, "analytics.dropped")
        self.assertEqual(len(dropped), len(REQUESTS), "each store drops the oldest")
        self.assertEqual({line["reason"] for line in dropped}, {"count"})
        self.assertEqual({line["thread"] for line in dropped}, {"delivery"})
        self.assertEqual([line["count"] for line in named(trace, "analytics.kept")], [bound])

    def test_consent_pending_keeps_denied_deletes_and_given_sends_with_nothing_unaccounted(self):
        with Collector() as collector:
            run = lambda consent: run_corvane("--collector", collector.url, "--outbox",
                                              collector.outbox, "--consent", consent)
            status, pending, stderr = run("pending")
            self.assertCleanRun(status, pending, stderr, expected_status=3)
            self.assertEqual([line["state"] for line in named(pending, "analytics.consent")],
                             ["pending"])
            self.assertEqual([line["count"] for line in named(pending, "analytics.kept")],
                             [len(REQUESTS)], "quits at once: nothing could be sent")
            self.assertEqual(named(pending, "analytics.sent"), [])

            status, denied, stderr = run("denied")
            self.assertCleanRun(status, denied, stderr)
            self.assertEqual([line["state"] for line in named(denied, "analytics.consent")],
                             ["denied"])
            self.assertEqual([(line["count"], line["thread"])
                              for line in named(denied, "analytics.purged")],
                             [(len(REQUESTS), "delivery")])
            self.assertEqual(len(named(denied, "analytics.request")), len(REQUESTS))
            self.assertEqual(named(denied, "analytics.stored"), [], "nothing stored")
            for name in os.listdir(collector.outbox):
                with open(os.path.join(collector.outbox, name), "rb") as file:
                    self.assertNotIn(b"player-0042", file.read(), name)

            status, given, stderr = run("given")
            self.assertCleanRun(status, given, stderr)
            collector.stop()
            self.assertEqual([request["key"] for request in collector.received()], keys(given),
                             "the deleted requests are never sent")
            streams = collector.streams()
        self.assertEqual(len(streams), 1)
        ledger = next(iter(streams.values()))
        self.assertEqual((ledger["highest"], ledger["delivered"], ledger["dropped"],
                          ledger["unaccounted"]),
                         (2 * len(REQUESTS), len(REQUESTS), {"consent": len(REQUESTS)}, 0))

    def test_unusable_collector_address_stops_the_start(self):
        for url, reason in [("ftp://127.0.0.1:1", "scheme"), ("http://", "host"),
                            ("http://127.0.0.1:99999", "port"), ("http://127.0.0.1:1/in", "path")]:
            status, trace, stderr = run_corvane("--collector", url)
            self.assertEqual(status, 2, url)  # a usage error of --collector
            self.assertIn("invalid collector URL", stderr)
            self.assertIn(reason, stderr)
            self.assertEqual(trace, [], "nothing starts")


if __name__ == "__main__":
    unittest.main()
