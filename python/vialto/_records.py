"""The C records as ctypes structures (laid out as in vialto.h) and their Python dataclasses.

Decoding and encoding go through the library's own record codecs (Ser_BufTo*, Ser_*ToBuf); the
structures here only give the codecs somewhere to write.
"""

from __future__ import annotations

import ctypes
import dataclasses
from dataclasses import dataclass
from typing import Optional

_u8, _u16, _u32, _i32 = ctypes.c_uint8, ctypes.c_uint16, ctypes.c_uint32, ctypes.c_int32

_SERINFO_FIELDS = [
    ("chSign", ctypes.c_char * 3), ("wVal03", _u16), ("wFrameCount", _u16), ("wVal07", _u16),
    ("wVal09", _u16), ("byColorMode", _u8), ("byVal0C", _u8), ("byVal0D", _u8), ("byVal0E", _u8),
    ("wVal0F", _u16), ("byVal11", _u8), ("byVal12", _u8), ("dwVal13", _u32), ("byVal17", _u8),
    ("byColorMode2", _u8), ("byVal19", _u8), ("byVal1A", _u8), ("byVal1B", _u8), ("byVal1C", _u8),
    ("wVal1D", _u16), ("wVal1F", _u16), ("wVal21", _u16), ("byVal23", _u8), ("byVal24", _u8),
    ("byVal25", _u8), ("byVal26", _u8), ("wVal27", _u16), ("byVal29", _u8), ("wVal2A", _u16),
    ("wVal2C", _u16), ("wVal2E", _u16), ("byReserved", _u8 * 10),
]

_SUBHEAD_FIELDS = [
    ("chMark", ctypes.c_char * 8), ("chCodec", ctypes.c_char * 4), ("nFrameNo", _i32),
    ("nFrameLen", _i32), ("nPrevFrameLen", _i32), ("wWidth", _u16), ("wHeight", _u16),
    ("byColorStatus", _u8), ("byVal1D", _u8), ("byVal1E", _u8), ("byVal1F", _u8), ("byVal20", _u8),
    ("chVal21", ctypes.c_char * 12), ("wVal2D", _u16), ("wVal2F", _u16), ("wVal31", _u16),
    ("wVal33", _u16), ("byVal35", _u8), ("wVal36", _u16), ("wVal38", _u16), ("wVal3A", _u16),
    ("wVal3C", _u16), ("byReserved", _u8 * 12),
]


class SerInfoRecord(ctypes.Structure):
    """SerInfo as the C interface lays it out (60 bytes)."""
    _fields_ = _SERINFO_FIELDS


class SerHeadInfoRecord(ctypes.Structure):
    """SerHeadInfo (80 bytes): SerInfo, then dwHeadLen, byVal44, wVal45."""
    _fields_ = [("info", SerInfoRecord), ("byExtra", _u8 * 12), ("dwHeadLen", _u32),
                ("byVal44", _u8), ("wVal45", _u16)]


class SubHeadInfoRecord(ctypes.Structure):
    """SubHeadInfo, a frame's decoded sub-header (76 bytes)."""
    _fields_ = _SUBHEAD_FIELDS


class LOGFONTA(ctypes.Structure):
    """The 60-byte font description the text call takes."""
    _fields_ = [("lfHeight", _i32), ("lfWidth", _i32), ("lfEscapement", _i32),
                ("lfOrientation", _i32), ("lfWeight", _i32), ("lfItalic", _u8),
                ("lfUnderline", _u8), ("lfStrikeOut", _u8), ("lfCharSet", _u8),
                ("lfOutPrecision", _u8), ("lfClipPrecision", _u8), ("lfQuality", _u8),
                ("lfPitchAndFamily", _u8), ("lfFaceName", ctypes.c_char * 32)]


# The offsets are part of the C interface; a mismatch here would corrupt every call.
assert ctypes.sizeof(SerInfoRecord) == 60 and SerInfoRecord.wVal2A.offset == 44
assert ctypes.sizeof(SerHeadInfoRecord) == 80 and SerHeadInfoRecord.dwHeadLen.offset == 72
assert SerHeadInfoRecord.wVal45.offset == 78
assert ctypes.sizeof(SubHeadInfoRecord) == 76 and SubHeadInfoRecord.wVal2D.offset == 46
assert SubHeadInfoRecord.wVal36.offset == 56 and SubHeadInfoRecord.byReserved.offset == 64
assert ctypes.sizeof(LOGFONTA) == 60 and LOGFONTA.lfFaceName.offset == 28


def _text(raw: bytes) -> str:
    """A fixed character field as text: cut at the first zero byte, Latin-1 so no byte is lost."""
    return raw.split(b"\0", 1)[0].decode("latin-1")


def _plain_fields(record: ctypes.Structure, names) -> dict:
    out = {}
    for name in names:
        value = getattr(record, name)
        if isinstance(value, bytes):
            value = _text(value)
        out[name] = value
    return out


