#!/usr/bin/env bash
# The Windows tier: vialto.dll cross-built for i686 and x86_64, the i686 export table checked
# name by name and ordinal by ordinal, the example host run under wine64 on the samples, and the
# x86_64 unit tests under wine64 with nginx on loopback. Headless: no display, no wine output;
# message boxes never show (the tests route notices to a sink).
#
# Results are read from the programs' output files, never from a wine exit code alone.
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
fi
work=$(mktemp -d)
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== example host (x86_64 under wine64)"
scripts/check-dll-host.sh build-win/x86_64 "$work/host" samples/road.ser samples/road.se1

echo "== unit tests (x86_64 under wine64), nginx on loopback"
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
http_port=$(free_port)
https_port=$(free_port)
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
cat >"$work/nginx.conf" <<EOF
daemon off; master_process off; worker_processes 1;
pid $work/nginx.pid; error_log $work/error.log warn;
events { worker_connections 256; }
http {
  access_log $work/access.log;
  client_body_temp_path $work/body; proxy_temp_path $work/proxy; fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi; scgi_temp_path $work/scgi;
  default_type application/octet-stream;
  server { listen 127.0.0.1:$http_port; root $root/samples; }
  server { listen 127.0.0.1:$https_port ssl; root $root/samples;
    ssl_certificate $work/cert.pem; ssl_certificate_key $work/key.pem; }
}
EOF
/usr/sbin/nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log" &
nginx_pid=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$http_port") 2>/dev/null && break
  sleep 0.1
done
export VIALTO_TEST_HTTP_ROOT=http://127.0.0.1:$http_port/ VIALTO_TEST_HTTPS_ROOT=https://127.0.0.1:$https_port/
tests_started=$(date +%s)
status=0
wine build-win/x86_64/tests/vialto_tests.exe --gtest_brief=1 \
  "--gtest_output=xml:$work/tests.xml" >"$work/tests.log" 2>&1 || status=$?
grep -E '^\[  (FAILED|SKIPPED) |Failure|POSIX backend only' "$work/tests.log" || true
/usr/bin/python3 - "$work/tests.xml" "$status" <<'EOF'
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
