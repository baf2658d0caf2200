#!/usr/bin/env bash
# The Windows tier: vialto.dll cross-built for i686 and x86_64, the i686 export table checked
# name by name and ordinal by ordinal, the example hosts run under wine64 on the samples (one
# loading the DLL by name, one linked with the import library), and the x86_64 unit tests under
# wine64 with the fixture servers (nginx, ftp, hostile http) on loopback. Headless: no display,
# no wine output; message boxes never show (the tests route notices to a sink).
#
# Results are read from the programs' output and result files, never from a wine exit code alone.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$(date +%s)

scripts/build-windows.sh --tests

echo "== export table (i686)"
scripts/check-exports.py build-win/i686/vialto.dll tests/windows/vialto-i686.exports

# A wine prefix of our own, made once and kept with the build trees.
export WINEPREFIX=$root/build-win/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== wine prefix"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # The null graphics driver: windows, message boxes and dialogs exist without a display, so
  # their tests read and dismiss them instead of skipping.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
fi
work=$(mktemp -d)
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== example host (x86_64 under wine64)"
scripts/check-dll-host.sh build-win/x86_64 "$work/host" samples/road.ser samples/road.se1

echo "== host linked with the import library (x86_64 under wine64)"
linked=$(wine build-win/x86_64/vialto-example.exe samples/road.ser 2>/dev/null | tr -d '\r')
echo "$linked"
[ "$linked" = "vialto says 42
samples/road.ser: open 1, type 0" ] || { echo "import-library host: unexpected output"; exit 1; }

echo "== unit tests (x86_64 under wine64), fixture servers on loopback"
mkdir -p "$work/served"
tests_started=$(date +%s)
status=0
# A relative name: the test program takes a path without a drive letter as relative anyway.
rm -f build-win/x86_64/wine-tests.xml
tests/platform/win32/serve-fixtures.sh "$work/served" \
  wine build-win/x86_64/tests/vialto_tests.exe --gtest_brief=1 \
  --gtest_output=xml:build-win/x86_64/wine-tests.xml >"$work/tests.log" 2>&1 || status=$?
grep -E '^\[  (FAILED|SKIPPED) |Failure|POSIX backend only' "$work/tests.log" || true
/usr/bin/python3 - build-win/x86_64/wine-tests.xml "$status" <<'EOF'
import sys, xml.etree.ElementTree as ET
try:
    suites = ET.parse(sys.argv[1]).getroot()
except (OSError, ET.ParseError) as error:
    sys.exit(f"wine tests: no readable result file ({error}); exit status {sys.argv[2]}")
tests, failures, errors = (int(suites.get(k, 0)) for k in ("tests", "failures", "errors"))
skipped = sum(1 for case in suites.iter("testcase") if case.find("skipped") is not None)
print(f"wine tests: {tests} run, {tests - failures - errors - skipped} passed, "
      f"{skipped} skipped, {failures + errors} failed")
sys.exit(1 if failures or errors or tests == 0 or sys.argv[2] != "0" else 0)
EOF
echo "wine tests took $(( $(date +%s) - tests_started )) s; Windows tier $(( $(date +%s) - started )) s"
