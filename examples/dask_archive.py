#!/usr/bin/python3
"""An archive of camera sequences on a dask.distributed cluster: the frame index of every file and
every frame's mean brightness, one task per range of frames.

    examples/dask_archive.py                      # a small demo archive, LocalCluster of 2 workers
    examples/dask_archive.py cam*.se1 http://archive.example/cam9.se1 --frames-per-task 200
    examples/dask_archive.py --scheduler tcp://scheduler:8786 /shared/archive/*.se1

Sources are local paths every worker can read, or URLs. The same graph runs on the LocalCluster
started here or on a real cluster given with --scheduler.
"""

import argparse
import os
import shutil
import sys
import tempfile
from pathlib import Path

try:
    import vialto  # noqa: F401 - importable, or found in the checkout below
except ImportError:  # run from a checkout: the package beside this folder, for the workers too
    checkout_python = str(Path(__file__).resolve().parents[1] / "python")
    sys.path.insert(0, checkout_python)
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [checkout_python,
                                                             os.environ.get("PYTHONPATH")]))
    import vialto  # noqa: F401 - importable, or found in the checkout below

import vialto.dask as vd
from dask.distributed import Client, LocalCluster


def demo_archive(directory: Path) -> list:
    """Copies of the shipped samples, as a stand-in for an archive."""
    samples = Path(__file__).resolve().parents[1] / "samples"
    paths = []
    for camera in range(3):
        for name in ("road.se1", "road.ser"):
            target = directory / f"cam{camera}-{name}"
            shutil.copy(samples / name, target)
            paths.append(str(target))
    return paths


def report(sources: list, frames_per_task: int) -> None:
    index = vd.frame_index(sources, frames_per_task=frames_per_task)
    light = vd.brightness(sources, frames_per_task=frames_per_task, on_error="record")
    print(f"{len(sources)} sequences, {light.npartitions} tasks of up to {frames_per_task} frames")
    per_file = index.groupby("source").agg({"number": "count", "length": "sum"}).compute()
    means = light.groupby("source")["mean"].agg(["mean", "min", "max"]).compute()
    table = per_file.join(means).sort_index()
    for source, row in table.iterrows():
        print(f"  {Path(source).name if '://' not in source else source:<28} "
              f"{int(row['number']):6d} frames {int(row['length']):10d} bytes  "
              f"brightness mean {row['mean']:6.1f} (min {row['min']:5.1f}, max {row['max']:5.1f})")
    frames = light.compute().reset_index(drop=True)
    failed = frames[frames["error"] != ""]
    darkest = frames.loc[frames["mean"].idxmin()]
    print(f"frames: {len(frames)}, unreadable: {len(failed)}; darkest: frame {darkest['number']} "
          f"of {darkest['source']} ({darkest['mean']:.1f})")


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("sources", nargs="*", help="sequence files or URLs (default: a demo archive)")
    parser.add_argument("--workers", type=int, default=2, help="LocalCluster workers (default 2)")
    parser.add_argument("--frames-per-task", type=int, default=4)
    parser.add_argument("--scheduler", help="address of a running dask scheduler to use instead")
    args = parser.parse_args(argv)

    scratch = None
    sources = args.sources
    if not sources:
        scratch = Path(tempfile.mkdtemp(prefix="vialto-archive-"))
        sources = demo_archive(scratch)
    try:
        if args.scheduler:
            with Client(args.scheduler):
                report(sources, args.frames_per_task)
        else:
            with LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                              dashboard_address=None) as cluster, Client(cluster) as client:
                print(f"LocalCluster with {len(client.scheduler_info()['workers'])} workers")
                report(sources, args.frames_per_task)
    finally:
        if scratch:
            shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
