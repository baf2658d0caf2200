#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and builds a small host against it, once
# with pkg-config and once with find_package(vialto); both hosts must run.
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(find "$work/prefix" -name 'libvialto.so' -printf '%h\n' | head -n1)

export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -Wall -Werror -o "$work/host-pc" "$src/examples/hello_host.c" $(pkg-config --cflags --libs vialto)
LD_LIBRARY_PATH="$libdir" "$work/host-pc" | grep -q 'vialto says 42'

cmake -S "$src/tests/host" -B "$work/host-build" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DVIALTO_EXAMPLE="$src/examples/hello_host.c" >/dev/null
cmake --build "$work/host-build" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/host-build/host-cmake" | grep -q 'vialto says 42'
echo "installed tree: pkg-config and find_package hosts both run"
