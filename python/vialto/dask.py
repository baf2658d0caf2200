"""Archives of sequences on Dask: bags and dataframes with one task per file or per frame range.

Optional: needs Debian's python3-dask (and python3-distributed for a cluster). Each task opens its
own sequence by name (a local path every worker can see, or a URL), so the graphs run unchanged
on the local schedulers, on a dask.distributed LocalCluster or on a real cluster::

    import vialto.dask as vd
    table = vd.brightness(["cam1.se1", "http://archive/cam2.se1"], frames_per_task=500)
    print(table.groupby("source")["mean"].mean().compute())
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Callable, Iterable, List, Optional, Tuple

try:
    import dask
    import dask.bag as db
except ImportError as e:  # pragma: no cover - depends on the machine
    raise ImportError("vialto.dask needs Dask (Debian: python3-dask)") from e

import numpy as np

from . import sequence as _sequence

if TYPE_CHECKING:  # only for the annotations; imported when a table is made
    import dask.dataframe as dd
    import pandas as pd
from .errors import VialtoError

#: Columns of frame_index().
INDEX_COLUMNS = {"source": "object", "number": "int64", "position": "int64", "length": "int64",
                 "codec": "object", "width": "int64", "height": "int64", "colour": "int64"}
#: Columns of brightness().
BRIGHTNESS_COLUMNS = {"source": "object", "number": "int64", "mean": "float64", "error": "object"}

Task = Tuple[str, int, Optional[int]]  # source, first frame, end (None: to the last)


def frame_count(source: str) -> int:
    """The frame count a sequence declares (opens it briefly)."""
    with _sequence.open(source) as seq:
        return len(seq)


def plan(sources: Iterable[str], frames_per_task: Optional[int] = None) -> List[Task]:
    """The tasks for the sources: one per file, or one per range of frames_per_task frames. Ranges
    need each file's frame count, which is read by tasks of their own (so in parallel, on the
    cluster when one is in use)."""
    names = [str(s) for s in sources]
    if frames_per_task is None:
        return [(name, 0, None) for name in names]
    if frames_per_task < 1:
        raise ValueError(f"frames_per_task must be 1 or more, not {frames_per_task}")
    counts = dask.compute(*[dask.delayed(frame_count)(name) for name in names]) if names else ()
    return [(name, start, min(start + frames_per_task, count))
            for name, count in zip(names, counts)
            for start in range(0, count, frames_per_task)]


def _run(task: Task, func: Callable[[str, Any], Any], on_error: str) -> list:
    source, start, stop = task
    out = []

    def failed(n: int, e: Exception) -> None:
        if on_error == "raise":
            raise e
        if on_error == "record":
            out.append(func(source, _FailedFrame(n, e)))

    try:
        seq = _sequence.open(source)
    except VialtoError as e:
        failed(start, e)
        return out
    with seq:
        end = len(seq) if stop is None else min(stop, len(seq))
        for n in range(start, end):
            try:
                frame = seq[n]
            except VialtoError as e:
                failed(n, e)
                break  # the frames behind a broken chain cannot be reached either
            try:
                out.append(func(source, frame))
            except VialtoError as e:
                failed(n, e)
    return out


class _FailedFrame:
    """Stands for a frame that could not be read, so that per-frame functions can record it."""

    def __init__(self, number: int, error: Exception):
        self.number, self.error = number, error


def _check_on_error(on_error: str) -> None:
    if on_error not in ("raise", "skip", "record"):
        raise ValueError(f"on_error must be 'raise', 'skip' or 'record', not {on_error!r}")


def map_frames(sources: Iterable[str], func: Callable[[str, Any], Any],
               frames_per_task: Optional[int] = None, on_error: str = "raise") -> "db.Bag":
    """A bag of func(source, frame) for every frame of every source, in order. on_error="skip"
    leaves out frames (and files) that cannot be read instead of failing the computation."""
    _check_on_error(on_error)
    if on_error == "record":
        raise ValueError("map_frames takes on_error 'raise' or 'skip'")
    tasks = plan(sources, frames_per_task)
    return db.from_delayed([dask.delayed(_run)(t, func, on_error) for t in tasks])


def _index_row(source: str, frame) -> dict:
    return {"source": source, "number": frame.number,
            "position": -1 if frame.position is None else frame.position, "length": frame.length,
            "codec": frame.codec, "width": frame.width, "height": frame.height,
            "colour": frame.colour}


def _brightness_row(source: str, frame) -> dict:
    if isinstance(frame, _FailedFrame):
        return {"source": source, "number": frame.number, "mean": float("nan"),
                "error": str(frame.error)}
    return {"source": source, "number": frame.number, "mean": float(np.mean(frame.grey())),
            "error": ""}


def _dataframes():
    """pandas and dask.dataframe, needed by the tables only (bags work without them)."""
    try:
        import dask.dataframe as dd
        import pandas as pd
    except ImportError as e:  # pragma: no cover - depends on the machine
        raise ImportError("the vialto.dask tables need pandas (Debian: python3-pandas)") from e
    return pd, dd


def _frame_table(task: Task, row: Callable, columns: dict, on_error: str) -> "pd.DataFrame":
    pd, _ = _dataframes()
    rows = _run(task, row, on_error)
    return pd.DataFrame(rows, columns=list(columns)).astype(columns)


def _table(sources, row, columns, frames_per_task, on_error) -> "dd.DataFrame":
    _check_on_error(on_error)
    pd, dd = _dataframes()
    tasks = plan(sources, frames_per_task)
    meta = pd.DataFrame({c: pd.Series(dtype=t) for c, t in columns.items()})
    if not tasks:
        return dd.from_pandas(meta, npartitions=1)
    parts = [dask.delayed(_frame_table)(t, row, columns, on_error) for t in tasks]
    return dd.from_delayed(parts, meta=meta, verify_meta=False)


def frame_index(sources: Iterable[str], frames_per_task: Optional[int] = None,
                on_error: str = "raise") -> "dd.DataFrame":
    """A dataframe with one row per frame: source, number, position, length, codec, width,
    height, colour. Reads sub-headers only, no pictures."""
    if on_error == "record":
        raise ValueError("frame_index takes on_error 'raise' or 'skip'")
    return _table(sources, _index_row, INDEX_COLUMNS, frames_per_task, on_error)


def brightness(sources: Iterable[str], frames_per_task: Optional[int] = None,
               on_error: str = "raise") -> "dd.DataFrame":
    """A dataframe with every frame's mean brightness (mean of its grey picture): source, number,
    mean, error. on_error="record" keeps frames that cannot be read as rows with mean NaN and the
    reason in error; "skip" leaves them out."""
    return _table(sources, _brightness_row, BRIGHTNESS_COLUMNS, frames_per_task, on_error)


def sequence_info(sources: Iterable[str]) -> "db.Bag":
    """A bag with one dict per source: source, kind, frames and every field of its file
    information."""
    def describe(source: str) -> list:
        with _sequence.open(source) as seq:
            return [dict(source=source, kind=seq.kind, frames=len(seq), **seq.info.as_dict())]
    return db.from_delayed([dask.delayed(describe)(str(s)) for s in sources])
