#!/bin/bash
# Runs a command with the remote-source fixtures serving one directory on loopback, for the
# Windows-only tests under wine (a Windows test program cannot start Linux servers itself):
#   serve-fixtures.sh DIR COMMAND...
# Starts nginx (http, and https with a fresh self-signed certificate), the anonymous ftp server
# and the hostile http server, all on free ports, then runs COMMAND with
#   VIALTO_WIN32_SERVED_DIR   DIR (the tests write the files they read into it)
#   VIALTO_WIN32_HTTP_URL     http://127.0.0.1:PORT/      VIALTO_WIN32_HTTPS_URL  https://...
#   VIALTO_WIN32_FTP_URL      ftp://127.0.0.1:PORT/       VIALTO_WIN32_HOSTILE_URL http://...
# and stops the servers when it ends. Its exit status is the command's.
set -euo pipefail
root=$(realpath "$1")
shift
here=$(cd "$(dirname "$0")" && pwd)
fixtures="$here/../../fixtures"
state=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$state"
}
trap cleanup EXIT
trap "exit 143" TERM INT HUP

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_for_port() {
  for _ in $(seq 200); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.05
  done
  echo "serve-fixtures: nothing listens on port $1" >&2
  return 1
}
# Starts a fixture that prints its port first, in this shell so that the cleanup stops it.
start_printing_port() {
  local name=$1
  shift
  "$@" >"$state/$name.port" &
  pids+=($!)
}
# The port a fixture started above printed.
port_of() {
  local out="$state/$1.port"
  for _ in $(seq 200); do
    [ -s "$out" ] && head -n1 "$out" && return 0
    sleep 0.05
  done
  echo "serve-fixtures: the $1 server printed no port" >&2
  return 1
}

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$state/key.pem" -out "$state/cert.pem" >/dev/null 2>&1
http_port=$(free_port)
https_port=$(free_port)
cat >"$state/nginx.conf" <<CONF
daemon off; master_process off; worker_processes 1;
pid $state/nginx.pid; error_log $state/error.log warn;
events { worker_connections 256; }
http {
  access_log $state/access.log;
  client_body_temp_path $state/body; proxy_temp_path $state/proxy;
  fastcgi_temp_path $state/fastcgi; uwsgi_temp_path $state/uwsgi; scgi_temp_path $state/scgi;
  default_type application/octet-stream; keepalive_requests 100000;
  server { listen 127.0.0.1:$http_port; root $root; }
  server { listen 127.0.0.1:$https_port ssl; root $root;
    ssl_certificate $state/cert.pem; ssl_certificate_key $state/key.pem; }
}
CONF
/usr/sbin/nginx -p "$state" -c "$state/nginx.conf" -e "$state/error.log" &
pids+=($!)
wait_for_port "$http_port"
wait_for_port "$https_port"
start_printing_port ftp /usr/bin/python3 "$fixtures/ftp_server.py" "$root"
start_printing_port hostile /usr/bin/python3 "$fixtures/hostile_http.py" "$root"
ftp_port=$(port_of ftp)
hostile_port=$(port_of hostile)

export VIALTO_WIN32_SERVED_DIR="$root"
export VIALTO_WIN32_HTTP_URL="http://127.0.0.1:$http_port/"
export VIALTO_WIN32_HTTPS_URL="https://127.0.0.1:$https_port/"
export VIALTO_WIN32_FTP_URL="ftp://127.0.0.1:$ftp_port/"
export VIALTO_WIN32_HOSTILE_URL="http://127.0.0.1:$hostile_port/"
# In the background, so that a signal to this script reaches the cleanup at once.
set +e
"$@" &
command_pid=$!
pids+=("$command_pid")
wait "$command_pid"
exit $?
