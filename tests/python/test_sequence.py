"""Opening sequences, describing and reaching their frames, saving them; failures as exceptions."""

import os
import random

import numpy as np
import pytest

import vialto
from conftest import SAMPLES, picture

ROAD_SE1_POSITIONS = [128, 12362, 24557, 36560, 48729, 60956, 73190, 85377, 97374, 109541]


def test_samples_are_described_as_the_files_hold_them():
    with vialto.open(SAMPLES / "road.se1") as seq:
        assert (seq.kind, len(seq)) == ("se1", 10)
        assert isinstance(seq.info, vialto.SerHeadInfo)
        assert (seq.info.chSign, seq.info.wFrameCount, seq.info.dwHeadLen) == ("se1", 10, 128)
        frames = list(seq)
        assert [f.number for f in frames] == list(range(10))
        assert [f.position for f in frames] == ROAD_SE1_POSITIONS
        assert frames[0].length == 12170 and frames[9].length == 12160
        head = frames[3].sub_header
        assert (head.chMark, head.codec, head.nFrameNo, head.wWidth, head.wHeight) == \
               ("QXAAAAAA", "JPE", 3, 480, 270)
        assert head.nFrameLen == frames[3].length + 64
        assert head.nPrevFrameLen == frames[2].length + 64
        assert all(f.is_colour and f.codec == "JPE" for f in frames)
    with vialto.open(str(SAMPLES / "road.ser")) as seq:
        assert (seq.kind, len(seq), type(seq.info)) == ("ser", 2, vialto.SerInfo)
        assert (seq.info.byColorMode, seq.info.byColorMode2) == (2, 2)
        a, b = seq
        assert (a.position, a.length, a.colour, a.codec) == (0, 221184, 0, "raw")
        assert (b.position, b.length, b.colour) == (221184, 442368, 1)
        assert (a.width, a.height, a.sub_header) == (768, 288, None)


def test_indexing_reaches_the_frame_asked_for_in_any_order(generated):
    with vialto.open(generated["se1-jpg"]) as seq:
        walked = [(f.number, f.position) for f in seq]
        order = list(range(len(seq))) * 2
        random.Random(7).shuffle(order)
        for n in order:
            assert (seq[n].number, seq[n].position) == walked[n]
        assert seq[-1].number == len(seq) - 1 and seq[-len(seq)].number == 0
        assert [f.number for f in seq[8:2:-3]] == [8, 5]
        assert [f.number for f in seq[::5]] == [0, 5, 10]
        assert seq[100:] == []
        with pytest.raises(vialto.FrameOutOfRange):
            seq[len(seq)]
        with pytest.raises(IndexError):
            seq[-len(seq) - 1]
        with pytest.raises(TypeError):
            seq["3"]


def test_a_frame_remembers_its_place_while_the_sequence_moves_on(generated):
    with vialto.open(generated["se1-jpg"]) as seq:
        f2 = seq[2]
        seq[9].rgb()
        np.testing.assert_array_equal(f2.rgb(), vialto.jpeg_decode(f2.stored()))
        # Frames taken during an iteration stay right although indexing moves the decoder.
        numbers = []
        for f in seq:
            seq[len(seq) - 1 - f.number]
            numbers.append(f.number)
        assert numbers == list(range(len(seq)))


def test_open_failures_name_their_reason(tmp_path, nginx):
    with pytest.raises(vialto.SourceNotFound) as e:
        vialto.open(tmp_path / "missing.se1")
    assert isinstance(e.value, FileNotFoundError) and "missing.se1" in str(e.value)
    text = tmp_path / "notes.txt"
    text.write_bytes(b"just some text, not a camera sequence\n" * 4)
    with pytest.raises(vialto.NotASequence, match="neither"):
        vialto.open(text)
    tiny = tmp_path / "tiny.se1"
    tiny.write_bytes(b"se1" + bytes(20))
    with pytest.raises(vialto.NotASequence, match="too short"):
        vialto.open(tiny)
    with pytest.raises(vialto.OpenError, match="directory"):
        vialto.open(tmp_path)
    with pytest.raises(vialto.UnreachableSource):
        vialto.open(nginx.url("no-such-file.se1"))
    with pytest.raises(vialto.UnreachableSource):
        vialto.open(f"http://127.0.0.1:{_unused_port()}/x.se1")
    with pytest.raises(ValueError):
        vialto.open("x" * 300)
    with pytest.raises(ValueError):
        vialto.open("")
    with pytest.raises(TypeError):
        vialto.open(42)


def _unused_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_a_closed_sequence_refuses_work_and_closing_twice_is_harmless(generated):
    seq = vialto.open(generated["se1-jpe"])
    frame = seq[1]
    seq.close()
    seq.close()
    assert seq.closed
    with pytest.raises(vialto.ClosedError):
        seq[0]
    with pytest.raises(vialto.ClosedError):
        frame.rgb()


