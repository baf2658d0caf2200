"""Images as numpy arrays: pixel conversions, flips, resizing, JPEG in memory, text and the arrow.

Pictures are uint8 arrays, top row first: RGB as (height, width, 3), grey as (height, width),
YUV 4:2:2 as three planes (YUV422: y (height, width), u and v (height, width // 2)). "Bitmap order"
means B, G, R pixels with the bottom row first, the order the library's overlay calls and some of
its frame calls use. Shapes and dtypes are checked before any call into the library: a wrong one
raises ValueError (or TypeError for something that is not an array at all).
"""

from __future__ import annotations

import ctypes
from typing import NamedTuple, Optional, Tuple, Union

import numpy as np

from . import _raw
from ._records import LOGFONTA
from .errors import ImageError

# The C interface counts bytes in 32-bit ints.
_MAX_BYTES = 2**31 - 1

Colour = Union[Tuple[int, int, int], int]


class YUV422(NamedTuple):
    """A YUV 4:2:2 planar picture: luma y (h, w), blue difference u (Cb) and red difference v (Cr),
    each (h, w // 2). The library stores them as Y, then V, then U."""
    y: np.ndarray
    u: np.ndarray
    v: np.ndarray

    @property
    def width(self) -> int:
        """Picture width in pixels."""
        return self.y.shape[1]

    @property
    def height(self) -> int:
        """Picture height in pixels."""
        return self.y.shape[0]

    def packed(self) -> np.ndarray:
        """The planes as the library lays them out: Y, V, U, one flat uint8 array of 2 w h bytes."""
        return np.concatenate([self.y.ravel(), self.v.ravel(), self.u.ravel()])


def _ptr(a: np.ndarray) -> ctypes.c_void_p:
    return ctypes.c_void_p(a.ctypes.data)


def _array(img, name: str) -> np.ndarray:
    if not isinstance(img, np.ndarray):
        raise TypeError(f"{name} must be a numpy array, not {type(img).__name__}")
    if img.dtype != np.uint8:
        raise ValueError(f"{name} must have dtype uint8, not {img.dtype}")
    return img


def _check_size(h: int, w: int, channels: int, name: str) -> None:
    if h < 1 or w < 1:
        raise ValueError(f"{name} is empty ({w} x {h} pixels)")
    if h * w * channels > _MAX_BYTES:
        raise ValueError(f"{name} of {w} x {h} pixels is too large for the library")


def check_rgb(img, name: str = "image") -> np.ndarray:
    """img as a C-contiguous (h, w, 3) uint8 array (a copy only when it is not contiguous)."""
    a = _array(img, name)
    if a.ndim != 3 or a.shape[2] != 3:
        raise ValueError(f"{name} must have shape (height, width, 3), not {a.shape}")
    _check_size(a.shape[0], a.shape[1], 3, name)
    return np.ascontiguousarray(a)


def check_grey(img, name: str = "image") -> np.ndarray:
    """img as a C-contiguous (h, w) uint8 array."""
    a = _array(img, name)
    if a.ndim != 2:
        raise ValueError(f"{name} must have shape (height, width), not {a.shape}")
    _check_size(a.shape[0], a.shape[1], 3, name)
    return np.ascontiguousarray(a)


def _check_rgb_or_grey(img, name: str = "image") -> np.ndarray:
    a = _array(img, name)
    return check_grey(a, name) if a.ndim == 2 else check_rgb(a, name)


def _check_writable_rgb(img, name: str = "image") -> np.ndarray:
    a = _array(img, name)
    if not a.flags.writeable:
        raise ValueError(f"{name} is read-only; the overlay draws into it")
    return check_rgb(a, name)


# --- conversions ------------------------------------------------------------------------------

def rgb_to_grey(rgb: np.ndarray) -> np.ndarray:
    """Grey (h, w) from RGB (h, w, 3): (19595 R + 38470 G + 7471 B + 32768) >> 16."""
    src = check_rgb(rgb, "rgb")
    h, w = src.shape[:2]
    out = np.empty((h, w), np.uint8)
    _raw.lib().RGBToGray(_ptr(src), _ptr(out), w, h)
    return out


