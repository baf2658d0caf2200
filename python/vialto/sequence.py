"""Sequences: a decoder of the library behind a Python context manager, indexable by frame."""

from __future__ import annotations

import ctypes
import os
import re
import threading
from typing import Iterator, Optional, Union

import numpy as np

from . import _raw, image
from ._records import (SerHeadInfo, SerHeadInfoRecord, SerInfo, SerInfoRecord,
                       SubHeadInfoRecord, ser_head_info_from_record, ser_info_from_record)
from .errors import (ClosedError, FrameError, FrameOutOfRange, NotASequence, OpenError,
                     SourceNotFound, UnreachableSource)
from .frame import GREY, JPEG, RGB, YUV, Frame

_URL = re.compile(r"^(https?|ftp)://", re.IGNORECASE)
_MAX_NAME_BYTES = 249  # the decoder keeps names in 250 characters with the terminating zero
_SHORTEST_SOURCE = 55
_SER_GREY_BYTES, _SER_COLOUR_BYTES = 0x36000, 0x6C000
_JPEG_TAIL = 512  # the extended call's "JPG" type-4 length counts 512 bytes behind the stream

PathOrUrl = Union[str, "os.PathLike[str]"]


class _LibraryBuffer:
    """Owns one buffer from the frame calls and lends it to numpy; releases it when the arrays
    over it are gone (numpy keeps this object as their base)."""

    __slots__ = ("__array_interface__", "_release", "_address")

    def __init__(self, address: int, shape: tuple, release):
        self._release = release
        self.__array_interface__ = {"shape": shape, "typestr": "|u1", "data": (address, False),
                                    "version": 3}
        self._address = address  # last: an owner that did not come to be releases nothing

    def __del__(self):
        address = getattr(self, "_address", None)
        if address:
            # The release call does not use the decoder, which may be closed by now.
            self._release(None, address)


def is_url(source: str) -> bool:
    """True for an http://, https:// or ftp:// name (any case)."""
    return bool(_URL.match(source))


