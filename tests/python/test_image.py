"""Image operations on numpy arrays: results, in-place overlays, and refusals before any C call."""

import numpy as np
import pytest

import vialto
from conftest import picture


def rgb_pixels(*pixels):
    return np.array([pixels], np.uint8)


def test_conversions_give_the_library_values():
    grey = np.array([[10, 16, 200, 255]], np.uint8)
    np.testing.assert_array_equal(vialto.grey_to_rgb(grey)[0, :, 0], [0, 0, 184, 239])
    primaries = rgb_pixels((255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255))
    np.testing.assert_array_equal(vialto.rgb_to_grey(primaries)[0], [76, 150, 29, 255])
    for precise in (False, True):
        planes = vialto.rgb_to_yuv422(rgb_pixels((255, 255, 255), (255, 255, 255),
                                                 (0, 0, 0), (0, 0, 0)), precise=precise)
        np.testing.assert_array_equal(planes.y[0], [255, 255, 16, 16])
        assert (planes.u == 128).all() and (planes.v == 128).all()
        one = vialto.YUV422(np.full((1, 2), 100, np.uint8), np.full((1, 1), 50, np.uint8),
                            np.full((1, 1), 200, np.uint8))
        np.testing.assert_array_equal(vialto.yuv422_to_rgb(one, precise=precise)[0, 0], [185, 59, 0])
    # Chroma comes from the left pixel of each pair; the packed order is Y, V, U.
    planes = vialto.rgb_to_yuv422(rgb_pixels((255, 0, 0), (0, 0, 255)))
    assert planes.v[0, 0] > 200 and planes.u[0, 0] < 128
    assert planes.packed().tolist() == [*planes.y[0], planes.v[0, 0], planes.u[0, 0]]
    big = picture(3, 64, 48)
    back = vialto.yuv422_to_rgb(vialto.rgb_to_yuv422(big))
    assert np.abs(back.astype(int) - big).mean() < 12  # the camera's luma offset, not a fault


def test_geometry():
    img = picture(2, 8, 8)
    np.testing.assert_array_equal(vialto.swap_rb(img), img[:, :, ::-1])
    np.testing.assert_array_equal(vialto.swap_rb(vialto.swap_rb(img)), img)
    np.testing.assert_array_equal(vialto.flip(img), img[::-1])
    np.testing.assert_array_equal(vialto.flip(img[:, :, 1]), img[::-1, :, 1])
    np.testing.assert_array_equal(vialto.to_bitmap(img), img[::-1, :, ::-1])
    np.testing.assert_array_equal(vialto.from_bitmap(vialto.to_bitmap(img)), img)
    # Reductions by an integer factor pick every other pixel, in both modes.
    np.testing.assert_array_equal(vialto.resize(img, 4, 4), img[::2, ::2])
    np.testing.assert_array_equal(vialto.resize(img[:, :, 0], 4, 4), img[::2, ::2, 0])
    assert vialto.resize(img, 20, 10).shape == (10, 20, 3)
    # A view that is not contiguous is read correctly.
    np.testing.assert_array_equal(vialto.flip(img[:, ::2]), img[::-1, ::2])
    with pytest.raises(ValueError):
        vialto.resize(img, 3, 10)
    with pytest.raises(ValueError):
        vialto.resize(img[:1], 8, 8)


def test_jpeg_in_memory():
    img = picture(5, 640, 480)
    stream = vialto.jpeg_encode(img, quality=75)
    assert stream[:2] == b"\xff\xd8" and stream[-2:] == b"\xff\xd9"
    decoded = vialto.jpeg_decode(stream)
    assert decoded.shape == (480, 640, 3) and np.abs(decoded.astype(int) - img).mean() < 2
    grey = img[:, :, 1].copy()
    back = vialto.jpeg_decode(vialto.jpeg_encode(grey))
    assert back.shape == (480, 640) and np.abs(back.astype(int) - grey).mean() < 2
    assert len(vialto.jpeg_encode(img, 10)) < len(vialto.jpeg_encode(img, 95))
    with pytest.raises(vialto.ImageError):
        vialto.jpeg_decode(bytes(range(256)) * 8)
    with pytest.raises(ValueError):
        vialto.jpeg_decode(b"")
    with pytest.raises(ValueError):
        vialto.jpeg_encode(img, quality=0)


