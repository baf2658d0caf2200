#!/usr/bin/env bash
# `vialto extract --all` against ffmpeg's image2 output on the same JPEG frames, in one run.
#
#   bench/extract_vs_ffmpeg.sh [VIALTO] [RUNS] [FRAMES]
#
# VIALTO is the tool to measure (default build/tools/vialto/vialto), RUNS the timed runs of each
# command (default 5, taken in turns so that both see the same machine load), FRAMES the frame
# count (default 600 frames of 768 x 288). The frames are made once as an "se1" file; the very
# same JPEG streams are stream-copied into an MJPEG AVI for ffmpeg, so both decode the same data.
# Prints median wall and CPU (user + system) seconds, the ratios ffmpeg time / our time (above 1:
# we are faster), the total PNG sizes, and how the decoded pixels compare. Set VIALTO_ARGS for
# extra extract options (e.g. "--jobs 1"). Needs ffmpeg and /usr/bin/python3 with numpy and PIL.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
vialto=${1:-$here/build/tools/vialto/vialto}
runs=${2:-5}
frames=${3:-600}
extra=${VIALTO_ARGS:-}
py=/usr/bin/python3
[ -x "$vialto" ] || { echo "no tool at $vialto" >&2; exit 2; }
vialto=$(realpath "$vialto")
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vialto-extract-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "machine: $(nproc) cores; $(uptime | sed 's/.*load/load/')"
echo "tool: $vialto $extra"
echo "making $frames frames of 768x288 ..."
"$vialto" make se1 --synthetic "$frames" --size 768x288 -o road.se1 >/dev/null
mkdir jpeg
"$vialto" extract road.se1 --all --as jpeg -o jpeg >/dev/null
ffmpeg -nostdin -loglevel error -framerate 25 -i jpeg/road-%06d.jpg -c:v copy road.avi
echo "se1: $(stat -c %s road.se1) bytes, avi: $(stat -c %s road.avi) bytes"

# Runs a command once in an emptied directory and appends "wall cpu" to the file named $1.
timed() {
  local log=$1 dir=$2
  shift 2
  rm -rf "$dir" && mkdir "$dir"
  local TIMEFORMAT='%R %U %S'
  { time "$@" >/dev/null 2>"$work/last.err"; } 2>"$work/time.txt" ||
    { echo "failed: $*" >&2; cat "$work/last.err" >&2; exit 1; }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time.txt" >>"$log"
}

# shellcheck disable=SC2086
for ((i = 0; i < runs; ++i)); do
  for fmt in png ppm; do
    timed "ours.$fmt" "ours-$fmt" "$vialto" extract road.se1 --all --as $fmt -o "ours-$fmt" $extra
    timed "ff.$fmt" "ff-$fmt" ffmpeg -nostdin -loglevel error -i road.avi -f image2 "ff-$fmt/%06d.$fmt"
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
total_size() { find "$1" -name "*.$2" -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }

echo
printf '%-5s %12s %12s %12s %12s %10s %10s\n' format "ours wall" "ffmpeg wall" "ours cpu" "ffmpeg cpu" "wall x" "cpu x"
for fmt in png ppm; do
  ow=$(cut -d' ' -f1 "ours.$fmt" | median)
  fw=$(cut -d' ' -f1 "ff.$fmt" | median)
  oc=$(cut -d' ' -f2 "ours.$fmt" | median)
  fc=$(cut -d' ' -f2 "ff.$fmt" | median)
  awk -v f="$fmt" -v ow="$ow" -v fw="$fw" -v oc="$oc" -v fc="$fc" 'BEGIN {
    printf "%-5s %11.3fs %11.3fs %11.3fs %11.3fs %9.2fx %9.2fx\n", f, ow, fw, oc, fc, fw / ow, fc / oc }'
done
echo "(medians of $runs runs; x = ffmpeg time / our time, above 1.00 we are faster)"
echo "load after: $(uptime | sed 's/.*load/load/')"

# ffmpeg's PNGs of our own decoded pixels: the size comparison on identical pixels.
mkdir same
ffmpeg -nostdin -loglevel error -i ours-ppm/road-%06d.ppm -f image2 same/%06d.png

echo
ours_png=$(total_size ours-png png)
ff_png=$(total_size ff-png png)
same_png=$(total_size same png)
awk -v o="$ours_png" -v f="$ff_png" -v s="$same_png" 'BEGIN {
  printf "PNG bytes: ours %d, ffmpeg on its own decode %d (ours/ffmpeg %.3f)\n", o, f, o / f
  printf "PNG bytes on identical pixels: ours %d, ffmpeg %d (ours/ffmpeg %.3f)\n", o, s, o / s }'

"$py" - "$frames" <<'EOF'
# Pixels: our PNGs against our PPMs (must be equal), ffmpeg's decode against ours.
import sys
import numpy as np
from PIL import Image

def ppm(path):
    with Image.open(path) as im:
        return np.asarray(im.convert("RGB"), dtype=np.int16)

frames = int(sys.argv[1])
png_mismatch, differing, total, worst, sq = 0, 0, 0, 0, 0.0
for n in range(frames):
    ours = ppm(f"ours-ppm/road-{n:06d}.ppm")
    if not np.array_equal(ppm(f"ours-png/road-{n:06d}.png"), ours):
        png_mismatch += 1
    theirs = ppm(f"ff-ppm/{n + 1:06d}.ppm")
    if theirs.shape != ours.shape:
        sys.exit(f"frame {n}: ffmpeg {theirs.shape} vs ours {ours.shape}")
    d = np.abs(theirs - ours)
    differing += int(np.count_nonzero(d))
    total += d.size
    worst = max(worst, int(d.max()))
    sq += float((d.astype(np.float64) ** 2).sum())
print(f"our PNGs vs our PPMs: {png_mismatch} of {frames} frames differ")
mse = sq / total
psnr = float("inf") if mse == 0 else 10 * np.log10(255 * 255 / mse)
print(f"ffmpeg's decode vs ours: {differing} of {total} samples differ "
      f"({100.0 * differing / total:.2f}%), largest difference {worst}, PSNR {psnr:.1f} dB")
EOF