class Sequence:
    """An open "ser" or "se1" sequence from a local path or an http(s)/ftp URL.

    Use it as a context manager (``with vialto.open(path) as seq``) or call close(). len(seq) is
    the frame count the file declares; seq[n] is frame n (negative n counts from the end, slices
    give lists of frames); iterating yields every frame in order. One Sequence is for one thread
    at a time (calls are serialised by a lock); open one per thread to work in parallel."""

    def __init__(self, source: PathOrUrl):
        name = os.fspath(source)
        if isinstance(name, bytes):
            name = os.fsdecode(name)
        if not isinstance(name, str):
            raise TypeError(f"source must be a path or a URL, not {type(source).__name__}")
        self.source: str = name
        self.is_remote: bool = is_url(name)
        encoded = name.encode("utf-8") if self.is_remote else os.fsencode(name)
        if not encoded or b"\0" in encoded:
            raise ValueError(f"not a usable sequence name: {name!r}")
        if len(encoded) > _MAX_NAME_BYTES:
            raise ValueError(f"sequence names are limited to {_MAX_NAME_BYTES} bytes: {name!r}")
        self._lib = _raw.lib()
        self._lock = threading.RLock()
        self._d = self._lib.Ser_CreateSerFileDecode()
        if not self._d:
            raise MemoryError("the library could not create a decoder")
        result = self._lib.Ser_SetSerFileName(self._d, encoded)
        if result != 1:
            self._finish()
            raise self._open_error(result)
        self.kind: str = "ser" if self._lib.Ser_GetSerFileType(self._d) == 0 else "se1"
        self.info: SerInfo = self._read_info()
        self._frame_count = self.info.wFrameCount
        self._pos = self._first_position()
        self._record: Optional[SubHeadInfoRecord] = None  # of the current frame, once read
        self._cur: Optional[int] = 0  # the current frame number, None: ask the library

    # --- opening ----------------------------------------------------------------------------

    def _open_error(self, result: int) -> Exception:
        where = self.source
        if result == -1:
            return NotASequence(f"{where}: neither a \"ser\" nor an \"se1\" file")
        if self.is_remote:
            return UnreachableSource(f"{where}: could not be fetched (no server, refused, not "
                                     f"found, or shorter than a sequence file)")
        if not os.path.exists(where):
            return SourceNotFound(2, "no such file", where)
        if os.path.isdir(where):
            return OpenError(21, "is a directory, not a sequence file", where)
        try:
            size = os.path.getsize(where)
        except OSError as e:
            return OpenError(e.errno, e.strerror, where)
        if size < _SHORTEST_SOURCE:
            return NotASequence(f"{where}: {size} bytes, too short for a sequence file")
        if not os.access(where, os.R_OK):
            return OpenError(13, "cannot be read", where)
        return OpenError(5, "the first frame's sub-header cannot be read", where)

    def _read_info(self) -> SerInfo:
        head = (ctypes.c_ubyte * 128)()
        self._lib.Ser_GetSerFileInfo(self._d, head, 128)
        if self.kind == "ser":
            record = SerInfoRecord()
            self._lib.Ser_BufToSerInfo(head, ctypes.byref(record))
            return ser_info_from_record(record)
        record = SerHeadInfoRecord()
        self._lib.Ser_BufToSerHeadInfo(head, ctypes.byref(record))
        return ser_head_info_from_record(record)

    def _first_position(self) -> int:
        return self.info.dwHeadLen if isinstance(self.info, SerHeadInfo) else 0

    # --- life ---------------------------------------------------------------------------------

    def _finish(self) -> None:
        d, self._d = getattr(self, "_d", None), None
        if d:
            self._lib.Ser_FinishSerFileDecode(d)

    def close(self) -> None:
        """Releases the decoder and its source; later calls raise ClosedError. Idempotent."""
        with self._lock:
            self._finish()

    @property
    def closed(self) -> bool:
        """True once close() has run."""
        return not self._d

    def __enter__(self) -> "Sequence":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def __del__(self):
        try:
            self._finish()
        except Exception:
            pass

    def __repr__(self) -> str:
        state = "closed" if self.closed else f"{len(self)} frames"
        return f"<vialto.Sequence {self.source!r} {self.kind}, {state}>"

    def _handle(self):
        if not self._d:
            raise ClosedError(f"{self.source}: the sequence is closed")
        return self._d

    # --- frames -------------------------------------------------------------------------------

    def __len__(self) -> int:
        return self._frame_count

    def __getitem__(self, index):
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(len(self)))]
        try:
            n = index.__index__()
        except AttributeError:
            raise TypeError(f"frame indexes are integers or slices, not {type(index).__name__}") from None
        count = len(self)
        if n < 0:
            n += count
        if not 0 <= n < count:
            raise FrameOutOfRange(f"{self.source}: frame {index} out of range (frames 0..{count - 1})"
                                  if count else f"{self.source}: the sequence has no frames")
        return self.frame(n)

    def __iter__(self) -> Iterator[Frame]:
        for n in range(len(self)):
            yield self.frame(n)

    def frame(self, n: int) -> Frame:
        """Frame n (0 .. len - 1): moves the decoder there and describes it."""
        if not 0 <= n < len(self):
            raise FrameOutOfRange(f"{self.source}: frame {n} out of range (frames 0..{len(self) - 1})")
        with self._lock:
            self._goto(n)
            return self._describe()

    def _describe(self) -> Frame:
        lib, d = self._lib, self._handle()
        record = self._current_record() if self.kind == "se1" else None
        return Frame(self, self._current_number(), self._pos, lib.Ser_GetCurrentFrameDataLength(d),
                     lib.Ser_GetColorStatus(d), record)

    def _current_record(self) -> SubHeadInfoRecord:
        """The decoded sub-header of the frame the decoder stands on, read once per landing."""
        if self._record is None:
            raw = (ctypes.c_ubyte * 64)()
            self._lib.Ser_GetCurrentSubHeadInfo(self._d, raw)
            record = SubHeadInfoRecord()
            self._lib.Ser_BufToSubHeadInfo(raw, ctypes.byref(record))
            self._record = record
        return self._record

    # Moving. The library's absolute move may land on another frame than asked (remote sources,
    # or a search that settles early), so every landing is checked and corrected by stepping.

    def _current_number(self) -> int:
        if self._cur is None:
            self._cur = self._lib.Ser_GetCurrentFrameNo(self._d)
        return self._cur

    def _goto(self, n: int) -> None:
        lib, d = self._lib, self._handle()
        current = self._current_number()
        if current == n:
            return
        self._cur = None
        if self.kind == "ser":
            self._record = None
            if lib.Ser_MoveTo(d, n) != 1 or self._current_number() != n:
                raise FrameError(f"{self.source}: cannot move to frame {n}")
            self._pos = self._ser_position(n)
            return
        if n == current + 1 or (n == current - 1 and n >= 0):
            self._cur = current
            self._step_to(n)
            return
        if n == 0:
            self._move_first()
            return
        self._record = None
        if lib.Ser_MoveTo(d, n) == 1:
            landed = self._current_number()
            pos = lib.Ser_GetCurrentFramePos(d)
            self._pos = pos if pos >= 0 else None
            if landed == n and self._pos is not None:
                return
        # The search failed, landed elsewhere, or on a position beyond what the call can report:
        # walk the chain from the nearer of the frame the decoder stands on and the first.
        current = self._current_number()
        if self._pos is None or current < 0 or abs(n - current) > n:
            self._move_first()
        self._step_to(n)

    def _move_first(self) -> None:
        self._record = None
        self._cur = None
        if self._lib.Ser_MoveFirst(self._d) != 1:
            raise FrameError(f"{self.source}: the first frame cannot be read")
        self._pos = self._first_position()
        self._cur = 0

    def _step_to(self, n: int) -> None:
        """Steps one frame at a time from the current frame to frame n, keeping the 64-bit
        position (the library reports positions only up to 2^31 - 1)."""
        lib, d = self._lib, self._d
        current = self._current_number()
        delta = 1 if n > current else -1
        while current != n:
            sub = self._current_record()
            if lib.Ser_MoveCurrentFrameNo(d, delta) != 1:
                raise FrameError(f"{self.source}: the chain of frames breaks after frame {current}"
                                 f" (wanted frame {n} of {len(self)})")
            self._record = None
            pos = lib.Ser_GetCurrentFramePos(d)
            if pos >= 0:
                self._pos = pos
            elif self._pos is not None:
                self._pos += sub.nFrameLen if delta > 0 else -sub.nPrevFrameLen
            # Counted as the library counts a step (never below 0 here).
            current += delta
            self._cur = current

    def _ser_position(self, n: int) -> Optional[int]:
        pos = self._lib.Ser_GetCurrentFramePos(self._d)
        if pos >= 0:
            return pos
        modes = (self.info.byColorMode, self.info.byColorMode2)
        stride = {(1, 1): _SER_COLOUR_BYTES, (2, 2): _SER_GREY_BYTES}.get(modes)
        return n * stride if stride else None

    # --- frame data (used by Frame) ---------------------------------------------------------

    def _stored(self, frame: Frame) -> bytes:
        with self._lock:
            self._goto(frame.number)
            lib, d = self._lib, self._d
            n = lib.Ser_GetCurrentFrameDataLength(d)
            buf = ctypes.create_string_buffer(max(n, 1))
            if n < 1 or lib.Ser_GetCurrentFrameData(d, buf, n) != 1:
                raise self._frame_error(frame, "its data cannot be read")
            return buf.raw[:n]

    def _uses_ex_call(self, frame: Frame, upright: bool) -> bool:
        # Which call hands the picture out as decoded: the plain call for "ser" and "JPG" frames,
        # the extended one for "JPE" frames. The other one gives bitmap order.
        as_decoded_by_ex = frame.codec == "JPE"
        return as_decoded_by_ex if upright else not as_decoded_by_ex

    def _picture(self, frame: Frame, kind: int, upright: bool):
        if self.kind == "ser" and not upright and kind == RGB:
            return image.to_bitmap(self._picture(frame, RGB, upright=True))
        ex = kind == JPEG or self._uses_ex_call(frame, upright)
        with self._lock:
            self._goto(frame.number)
            lib, d = self._lib, self._d
            w, h, aux, length = ctypes.c_int(0), ctypes.c_int(0), ctypes.c_int(0), ctypes.c_int(0)
            if ex:
                buf = lib.Ser_GetCurrentFrameDataBufEx(d, ctypes.byref(w), ctypes.byref(h),
                                                       ctypes.byref(aux), ctypes.byref(length), kind)
            else:
                buf = lib.Ser_GetCurrentFrameDataBuf(d, ctypes.byref(w), ctypes.byref(h),
                                                     ctypes.byref(aux), kind)
            if not buf:
                raise self._frame_error(frame, "its picture cannot be decoded")
            if kind == JPEG:
                try:
                    return self._jpeg_bytes(frame, buf, length.value)
                finally:
                    lib.Ser_DeleteFrameDataBuf(d, buf)
            return self._as_array(buf, kind, w.value, h.value)

    @staticmethod
    def _jpeg_bytes(frame: Frame, buf: int, length: int) -> bytes:
        if frame.codec == "JPG" and length > _JPEG_TAIL:
            length -= _JPEG_TAIL
        return ctypes.string_at(buf, length)

    def _as_array(self, buf: int, kind: int, w: int, h: int):
        """The library's picture buffer as a numpy array, without a copy: the buffer goes back to
        the library when the last array over it is gone (or at once if this fails)."""
        shape = {GREY: (h, w), YUV: (2 * h * w,), RGB: (h, w, 3)}[kind]
        try:
            owner = _LibraryBuffer(buf, shape, self._lib.Ser_DeleteFrameDataBuf)
        except BaseException:
            self._lib.Ser_DeleteFrameDataBuf(None, buf)
            raise
        # From here the owner releases the buffer, whatever happens next.
        out = np.asarray(owner)
        return image.unpack_yuv422(out, w, h) if kind == YUV else out

    def _frame_error(self, frame: Frame, what: str) -> FrameError:
        if frame.sub_header is not None and frame.codec not in ("JPG", "JPE"):
            what = f"its codec {frame.sub_header.chCodec!r} is not one the library decodes"
        elif not self.is_remote and frame.position is not None:
            try:
                size = os.path.getsize(self.source)
            except OSError:
                size = None
            start = frame.position + (64 if self.kind == "se1" else 0)
            if size is not None and start + frame.length > size:
                what = f"the file ends inside it ({size} bytes, the frame ends at {start + frame.length})"
        return FrameError(f"{self.source}: frame {frame.number}: {what}")

    # --- saving -------------------------------------------------------------------------------

    def save(self, path: PathOrUrl) -> int:
        """Copies the whole source (a remote one, typically) to the local file path, created or
        replaced, and returns the number of bytes written. Raises OpenError when the copy fails."""
        target = os.fspath(path)
        encoded = os.fsencode(target)
        if not encoded or b"\0" in encoded:
            raise ValueError(f"not a usable path: {target!r}")
        with self._lock:
            if self._lib.Ser_SaveToLocal(self._handle(), encoded, 0) != 1:
                raise OpenError(5, "the copy of the source could not be written", target)
        return os.path.getsize(target)


def open(source: PathOrUrl) -> Sequence:  # noqa: A001 - the package's front door, like io.open
    """Opens a "ser" or "se1" sequence from a local path or an http://, https:// or ftp:// URL.

    Raises SourceNotFound for a missing file, NotASequence for a file of another kind,
    UnreachableSource for a URL that cannot be fetched, OpenError for other failures."""
    return Sequence(source)
