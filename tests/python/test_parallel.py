"""Threads over separate sequences give the serial results; the Dask layer and its example."""

import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import vialto
from conftest import SOURCE_DIR, picture


def checksums(path):
    with vialto.open(path) as seq:
        return [int(frame.rgb().sum()) for frame in seq]


def test_threads_over_separate_files_agree_with_a_serial_run(tmp_path):
    paths = []
    for k in range(6):
        path = tmp_path / f"cam{k}.se1"
        vialto.write_se1(path, [picture(k + i, 160, 120) for i in range(15)],
                         codec="JPE" if k % 2 else "JPG")
        paths.append(path)
    serial = [checksums(p) for p in paths]
    with ThreadPoolExecutor(4) as pool:
        assert list(pool.map(checksums, paths * 2)) == serial * 2
    # One sequence shared by threads: its lock keeps every frame right.
    with vialto.open(paths[0]) as seq, ThreadPoolExecutor(4) as pool:
        got = list(pool.map(lambda n: int(seq[n].rgb().sum()), list(range(15)) * 3))
    assert got == serial[0] * 3


def test_dask_tables_and_bags(generated, nginx, tmp_path):
    dask = pytest.importorskip("dask")
    import vialto.dask as vd
    sources = [str(generated["se1-jpg"]), str(generated["road.ser"]), nginx.url("road.se1")]
    with dask.config.set(scheduler="threads"):
        index = vd.frame_index(sources, frames_per_task=5)
        assert index.npartitions == 3 + 1 + 2
        table = index.compute()
        assert list(table["number"]) == list(range(12)) + [0, 1] + list(range(10))
        assert list(table[table.source == sources[2]]["position"])[:2] == [128, 12362]
        light = vd.brightness(sources).compute()
        with vialto.open(generated["road.ser"]) as seq:
            expected = [float(np.mean(f.grey())) for f in seq]
        assert list(light[light.source == sources[1]]["mean"]) == pytest.approx(expected)
        lengths = vd.map_frames(sources[1:2], lambda source, frame: frame.length).compute()
        assert lengths == [221184, 442368]
        info = vd.sequence_info(sources).compute()
        assert [i["kind"] for i in info] == ["se1", "ser", "se1"]
        # A damaged file: recorded or skipped frames instead of a failed computation.
        data = generated["se1-jpg"].read_bytes()
        cut = tmp_path / "cut.se1"
        cut.write_bytes(data[:len(data) - 200])
        recorded = vd.brightness([str(cut)], on_error="record").compute()
        assert recorded["error"].iloc[-1] and np.isnan(recorded["mean"].iloc[-1])
        assert (recorded["error"].iloc[:-1] == "").all()
        skipped = vd.brightness([str(cut), str(tmp_path / "missing.se1")], on_error="skip").compute()
        assert len(skipped) == 11
        with pytest.raises(vialto.FrameError):
            vd.brightness([str(cut)]).compute()


def test_the_dask_example_runs_on_a_two_worker_local_cluster(generated, nginx):
    pytest.importorskip("distributed")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    out = subprocess.run([sys.executable, str(SOURCE_DIR / "examples" / "dask_archive.py"),
                          str(generated["road.se1"]), nginx.url("road.ser"), "--workers", "2",
                          "--frames-per-task", "4"],
                         env=env, capture_output=True, text=True, timeout=300)
    assert out.returncode == 0, out.stderr[-3000:]
    lines = out.stdout.splitlines()
    assert lines[0] == "LocalCluster with 2 workers"
    assert "2 sequences, 4 tasks" in lines[1]
    assert any("road.se1" in line and "10 frames" in line for line in lines)
    assert any(nginx.url("road.ser") in line and "2 frames" in line for line in lines)
    assert "frames: 12, unreadable: 0" in out.stdout
