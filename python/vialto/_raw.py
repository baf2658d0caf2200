"""The raw layer: finds libvialto.so once and declares every export's argument and result types.

Nothing here raises for a failure result; the Pythonic modules above decide what a 0 or a null
means. ctypes releases the GIL for the length of every call made through these prototypes.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import os
from pathlib import Path
from typing import List, Optional

from ._records import LOGFONTA, SerHeadInfoRecord, SerInfoRecord, SubHeadInfoRecord
from .errors import LibraryNotFound

LIBRARY_ENV = "VIALTO_LIBRARY"
_FILE_NAME = "libvialto.so"

_P = ctypes.c_void_p
_PU8 = ctypes.POINTER(ctypes.c_ubyte)
_PINT = ctypes.POINTER(ctypes.c_int)
_PU32 = ctypes.POINTER(ctypes.c_uint32)
_INT = ctypes.c_int
_U32 = ctypes.c_uint32
_STR = ctypes.c_char_p


def candidate_paths() -> List[str]:
    """The places the library is looked for, in order: $VIALTO_LIBRARY, next to the package, the
    build trees of a source checkout, then the system loader's own search by name."""
    override = os.environ.get(LIBRARY_ENV)
    if override:
        return [override]
    here = Path(__file__).resolve().parent
    paths = [here / _FILE_NAME]
    # python/vialto/ inside a checkout: the build directories beside python/.
    checkout = here.parent.parent
    build_dirs = [checkout / "build"]
    if checkout.is_dir():
        build_dirs += sorted(p for p in checkout.glob("build*") if p.is_dir() and p.name != "build")
    build_env = os.environ.get("VIALTO_BUILD_DIR")
    if build_env:
        build_dirs.insert(0, checkout / build_env if not os.path.isabs(build_env) else Path(build_env))
    paths += [d / _FILE_NAME for d in build_dirs]
    found = ctypes.util.find_library("vialto")
    names = [str(p) for p in paths] + [_FILE_NAME + ".2", _FILE_NAME]
    if found and found not in names:
        names.append(found)
    return names


def _load() -> ctypes.CDLL:
    tried = []
    for candidate in candidate_paths():
        is_path = os.sep in candidate
        if is_path and not os.path.exists(candidate):
            tried.append(f"{candidate} (no such file)")
            continue
        try:
            return ctypes.CDLL(candidate)
        except OSError as e:
            tried.append(f"{candidate} ({e})")
    raise LibraryNotFound(
        "libvialto.so could not be loaded; tried:\n  " + "\n  ".join(tried)
        + f"\nBuild it (scripts/build.sh) or point {LIBRARY_ENV} at the file.")


def _declare(lib: ctypes.CDLL) -> None:
    def fn(name: str, restype, *argtypes) -> None:
        f = getattr(lib, name)
        f.restype = restype
        f.argtypes = list(argtypes)

    # Record codecs.
    fn("Ser_BufToSerInfo", None, _P, ctypes.POINTER(SerInfoRecord))
    fn("Ser_BufToSerHeadInfo", None, _P, ctypes.POINTER(SerHeadInfoRecord))
    fn("Ser_BufToSubHeadInfo", None, _P, ctypes.POINTER(SubHeadInfoRecord))
    fn("Ser_SerInfoToBuf", None, ctypes.POINTER(SerInfoRecord), _P, _U32)
    fn("Ser_SerHeadInfoToBuf", None, ctypes.POINTER(SerHeadInfoRecord), _P, _U32)
    fn("Ser_SubHeadInfoToBuf", None, ctypes.POINTER(SubHeadInfoRecord), _P)
    # The decoder.
    fn("Ser_CreateSerFileDecode", _P)
    fn("Ser_FinishSerFileDecode", None, _P)
    fn("Ser_SetSerFileName", _INT, _P, _STR)
    fn("Ser_GetSerFileType", _INT, _P)
    fn("Ser_GetSerFileInfo", _INT, _P, _P, _INT)
    fn("Ser_MoveFirst", _INT, _P)
    fn("Ser_MoveEnd", _INT, _P)
    fn("Ser_MoveCurrentFrameNo", _INT, _P, _INT)
    fn("Ser_MoveTo", _INT, _P, _INT)
    fn("Ser_GetCurrentFrameNo", _INT, _P)
    fn("Ser_GetCurrentFramePos", _INT, _P)
    fn("Ser_GetCurrentSubHeadInfo", _INT, _P, _P)
    # Frame data.
    fn("Ser_GetCurrentFrameData", _INT, _P, _P, _INT)
    fn("Ser_GetCurrentFrameDataLength", _INT, _P)
    fn("Ser_GetColorStatus", _INT, _P)
    fn("Ser_GetCurrentFrameDataBuf", _P, _P, _PINT, _PINT, _PINT, _INT)
    fn("Ser_GetCurrentFrameDataBufEx", _P, _P, _PINT, _PINT, _PINT, _PINT, _INT)
    fn("Ser_DeleteFrameDataBuf", _INT, _P, _P)
    fn("Ser_SaveToLocal", _INT, _P, _STR, _INT)
    # Pixels, geometry, JPEG.
    for name in ("YUV422PlaneToRGB", "YUV422PlaneToRGB_FLOAT", "RGBToYUV422Plane",
                 "RGBToYUV422Plane_FLOAT"):
        fn(name, _INT, _P, _P, _INT, _INT)
    fn("GrayToRGB", None, _P, _P, _INT, _INT)
    fn("RGBToGray", None, _P, _P, _INT, _INT)
    fn("ImageSwapRGB", _INT, _P, ctypes.c_uint, ctypes.c_uint)
    fn("ImageFlip", _INT, _P, _P, _INT, _INT, _INT)
    fn("ImageResize", _INT, _P, _P, _INT, _INT, _INT, _INT, _INT, _INT)
    fn("RGBToJpeg", _P, _P, _INT, _INT, _INT, _INT, _PU32)
    fn("JpegToRGB", _P, _P, _INT, _PU32, _PU32, _PINT)
    fn("Ser_DeleteJpegToRGBBuf", None, _P)
    # Overlays and plates.
    fn("ImageWriteStringToImg", _INT, _P, _INT, _INT, _INT, _INT, _STR, ctypes.POINTER(LOGFONTA),
       _U32, _U32)
    fn("PasteToImgX", _INT, _P, _INT, _INT, _INT, _INT, _INT)
    fn("RecogniseNumberPlateEx", _INT, _P, _INT, _P, _INT, _INT, _INT, _PINT, _PINT,
       _PINT, _PINT, _PINT, _INT)


_lib: Optional[ctypes.CDLL] = None


def lib() -> ctypes.CDLL:
    """The loaded library with its prototypes declared (loaded on first use)."""
    global _lib
    if _lib is None:
        loaded = _load()
        _declare(loaded)
        _lib = loaded
    return _lib


def library_path() -> str:
    """The file the library was loaded from."""
    return lib()._name
