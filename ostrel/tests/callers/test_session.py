#!/usr/bin/env python3
"""Calls libostrel.so through ctypes as a Python game would: every export is
declared with its C signature, one short session passes texts (non-ASCII and
null), integers, doubles and flags, and every returned text is copied and
released with libc's free(). Checks that each kind of value arrives intact;
the export rules themselves are tested in C++.

The library path comes from the environment variable OSTREL_LIBRARY (or the
first command-line argument), the collection service's base URL from
OSTREL_BASE_URL.
"""
import ctypes
import json
import os
import struct
import sys
import unittest

BASE_URL = os.environ.get("OSTREL_BASE_URL", "https://analytics.example.com")

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

LIB = None
LIBC = ctypes.CDLL(None)
LIBC.free.argtypes = [ctypes.c_void_p]
LIBC.free.restype = None


def load_library(path):
    lib = ctypes.CDLL(path)
    for name, (argtypes, restype) in SIGNATURES.items():
        function = getattr(lib, name)
        function.argtypes = argtypes
        function.restype = restype
    return lib


def take_owned_text(pointer):
    """Copies a returned text and releases it as the header prescribes."""
    if pointer is None:
        raise AssertionError("the library returned a null pointer")
    try:
        return ctypes.string_at(pointer).decode("utf-8")
    finally:
        LIBC.free(pointer)


def take_events():
    """Every queued request, in order: (url, headers, events)."""
    taken = []
    for _ in range(LIB.Tavi_MessagesCount()):
        message = json.loads(take_owned_text(LIB.Tavi_Zel_GetMessage()))
        body = json.loads(message["data"])
        taken.append((message["url"], message["headers"],
                      body if isinstance(body, list) else [body]))
    return taken


class OstrelCallerTest(unittest.TestCase):
    def test_returned_texts_are_fresh_and_freed_by_the_caller(self):
        first, second = LIB.Tavi_Get_Version(), LIB.Tavi_Get_Version()
        self.assertNotEqual(first, second)
        self.assertEqual(["2.0.1", "2.0.1"],
                         [take_owned_text(first), take_owned_text(second)])
        self.assertEqual(0, LIB.Tavi_MessagesCount())
        self.assertEqual("", take_owned_text(LIB.Tavi_Zel_GetMessage()))

    def test_every_kind_of_argument_arrives_intact(self):
        LIB.Tavi_Init(b"proj-py")
        LIB.Tavi_Update()
        LIB.Tavi_SetUser("Jürgen \"JJ\"".encode())
        LIB.Tavi_SetClient(b"client-7")
        LIB.Tavi_SetAppData(b"app-42", None, "Zoë's Game \U0001F6E9".encode(),
                            b"1.2.3", b"45")
        LIB.Tavi_SetDeviceLocale(b"de-DE")
        LIB.Tavi_SetPlatform(None, None)
        LIB.Tavi_Event_LevelUp(-2147483648)
        LIB.Tavi_EventStartLoading()
        LIB.Tavi_EventPurchase(b"receipt", None, 0.99, b"EUR", b"gem_pack",
                               3, 1, "Gems €".encode(), 256)
        LIB.Tavi_CustomEvent(b"quest", '{"zone":"nørd","ratio":0.1}'.encode())
        LIB.Tavi_SetAttribution(b"campaign=spring")
        LIB.Tavi_Destroy()

        taken = take_events()
        for url, headers, _ in taken:
            self.assertTrue(url.startswith(BASE_URL + "/v1/win/"), url)
            self.assertTrue(url.endswith("?project=proj-py"), url)
            self.assertEqual(2, len(headers))
        events = [event for _, _, batch in taken for event in batch]
        self.assertEqual(
            ["_session.start", "a_Levelup", "a_Start_loading", "a_Purchase",
             "c_quest", "_init_attribution_pc", "_session.stop"],
            [event["event_type"] for event in events])

        level, _, purchase, quest = events[1:5]
        self.assertEqual("Jürgen \"JJ\"", level["attributes"]["user_id"])
        self.assertEqual("client-7", level["client"]["client_id"])
        self.assertEqual("Zoë's Game \U0001F6E9", level["application"]["title"])
        self.assertEqual("", level["application"]["package_name"])
        self.assertEqual({"name": "", "version": ""}, level["device"]["platform"])
        self.assertEqual({"a_level": -2147483648.0}, level["metrics"])
        self.assertEqual({"a_price": 0.99, "a_amount": 3.0, "a_validated": 1.0,
                          "a_sandbox": 0.0}, purchase["metrics"])
        self.assertEqual("Gems €", purchase["attributes"]["a_name"])
        self.assertEqual("nørd", quest["attributes"]["dsa_zone"])
        single = struct.unpack("f", struct.pack("f", 0.1))[0]
        self.assertEqual(single, quest["metrics"]["dsm_ratio"])


if __name__ == "__main__":
    path = os.environ.get("OSTREL_LIBRARY")
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        path = sys.argv.pop(1)
    if not path:
        sys.exit("usage: test_session.py <path to libostrel.so> "
                 "(or set OSTREL_LIBRARY)")
    LIB = load_library(path)
    unittest.main()
