#!/usr/bin/env python3
"""Checks the corvane program as a component server.

usage: module_exports_program_test.py CORVANE exports NM
       module_exports_program_test.py CORVANE missing-import NAME STAND_IN_FOLDER

exports: its dynamic symbol table must define DllGetActivationFactory,
DllCanUnloadNow and VSDesignerDllMain, and its exports, called through that
table, must answer exactly as the sample GameAssembly does (no class served,
never unloadable), even for the host's own class names. A forward that
reached the program's own export again would recurse until it crashed.

missing-import: with STAND_IN_FOLDER's libGameAssembly.so, which lacks the
import NAME, on LD_LIBRARY_PATH, both the export query and a start end with
status 1 and a message naming the import, never with an abort."""
import json
import os
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


def check_exports(corvane, nm):
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
    if usage.returncode != 2 or b"--query-exports needs CLASSID" not in usage.stderr:
        sys.exit(f"--query-exports without a class id: status {usage.returncode}")


def check_missing_import(corvane, name, stand_in_folder):
    environment = dict(os.environ, LD_LIBRARY_PATH=stand_in_folder)
    expected = f"{os.path.join(stand_in_folder, 'libGameAssembly.so')}) has no {name}"
    for arguments in (["--query-exports", "Corvane.MainPage"], []):
        result = subprocess.run([corvane, *arguments], env=environment, capture_output=True,
                                timeout=60)
        stderr = result.stderr.decode("utf-8", "replace")
        if result.returncode != 1 or expected not in stderr or result.stdout:
            sys.exit(f"{arguments}: expected status 1, no output and '{expected}', got status "
                     f"{result.returncode}: {stderr}{result.stdout.decode('utf-8', 'replace')}")


def main():
    corvane, case = sys.argv[1], sys.argv[2]
    if case == "exports":
        check_exports(corvane, sys.argv[3])
    elif case == "missing-import":
        check_missing_import(corvane, sys.argv[3], sys.argv[4])
    else:
        sys.exit(f"unknown case {case}")


if __name__ == "__main__":
    main()
