"""Frame pictures in every form, checked against each other, against the pictures the files were
made from, and against a decode of the stored stream by an independent decoder (Pillow)."""

import io

import numpy as np
import pytest
from PIL import Image

import vialto
from conftest import picture, ser_grey


def pillow_rgb(stream: bytes) -> np.ndarray:
    return np.asarray(Image.open(io.BytesIO(stream)).convert("RGB"))


@pytest.mark.parametrize("key", ["se1-jpg", "se1-jpe", "road.se1"])
def test_se1_frames_come_out_upright_in_true_colour(generated, key):
    with vialto.open(generated[key]) as seq:
        for frame in seq[::4]:
            stored = frame.stored()
            rgb = frame.rgb()
            assert rgb.shape == (frame.height, frame.width, 3) and rgb.dtype == np.uint8
            np.testing.assert_array_equal(rgb, vialto.jpeg_decode(stored))
            assert np.abs(rgb.astype(int) - pillow_rgb(stored)).max() <= 2
            np.testing.assert_array_equal(frame.bitmap(), rgb[::-1, :, ::-1])
            np.testing.assert_array_equal(frame.grey(), vialto.rgb_to_grey(rgb))
            yuv = frame.yuv422()
            expected = vialto.rgb_to_yuv422(rgb)
            for got, want in zip(yuv, expected):
                np.testing.assert_array_equal(got, want)
            assert frame.jpeg() == stored


def test_generated_se1_pictures_match_what_was_written(generated):
    with vialto.open(generated["se1-jpe"]) as seq:
        for frame in seq:
            assert np.abs(frame.rgb().astype(int) - picture(frame.number)).mean() < 2


def test_bitmap_jpeg_follows_the_tag_rule(generated):
    with vialto.open(generated["se1-jpe"]) as seq:
        assert seq[1].bitmap_jpeg() == seq[1].stored()
    with vialto.open(generated["se1-jpg"]) as seq:
        frame = seq[1]
        decoded = vialto.jpeg_decode(frame.bitmap_jpeg())
        assert decoded.shape == (48, 64, 3)
        assert np.abs(decoded.astype(int) - frame.bitmap()).mean() < 3


def test_grey_se1_frames(generated):
    with vialto.open(generated["se1-grey"]) as seq:
        frame = seq[1]
        grey = frame.grey()
        assert grey.shape == (48, 64) and not frame.is_colour
        assert np.abs(grey.astype(int) - picture(1)[:, :, 0]).mean() < 2
        np.testing.assert_array_equal(frame.rgb(), vialto.grey_to_rgb(grey))
        y, u, v = frame.yuv422()
        np.testing.assert_array_equal(y, grey)
        assert (u == 128).all() and (v == 128).all()


def test_ser_frames_in_both_colour_modes(generated):
    with vialto.open(generated["ser-mode2"]) as seq:
        grey0, grey1, colour = seq
        assert (grey0.colour, grey1.colour, colour.colour) == (0, 0, 1)
        np.testing.assert_array_equal(grey1.grey(), ser_grey(1))
        assert grey1.stored() == ser_grey(1).tobytes()
        np.testing.assert_array_equal(grey1.rgb(), vialto.grey_to_rgb(ser_grey(1)))
        y, u, v = grey0.yuv422()
        np.testing.assert_array_equal(y, ser_grey(0))
        assert (u == 128).all() and (v == 128).all()
        red = np.zeros((288, 768, 3), np.uint8)
        red[..., 0] = 200
        planes = vialto.rgb_to_yuv422(red)
        np.testing.assert_array_equal(colour.rgb(), vialto.yuv422_to_rgb(planes))
        np.testing.assert_array_equal(colour.bitmap(), colour.rgb()[::-1, :, ::-1])
        assert np.abs(vialto.jpeg_decode(colour.jpeg()).astype(int) - colour.rgb()).mean() < 2
        upside_down = vialto.jpeg_decode(colour.bitmap_jpeg())
        assert np.abs(upside_down.astype(int) - colour.bitmap()).mean() < 2
    with vialto.open(generated["ser-mode1"]) as seq:
        frame = seq[1]
        planes = vialto.rgb_to_yuv422(picture(1, 768, 288))
        assert frame.stored() == planes.packed().tobytes()
        np.testing.assert_array_equal(frame.grey(), planes.y)
        for got, want in zip(frame.yuv422(), planes):
            np.testing.assert_array_equal(got, want)
