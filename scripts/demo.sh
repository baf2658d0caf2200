#!/usr/bin/env bash
# The main job from a fresh clone: packages, build, then the example host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build/vialto-example
