#!/usr/bin/env bash
# Configures and builds into build/ (or $VIALTO_BUILD_DIR), with extra CMake arguments passed on.
# Warnings are errors here (and so in CI); pass -DVIALTO_WERROR=OFF to override.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VIALTO_BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${VIALTO_BUILD_TYPE:-RelWithDebInfo} \
  -DVIALTO_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
