#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, only those missing.
# --windows: also the cross build's (mingw-w64, wine64 to run its tests, dpkg-dev to unpack
# Debian's libjpeg-turbo source, googletest's source).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config python3
  libjpeg62-turbo-dev libturbojpeg0-dev libcurl4-openssl-dev libfreetype-dev libfontconfig-dev
  fonts-dejavu-core fonts-dejavu-extra libpng-dev libdeflate-dev libgtest-dev libgmock-dev libbenchmark-dev libyuv-dev
  libcli11-dev nlohmann-json3-dev
  nginx-light python3-pyftpdlib openssl clang libclang-rt-14-dev clang-format
  python3-numpy python3-pytest python3-pil python3-dask python3-distributed python3-pandas
  python3-venv python3-pip python3-setuptools python3-wheel
  # real encoders and an independent decoder for the tool's picture tests (cjpeg, djpeg, ffmpeg)
  libjpeg-turbo-progs ffmpeg
  # the viewer: its HTTP server, and the browser its tests drive
  libcpp-httplib-dev chromium chromium-driver python3-selenium
)
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 wine wine64 dpkg-dev googletest)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
