"""scripts/check-exports.py against export tables in objdump -p's own layout."""
import importlib.machinery
import pathlib
import sys
import types

import pytest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-exports.py"
# The script's name has a hyphen, so it is loaded from its path rather than imported.
_loader = importlib.machinery.SourceFileLoader("check_exports", str(SCRIPT))
check_exports = types.ModuleType(_loader.name)
check_exports.__file__ = _loader.path
sys.modules[_loader.name] = check_exports
_loader.exec_module(check_exports)

EXPECTED = [(1, "??0CVialto@@QAE@XZ", None), (2, "_Ser_DeleteJpegToRGBBuf@4", None),
            (3, "_Ser_DeleteRGBToJpegBuf@4", 2), (4, "fnVialto", None)]


def objdump_text(names, addresses, base=1):
    """The export part of objdump -p: names in table order, addresses by ordinal."""
    lines = ["The Export Tables (interpreted .edata section contents)", "",
             f"Ordinal Base \t\t\t{base}", "", f"Export Address Table -- Ordinal Base {base}"]
    for ordinal, address in sorted(addresses.items()):
        lines.append(f"\t[{ordinal - base:4d}] +base[{ordinal:4d}] {address:04x} Export RVA")
    lines += ["", "[Ordinal/Name Pointer] Table"]
    for name, ordinal in names:
        lines.append(f"\t[{ordinal - base:4d}] {name}")
    lines += ["", "The Function Table (interpreted .pdata section contents)"]
    return "\n".join(lines) + "\n"


def problems(names, addresses, base=1):
    parsed = check_exports.parse_export_table(objdump_text(names, addresses, base))
    return check_exports.compare(EXPECTED, *parsed)


GOOD_NAMES = [(name, ordinal) for ordinal, name, _ in EXPECTED]
GOOD_ADDRESSES = {1: 0x1510, 2: 0x3f70, 3: 0x3f70, 4: 0x1500}


def test_matching_table_passes_whatever_the_ordinal_base():
    assert problems(GOOD_NAMES, GOOD_ADDRESSES) == []
    shifted = {ordinal + 9: address for ordinal, address in GOOD_ADDRESSES.items()}
    names = [(name, ordinal + 9) for name, ordinal in GOOD_NAMES]
    # A base of 10 moves every ordinal: the names are then all at the wrong ones.
    found = problems(names, shifted, base=10)
    assert [p for p in found if p.startswith("wrong ordinal")] == [
        f"wrong ordinal: {name} is {ordinal + 9}, expected {ordinal}" for name, ordinal in GOOD_NAMES]
    assert "unexpected ordinal: 13" in found


@pytest.mark.parametrize("names, addresses, expected", [
    # one name exported at another ordinal
    ([("??0CVialto@@QAE@XZ", 1), ("_Ser_DeleteJpegToRGBBuf@4", 2),
      ("_Ser_DeleteRGBToJpegBuf@4", 3), ("fnVialto", 5)],
     {**GOOD_ADDRESSES, 5: 0x1500},
     ["wrong ordinal: fnVialto is 5, expected 4", "unexpected ordinal: 5"]),
    # a decorated name with the wrong argument bytes
    ([("??0CVialto@@QAE@XZ", 1), ("_Ser_DeleteJpegToRGBBuf@8", 2),
      ("_Ser_DeleteRGBToJpegBuf@4", 3), ("fnVialto", 4)], GOOD_ADDRESSES,
     ["missing: _Ser_DeleteJpegToRGBBuf@4 (ordinal 2)",
      "unexpected export: _Ser_DeleteJpegToRGBBuf@8 (ordinal 2)"]),
    # the two names of one function on two entry points
    (GOOD_NAMES, {**GOOD_ADDRESSES, 3: 0x3f80},
     ["ordinals 2 and 3 should share one entry point"]),
    # two exports that should differ on one entry point
    (GOOD_NAMES, {**GOOD_ADDRESSES, 4: 0x1510}, ["ordinals 1 and 4 share an entry point"]),
    # an export too many
    (GOOD_NAMES + [("Extra", 5)], {**GOOD_ADDRESSES, 5: 0x2000},
     ["unexpected export: Extra (ordinal 5)", "unexpected ordinal: 5",
      "5 named exports, expected 4"]),
])
def test_each_difference_is_reported(names, addresses, expected):
    assert problems(names, addresses) == expected


def test_output_without_an_export_table_is_an_error():
    with pytest.raises(ValueError):
        check_exports.parse_export_table("file format pei-i386\n")


def test_committed_table_has_52_entries_in_ascii_order():
    table = check_exports.read_expected(SCRIPT.parents[1] / "tests" / "windows" / "vialto-i686.exports")
    assert [ordinal for ordinal, _, _ in table] == list(range(1, 53))
    names = [name for _, name, _ in table]
    assert names == sorted(names)
    assert names[:3] == ["??0CVialto@@QAE@XZ", "??4CVialto@@QAEAAV0@ABV0@@Z", "?nVialto@@3HA"]
    assert names[-1] == "fnVialto"
    assert [(o, s) for o, _, s in table if s is not None] == [(27, 26)]
