#!/usr/bin/python3
"""Every frame of a 300-frame 768 x 288 "se1" as numpy RGB, measured in one run against

  (a) the C frame loop of bench_frames over the same file (vialto_frame_loop), and
  (b) what a Python user would write without the package: the chain parsed with struct, each
      JPEG decoded with Pillow;

and the speed-up of a thread pool over several files (ctypes releases the GIL in every call).
Prints times and ratios (peer time / our time; above 1 means the package is faster).

    bench/python/bench_python.py [--build build] [--passes 5] [--threads 2]
"""

import argparse
import io
import os
import struct
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np
from PIL import Image

SOURCE_DIR = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE_DIR / "python"))
import vialto  # noqa: E402

WIDTH, HEIGHT, FRAMES, DISTINCT = 768, 288, 300, 16


def lcg_sequence(seed: int, n: int) -> np.ndarray:
    """n values of the C benchmark's generator (state * 1664525 + 1013904223 mod 2^32), after
    seed; computed a block at a time with the generator's jump-ahead."""
    mul, add, block = 1664525, 1013904223, 1024
    first = np.empty(block, np.uint64)
    s = seed
    for i in range(block):
        s = (s * mul + add) & 0xFFFFFFFF
        first[i] = s
    jump_mul, jump_add = 1, 0  # state -> state after `block` steps
    for _ in range(block):
        jump_mul, jump_add = (jump_mul * mul) & 0xFFFFFFFF, (jump_add * mul + add) & 0xFFFFFFFF
    blocks = [first]
    while len(blocks) * block < n:  # products wrap mod 2^64, which keeps them right mod 2^32
        blocks.append((blocks[-1] * np.uint64(jump_mul) + np.uint64(jump_add)) & np.uint64(0xFFFFFFFF))
    return np.concatenate(blocks)[:n]


def textured_picture(seed: int) -> np.ndarray:
    """The camera-like picture of bench_frames: smooth shading with grain and a few hard edges."""
    state = (0x9E3779B9 * (seed + 1)) & 0xFFFFFFFF
    grain = (lcg_sequence(state, WIDTH * HEIGHT) >> np.uint64(27)).astype(np.int32) - 16
    grain = grain.reshape(HEIGHT, WIDTH)
    y, x = np.mgrid[0:HEIGHT, 0:WIDTH]
    edge = np.where((x // 48 + y // 36 + seed) % 5 == 0, 60, 0)
    base = np.stack([(x * 255) // WIDTH, (y * 255) // HEIGHT, ((x + y + 13 * seed) * 3) % 256], -1)
    return np.clip(base + (grain + edge)[..., None], 0, 255).astype(np.uint8)


def make_sequence(path: Path) -> None:
    streams = [vialto.jpeg_encode(textured_picture(i), 85) for i in range(DISTINCT)]
    vialto.write_se1(path, (streams[i % DISTINCT] for i in range(FRAMES)), codec="JPG")


# --- the three routes ----------------------------------------------------------------------------

def with_vialto(path) -> int:
    total = 0
    with vialto.open(path) as seq:
        for frame in seq:
            total += frame.rgb().shape[0]
    return total


def with_struct_and_pillow(path) -> int:
    total = 0
    with open(path, "rb") as f:
        head = f.read(128)
        if head[:3].lower() != b"se1":
            raise ValueError("not an se1 file")
        count, = struct.unpack_from("<H", head, 5)
        pos, = struct.unpack_from("<I", head, 64)
        for _ in range(count):
            f.seek(pos)
            sub = f.read(64)
            if sub[:8] != b"QXAAAAAA":
                break
            frame_len, = struct.unpack_from("<i", sub, 16)
            data = f.read(frame_len - 64)
            rgb = np.asarray(Image.open(io.BytesIO(data)).convert("RGB"))
            total += rgb.shape[0]
            pos += frame_len
    return total


def with_c_loop(loop: Path, path, passes: int):
    """(wall, cpu) seconds of the C loop's fastest pass."""
    out = subprocess.run([str(loop), str(path), str(passes)], capture_output=True, text=True,
                         check=True).stdout.split()
    if int(out[0]) != FRAMES:
        raise RuntimeError(f"the C loop walked {out[0]} frames")
    return float(out[1]), float(out[2])


def timed(run, *args):
    """(wall, cpu) seconds of one run; cpu is this process's CPU time, all threads."""
    wall, cpu = time.perf_counter(), time.process_time()
    run(*args)
    return time.perf_counter() - wall, time.process_time() - cpu


def fastest(a, b):
    return min(a[0], b[0]), min(a[1], b[1])


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.environ.get("VIALTO_BUILD_DIR", "build"))
    parser.add_argument("--passes", type=int, default=5)
    parser.add_argument("--threads", type=int, default=2)
    args = parser.parse_args()
    loop = Path(args.build)
    loop = (loop if loop.is_absolute() else SOURCE_DIR / loop) / "bench" / "vialto_frame_loop"
    if not loop.exists():
        sys.exit(f"{loop} is missing: build the target vialto_frame_loop")

    with tempfile.TemporaryDirectory(prefix="vialto-bench-") as tmp:
        path = Path(tmp) / "play.se1"
        make_sequence(path)
        assert with_vialto(path) == with_struct_and_pillow(path) == FRAMES * HEIGHT
        # Interleaved passes, fastest of each: the machine may be shared. Ratios come from CPU
        # time, which other processes on the machine disturb far less than wall-clock time.
        inf = (float("inf"), float("inf"))
        ours, c_loop, pillow = inf, inf, inf
        for _ in range(args.passes):
            c_loop = fastest(c_loop, with_c_loop(loop, path, 1))
            ours = fastest(ours, timed(with_vialto, path))
            pillow = fastest(pillow, timed(with_struct_and_pillow, path))
        print(f"{FRAMES} frames of {WIDTH} x {HEIGHT} se1 as numpy RGB, fastest of {args.passes} "
              f"interleaved passes (load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} CPUs)")
        print(f"  {'':22} {'cpu ms':>9} {'frames/s':>9} {'wall ms':>9}")
        for name, (wall, cpu) in (("vialto (Python)", ours), ("C frame loop", c_loop),
                                  ("struct + Pillow", pillow)):
            print(f"  {name:22} {cpu * 1e3:9.1f} {FRAMES / cpu:9.1f} {wall * 1e3:9.1f}")
        print(f"  ratio vs C loop        {c_loop[1] / ours[1]:9.2f}x cpu, {c_loop[0] / ours[0]:.2f}x wall"
              f"   (goal >= 0.9)")
        print(f"  ratio vs Pillow        {pillow[1] / ours[1]:9.2f}x cpu, {pillow[0] / ours[0]:.2f}x wall"
              f"   (goal >= 1.2)")

        files = [Path(tmp) / f"cam{k}.se1" for k in range(2 * args.threads)]
        for f in files:
            os.link(path, f)
        serial = inf
        threaded = inf
        with ThreadPoolExecutor(args.threads) as pool:
            for _ in range(2):
                serial = fastest(serial, timed(lambda: [with_vialto(f) for f in files]))
                threaded = fastest(threaded, timed(lambda: list(pool.map(with_vialto, files))))
        print(f"thread pool, {len(files)} files on {args.threads} threads: serial {serial[0]:.2f} s, "
              f"threads {threaded[0]:.2f} s wall, speed-up {serial[0] / threaded[0]:.2f}x; "
              f"CPU busy {threaded[1] / threaded[0]:.2f} cores in the pool, "
              f"{serial[1] / serial[0]:.2f} serially")
    return 0


if __name__ == "__main__":
    sys.exit(main())