_SERINFO_NAMES = [n for n, _ in _SERINFO_FIELDS if n != "byReserved"]
_SUBHEAD_NAMES = [n for n, _ in _SUBHEAD_FIELDS if n not in ("byReserved", "chVal21")]


@dataclass(frozen=True)
class SerInfo:
    """The decoded file information of a sequence (the "ser" trailer or the start of the "se1"
    head), field for field as the SerInfo record names them. Fields named wValXX / byValXX are
    carried through from the file without a meaning of their own."""
    chSign: str
    wVal03: int
    wFrameCount: int
    wVal07: int
    wVal09: int
    byColorMode: int
    byVal0C: int
    byVal0D: int
    byVal0E: int
    wVal0F: int
    byVal11: int
    byVal12: int
    dwVal13: int
    byVal17: int
    byColorMode2: int
    byVal19: int
    byVal1A: int
    byVal1B: int
    byVal1C: int
    wVal1D: int
    wVal1F: int
    wVal21: int
    byVal23: int
    byVal24: int
    byVal25: int
    byVal26: int
    wVal27: int
    byVal29: int
    wVal2A: int
    wVal2C: int
    wVal2E: int

    @property
    def frame_count(self) -> int:
        """The number of frames the file declares (wFrameCount)."""
        return self.wFrameCount

    def as_dict(self) -> dict:
        """Every field by its record name."""
        return dataclasses.asdict(self)


@dataclass(frozen=True)
class SerHeadInfo(SerInfo):
    """The decoded head of an "se1" file: SerInfo plus the head length (the first frame's offset)
    and two carried-through fields."""
    dwHeadLen: int = 0
    byVal44: int = 0
    wVal45: int = 0


@dataclass(frozen=True)
class SubHeadInfo:
    """A frame's decoded 64-byte sub-header ("se1" files), as the SubHeadInfo record names it.
    nFrameLen counts the sub-header; byVal1D is what the frame calls report as "aux"."""
    chMark: str
    chCodec: str
    nFrameNo: int
    nFrameLen: int
    nPrevFrameLen: int
    wWidth: int
    wHeight: int
    byColorStatus: int
    byVal1D: int
    byVal1E: int
    byVal1F: int
    byVal20: int
    chVal21: bytes
    wVal2D: int
    wVal2F: int
    wVal31: int
    wVal33: int
    byVal35: int
    wVal36: int
    wVal38: int
    wVal3A: int
    wVal3C: int

    @property
    def codec(self) -> str:
        """The codec tag's first three characters in upper case ("JPG" or "JPE" for pictures the
        library decodes)."""
        return self.chCodec[:3].upper()

    def as_dict(self) -> dict:
        """Every field by its record name."""
        return dataclasses.asdict(self)


def ser_info_from_record(record: SerInfoRecord) -> SerInfo:
    """The dataclass of a decoded SerInfo record."""
    return SerInfo(**_plain_fields(record, _SERINFO_NAMES))


def ser_head_info_from_record(record: SerHeadInfoRecord) -> SerHeadInfo:
    """The dataclass of a decoded SerHeadInfo record."""
    return SerHeadInfo(**_plain_fields(record.info, _SERINFO_NAMES), dwHeadLen=record.dwHeadLen,
                       byVal44=record.byVal44, wVal45=record.wVal45)


def sub_head_info_from_record(record: SubHeadInfoRecord) -> SubHeadInfo:
    """The dataclass of a decoded SubHeadInfo record."""
    fields = _plain_fields(record, _SUBHEAD_NAMES)
    # Twelve raw bytes, zeros included.
    fields["chVal21"] = bytes(ctypes.string_at(ctypes.addressof(record) + 33, 12))
    return SubHeadInfo(**fields)


def _fill(record: ctypes.Structure, values: dict, names) -> None:
    for name in names:
        if name not in values:
            continue
        value = values[name]
        if isinstance(value, str):
            value = value.encode("latin-1")
        setattr(record, name, value)


def ser_info_record(info: Optional[SerInfo] = None, **values) -> SerInfoRecord:
    """A SerInfo record from a dataclass and/or field values (unnamed fields stay zero)."""
    record = SerInfoRecord()
    merged = dict(info.as_dict() if info else {}, **values)
    _fill(record, merged, _SERINFO_NAMES)
    return record


def ser_head_info_record(**values) -> SerHeadInfoRecord:
    """A SerHeadInfo record from field values (unnamed fields stay zero)."""
    record = SerHeadInfoRecord()
    _fill(record.info, values, _SERINFO_NAMES)
    _fill(record, values, ["dwHeadLen", "byVal44", "wVal45"])
    return record


def sub_head_info_record(**values) -> SubHeadInfoRecord:
    """A SubHeadInfo record from field values (unnamed fields stay zero)."""
    record = SubHeadInfoRecord()
    _fill(record, values, _SUBHEAD_NAMES)
    if "chVal21" in values:
        raw = bytes(values["chVal21"])[:12]
        ctypes.memmove(ctypes.addressof(record) + 33, raw, len(raw))
    return record
