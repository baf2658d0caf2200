#!/usr/bin/env bash
# The main job from a fresh clone: packages, build, then the vialto demo on the shipped samples.
# The annotated frames and the contact sheet go to build/vialto-demo (or the directory in $1).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=${VIALTO_BUILD_DIR:-build}
"$build_dir"/tools/vialto/vialto demo -o "${1:-$build_dir/vialto-demo}"
