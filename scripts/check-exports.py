#!/usr/bin/python3
"""Compares a DLL's export table, as objdump -p prints it, with an expected table.

    check-exports.py DLL EXPECTED [--objdump PROGRAM]

EXPECTED has one export a line: "ordinal name", with "=N" after the name when the entry point
is the one of ordinal N. Every name must be exported at its ordinal and nothing else may be;
entries marked as shared must have one address, all others addresses of their own. Exits 0 when
the tables match, 1 with one line per difference otherwise.
"""
import argparse
import re
import subprocess
import sys


def read_expected(path):
    """[(ordinal, name, shared_with or None)] from the expected table."""
    entries = []
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split()
            if len(fields) not in (2, 3) or (len(fields) == 3 and not fields[2].startswith("=")):
                raise SystemExit(f"{path}:{number}: expected 'ordinal name [=ordinal]'")
            shared = int(fields[2][1:]) if len(fields) == 3 else None
            entries.append((int(fields[0]), fields[1], shared))
    return entries


def parse_export_table(text):
    """(ordinal -> address, name -> ordinal) from objdump -p's export sections."""
    base_match = re.search(r"^Ordinal Base\s+(\d+)", text, re.M)
    if base_match is None:
        raise ValueError("no export table in the objdump output")
    base = int(base_match.group(1))
    addresses = {}
    for m in re.finditer(r"^\s*\[\s*\d+\] \+base\[\s*(\d+)\] ([0-9a-fA-F]+) Export RVA", text, re.M):
        addresses[int(m.group(1))] = int(m.group(2), 16)
    names = {}
    section = text.split("[Ordinal/Name Pointer] Table", 1)
    if len(section) == 2:
        for line in section[1].splitlines()[1:]:
            m = re.match(r"^\s*\[\s*(\d+)\] (\S+)$", line)
            if m is None:
                break
            names[m.group(2)] = int(m.group(1)) + base
    return addresses, names


def compare(expected, addresses, names):
    """The differences between the expected table and the DLL's, as text lines."""
    problems = []
    wanted = {name: ordinal for ordinal, name, _ in expected}
    for ordinal, name, _ in expected:
        if name not in names:
            problems.append(f"missing: {name} (ordinal {ordinal})")
        elif names[name] != ordinal:
            problems.append(f"wrong ordinal: {name} is {names[name]}, expected {ordinal}")
    for name, ordinal in sorted(names.items(), key=lambda item: item[1]):
        if name not in wanted:
            problems.append(f"unexpected export: {name} (ordinal {ordinal})")
    expected_ordinals = {ordinal for ordinal, _, _ in expected}
    for ordinal in sorted(set(addresses) - expected_ordinals):
        problems.append(f"unexpected ordinal: {ordinal}")
    if len(names) != len(expected):
        problems.append(f"{len(names)} named exports, expected {len(expected)}")

    # One address per entry point: the shared ones agree, and no two others coincide.
    owner = {}
    for ordinal, name, shared in expected:
        if ordinal not in addresses:
            continue
        if shared is not None:
            if addresses.get(shared) != addresses[ordinal]:
                problems.append(f"ordinals {shared} and {ordinal} should share one entry point")
            continue
        address = addresses[ordinal]
        if address in owner:
            problems.append(f"ordinals {owner[address]} and {ordinal} share an entry point")
        owner[address] = ordinal
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dll")
    parser.add_argument("expected")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    args = parser.parse_args()
    dump = subprocess.run([args.objdump, "-p", args.dll], check=True, capture_output=True, text=True)
    expected = read_expected(args.expected)
    try:
        addresses, names = parse_export_table(dump.stdout)
    except ValueError as error:
        print(f"{args.dll}: {error}")
        return 1
    problems = compare(expected, addresses, names)
    for problem in problems:
        print(f"{args.dll}: {problem}")
    if problems:
        print(f"export table check FAILED: {len(problems)} difference(s)")
        return 1
    shared = [f"{s}/{o}" for o, _, s in expected if s is not None]
    print(f"export table check passed: {len(expected)} names at their ordinals, "
          f"shared entry points {', '.join(shared)}, no other shared address")
    return 0


if __name__ == "__main__":
    sys.exit(main())
