#!/usr/bin/env bash
# Cross-builds vialto.dll for 32-bit (i686) and 64-bit (x86_64) Windows with Debian's mingw-w64.
#
#   scripts/build-windows.sh            the DLLs and their import libraries
#   scripts/build-windows.sh --tests    also the example host, and for x86_64 the unit tests
#
# Debian has no mingw libjpeg: libjpeg-turbo is built statically from Debian's own source package,
# GoogleTest from Debian's googletest source (/usr/src/googletest). Both are kept between runs in
# $VIALTO_WIN_CACHE (default ~/.cache/vialto-win/<arch>). Build trees: build-win/<arch>.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cache=${VIALTO_WIN_CACHE:-$HOME/.cache/vialto-win}
arches=${VIALTO_WIN_ARCHES:-i686 x86_64}
jobs=${VIALTO_JOBS:-$(nproc)}
with_tests=0
[ "${1:-}" = "--tests" ] && with_tests=1

scripts/install-deps.sh --windows

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# --- libjpeg-turbo from Debian's source package ----------------------------------------------
# deb-src is usually not configured. A private apt configuration turns the system's own "deb"
# entries into "deb-src" entries (the same archives, read from the sources files now), with its
# own lists and cache, so the system's apt state is left alone.
fetch_jpeg_source() {
  local apt=$cache/apt
  rm -rf "$apt" && mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/archives/partial" "$apt/src"
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$apt/sources.list"
  else
    : >"$apt/sources.list"
  fi
  local f
  for f in /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >"$apt/sources.list.d/$(basename "$f")"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt/sources.list.d/$(basename "$f")"
  done
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt" -o "Dir::Cache::archives=$apt/archives"
              -o Debug::NoLocking=1 -o APT::Get::List-Cleanup=0)
  apt-get "${opts[@]}" -qq update
  (cd "$apt/src" && apt-get "${opts[@]}" -qq source --download-only libjpeg-turbo)
  (cd "$apt/src" && dpkg-source --no-check -x ./*.dsc libjpeg-turbo >/dev/null)
  echo "$apt/src/libjpeg-turbo"
}

build_jpeg() {
  local arch=$1 prefix=$cache/$1
  [ -f "$prefix/lib/libjpeg.a" ] && return 0
  [ -n "${jpeg_source:-}" ] || jpeg_source=$(fetch_jpeg_source)
  echo "== libjpeg-turbo for $arch (static)"
  local tree=$cache/build/jpeg-$arch
  rm -rf "$tree"
  cmake -S "$jpeg_source" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_SIMD=OFF -DWITH_JAVA=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON "${launcher[@]}" >/dev/null
  cmake --build "$tree" -j"$jobs" --target install >/dev/null
}

build_gtest() {
  local arch=$1 prefix=$cache/$1
  [ -f "$prefix/lib/libgtest.a" ] && return 0
  echo "== GoogleTest for $arch"
  local tree=$cache/build/gtest-$arch
  rm -rf "$tree"
  cmake -S /usr/src/googletest -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF \
    "${launcher[@]}" >/dev/null
  cmake --build "$tree" -j"$jobs" --target install >/dev/null
}

# --- vialto.dll ---------------------------------------------------------------------------------
build_vialto() {
  local arch=$1 tests=$2 tree=build-win/$1
  local targets=(vialto vialto-example vialto-example-win)
  local options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIALTO_BUILD_TESTS=OFF)
  if [ "$tests" = 1 ]; then
    # The 64-bit tests are the ones that run (under wine64); -O1 keeps their build short.
    targets+=(vialto_tests)
    options=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG" -DVIALTO_BUILD_TESTS=ON)
  fi
  echo "== vialto.dll for $arch"
  cmake -S . -B "$tree" -G Ninja "${options[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-$arch.cmake" \
    -DVIALTO_WINDOWS_DEPS="$cache/$arch" -DVIALTO_PLATFORM_BACKEND=win32 \
    -DVIALTO_BUILD_TOOLS=OFF -DVIALTO_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
  cmake --build "$tree" -j"$jobs" --target "${targets[@]}"
}

for arch in $arches; do
  build_jpeg "$arch"
  tests=0
  if [ $with_tests = 1 ] && [ "$arch" = x86_64 ]; then
    build_gtest "$arch"
    tests=1
  fi
  build_vialto "$arch" $tests
done
