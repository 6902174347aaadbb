#!/usr/bin/env python3
"""Checks the corvane program as a component server.

usage: module_exports_program_test.py CORVANE NM

Its dynamic symbol table must define DllGetActivationFactory,
DllCanUnloadNow and VSDesignerDllMain, and its exports, called through that
table, must answer exactly as the sample GameAssembly does (no class served,
never unloadable), even for the host's own class names. A forward that
reached the program's own export again would recurse until it crashed."""
import json
import subprocess
import sys

EXPORTS = {"DllGetActivationFactory", "DllCanUnloadNow", "VSDesignerDllMain"}
CLASS_NOT_REGISTERED = "0x80040154"
S_FALSE = "0x00000001"


def defined_exports(corvane, nm):
    output = subprocess.run([nm, "-D", "--defined-only", corvane], capture_output=True,
                            text=True, check=True).stdout
    return {fields[2] for fields in (line.split() for line in output.splitlines())
            if len(fields) == 3 and fields[1] == "T"}


def query(corvane, class_id):
    result = subprocess.run([corvane, "--query-exports", class_id], capture_output=True, timeout=60)
    if result.returncode != 0:
        sys.exit(f"{class_id}: status {result.returncode}: {result.stderr.decode('utf-8', 'replace')}"
                 f"{result.stdout.decode('utf-8', 'replace')}")
    return [json.loads(line) for line in result.stdout.decode("utf-8").splitlines()]


def main():
    corvane, nm = sys.argv[1], sys.argv[2]
    missing = EXPORTS - defined_exports(corvane, nm)
    if missing:
        sys.exit(f"not exported by corvane: {sorted(missing)}")
    for class_id in ["Corvane.MainPage", "Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider",
                     "Game.Unknown", ""]:
        expected = [
            {"export": "DllGetActivationFactory", "class": class_id,
             "result": CLASS_NOT_REGISTERED, "factory": False},
            {"export": "DllCanUnloadNow", "result": S_FALSE},
            {"export": "VSDesignerDllMain", "exported": True},
        ]
        answers = query(corvane, class_id)
        if answers != expected:
            sys.exit(f"{class_id}: expected {expected}, got {answers}")
    usage = subprocess.run([corvane, "--query-exports"], capture_output=True, timeout=60)
    if usage.returncode != 2 or b"--query-exports needs exactly one class id" not in usage.stderr:
        sys.exit(f"--query-exports without a class id: status {usage.returncode}")


if __name__ == "__main__":
    main()
