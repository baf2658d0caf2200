#!/usr/bin/env bash
# The checks CI runs after the plain test suite: the format check, the README's linking steps on
# the plain build, the whole suite under AddressSanitizer + UBSan, the concurrency tests under
# ThreadSanitizer, each fuzz target for a bounded time, and the Windows tier (vialto.dll
# cross-built, its export table, its tests under wine64).
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${VIALTO_FUZZ_SECONDS:-45}

echo "== format: the tracked C and C++ sources against .clang-format"
scripts/check-format.sh

echo "== README linking: install, pkg-config and find_package hosts"
scripts/check-linking.sh "${VIALTO_BUILD_DIR:-build}"

echo "== AddressSanitizer + UBSan: whole suite"
VIALTO_BUILD_DIR=build-asan scripts/build.sh -DVIALTO_SANITIZE=ON -DVIALTO_BUILD_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest -j"$(nproc)" --output-on-failure)

echo "== ThreadSanitizer: concurrency tests"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIALTO_TSAN=ON \
      -DVIALTO_WERROR=ON -DVIALTO_BUILD_BENCH=OFF -DVIALTO_BUILD_TOOLS=OFF >/dev/null
cmake --build build-tsan -j"$(nproc)" --target vialto_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/vialto_tests --gtest_filter='*Concurren*:*Thread*'

echo "== libFuzzer: ${fuzz_seconds}s per target"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVIALTO_BUILD_FUZZ=ON -DVIALTO_WERROR=OFF -DVIALTO_BUILD_TESTS=OFF -DVIALTO_BUILD_BENCH=OFF \
  -DVIALTO_BUILD_TOOLS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"
for target in build-fuzz/fuzz/fuzz_*; do
  [[ $target == *_replay ]] && continue
  name=${target##*/fuzz_}
  mkdir -p "fuzz/corpus/$name" "build-fuzz/crashes/$name"
  # New corpus entries go to a scratch copy; the committed corpus only seeds the run.
  work="build-fuzz/corpus-$name"
  rm -rf "$work" && cp -r "fuzz/corpus/$name" "$work"
  echo "-- $name"
  # Memory is bounded whatever an input claims: a run that needs more than 512 MB, or asks for
  # that much at once, is a failure (an oom-* artifact) like a crash. libFuzzer puts a tab after
  # the execution count, so the filter takes any blank there.
  "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=512 -malloc_limit_mb=512 -close_fd_mask=2 \
    -artifact_prefix="build-fuzz/crashes/$name/" "$work" 2>&1 |
    grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs|ERROR|SUMMARY' || true
  if compgen -G "build-fuzz/crashes/$name/*" >/dev/null; then
    echo "fuzz target $name crashed or ran out of memory; inputs in build-fuzz/crashes/$name (add them to fuzz/regressions/$name)"
    exit 1
  fi
done
echo "== Windows: vialto.dll for i686 and x86_64, export table, example host, tests under wine64"
scripts/ci-windows.sh

echo "== all tiers passed"
