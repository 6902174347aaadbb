#!/usr/bin/env python3
"""Plays analytics sessions through libostrel.so the way a game does: every
export is called through ctypes, every queued request is taken, released with
free() and parsed, and its URL, header lines and events are checked.

The library path comes from the environment variable OSTREL_LIBRARY (or the
first command-line argument), the collection service's base URL from
OSTREL_BASE_URL.

The shipped library reads the system clock, so nothing here depends on how
many seconds pass: the first Tavi_Update after Tavi_Init always flushes, the
30th buffered event, an attribution change and Tavi_Destroy flush at once,
and event sequences are checked across all messages taken.
"""
import ctypes
import json
import os
import struct
import sys
import unittest

BASE_URL = os.environ.get("OSTREL_BASE_URL", "https://analytics.example.com")
API_KEY_HEADER = "X-Api-Key: Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0"
CONTENT_TYPE_HEADER = "Content-Type: application/json"

TEXT = ctypes.c_char_p
I32 = ctypes.c_int32
SIGNATURES = {
    "Tavi_Init": ([TEXT], None),
    "Tavi_Update": ([], None),
    "Tavi_Get_Version": ([], ctypes.c_void_p),
    "Tavi_Destroy": ([], None),
    "Tavi_MessagesCount": ([], I32),
    "Tavi_Zel_GetMessage": ([], ctypes.c_void_p),
    "Tavi_SetUser": ([TEXT], None),
    "Tavi_SetClient": ([TEXT], None),
    "Tavi_SetAttribution": ([TEXT], None),
    "Tavi_SetAppData": ([TEXT] * 5, None),
    "Tavi_SetDeviceLocale": ([TEXT], None),
    "Tavi_SetPlatform": ([TEXT, TEXT], None),
    "Tavi_Event_LevelUp": ([I32], None),
    "Tavi_EventStartLoading": ([], None),
    "Tavi_EventFinishLoading": ([], None),
    "Tavi_EventTutorialStart": ([], None),
    "Tavi_EventTutorialFinish": ([], None),
    "Tavi_EventPurchase": ([TEXT, TEXT, ctypes.c_double, TEXT, TEXT, I32, I32,
                            TEXT, I32], None),
    "Tavi_CustomEvent": ([TEXT, TEXT], None),
}

EVENT_KEYS = ["application", "arrival_timestamp", "attributes", "client",
              "device", "event_timestamp", "event_type", "event_version",
              "metrics", "session"]


def load_library(path):
    lib = ctypes.CDLL(path)
    for name, (argtypes, restype) in SIGNATURES.items():
        function = getattr(lib, name)
        function.argtypes = argtypes
        function.restype = restype
    return lib


LIB = None
LIBC = ctypes.CDLL(None)
LIBC.free.argtypes = [ctypes.c_void_p]
LIBC.free.restype = None


def single(value):
    """Single-precision value nearest to `value`, widened back to double."""
    return struct.unpack("f", struct.pack("f", value))[0]


def take_owned_text(pointer):
    """Copies a returned text and releases it as the header prescribes."""
    if pointer is None:
        raise AssertionError("the library returned a null pointer")
    try:
        return ctypes.string_at(pointer).decode("utf-8")
    finally:
        LIBC.free(pointer)


def version():
    return take_owned_text(LIB.Tavi_Get_Version())


def sorted_object(pairs):
    """object_pairs_hook: every object must be written once per key, keys in
    ascending byte order."""
    keys = [key.encode("utf-8") for key, _ in pairs]
    if keys != sorted(set(keys)):
        raise AssertionError("object keys not unique and in byte order: %r"
                             % [key for key, _ in pairs])
    return dict(pairs)


class Message:
    def __init__(self, text):
        self.text = text
        outer = json.loads(text, object_pairs_hook=sorted_object)
        self.keys = sorted(outer)
        self.url = outer.get("url")
        self.headers = outer.get("headers")
        self.data = outer.get("data")
        body = json.loads(self.data, object_pairs_hook=sorted_object)
        self.is_batch = isinstance(body, list)
        self.events = body if self.is_batch else [body]

    def types(self):
        return [event["event_type"] for event in self.events]