def grey_to_rgb(grey: np.ndarray) -> np.ndarray:
    """RGB (h, w, 3) from grey (h, w); each channel is max(grey - 16, 0), as camera luma."""
    src = check_grey(grey, "grey")
    h, w = src.shape
    out = np.empty((h, w, 3), np.uint8)
    _raw.lib().GrayToRGB(_ptr(src), _ptr(out), w, h)
    return out


def rgb_to_yuv422(rgb: np.ndarray, precise: bool = False) -> YUV422:
    """YUV 4:2:2 planes from RGB (h, w, 3) with an even width; chroma comes from the left pixel of
    each pair. precise=True uses the double-precision converter instead of the 8.8 fixed-point
    one."""
    src = check_rgb(rgb, "rgb")
    h, w = src.shape[:2]
    if w % 2:
        raise ValueError(f"YUV 4:2:2 needs an even width, not {w}")
    packed = np.empty(2 * w * h, np.uint8)
    convert = _raw.lib().RGBToYUV422Plane_FLOAT if precise else _raw.lib().RGBToYUV422Plane
    convert(_ptr(src), _ptr(packed), w, h)
    return unpack_yuv422(packed, w, h)


def unpack_yuv422(packed: np.ndarray, width: int, height: int) -> YUV422:
    """Planes (views, no copy) of a packed Y, V, U buffer of 2 * width * height bytes."""
    a = _array(packed, "packed").reshape(-1)
    n = width * height
    if width < 2 or height < 1 or width % 2:
        raise ValueError(f"YUV 4:2:2 needs an even width and a height of 1 or more, not {width} x {height}")
    if a.size != 2 * n:
        raise ValueError(f"a {width} x {height} YUV 4:2:2 picture has {2 * n} bytes, not {a.size}")
    y = a[:n].reshape(height, width)
    v = a[n:n + n // 2].reshape(height, width // 2)
    u = a[n + n // 2:].reshape(height, width // 2)
    return YUV422(y, u, v)


def _as_yuv422(planes) -> YUV422:
    if not isinstance(planes, tuple) or len(planes) != 3:
        raise TypeError("planes must be a YUV422 (y, u, v) tuple of arrays")
    y, u, v = (_array(p, name) for p, name in zip(planes, ("y", "u", "v")))
    if y.ndim != 2:
        raise ValueError(f"y must have shape (height, width), not {y.shape}")
    h, w = y.shape
    if w % 2:
        raise ValueError(f"YUV 4:2:2 needs an even width, not {w}")
    _check_size(h, w, 3, "y")
    for p, name in ((u, "u"), (v, "v")):
        if p.shape != (h, w // 2):
            raise ValueError(f"{name} must have shape {(h, w // 2)} to go with y {y.shape}, not {p.shape}")
    return YUV422(y, u, v)


def yuv422_to_rgb(planes: YUV422, precise: bool = False) -> np.ndarray:
    """RGB (h, w, 3) from YUV 4:2:2 planes (y, u, v); precise=True uses the double-precision
    converter instead of the 8.8 fixed-point one."""
    p = _as_yuv422(planes)
    packed = p.packed()
    out = np.empty((p.height, p.width, 3), np.uint8)
    convert = _raw.lib().YUV422PlaneToRGB_FLOAT if precise else _raw.lib().YUV422PlaneToRGB
    convert(_ptr(packed), _ptr(out), p.width, p.height)
    return out


def swap_rb(img: np.ndarray) -> np.ndarray:
    """A copy of a three-channel image with bytes 0 and 2 of every pixel exchanged (RGB <-> BGR)."""
    out = check_rgb(img).copy()
    h, w = out.shape[:2]
    _raw.lib().ImageSwapRGB(_ptr(out), w, h)
    return out


def flip(img: np.ndarray) -> np.ndarray:
    """A copy of an RGB (h, w, 3) or grey (h, w) image turned upside down."""
    src = _check_rgb_or_grey(img)
    out = np.empty_like(src)
    h, w = src.shape[:2]
    _raw.lib().ImageFlip(_ptr(out), _ptr(src), w, h, 1 if src.ndim == 3 else 0)
    return out


def to_bitmap(rgb: np.ndarray) -> np.ndarray:
    """An upright RGB image in bitmap order (B, G, R, bottom row first)."""
    return flip(swap_rb(rgb))


def from_bitmap(bitmap: np.ndarray) -> np.ndarray:
    """A bitmap-order image (B, G, R, bottom row first) as upright RGB."""
    return flip(swap_rb(bitmap))


def resize(img: np.ndarray, width: int, height: int) -> np.ndarray:
    """Bilinear resize of an RGB (h, w, 3) or grey (h, w) image to width x height (8.8 fixed
    point). The source needs 2 rows or more, the result 4 x 4 pixels or more."""
    src = _check_rgb_or_grey(img)
    width, height = int(width), int(height)
    if width < 4 or height < 4:
        raise ValueError(f"the resized image must be at least 4 x 4 pixels, not {width} x {height}")
    if src.shape[0] < 2:
        raise ValueError("the source image needs at least 2 rows")
    channels = 3 if src.ndim == 3 else 1
    _check_size(height, width, channels, "resized image")
    out = np.empty((height, width, 3) if channels == 3 else (height, width), np.uint8)
    h, w = src.shape[:2]
    if not _raw.lib().ImageResize(_ptr(out), _ptr(src), w, h, width, height,
                                  3 if channels == 3 else 0, 0):
        raise ImageError(f"resize from {w} x {h} to {width} x {height} failed")
    return out


# --- JPEG -------------------------------------------------------------------------------------

def jpeg_encode(img: np.ndarray, quality: int = 90) -> bytes:
    """A baseline JPEG stream of an RGB (h, w, 3) or grey (h, w) image at quality 1..100."""
    src = _check_rgb_or_grey(img)
    quality = int(quality)
    if not 1 <= quality <= 100:
        raise ValueError(f"quality must lie in 1..100, not {quality}")
    h, w = src.shape[:2]
    length = ctypes.c_uint32(0)
    lib = _raw.lib()
    buf = lib.RGBToJpeg(_ptr(src), w, h, 24 if src.ndim == 3 else 8, quality, ctypes.byref(length))
    if not buf:
        raise ImageError(f"JPEG encoding of a {w} x {h} image failed")
    try:
        return ctypes.string_at(buf, length.value)
    finally:
        lib.Ser_DeleteJpegToRGBBuf(buf)


def jpeg_decode(data) -> np.ndarray:
    """The picture of a JPEG stream: RGB (h, w, 3), or grey (h, w) for a one-component stream."""
    stream = bytes(data)
    if not stream:
        raise ValueError("empty JPEG stream")
    if len(stream) > _MAX_BYTES:
        raise ValueError("JPEG stream too long for the library")
    w, h, depth = ctypes.c_uint32(0), ctypes.c_uint32(0), ctypes.c_int(0)
    lib = _raw.lib()
    buf = lib.JpegToRGB(stream, len(stream), ctypes.byref(w), ctypes.byref(h), ctypes.byref(depth))
    if not buf:
        raise ImageError("the JPEG stream does not decode")
    try:
        if depth.value == 8:
            out = np.empty((h.value, w.value), np.uint8)
        elif depth.value == 24:
            out = np.empty((h.value, w.value, 3), np.uint8)
        else:
            raise ImageError(f"the JPEG stream decodes to an unsupported depth ({depth.value} bits)")
        ctypes.memmove(out.ctypes.data, buf, out.nbytes)
        return out
    finally:
        lib.Ser_DeleteJpegToRGBBuf(buf)


# --- overlays ---------------------------------------------------------------------------------

def _colorref(colour: Colour, name: str) -> int:
    """0x00BBGGRR from (r, g, b) or from 0xRRGGBB."""
    if isinstance(colour, (int, np.integer)) and not isinstance(colour, bool):
        value = int(colour)
        if not 0 <= value <= 0xFFFFFF:
            raise ValueError(f"{name} 0x{value:X} is not a 0xRRGGBB colour")
        r, g, b = value >> 16, (value >> 8) & 0xFF, value & 0xFF
    else:
        try:
            r, g, b = (int(c) for c in colour)
        except (TypeError, ValueError):
            raise ValueError(f"{name} must be (r, g, b) or 0xRRGGBB, not {colour!r}") from None
        if not all(0 <= c <= 255 for c in (r, g, b)):
            raise ValueError(f"{name} components must lie in 0..255, not {(r, g, b)}")
    return r | (g << 8) | (b << 16)


def _windows1252(text: str) -> bytes:
    if not isinstance(text, str):
        raise TypeError(f"text must be a str, not {type(text).__name__}")
    if "\0" in text:
        raise ValueError("text must not contain NUL characters")
    try:
        return text.encode("cp1252")
    except UnicodeEncodeError as e:
        raise ValueError(f"text holds {text[e.start:e.end]!r}, which Windows-1252 cannot draw") from None


def draw_text(img: np.ndarray, text: str, x: int, y: int, font: str = "DejaVu Sans",
              size: int = 16, colour: Colour = (255, 255, 255), background: Optional[Colour] = None,
              bold: bool = False, italic: bool = False, antialias: bool = True,
              bitmap: bool = False) -> np.ndarray:
    """Draws one line of text into img in place and returns img.

    img is upright RGB (h, w, 3), or bitmap order with bitmap=True. (x, y) is the top-left corner
    of the first character's cell, y counted from the top of the picture; text outside the picture
    is cut off. size is the em height in pixels; colour and background are (r, g, b) or 0xRRGGBB,
    background None leaves the pixels between the strokes alone. Text is drawn in Windows-1252:
    other characters raise ValueError."""
    target = _check_writable_rgb(img)
    encoded = _windows1252(text)
    size = int(size)
    if not 1 <= size <= 4096:
        raise ValueError(f"size must lie in 1..4096 pixels, not {size}")
    face = font.encode("latin-1", "replace") if isinstance(font, str) else b""
    if len(face) > 31:
        raise ValueError(f"font name {font!r} is longer than 31 characters")
    record = LOGFONTA(lfHeight=-size, lfWeight=700 if bold else 400, lfItalic=1 if italic else 0,
                      lfQuality=4 if antialias else 3, lfFaceName=face)
    fore = _colorref(colour, "colour")
    back = 0xFFFFFFFF if background is None else _colorref(background, "background")
    work = target if bitmap else to_bitmap(target)
    h, w = work.shape[:2]
    _raw.lib().ImageWriteStringToImg(_ptr(work), w, h, int(x), int(y), encoded,
                                     ctypes.byref(record), fore, back)
    _write_back(img, work if bitmap else from_bitmap(work))
    return img


def draw_arrow(img: np.ndarray, x: int, y: int, tile: int = 0, bitmap: bool = False) -> np.ndarray:
    """Blends the red arrow into img in place, its head next to (x, y), and returns img.

    img is upright RGB (h, w, 3) with y counted from the top, or bitmap order with bitmap=True,
    where y is the row in storage order (bottom row 0), as the library counts. tile 0 picks the
    diagonal arrow by where the point lies so that it fits the picture; tile 4 draws the horizontal
    arrow (for points more than 64 pixels from the left and, in storage order, the bottom)."""
    target = _check_writable_rgb(img)
    tile = int(tile)
    if tile not in (0, 4):
        raise ValueError(f"tile must be 0 (diagonal arrows) or 4 (horizontal arrow), not {tile}")
    work = target if bitmap else to_bitmap(target)
    h, w = work.shape[:2]
    row = int(y) if bitmap else h - 1 - int(y)
    _raw.lib().PasteToImgX(_ptr(work), w, h, int(x), row, tile)
    _write_back(img, work if bitmap else from_bitmap(work))
    return img


def _write_back(img: np.ndarray, result: np.ndarray) -> None:
    if result is not img:
        img[...] = result


class Plate(NamedTuple):
    """What the plate recognition entry reports: text, rectangle (left, top, width, height) and
    confidence 0..100. The library's recogniser is a stand-in whose results are pseudo-random."""
    text: str
    left: int
    top: int
    width: int
    height: int
    confidence: int


def recognise_plate(img: np.ndarray) -> Plate:
    """The plate recognition entry run for an RGB (h, w, 3) or grey (h, w) picture."""
    src = _check_rgb_or_grey(img)
    h, w = src.shape[:2]
    text = ctypes.create_string_buffer(16)
    vals = [ctypes.c_int(0) for _ in range(5)]
    _raw.lib().RecogniseNumberPlateEx(None, 0, text, 0, w, h, *(ctypes.byref(v) for v in vals), 0)
    return Plate(text.value.decode("latin-1"), *(v.value for v in vals))
