#!/usr/bin/env bash
# Everything from a fresh clone: packages, build, the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh "$@"
cd "${VIALTO_BUILD_DIR:-build}"
ctest -j"$(nproc)" --output-on-failure
