#!/usr/bin/env bash
# Runs examples/dll_host.c's Windows build under wine64 and checks what it wrote:
#   check-dll-host.sh BUILD_DIR WORK_DIR SEQUENCE...
# The host and vialto.dll are copied side by side into WORK_DIR, so the DLL is found by name.
# The report must show all 52 exports resolved by name and ordinal, the samples' values, and a
# first frame per sequence, each a PPM of the size the report gives.
set -euo pipefail
build=$1 work=$2
shift 2
mkdir -p "$work/out"
cp "$build/vialto.dll" "$build/vialto-example-win.exe" "$work/"
sequences=()
for s in "$@"; do sequences+=("$(winepath -w "$(realpath "$s")")"); done
(cd "$work" && wine ./vialto-example-win.exe "$(winepath -w "$work/out")" "${sequences[@]}" \
   >/dev/null 2>&1) || true
[ -f "$work/out/report.txt" ] || { echo "dll host: no report written"; exit 1; }
report=$work/report.txt
tr -d '\r' <"$work/out/report.txt" >"$report"
cat "$report"
expect() { grep -qxF "$1" "$report" || { echo "dll host: missing line: $1"; exit 1; }; }
expect "exports resolved 52 of 52"
expect "ordinals 26 and 27 one address"
expect "fnVialto 42"
expect "nVialto 0"
expect "done"
n=0
for _ in "$@"; do
  n=$((n + 1))
  line=$(grep -E "^sequence $n open 1 type [01] frame [0-9]+x[0-9]+ written 1$" "$report") ||
    { echo "dll host: sequence $n not read"; exit 1; }
  size=${line#*frame }
  width=${size%%x*} height=${size#*x}
  height=${height%% *}
  ppm=$work/out/$n.ppm
  header="P6 $width $height 255 "
  [ "$(head -c ${#header} "$ppm" | tr '\n' ' ')" = "$header" ] || { echo "dll host: $n.ppm header"; exit 1; }
  [ "$(stat -c %s "$ppm")" -eq $((${#header} + width * height * 3)) ] ||
    { echo "dll host: $n.ppm is not $width x $height RGB"; exit 1; }
done
echo "dll host: 52 exports by name and ordinal, $n sequences read, frames written"
