#!/usr/bin/env bash
# Follows README.md's "Linking" section as a user would: installs the build to a temporary prefix
# (in place of /opt/vialto), takes the API example and the CMakeLists.txt from the README, runs
# the section's shell blocks as written and checks that both programs read a sample sequence;
# also that vialto.pc leads back to its prefix from a multiarch library folder.
# Usage: scripts/check-linking.sh [BUILD_DIR]   (default: build, or $VIALTO_BUILD_DIR)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${VIALTO_BUILD_DIR:-$src/build}}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints the body of the N-th fenced block of LANG (counting from 1) between two headings.
readme_block() {
  local from=$1 to=$2 lang=$3 nth=$4
  awk -v from="$from" -v to="$to" -v lang="$lang" -v nth="$nth" '
    $0 == from { inside = 1; next }
    inside && $0 == to { exit }
    inside && !fenced && $0 == "```" lang { fenced = 1; ++count; next }
    fenced && $0 == "```" { fenced = 0; next }
    fenced && count == nth { print }
  ' "$src/README.md"
}

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir -p "$work/host/samples"
cp "$src/samples/road.se1" "$work/host/samples/"
readme_block "## The API in brief" "## Python" c 1 >"$work/host/host.c"
readme_block "## Linking" "## Contributing" cmake 1 >"$work/host/CMakeLists.txt"
for n in 1 2; do
  readme_block "## Linking" "## Contributing" sh "$n" | sed "s|/opt/vialto|$prefix|g" \
    >"$work/step$n.sh"
  [ -s "$work/host/host.c" ] && [ -s "$work/step$n.sh" ] || { echo "README block missing"; exit 1; }
done

# The installed vialto.pc must describe the installed tree, whatever the library folder.
lib=$(find "$prefix" -name 'libvialto.so' -printf '%h\n' | head -n1)
pc_libdir=$(PKG_CONFIG_PATH="$lib/pkgconfig" pkg-config --variable=libdir vialto)
if [ "$(cd "$pc_libdir" && pwd)" != "$lib" ]; then
  echo "vialto.pc names libdir $pc_libdir, the library is in $lib"
  exit 1
fi

# And so with Debian's multiarch library folder: a configure-only tree writes the file, which
# must lead from lib/x86_64-linux-gnu/pkgconfig back to the prefix.
cmake -S "$src" -B "$work/multiarch" -G Ninja -DCMAKE_INSTALL_LIBDIR=lib/x86_64-linux-gnu \
      -DVIALTO_BUILD_TESTS=OFF -DVIALTO_BUILD_BENCH=OFF -DVIALTO_BUILD_TOOLS=OFF >/dev/null
multi="$work/multi-prefix"
mkdir -p "$multi/lib/x86_64-linux-gnu/pkgconfig" "$multi/include"
cp "$work/multiarch/vialto.pc" "$multi/lib/x86_64-linux-gnu/pkgconfig/"
for variable in libdir:lib/x86_64-linux-gnu includedir:include; do
  got=$(PKG_CONFIG_PATH="$multi/lib/x86_64-linux-gnu/pkgconfig" \
        pkg-config --variable="${variable%%:*}" vialto)
  if [ "$(cd "$got" 2>/dev/null && pwd)" != "$multi/${variable#*:}" ]; then
    echo "multiarch vialto.pc names ${variable%%:*} $got"
    exit 1
  fi
done

cd "$work/host"
for n in 1 2; do
  # Neither the user's environment nor a leftover library path may make the step pass.
  out=$(env -u LD_LIBRARY_PATH -u PKG_CONFIG_PATH -u CMAKE_PREFIX_PATH \
          bash -euo pipefail "$work/step$n.sh" 2>&1) || { echo "$out"; echo "step $n failed"; exit 1; }
  if ! grep -q '^frame 0: [0-9]*x[0-9]*, mean [0-9]*$' <<<"$out"; then
    echo "$out"
    echo "step $n: the example printed no frames"
    exit 1
  fi
done
echo "README linking: pkg-config and find_package hosts built and ran"