def test_damaged_files_fail_at_the_frame_that_is_damaged(tmp_path, generated):
    data = generated["se1-jpg"].read_bytes()
    with vialto.open(generated["se1-jpg"]) as seq:
        cut_at = seq[5].position + 64 + seq[5].length // 2
    cut = tmp_path / "cut.se1"
    cut.write_bytes(data[:cut_at])
    with vialto.open(cut) as seq:
        assert seq[4].rgb().shape == (48, 64, 3)
        with pytest.raises(vialto.FrameError, match="ends inside"):
            seq[5].rgb()
        with pytest.raises(vialto.FrameError, match="chain of frames breaks"):
            list(seq)
    # An unknown codec tag: the stored bytes are there, the picture is not decodable.
    odd = bytearray(data)
    odd[128 + 8:128 + 11] = b"XYZ"
    path = tmp_path / "odd.se1"
    path.write_bytes(bytes(odd))
    with vialto.open(path) as seq:
        assert seq[0].codec == "XYZ" and len(seq[0].stored()) == seq[0].length
        with pytest.raises(vialto.FrameError, match="codec"):
            seq[0].rgb()
        assert seq[1].rgb().shape == (48, 64, 3)
    # A "ser" trailer that declares more frames than the file stores.
    ser = bytearray(generated["ser-mode1"].read_bytes())
    ser[-54 + 5] = 3
    path = tmp_path / "short.ser"
    path.write_bytes(bytes(ser))
    with vialto.open(path) as seq:
        assert len(seq) == 3
        assert seq[1].grey().shape == (288, 768)
        with pytest.raises(vialto.FrameError):
            seq[2].rgb()


def test_save_copies_local_and_remote_sources(tmp_path, generated, nginx, ftp):
    original = generated["road.se1"].read_bytes()
    for source in (generated["road.se1"], nginx.url("road.se1"), ftp("road.se1")):
        target = tmp_path / "copy.se1"
        target.write_bytes(b"old contents that must go" * 10000)
        with vialto.open(source) as seq:
            seq[3]
            assert seq.save(target) == len(original)
            assert target.read_bytes() == original
            assert seq[4].number == 4  # the decoder still works after the copy
    with vialto.open(generated["road.se1"]) as seq:
        with pytest.raises(vialto.OpenError):
            seq.save(tmp_path / "no-such-dir" / "x.se1")


def test_remote_sequences_give_the_local_frames(generated, nginx, ftp):
    for name in ("gen-jpg.se1", "road.ser"):
        key = "se1-jpg" if name.endswith("se1") else "road.ser"
        with vialto.open(generated[key]) as local:
            expected = [(f.number, f.position, f.length, f.rgb()) for f in local]
        with vialto.open(nginx.url(name)) as seq:
            assert seq.is_remote and len(seq) == len(expected)
            order = list(range(len(seq)))
            random.Random(3).shuffle(order)
            for n in order:
                f = seq[n]
                assert (f.number, f.position, f.length) == expected[n][:3]
                np.testing.assert_array_equal(f.rgb(), expected[n][3])
        with vialto.open(ftp(name)) as seq:
            got = [(f.number, f.position, f.rgb()) for f in seq]
            assert [g[:2] for g in got] == [e[:2] for e in expected]
            for g, e in zip(got, expected):
                np.testing.assert_array_equal(g[2], e[3])
            assert seq[1].number == 1 and seq[0].number == 0


def test_positions_beyond_two_gigabytes_are_exact(tmp_path):
    # Sparse files: the holes cost no disk space, the positions still pass 2^31.
    count = 4900
    ser = tmp_path / "long.ser"
    with open(ser, "wb") as f:
        f.truncate(count * 0x6C000)
        f.seek(0, os.SEEK_END)
        record = vialto._records.ser_info_record(chSign="ser", wFrameCount=count, byColorMode=1,
                                                 byColorMode2=1)
        buf = (vialto._raw.ctypes.c_ubyte * 54)()
        vialto._raw.lib().Ser_SerInfoToBuf(vialto._raw.ctypes.byref(record), buf, 54)
        f.write(bytes(buf))
    with vialto.open(ser) as seq:
        assert seq[4860].position == 4860 * 0x6C000 > 2**31
        assert seq[-1].position == (count - 1) * 0x6C000
        assert seq[4860].grey().shape == (288, 768)

    se1 = tmp_path / "long.se1"
    small = vialto.jpeg_encode(picture(1))
    vialto.write_se1(se1, [small, small, small])
    data = bytearray(se1.read_bytes())
    gap = 1_500_000_000  # two frames padded with holes
    pieces, pos = [], 128
    frame_len = 64 + len(small)
    for i in range(3):
        sub = bytearray(data[pos:pos + 64])
        length = gap if i < 2 else frame_len
        sub[16:20] = length.to_bytes(4, "little")
        sub[20:24] = (0 if i == 0 else gap).to_bytes(4, "little")
        pieces.append((128 + i * gap, bytes(sub) + small))
        pos += frame_len
    with open(se1, "wb") as f:
        f.write(bytes(data[:128]))
        for at, chunk in pieces:
            f.seek(at)
            f.write(chunk)
    with vialto.open(se1) as seq:
        assert [f.position for f in seq] == [128, 128 + gap, 128 + 2 * gap]
        assert seq[2].rgb().shape == (48, 64, 3)
        assert [seq[n].position for n in (1, 0, 1, 2)] == [128 + gap, 128, 128 + gap, 128 + 2 * gap]