def take_all():
    messages = []
    for _ in range(LIB.Tavi_MessagesCount()):
        messages.append(Message(take_owned_text(LIB.Tavi_Zel_GetMessage())))
    return messages


def events_of(messages):
    return [event for message in messages for event in message.events]


class OstrelCallerTest(unittest.TestCase):
    """Each test plays its own session and leaves the library uninitialised
    with an empty queue."""

    def setUp(self):
        LIB.Tavi_Destroy()
        take_all()

    tearDown = setUp

    def check_message(self, message, project):
        self.assertEqual(["data", "headers", "url"], message.keys)
        self.assertNotIn("\n", message.text)
        self.assertEqual([API_KEY_HEADER, CONTENT_TYPE_HEADER], message.headers)
        path = "/v1/win/batch" if message.is_batch else "/v1/win/record"
        self.assertEqual(BASE_URL + path + "?project=" + project, message.url)
        if message.is_batch:
            self.assertGreaterEqual(len(message.events), 2)
        for event in message.events:
            self.check_event_shape(event)

    def check_event_shape(self, event):
        self.assertEqual(EVENT_KEYS, sorted(event))
        stamp = event["event_timestamp"]
        self.assertIsInstance(stamp, int)
        self.assertEqual(0, stamp % 1000)
        self.assertGreater(stamp, 1600000000000)
        self.assertEqual(stamp, event["arrival_timestamp"])
        self.assertEqual(stamp, event["session"]["start_timestamp"])
        self.assertEqual(stamp, event["session"]["stop_timestamp"])
        self.assertEqual("1.0", event["event_version"])
        application = event["application"]
        self.assertEqual({"name": "Services", "version": "2.0.1"},
                         application["sdk"])
        self.assertEqual("", application["cognito_identity_pool_id"])
        self.assertEqual("", event["client"]["cognito_id"])
        self.assertEqual("", event["device"]["make"])
        self.assertEqual("", event["device"]["model"])
        self.assertIn("user_id", event["attributes"])
        if event["metrics"] is not None:
            self.assertTrue(event["metrics"])
            for value in event["metrics"].values():
                self.assertIsInstance(value, float)

    def check_context(self, event, expected):
        application = event["application"]
        device = event["device"]
        actual = {
            "user": event["attributes"]["user_id"],
            "client": event["client"]["client_id"],
            "app": [application[key] for key in (
                "app_id", "package_name", "title", "version_name",
                "version_code")],
            "platform": [device["platform"]["name"],
                         device["platform"]["version"]],
            "locale": [device["locale"]["code"], device["locale"]["language"],
                       device["locale"]["country"]],
            "session": event["session"]["session_id"],
        }
        self.assertEqual(expected, actual, event["event_type"])

    def test_whole_session_through_every_export(self):
        LIB.Tavi_Init(b"proj-42")
        LIB.Tavi_Init(b"second-id-is-ignored")
        self.assertEqual(0, LIB.Tavi_MessagesCount())

        LIB.Tavi_Update()
        self.assertEqual(1, LIB.Tavi_MessagesCount())
        [start] = take_all()
        self.check_message(start, "proj-42")
        self.assertEqual(["_session.start"], start.types())
        self.assertEqual({"user_id": ""}, start.events[0]["attributes"])
        self.assertIsNone(start.events[0]["metrics"])
        self.check_context(start.events[0], {
            "user": "", "client": "", "app": [""] * 5,
            "platform": ["Windows", ""], "locale": ["", "", ""],
            "session": ""})

        LIB.Tavi_SetUser(b"u-1001")
        LIB.Tavi_SetClient(b"client-7")
        LIB.Tavi_SetAppData(b"app-42", b"SamplePackage", "Zoë's Game".encode(),
                            b"1.2.3", b"45")
        LIB.Tavi_SetDeviceLocale(b"en-US")
        LIB.Tavi_SetDeviceLocale(b"de-DE")
        LIB.Tavi_SetPlatform(b"Linux", b"6.1")

        LIB.Tavi_Event_LevelUp(7)
        LIB.Tavi_Event_LevelUp(-1)
        LIB.Tavi_Event_LevelUp(2147483647)
        LIB.Tavi_EventStartLoading()
        LIB.Tavi_EventFinishLoading()
        LIB.Tavi_EventTutorialStart()
        LIB.Tavi_EventTutorialFinish()
        LIB.Tavi_EventPurchase(b"receipt-text", b"signature-text", 0.99, b"EUR",
                               b"gem_pack", 3, 1, b"Gems", 256)
        LIB.Tavi_EventPurchase(None, None, 1.5, None, None, 0, 0, None, 1)
        LIB.Tavi_CustomEvent(b"quest", b'{"step":2,"zone":"north"}')
        LIB.Tavi_Update()
        LIB.Tavi_SetAttribution(b"")
        LIB.Tavi_SetAttribution(b"campaign=spring")
        queued = LIB.Tavi_MessagesCount()
        self.assertGreaterEqual(queued, 1)
        LIB.Tavi_SetAttribution(b"campaign=spring")
        self.assertEqual(queued, LIB.Tavi_MessagesCount())

        messages = take_all()
        for message in messages:
            self.check_message(message, "proj-42")
        self.assertEqual("_init_attribution_pc", messages[-1].types()[-1])
        all_text = "".join(message.text for message in messages)
        self.assertNotIn("receipt-text", all_text)
        self.assertNotIn("signature-text", all_text)
        self.assertIn("Zoë's Game", all_text)
        events = events_of(messages)
        self.assertEqual(
            ["a_Levelup"] * 3 + ["a_Start_loading", "a_Finish_loading",
                                 "a_Tutorial_start", "a_Tutorial_finish",
                                 "a_Purchase", "a_Purchase", "c_quest",
                                 "_init_attribution_pc"],
            [event["event_type"] for event in events])
        for event in events:
            self.check_context(event, {
                "user": "u-1001", "client": "client-7",
                "app": ["app-42", "SamplePackage", "Zoë's Game", "1.2.3", "45"],
                "platform": ["Linux", "6.1"], "locale": ["de-DE", "en", "US"],
                "session": ""})

        self.assertEqual([{"a_level": 7.0}, {"a_level": -1.0},
                          {"a_level": 2147483647.0}],
                         [event["metrics"] for event in events[:3]])
        for event in events[3:7]:
            self.assertEqual({"user_id": "u-1001"}, event["attributes"])
            self.assertIsNone(event["metrics"])
        purchase, empty_purchase = events[7], events[8]
        self.assertEqual({"a_currency": "EUR", "a_sku": "gem_pack",
                          "a_name": "Gems", "user_id": "u-1001"},
                         purchase["attributes"])
        self.assertEqual({"a_price": 0.99, "a_amount": 3.0,
                          "a_validated": 1.0, "a_sandbox": 0.0},
                         purchase["metrics"])
        self.assertEqual({"a_currency": "", "a_sku": "", "a_name": "",
                          "user_id": "u-1001"}, empty_purchase["attributes"])
        self.assertEqual({"a_price": 1.5, "a_amount": 0.0,
                          "a_validated": 0.0, "a_sandbox": 1.0},
                         empty_purchase["metrics"])
        self.assertEqual({"dsa_zone": "north", "user_id": "u-1001"},
                         events[9]["attributes"])
        self.assertEqual({"dsm_step": 2.0}, events[9]["metrics"])
        self.assertEqual({"_params": "campaign=spring", "user_id": "u-1001"},
                         events[10]["attributes"])
        self.assertIsNone(events[10]["metrics"])

        LIB.Tavi_SetUser(b"u-2002")
        LIB.Tavi_Event_LevelUp(99)
        LIB.Tavi_Destroy()
        self.assertEqual(1, LIB.Tavi_MessagesCount())
        [last] = take_all()
        self.check_message(last, "proj-42")
        self.assertEqual(["a_Levelup", "_session.stop"], last.types())
        for event in last.events:
            self.assertEqual("u-2002", event["attributes"]["user_id"])
        self.assertEqual({"a_level": 99.0}, last.events[0]["metrics"])

    def test_custom_event_values(self):
        LIB.Tavi_Init(b"proj-custom")
        LIB.Tavi_Update()
        take_all()
        LIB.Tavi_CustomEvent(
            b"mixed",
            b'{"text":"gold","int":42,"neg":-3,"frac":0.1,"flag":true,'
            b'"none":null,"obj":{"x":1},"arr":[1],"wrap":4294967297,'
            b'"max":4294967295,"low":-2147483649,"minus":-1,"exp":1e2}')
        LIB.Tavi_CustomEvent(b"lone_number", b"5")
        LIB.Tavi_CustomEvent(b"lone_text", b'"hello"')
        LIB.Tavi_CustomEvent(b"lone_true", b"true")
        LIB.Tavi_CustomEvent(b"list", b'["x", 2.5, false, -7]')
        LIB.Tavi_CustomEvent(b"nothing", b"{}")
        LIB.Tavi_CustomEvent(b"empty_list", b"[]")
        LIB.Tavi_CustomEvent(b"null_text", b"null")
        LIB.Tavi_CustomEvent(b"broken", b"{not json")
        LIB.Tavi_CustomEvent(b"truncated", b'{"a":')
        LIB.Tavi_CustomEvent(None, None)
        LIB.Tavi_CustomEvent(b"Levelup", b"{}")
        LIB.Tavi_SetAttribution(b"flush-now")

        events = events_of(take_all())
        self.assertEqual(
            ["c_mixed", "c_lone_number", "c_lone_text", "c_lone_true",
             "c_list", "c_nothing", "c_empty_list", "c_null_text", "c_",
             "c_Levelup", "_init_attribution_pc"],
            [event["event_type"] for event in events])
        by_type = {event["event_type"]: event for event in events}

        mixed = by_type["c_mixed"]
        self.assertEqual({"dsa_text": "gold", "user_id": ""},
                         mixed["attributes"])
        self.assertEqual({"dsm_int": 42.0, "dsm_neg": -3.0,
                          "dsm_frac": single(0.1), "dsm_wrap": 1.0,
                          "dsm_max": 4294967295.0, "dsm_low": 2147483647.0,
                          "dsm_minus": -1.0, "dsm_exp": 100.0},
                         mixed["metrics"])
        self.assertEqual(0.100000001490116119384765625,
                         mixed["metrics"]["dsm_frac"])
        self.assertEqual({"dsm_": 5.0}, by_type["c_lone_number"]["metrics"])
        self.assertEqual({"dsa_": "hello", "user_id": ""},
                         by_type["c_lone_text"]["attributes"])
        self.assertIsNone(by_type["c_lone_text"]["metrics"])
        self.assertIsNone(by_type["c_lone_true"]["metrics"])
        self.assertEqual({"dsa_0": "x", "user_id": ""},
                         by_type["c_list"]["attributes"])
        self.assertEqual({"dsm_1": 2.5, "dsm_3": -7.0},
                         by_type["c_list"]["metrics"])
        for name in ("c_nothing", "c_empty_list", "c_null_text", "c_",
                     "c_Levelup"):
            self.assertEqual({"user_id": ""}, by_type[name]["attributes"])
            self.assertIsNone(by_type[name]["metrics"])

        LIB.Tavi_Destroy()
        self.assertEqual(["_session.stop"],
                         [event["event_type"] for event in events_of(take_all())])

    def test_thirty_buffered_events_flush_one_batch(self):
        LIB.Tavi_Init(b"proj-batch")
        LIB.Tavi_Update()
        take_all()
        for level in range(1, 30):
            LIB.Tavi_Event_LevelUp(level)
        self.assertEqual(0, LIB.Tavi_MessagesCount())
        LIB.Tavi_Event_LevelUp(30)
        self.assertEqual(1, LIB.Tavi_MessagesCount())
        [batch] = take_all()
        self.check_message(batch, "proj-batch")
        self.assertTrue(batch.is_batch)
        self.assertEqual([{"a_level": float(level)} for level in range(1, 31)],
                         [event["metrics"] for event in batch.events])
        LIB.Tavi_EventStartLoading()
        self.assertEqual(0, LIB.Tavi_MessagesCount())

    def test_lifecycle_and_queue_survive_destroy(self):
        LIB.Tavi_Init(None)
        LIB.Tavi_Init(b"")
        self.play_every_export()
        LIB.Tavi_Update()
        self.assertEqual(0, LIB.Tavi_MessagesCount())
        self.assertEqual("", take_owned_text(LIB.Tavi_Zel_GetMessage()))

        LIB.Tavi_Init(b"game&co 7")
        LIB.Tavi_Update()
        LIB.Tavi_Event_LevelUp(1)
        LIB.Tavi_Destroy()
        LIB.Tavi_Destroy()
        self.assertEqual(2, LIB.Tavi_MessagesCount())
        self.play_every_export()
        LIB.Tavi_Update()
        self.assertEqual(2, LIB.Tavi_MessagesCount())

        LIB.Tavi_Init(b"second-session")
        LIB.Tavi_Update()
        LIB.Tavi_Destroy()
        messages = take_all()
        self.assertEqual("", take_owned_text(LIB.Tavi_Zel_GetMessage()))
        self.assertEqual(4, len(messages))
        for message, project in zip(messages, ["game&co 7"] * 2 +
                                    ["second-session"] * 2):
            self.check_message(message, project)
        self.assertEqual([["_session.start"], ["a_Levelup", "_session.stop"],
                          ["_session.start"], ["_session.stop"]],
                         [message.types() for message in messages])

    def play_every_export(self):
        LIB.Tavi_SetUser(b"u")
        LIB.Tavi_SetClient(b"c")
        LIB.Tavi_SetAttribution(b"a")
        LIB.Tavi_SetAppData(None, None, None, None, None)
        LIB.Tavi_SetDeviceLocale(b"en-US")
        LIB.Tavi_SetPlatform(None, None)
        LIB.Tavi_Event_LevelUp(3)
        LIB.Tavi_EventStartLoading()
        LIB.Tavi_EventFinishLoading()
        LIB.Tavi_EventTutorialStart()
        LIB.Tavi_EventTutorialFinish()
        LIB.Tavi_EventPurchase(None, None, 1.0, None, None, 1, 1, None, 1)
        LIB.Tavi_CustomEvent(None, None)

    def test_returned_texts_are_fresh_malloc_arrays(self):
        first, second = LIB.Tavi_Get_Version(), LIB.Tavi_Get_Version()
        self.assertNotEqual(first, second)
        self.assertEqual(["2.0.1", "2.0.1"],
                         [take_owned_text(first), take_owned_text(second)])
        LIB.Tavi_Init(b"proj-version")
        self.assertEqual("2.0.1", version())
        LIB.Tavi_Destroy()
        self.assertEqual("2.0.1", version())

    def test_context_edge_values(self):
        LIB.Tavi_Init(b"proj-context")
        LIB.Tavi_SetDeviceLocale(b"en")
        LIB.Tavi_SetDeviceLocale(b"fr_CA")
        LIB.Tavi_SetDeviceLocale(b"de-DE")
        LIB.Tavi_SetPlatform(None, None)
        LIB.Tavi_SetClient(b"")
        LIB.Tavi_SetUser("Jürgen \"JJ\" \\ \t".encode())
        LIB.Tavi_Destroy()
        [message] = take_all()
        self.check_message(message, "proj-context")
        self.assertIn("Jürgen \\\"JJ\\\" \\\\ \\t", message.data)
        self.assertNotIn("\\u00fc", message.text)
        for event in message.events:
            self.check_context(event, {
                "user": "Jürgen \"JJ\" \\ \t", "client": "", "app": [""] * 5,
                "platform": ["", ""], "locale": ["de-DE", "fr", "CA"],
                "session": ""})


if __name__ == "__main__":
    path = os.environ.get("OSTREL_LIBRARY")
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        path = sys.argv.pop(1)
    if not path:
        sys.exit("usage: test_session.py <path to libostrel.so> "
                 "(or set OSTREL_LIBRARY)")
    LIB = load_library(path)
    unittest.main()
