"""Library buffers are released on every path: long walks keep the process's memory flat."""

import pytest

import vialto
from conftest import picture, rss_bytes

FRAMES = 10_000
MB = 1 << 20


@pytest.fixture(scope="module")
def long_se1(tmp_path_factory):
    # 256 x 256 frames: a leaked picture buffer costs 192 KiB, so a leak shows within 100 frames.
    streams = [vialto.jpeg_encode(picture(i, 256, 256), 80) for i in range(8)]
    path = tmp_path_factory.mktemp("long") / "walk.se1"
    vialto.write_se1(path, (streams[i % 8] for i in range(FRAMES)), codec="JPE")
    return path


def test_walking_10000_frames_keeps_memory_flat(long_se1):
    kept = []
    with vialto.open(long_se1) as seq:
        assert len(seq) == FRAMES
        checksum = 0
        for frame in seq:
            if frame.number == 1000:
                baseline = rss_bytes()
            rgb = frame.rgb()
            checksum += int(rgb[128, 128, 0])
            if frame.number % 1000 == 0:
                kept.append(rgb[100:110, 100:110])  # views keep their frame's buffer alive
            if frame.number % 10 == 0:
                frame.grey()
                frame.yuv422()
                frame.stored()
                frame.bitmap_jpeg()
        assert frame.number == FRAMES - 1
        grown = rss_bytes() - baseline
    assert checksum > 0
    assert all(v.shape == (10, 10, 3) and v.any() for v in kept)
    assert grown < 16 * MB, f"memory grew by {grown / MB:.1f} MB over {FRAMES - 1000} frames"


def test_buffers_are_released_when_handing_them_out_fails(long_se1, monkeypatch):
    def failing_unpack(*args):
        raise MemoryError("no room for the planes")

    with vialto.open(long_se1) as seq:
        seq[0].yuv422()
        monkeypatch.setattr(vialto.image, "unpack_yuv422", failing_unpack)
        baseline = rss_bytes()
        for _ in range(2000):
            with pytest.raises(MemoryError):
                seq[0].yuv422()
        grown = rss_bytes() - baseline
    assert grown < 16 * MB, f"memory grew by {grown / MB:.1f} MB over 2000 failed copies"


def test_image_calls_release_their_buffers():
    img = picture(1, 256, 256)
    stream = vialto.jpeg_encode(img)
    for _ in range(50):
        vialto.jpeg_decode(vialto.jpeg_encode(img))
    baseline = rss_bytes()
    for _ in range(1500):
        vialto.jpeg_decode(stream)
        vialto.jpeg_encode(img)
    grown = rss_bytes() - baseline
    assert grown < 16 * MB, f"memory grew by {grown / MB:.1f} MB over 1500 codec round trips"
