"""One frame of a sequence: its description, and its picture in the forms the library offers."""

from __future__ import annotations

from typing import TYPE_CHECKING, Optional

import numpy as np

from . import image
from ._records import SubHeadInfo, SubHeadInfoRecord, sub_head_info_from_record

if TYPE_CHECKING:
    from .sequence import Sequence

# Output types of the frame calls.
STORED, GREY, YUV, RGB, JPEG = 0, 1, 2, 3, 4


class Frame:
    """A frame of an open Sequence, as it stood when the sequence reached it.

    The description (number, position, sub_header, colour, ...) is read once; every picture method
    fetches the frame from the source again (moving the sequence back to it when needed), so a
    Frame stays usable while its sequence is open. Pictures come out as numpy arrays over the
    library's own buffers, without a copy: each buffer goes back to the library when the last
    array (or view) over it is gone, and at once when a method raises."""

    __slots__ = ("_seq", "number", "position", "length", "colour", "_record", "_sub_header")

    def __init__(self, seq: "Sequence", number: int, position: Optional[int], length: int,
                 colour: int, record: Optional[SubHeadInfoRecord]):
        self._seq = seq
        #: Frame number, counted from 0.
        self.number = number
        #: Byte offset of the frame in the source (for "se1" its sub-header's), 64-bit.
        self.position = position
        #: Length of the stored frame data in bytes ("se1": behind the sub-header).
        self.length = length
        #: Colour status: 1 colour, 0 grey.
        self.colour = colour
        self._record = record  # decoded by the library; the dataclass is made when asked for
        self._sub_header = None

    @property
    def sub_header(self) -> Optional[SubHeadInfo]:
        """The decoded sub-header (SubHeadInfo) of an "se1" frame; None for "ser" frames."""
        if self._sub_header is None and self._record is not None:
            self._sub_header = sub_head_info_from_record(self._record)
        return self._sub_header

    def __repr__(self) -> str:
        return (f"<vialto.Frame {self.number} of {self._seq.source!r} at {self.position}, "
                f"{self.length} bytes, {self.codec}, {'colour' if self.colour else 'grey'}>")

    @property
    def is_colour(self) -> bool:
        """True for a colour frame (colour status 1)."""
        return self.colour == 1

    @property
    def codec(self) -> str:
        """"raw" for "ser" frames, else the sub-header's codec tag ("JPG", "JPE", ...)."""
        if self._record is None:
            return "raw"
        return self._record.chCodec.decode("latin-1")[:3].upper()

    @property
    def width(self) -> int:
        """Picture width as the file describes it (768 for "ser", wWidth for "se1")."""
        return self._record.wWidth if self._record is not None else 768

    @property
    def height(self) -> int:
        """Picture height as the file describes it (288 for "ser", wHeight for "se1")."""
        return self._record.wHeight if self._record is not None else 288

    @property
    def aux(self) -> int:
        """The auxiliary byte the frame calls report (byVal1D for "se1", 0 for "ser")."""
        return self._record.byVal1D if self._record is not None else 0

    # --- pictures, upright and in true colour ---------------------------------------------------

    def rgb(self) -> np.ndarray:
        """The picture as RGB, shape (h, w, 3), top row first."""
        return self._seq._picture(self, RGB, upright=True)

    def grey(self) -> np.ndarray:
        """The picture as grey, shape (h, w) (the luma plane of a "ser" colour frame)."""
        return self._seq._picture(self, GREY, upright=True)

    def yuv422(self) -> image.YUV422:
        """The picture as YUV 4:2:2 planes (y, u, v); grey frames come with neutral chroma."""
        return self._seq._picture(self, YUV, upright=True)

    def stored(self) -> bytes:
        """The frame data exactly as stored: a "ser" frame's pixels, an "se1" frame's JPEG."""
        return self._seq._stored(self)

    def jpeg(self, quality: int = 90) -> bytes:
        """The picture as a JPEG stream that decodes upright in true colour: the stored stream of
        an "se1" frame unchanged; a "ser" frame encoded at the given quality."""
        if self._record is not None:
            return self.stored()
        return image.jpeg_encode(self.rgb(), quality)

    # --- the library's bitmap-order forms -------------------------------------------------------

    def bitmap(self) -> np.ndarray:
        """The picture in bitmap order: shape (h, w, 3), B, G, R pixels, bottom row first."""
        return self._seq._picture(self, RGB, upright=False)

    def bitmap_jpeg(self) -> bytes:
        """The JPEG the library's extended frame call hands out: for "ser" and "JPG" frames the
        bitmap-order picture encoded (it decodes upside down with red and blue exchanged), for
        "JPE" frames the stored stream."""
        return self._seq._picture(self, JPEG, upright=False)