def test_text_is_drawn_in_place_where_asked():
    img = np.zeros((60, 200, 3), np.uint8)
    same = vialto.draw_text(img, "cam 1 12:00", 10, 5, size=20, colour=(255, 0, 0))
    assert same is img
    touched = np.argwhere(img.any(axis=2))
    assert len(touched) > 50
    assert touched[:, 0].min() >= 5 and touched[:, 0].max() < 30  # rows below y, one line high
    assert touched[:, 1].min() >= 10
    strongest = img[tuple(touched[np.argmax(img[..., 0][img.any(axis=2)])])]
    assert strongest[0] > 200 and strongest[1] < 60 and strongest[2] < 60  # red, not blue
    # An opaque background fills the text's cell box, in the colour asked for.
    boxed = np.zeros((60, 200, 3), np.uint8)
    vialto.draw_text(boxed, "Zürich", 10, 5, size=20, colour=0xFFFFFF, background=0x0000FF)
    assert (boxed[15, 12] == [0, 0, 255]).all() or (boxed[15, 12] == [255, 255, 255]).all()
    assert (boxed[50, 190] == 0).all()
    # Upright and bitmap order draw the same picture.
    upright = picture(1, 120, 40)
    bitmap = vialto.to_bitmap(upright)
    vialto.draw_text(upright, "AB", 3, 4, size=14, colour=(0, 255, 0), background=(9, 9, 9))
    vialto.draw_text(bitmap, "AB", 3, 4, size=14, colour=(0, 255, 0), background=(9, 9, 9),
                     bitmap=True)
    np.testing.assert_array_equal(vialto.from_bitmap(bitmap), upright)
    # A view of a larger array is drawn into through the view.
    canvas = np.zeros((40, 240, 3), np.uint8)
    vialto.draw_text(canvas[:, ::2], "x", 0, 0, size=20)
    assert canvas[:, ::2].any() and not canvas[:, 1::2].any()


def test_text_refuses_what_it_cannot_draw():
    img = np.zeros((20, 20, 3), np.uint8)
    for bad in ("snow \u2603", "a\0b"):
        with pytest.raises(ValueError):
            vialto.draw_text(img, bad, 0, 0)
    with pytest.raises(ValueError):
        vialto.draw_text(img, "x", 0, 0, colour=(256, 0, 0))
    with pytest.raises(ValueError):
        vialto.draw_text(img, "x", 0, 0, size=0)
    frozen = img.copy()
    frozen.flags.writeable = False
    with pytest.raises(ValueError):
        vialto.draw_text(frozen, "x", 0, 0)


def test_arrow_lands_next_to_the_point():
    for x, y in ((20, 20), (150, 20), (20, 100), (150, 100)):
        img = np.zeros((128, 200, 3), np.uint8)
        assert vialto.draw_arrow(img, x, y) is img
        red = np.argwhere((img[..., 0] > 90) & (img[..., 2] < 10))
        assert len(red) > 100
        nearest = np.abs(red - [y, x]).max(axis=1).min()
        assert nearest <= 3, (x, y, nearest)
    img = np.zeros((128, 200, 3), np.uint8)
    vialto.draw_arrow(img, 30, 100, tile=4)
    assert not img.any()  # the horizontal arrow needs room to the left of the point
    vialto.draw_arrow(img, 150, 20, tile=4)
    assert img.any()
    upright = picture(2, 160, 140)
    bitmap = vialto.to_bitmap(upright)
    vialto.draw_arrow(upright, 100, 30)
    vialto.draw_arrow(bitmap, 100, 140 - 1 - 30, bitmap=True)
    np.testing.assert_array_equal(vialto.from_bitmap(bitmap), upright)
    with pytest.raises(ValueError):
        vialto.draw_arrow(upright, 1, 1, tile=2)


def test_shapes_and_types_are_checked_before_the_library_is_called():
    calls = [
        lambda a: vialto.rgb_to_grey(a), lambda a: vialto.swap_rb(a), lambda a: vialto.flip(a),
        lambda a: vialto.jpeg_encode(a), lambda a: vialto.resize(a, 8, 8),
        lambda a: vialto.draw_text(a, "x", 0, 0), lambda a: vialto.draw_arrow(a, 0, 0),
        lambda a: vialto.rgb_to_yuv422(a), lambda a: vialto.recognise_plate(a),
    ]
    bad = [np.zeros((4, 4, 3), np.float32), np.zeros((4, 4, 4), np.uint8),
           np.zeros((0, 4, 3), np.uint8), np.zeros((2, 2, 2, 3), np.uint8)]
    for call in calls:
        for a in bad:
            with pytest.raises(ValueError):
                call(a)
        with pytest.raises(TypeError):
            call([[1, 2, 3]])
    with pytest.raises(ValueError):
        vialto.grey_to_rgb(np.zeros((4, 4, 3), np.uint8))
    with pytest.raises(ValueError):
        vialto.rgb_to_yuv422(np.zeros((4, 5, 3), np.uint8))
    y = np.zeros((4, 6), np.uint8)
    with pytest.raises(ValueError):
        vialto.yuv422_to_rgb((y, np.zeros((4, 3), np.uint8), np.zeros((4, 2), np.uint8)))
    with pytest.raises(TypeError):
        vialto.yuv422_to_rgb(y)
    with pytest.raises(ValueError):
        vialto.unpack_yuv422(np.zeros(10, np.uint8), 4, 2)


def test_plate_entry_reports_a_result_of_the_documented_shape():
    plate = vialto.recognise_plate(np.zeros((288, 768, 3), np.uint8))
    assert len(plate.text) == 5 and plate.text.isdigit()
    assert 0 <= plate.confidence <= 100
    assert 0 <= plate.left and plate.left + plate.width <= 768
    assert 0 <= plate.top and plate.top + plate.height <= 288
