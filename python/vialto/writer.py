"""Writing sequence files from pictures: "se1" (JPEG frames) and "ser" (768 x 288 raw frames).

The records are encoded by the library's own codecs, the JPEG frames by its encoder.
"""

from __future__ import annotations

import ctypes
import os
from typing import Iterable, Union

import numpy as np

from . import _raw, image
from ._records import ser_head_info_record, ser_info_record, sub_head_info_record

_HEAD_BYTES = 128
_SUB_HEAD_BYTES = 64
_SER_TRAILER = 54
_SER_WIDTH, _SER_HEIGHT = 768, 288
_MARK = "QXAAAAAA"

Picture = Union[np.ndarray, bytes, bytearray]


def _jpeg_frame_size(stream: bytes):
    """(width, height, components) from a JPEG stream's start-of-frame marker, or None."""
    i = 2
    if stream[:2] != b"\xff\xd8":
        return None
    while i + 9 < len(stream):
        if stream[i] != 0xFF:
            return None
        marker = stream[i + 1]
        if marker == 0xFF:
            i += 1
            continue
        length = int.from_bytes(stream[i + 2:i + 4], "big")
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            h = int.from_bytes(stream[i + 5:i + 7], "big")
            w = int.from_bytes(stream[i + 7:i + 9], "big")
            return (w, h, stream[i + 9]) if w and h else None
        i += 2 + length
    return None


def _jpeg_of(picture: Picture, quality: int):
    """(stream, width, height, colour) of one picture: JPEG bytes kept as they are, arrays encoded."""
    if isinstance(picture, (bytes, bytearray, memoryview)):
        stream = bytes(picture)
        size = _jpeg_frame_size(stream)
        if size is None:
            decoded = image.jpeg_decode(stream)  # raises for a stream that is no JPEG
            size = (decoded.shape[1], decoded.shape[0], 3 if decoded.ndim == 3 else 1)
        w, h, components = size
        return stream, w, h, 1 if components == 3 else 0
    stream = image.jpeg_encode(picture, quality)
    h, w = picture.shape[:2]
    if w > 0xFFFF or h > 0xFFFF:
        raise ValueError(f"a frame of {w} x {h} pixels does not fit the sub-header")
    return stream, w, h, 1 if picture.ndim == 3 else 0


def write_se1(path, pictures: Iterable[Picture], codec: str = "JPG", quality: int = 85) -> int:
    """Writes an "se1" file of the given pictures (RGB or grey arrays, or JPEG streams kept byte
    for byte) and returns its length. codec is the sub-headers' tag, "JPG" or "JPE"; both store
    the same upright stream."""
    if codec.upper() not in ("JPG", "JPE"):
        raise ValueError(f"codec must be \"JPG\" or \"JPE\", not {codec!r}")
    lib = _raw.lib()
    frames = []
    previous = 0
    for number, picture in enumerate(pictures):
        stream, w, h, colour = _jpeg_of(picture, quality)
        frame_len = _SUB_HEAD_BYTES + len(stream)
        if frame_len > 2**31 - 1:
            raise ValueError(f"frame {number} is too long for the sub-header")
        record = sub_head_info_record(chMark=_MARK, chCodec=codec, nFrameNo=number,
                                      nFrameLen=frame_len, nPrevFrameLen=previous, wWidth=w,
                                      wHeight=h, byColorStatus=colour)
        sub = (ctypes.c_ubyte * _SUB_HEAD_BYTES)()
        lib.Ser_SubHeadInfoToBuf(ctypes.byref(record), sub)
        frames.append(bytes(sub) + stream)
        previous = frame_len
    if len(frames) > 0xFFFF:
        raise ValueError(f"{len(frames)} frames do not fit the head's 16-bit frame count")
    head_record = ser_head_info_record(chSign="se1", wFrameCount=len(frames), byColorMode=1,
                                       byColorMode2=1, dwHeadLen=_HEAD_BYTES)
    head = (ctypes.c_ubyte * _HEAD_BYTES)()
    lib.Ser_SerHeadInfoToBuf(ctypes.byref(head_record), head, _HEAD_BYTES)
    with _create(path) as out:
        out.write(bytes(head))
        for f in frames:
            out.write(f)
    return os.path.getsize(path)


def _ser_frame(frame, colour: bool) -> bytes:
    if colour:
        planes = image._as_yuv422(frame) if isinstance(frame, tuple) else image.rgb_to_yuv422(frame)
        if (planes.width, planes.height) != (_SER_WIDTH, _SER_HEIGHT):
            raise ValueError(f"\"ser\" frames are {_SER_WIDTH} x {_SER_HEIGHT} pixels, "
                             f"not {planes.width} x {planes.height}")
        return planes.packed().tobytes()
    grey = image.check_grey(frame, "grey frame")
    if grey.shape != (_SER_HEIGHT, _SER_WIDTH):
        raise ValueError(f"\"ser\" frames are {_SER_WIDTH} x {_SER_HEIGHT} pixels, "
                         f"not {grey.shape[1]} x {grey.shape[0]}")
    return grey.tobytes()


def write_ser(path, frames: Iterable, colour_mode: int = 2) -> int:
    """Writes a "ser" file and returns its length. colour_mode 2: grey frames (288, 768) except
    the last, which is a colour frame; colour_mode 1: every frame colour. Colour frames are RGB
    (288, 768, 3) arrays or YUV422 planes."""
    if colour_mode not in (1, 2):
        raise ValueError(f"colour_mode must be 1 or 2, not {colour_mode}")
    frames = list(frames)
    if len(frames) > 0xFFFF:
        raise ValueError(f"{len(frames)} frames do not fit the trailer's 16-bit frame count")
    record = ser_info_record(chSign="ser", wFrameCount=len(frames), byColorMode=colour_mode,
                             byColorMode2=colour_mode)
    trailer = (ctypes.c_ubyte * _SER_TRAILER)()
    _raw.lib().Ser_SerInfoToBuf(ctypes.byref(record), trailer, _SER_TRAILER)
    with _create(path) as out:
        for i, frame in enumerate(frames):
            out.write(_ser_frame(frame, colour_mode == 1 or i == len(frames) - 1))
        out.write(bytes(trailer))
    return os.path.getsize(path)


def _create(path):
    """The file to write, created or emptied."""
    import builtins
    return builtins.open(os.fspath(path), "wb")
