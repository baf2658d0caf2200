#!/usr/bin/env bash
# The package as a user installs it: a virtual environment over Debian's Python, pip without the
# network or build isolation, then an import and a frame through the installed copy.
#   venv_install.sh SOURCE_DIR BUILD_DIR LIBRARY
set -euo pipefail
src=$1 build=$2 library=$3
work=$(mktemp -d "$build/python-venv.XXXXXX")
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 -m venv --system-site-packages "$work/v"
# A copy of the tree: pip's build leaves egg-info and build/ behind in the source.
cp -r "$src/python" "$work/src"
PIP_NO_INDEX=1 PIP_DISABLE_PIP_VERSION_CHECK=1 \
  "$work/v/bin/pip" install -q --no-build-isolation "$work/src"
cd "$work"  # away from the checkout, so only the installed copy can be imported
VIALTO_LIBRARY=$library "$work/v/bin/python" - "$src/samples/road.se1" <<'PY'
import sys
import vialto
assert "site-packages" in vialto.__file__, vialto.__file__
with vialto.open(sys.argv[1]) as seq:
    rgb = seq[-1].rgb()
    assert (seq.kind, len(seq), rgb.shape) == ("se1", 10, (270, 480, 3))
import vialto.dask
print("installed", vialto.__version__, "from", vialto.__file__, "using", vialto.library_path())
PY
# Without the override the installed copy says where it looked.
if out=$(VIALTO_LIBRARY= LD_LIBRARY_PATH= "$work/v/bin/python" -c "import vialto; vialto.open('x')" 2>&1); then
  echo "expected a failure to find the library, got: $out"; exit 1
fi
case $out in
  *LibraryNotFound*"tried:"*) ;;
  *) echo "unexpected failure: $out"; exit 1 ;;
esac
# The library copied next to the installed package is found there.
pkg=$("$work/v/bin/python" -c "import os, vialto; print(os.path.dirname(vialto.__file__))")
cp "$library" "$pkg/libvialto.so"
VIALTO_LIBRARY= "$work/v/bin/python" -c "
import vialto, os
assert vialto.library_path() == os.path.join('$pkg', 'libvialto.so'), vialto.library_path()
print('found next to the package:', vialto.library_path())"
