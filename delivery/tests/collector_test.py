#!/usr/bin/env python3
"""Checks scripts/collector: malformed requests refused with a reason,
repeated idempotency keys stored once, failures on purpose with Retry-After,
bodies in gzip decoded and other encodings refused, the ledger of each
stream's numbers, and a --help that lists the checks."""

import gzip
import http.client
import json
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import hashlib

COLLECTOR = os.environ.get("COLLECTOR") or os.path.join(
    os.path.dirname(__file__), "..", "..", "scripts", "collector")
API_KEY = "Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0"
GOOD_HEADERS = {"X-Api-Key": API_KEY, "Content-Type": "application/json"}


def event(event_type="a_Levelup", timestamp=1700000000000):
    return {"event_type": event_type, "event_timestamp": timestamp,
            "arrival_timestamp": timestamp, "event_version": "1.0",
            "application": {}, "client": {}, "device": {}, "session": {},
            "attributes": {"user_id": "u"}, "metrics": {"a_level": 7.0}}


class CollectorTest(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.out = os.path.join(self.directory.name, "stored.jsonl")
        self.start()

    def start(self, *options):
        self.report = os.path.join(self.directory.name, "report.json")
        port_file = os.path.join(self.directory.name, "port")
        if os.path.exists(port_file):
            os.remove(port_file)
        self.process = subprocess.Popen(
            [sys.executable, COLLECTOR, "--out", self.out, "--port-file", port_file,
             "--project", "sample-game", "--report", self.report, *options],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        banner = self.process.stdout.readline()
        for _ in range(500):
            if os.path.exists(port_file):
                break
            time.sleep(0.01)
        with open(port_file, encoding="utf-8") as file:
            self.port = int(file.read())
        self.assertEqual(banner.strip(), f"listening on http://127.0.0.1:{self.port}")

    def stop(self):
        """Stops the collector; returns its closing summary line."""
        self.process.send_signal(signal.SIGTERM)
        self.assertEqual(self.process.wait(timeout=10), 0)
        summary = self.process.stdout.read().strip()
        self.process.stdout.close()
        return summary

    def tearDown(self):
        self.stop()
        self.directory.cleanup()

    def post(self, path, body, headers=GOOD_HEADERS, method="POST", with_headers=False):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        data = body if isinstance(body, bytes) else json.dumps(body).encode()
        connection.request(method, path, body=data, headers=headers)
        response = connection.getresponse()
        answer = json.loads(response.read())
        connection.close()
        if with_headers:
            return response.status, answer, response.headers
        return response.status, answer

    def stored(self):
        with open(self.out, encoding="utf-8") as file:
            return [json.loads(line) for line in file]

    def test_refuses_malformed_requests_with_a_reason(self):
        record = "/v1/win/record?project=sample-game"
        no_key = {"Content-Type": "application/json"}
        wrong_type = {"X-Api-Key": API_KEY, "Content-Type": "text/plain"}
        missing = event()
        del missing["session"]
        cases = [
            (405, "method GET", dict(path=record, body=event(), method="GET")),
            (400, "path", dict(path="/v1/win/other?project=sample-game", body=event())),
            (400, "project", dict(path="/v1/win/record", body=event())),
            (400, "project", dict(path="/v1/win/record?project=", body=event())),
            (400, "project", dict(path=record + "&project=x", body=event())),
            (400, "is not \"sample-game\"", dict(path="/v1/win/record?project=other", body=event())),
            (400, "X-Api-Key", dict(path=record, body=event(), headers=no_key)),
            (400, "X-Api-Key", dict(path=record, body=event(),
                                    headers={**GOOD_HEADERS, "X-Api-Key": API_KEY[:-1]})),
            (400, "Content-Type", dict(path=record, body=event(), headers=wrong_type)),
            (400, "not JSON", dict(path=record, body=b"{\"event_type\":")),
            (400, "not JSON", dict(path=record, body=b"\xff")),
            (400, "not a JSON object", dict(path=record, body=[event()])),
            (400, "non-empty", dict(path="/v1/win/batch?project=sample-game", body=[])),
            (400, "non-empty", dict(path="/v1/win/batch?project=sample-game", body=event())),
            (400, "event 1 has no \"session\"",
             dict(path="/v1/win/batch?project=sample-game", body=[event(), missing])),
            (400, "\"event_timestamp\" has the wrong type",
             dict(path=record, body={**event(), "event_timestamp": True})),
            (400, "\"metrics\" has the wrong type", dict(path=record, body={**event(), "metrics": []})),
        ]
        for status, reason, request in cases:
            with self.subTest(reason=reason, request=request.get("path")):
                answer_status, answer = self.post(**request)
                self.assertEqual(answer_status, status)
                self.assertFalse(answer["ok"])
                self.assertIn(reason, answer["reason"])
        self.assertEqual(self.stored(), [])
        self.assertEqual(self.post(record, event()), (200, {"ok": True}))
        self.assertEqual([line["body"] for line in self.stored()], [event()])

    def test_a_repeated_idempotency_key_is_stored_once_across_restarts(self):
        record = "/v1/win/record?project=sample-game"
        keyed = lambda key: {**GOOD_HEADERS, "Idempotency-Key": key}
        self.assertEqual(self.post(record, event(), keyed("k-1")), (200, {"ok": True}))
        self.assertEqual(self.post(record, event(), keyed("k-1")),
                         (200, {"ok": True, "duplicate": True}))
        status, answer = self.post(record, event(timestamp=5), keyed("k-1"))
        self.assertEqual(status, 422)
        self.assertIn("another body", answer["reason"])
        self.assertEqual(self.stop(), "stored 1 requests, 1 duplicates\n"
                                      "completeness: 0 streams, highest 0, delivered 0, "
                                      "duplicates 0, dropped 0, unaccounted 0")
        self.start()  # keys already in the --out file still count
        self.assertEqual(self.post(record, event(), keyed("k-1")),
                         (200, {"ok": True, "duplicate": True}))
        self.assertEqual(self.post(record, event(timestamp=6), keyed("k-2")), (200, {"ok": True}))
        self.assertEqual([(line["key"], line["body"]["event_timestamp"]) for line in self.stored()],
                         [("k-1", 1700000000000), ("k-2", 6)])

    def test_failing_on_purpose_answers_the_given_status_and_retry_after(self):
        self.stop()
        self.start("--fail-first", "2", "--fail-status", "503", "--retry-after", "7")
        record = "/v1/win/record?project=sample-game"
        for _ in range(2):
            status, _, headers = self.post(record, event(), with_headers=True)
            self.assertEqual((status, headers["Retry-After"]), (503, "7"))
        status, _, headers = self.post(record, event(), with_headers=True)
        self.assertEqual((status, headers["Retry-After"]), (200, None))
        self.assertEqual(len(self.stored()), 1)

    def test_gzip_bodies_are_decoded_and_other_encodings_refused(self):
        record = "/v1/win/record?project=sample-game"
        raw = json.dumps(event()).encode()
        encoded = lambda encoding: {**GOOD_HEADERS, "Content-Encoding": encoding}
        self.assertEqual(self.post(record, gzip.compress(raw, mtime=0), encoded("gzip")),
                         (200, {"ok": True}))
        self.assertEqual(self.post(record, raw, encoded("identity")), (200, {"ok": True}))
        for body, encoding, status, reason in [
                (raw, "br", 415, "is not taken"), (raw, "gzip, br", 415, "is not taken"),
                (raw, "gzip", 400, "not gzip"), (gzip.compress(raw) + b"x", "gzip", 400, "whole")]:
            answer_status, answer = self.post(record, body, encoded(encoding))
            self.assertEqual((answer_status, answer["ok"]), (status, False), encoding)
            self.assertIn(reason, answer["reason"])
        stored = self.stored()
        self.assertEqual([line["encoding"] for line in stored], ["gzip", "identity"])
        self.assertEqual({line["sha256"] for line in stored}, {hashlib.sha256(raw).hexdigest()})
        self.assertLess(stored[0]["wire_bytes"], stored[1]["wire_bytes"])
        self.stop()
        self.start("--refuse-gzip")
        self.assertEqual(self.post(record, gzip.compress(raw), encoded("gzip"))[0], 415)

    def test_the_ledger_counts_what_was_neither_received_nor_reported(self):
        record = "/v1/win/record?project=sample-game"
        one, other = "0a1b2c3d-0000-4000-8000-000000000001", "0a1b2c3d-0000-4000-8000-000000000002"

        def send(stream, sequence, dropped=None, key=None):
            headers = {**GOOD_HEADERS, "Ostrel-Stream": stream, "Ostrel-Sequence": str(sequence),
                       "Idempotency-Key": key or f"{stream}-{sequence}"}
            if dropped is not None:
                headers["Ostrel-Dropped"] = dropped
            return self.post(record, event(timestamp=sequence), headers)[0]

        self.assertEqual(send(other, 3), 200)
        self.assertEqual(send(one, 1), 200)
        self.assertEqual(send(one, 4, "count=2"), 200)
        self.assertEqual(send(one, 4, "count=2", key=f"{one}-4"), 200)  # a duplicate
        self.assertEqual(send(one, 9, f"rejected=8;count=4-5;damaged={other}:2-"), 200)
        for dropped in ["count=x", "later=1", "count=3-2", "damaged=1-2", "count="]:
            self.assertEqual(send(one, 10, dropped), 400, dropped)
        self.assertEqual(send("not-a-uuid", 1), 400)
        self.stop()
        self.start()  # the ledger goes on from the report
        self.assertEqual(send(one, 11, "age=10;count=8"), 200)  # 8 stays rejected
        with open(self.report, encoding="utf-8") as file:
            streams = json.load(file)["streams"]
        self.assertEqual({key: streams[one][key] for key in
                          ("highest", "delivered", "duplicates", "dropped", "unaccounted")},
                         {"highest": 11, "delivered": 4, "duplicates": 1, "unaccounted": 3,
                          "dropped": {"age": 1, "count": 2, "rejected": 1}})
        self.assertEqual(streams[one]["ranges"]["unaccounted"], "3,6-7")
        self.assertEqual((streams[other]["dropped"], streams[other]["unaccounted"]),
                         ({"damaged": 1}, 1), "received (3) wins over damaged (2-)")
        self.assertEqual(self.stop().splitlines()[-1],
                         "completeness: 2 streams, highest 14, delivered 5, duplicates 1, "
                         "dropped 5 (age 1, count 2, damaged 1, rejected 1), unaccounted 4")
        self.start()

    def test_help_lists_the_checks(self):
        result = subprocess.run([sys.executable, COLLECTOR, "--help"], capture_output=True,
                                text=True, check=True)
        for check in ["method POST", "Content-Length", "project", "X-Api-Key", "Content-Type",
                      "event_timestamp", "Idempotency-Key", "--fail-first", "Retry-After",
                      "Content-Encoding", "Ostrel-Dropped", "--report", "unaccounted"]:
            self.assertIn(check, result.stdout)


if __name__ == "__main__":
    unittest.main()
