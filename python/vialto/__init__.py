"""vialto: frame sequences of roadside traffic cameras as numpy arrays.

A thin, pure-Python layer over libvialto's C interface (ctypes; the GIL is released during every
library call, so threads working on separate sequences run in parallel)::

    import vialto
    with vialto.open("camera1.se1") as seq:
        print(seq.kind, len(seq), seq.info.wFrameCount)
        for frame in seq:
            rgb = frame.rgb()            # (h, w, 3) uint8, top row first
        last = seq[-1].grey()

Image operations on arrays live in vialto.image (also re-exported here); vialto.dask spreads
work over many sequence files with Dask (optional).
"""

from ._records import SerHeadInfo, SerInfo, SubHeadInfo
from ._raw import LIBRARY_ENV, candidate_paths, library_path
from .errors import (ClosedError, FrameError, FrameOutOfRange, ImageError, LibraryNotFound,
                     NotASequence, OpenError, SourceNotFound, UnreachableSource, VialtoError)
from .frame import Frame
from .image import (YUV422, Plate, draw_arrow, draw_text, flip, from_bitmap, grey_to_rgb,
                    jpeg_decode, jpeg_encode, recognise_plate, resize, rgb_to_grey,
                    rgb_to_yuv422, swap_rb, to_bitmap, unpack_yuv422, yuv422_to_rgb)
from .sequence import Sequence, is_url, open
from .writer import write_se1, write_ser

__version__ = "2.9.1"

__all__ = [
    "open", "Sequence", "Frame", "SerInfo", "SerHeadInfo", "SubHeadInfo", "YUV422", "Plate",
    "is_url", "write_se1", "write_ser",
    "rgb_to_grey", "grey_to_rgb", "rgb_to_yuv422", "yuv422_to_rgb", "unpack_yuv422", "swap_rb",
    "flip", "to_bitmap", "from_bitmap", "resize", "jpeg_encode", "jpeg_decode", "draw_text",
    "draw_arrow", "recognise_plate",
    "VialtoError", "LibraryNotFound", "OpenError", "SourceNotFound", "UnreachableSource",
    "NotASequence", "FrameOutOfRange", "FrameError", "ImageError", "ClosedError",
    "library_path", "candidate_paths", "LIBRARY_ENV",
]
