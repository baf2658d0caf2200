#!/usr/bin/env python3
"""Draws the built-in arrow picture, res/arrows.bmp: eight 64 x 64 tiles stacked in storage order
(tile k is stored rows 64k to 64k + 63 of a bottom-up 24-bit BMP).

  tiles 0-3  red arrows at 45 degrees pointing into the tile's corner (0,0), (63,0), (0,63), (63,63)
  tiles 4-6  black (they draw nothing)
  tile 7     a horizontal arrow in rows 0 to 12 pointing toward higher columns

Coordinates are (column, stored row) within a tile; a pixel (c, r) covers [c, c+1) x [r, r+1).
Each arrow is one polygon; a pixel's colour is the arrow colour scaled by the exact area of the
polygon inside the pixel, which gives soft edges over black.

Usage: make_arrows.py [--out FILE] [--png preview.png --scale 4]
(--out defaults to res/arrows.bmp of this source tree). It refuses to write a picture that
misses the tile table.
Python 3 standard library only.
"""
import argparse
import math
import os
import struct
import sys
import zlib

TILE = 64
TILE_COUNT = 8
WIDTH = TILE
HEIGHT = TILE * TILE_COUNT
PIXEL_BYTES = WIDTH * HEIGHT * 3
PELS_PER_METER = 2834

# Diagonal arrow shape, in "row units" across the axis (u - v) and along it (u + v), where (u, v)
# are tile coordinates mirrored so the arrow points toward (0, 0). A row unit across the axis is
# one pixel measured along a row.
HEAD_LENGTH = 22.0      # apex to barbs, along the axis (about 15 rows deep)
HEAD_HALF_SPAN = 9.0    # barbs either side of the middle between apex and shaft
SHAFT_HALF_WIDTH = 3.25  # shaft 6.5 pixels wide along a row
ARROW_END = 86.0        # u + v of the tail end

# Per tile: the mirroring that turns (u, v) into (c, r), the apex (u - v as head_axis, u + v as
# apex) and the shaft's axis (u - v). The tile table's tips and tails do not lie on one 45-degree
# line, so the shaft runs a little beside the apex; the barbs stand symmetric between the two.
DIAGONAL_TILES = {
    0: dict(flip_c=False, flip_r=False, head_axis=1.5, shaft_axis=3.5, apex=2.6),
    1: dict(flip_c=True, flip_r=False, head_axis=0.0, shaft_axis=1.0, apex=2.6),
    2: dict(flip_c=False, flip_r=True, head_axis=0.25, shaft_axis=2.25, apex=2.6),
    3: dict(flip_c=True, flip_r=True, head_axis=-0.75, shaft_axis=-1.5, apex=2.2),
}

# Table positions (pixel indices) the picture must honour: tip, tail.
EXPECTED = {
    0: ((1, 1), (45, 39)),
    1: ((62, 1), (20, 41)),
    2: ((1, 62), (44, 23)),
    3: ((63, 62), (22, 20)),
    7: ((61, 6), (3, 6)),
}

# Arrow colour, as bytes blue, green, red: red from 212 (rim) to 255 (along the middle).
RED_RIM, RED_MIDDLE = 212, 255
GREEN_MIDDLE, BLUE_MIDDLE = 9, 4


def clip(polygon, keep):
    """Sutherland-Hodgman clip against one half-plane; keep(p) -> signed distance (>= 0 inside)."""
    out = []
    n = len(polygon)
    for i in range(n):
        a, b = polygon[i], polygon[(i + 1) % n]
        da, db = keep(a), keep(b)
        if da >= 0:
            out.append(a)
        if (da >= 0) != (db >= 0):
            t = da / (da - db)
            out.append((a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])))
    return out


def area(polygon):
    s = 0.0
    for i in range(len(polygon)):
        (x0, y0), (x1, y1) = polygon[i], polygon[(i + 1) % len(polygon)]
        s += x0 * y1 - x1 * y0
    return abs(s) / 2.0


def coverage(polygon, c, r):
    """Exact area of the polygon inside pixel (c, r). Clipping a concave polygon against a convex
    window can leave zero-width bridges, which carry no area, so the result stays exact."""
    p = polygon
    for keep in (lambda q: q[0] - c, lambda q: c + 1 - q[0],
                 lambda q: q[1] - r, lambda q: r + 1 - q[1]):
        p = clip(p, keep)
        if not p:
            return 0.0
    return min(1.0, area(p))


def arrow_colour(rim_distance):
    """Colour for a point rim_distance from the middle (0) to the rim (1) of the arrow."""
    t = min(1.0, max(0.0, rim_distance))
    red = RED_MIDDLE - (RED_MIDDLE - RED_RIM) * t * t
    return (BLUE_MIDDLE * (1 - t), GREEN_MIDDLE * (1 - t), red)


def diagonal_polygon(p):
    """The arrow as (u, v) points: apex, barb, shaft side, tail end, shaft side, barb."""
    def uv(s, k):
        return ((s + k) / 2.0, (s - k) / 2.0)
    apex, head, shaft = p["apex"], p["head_axis"], p["shaft_axis"]
    barbs = barb_axis(p)
    base = apex + HEAD_LENGTH
    return [uv(apex, head),
            uv(base, barbs + HEAD_HALF_SPAN),
            uv(base, shaft + SHAFT_HALF_WIDTH),
            uv(ARROW_END, shaft + SHAFT_HALF_WIDTH),
            uv(ARROW_END, shaft - SHAFT_HALF_WIDTH),
            uv(base, shaft - SHAFT_HALF_WIDTH),
            uv(base, barbs - HEAD_HALF_SPAN)]


def barb_axis(p):
    return (p["head_axis"] + p["shaft_axis"]) / 2.0


def draw_diagonal(p):
    def to_tile(point):
        u, v = point
        return (TILE - u if p["flip_c"] else u, TILE - v if p["flip_r"] else v)
    polygon = [to_tile(q) for q in diagonal_polygon(p)]

    def rim(c, r):
        u = TILE - (c + 0.5) if p["flip_c"] else c + 0.5
        v = TILE - (r + 0.5) if p["flip_r"] else r + 0.5
        return abs((u - v) - barb_axis(p)) / HEAD_HALF_SPAN
    return render(polygon, rim)


def draw_horizontal():
    # Shaft rows 4 to 8 from column 3; a head from column 38 to its tip on row 6, barbs at the
    # tile's rows 0 and 12.
    polygon = [(61.9, 6.5), (45.5, 0.25), (38.0, 4.0), (3.0, 4.0),
               (3.0, 9.0), (38.0, 9.0), (45.5, 12.75)]
    return render(polygon, lambda c, r: abs(r + 0.5 - 6.5) / 6.25)


def render(polygon, rim):
    """One tile: rows of 64 (blue, green, red) byte triples."""
    tile = [[(0, 0, 0)] * TILE for _ in range(TILE)]
    xs = [q[0] for q in polygon]
    ys = [q[1] for q in polygon]
    for r in range(max(0, int(min(ys))), min(TILE, int(math.ceil(max(ys))))):
        for c in range(max(0, int(min(xs))), min(TILE, int(math.ceil(max(xs))))):
            cov = coverage(polygon, c, r)
            if cov <= 0.0:
                continue
            tile[r][c] = tuple(int(ch * cov + 0.5) for ch in arrow_colour(rim(c, r)))
    return tile


def draw_picture():
    empty = [[(0, 0, 0)] * TILE for _ in range(TILE)]
    tiles = [draw_diagonal(DIAGONAL_TILES[k]) for k in range(4)] + [empty] * 3
    tiles.append(draw_horizontal())
    return tiles


# --- checks: the picture must honour the tile table -------------------------------------------

def drawn(tile):
    return [(c, r) for r in range(TILE) for c in range(TILE) if any(tile[r][c])]


def tip_and_tail(tile, direction):
    """Tip: the drawn pixel furthest along the arrow. Tail: the middle of the last two pixel
    layers at the other end (a square-cut tail has no single furthest pixel)."""
    dc, dr = direction
    points = drawn(tile)
    along = [(dc * c + dr * r, (c, r)) for c, r in points]
    tip = max(along)[1]
    back = min(a for a, _ in along)
    end = [p for a, p in along if a <= back + 2 * max(abs(dc), abs(dr))]
    tail = (sum(p[0] for p in end) / len(end), sum(p[1] for p in end) / len(end))
    return tip, tail


DIRECTIONS = {0: (-1, -1), 1: (1, -1), 2: (-1, 1), 3: (1, 1), 7: (1, 0)}


def check(tiles):
    problems = []
    for k, (want_tip, want_tail) in EXPECTED.items():
        tip, tail = tip_and_tail(tiles[k], DIRECTIONS[k])
        for name, got, want in (("tip", tip, want_tip), ("tail", tail, want_tail)):
            if max(abs(got[0] - want[0]), abs(got[1] - want[1])) > 1.5:
                problems.append(f"tile {k} {name} at {got}, want near {want}")
        for c, r in drawn(tiles[k]):
            b, g, red = tiles[k][r][c]
            if b > 9 or g > 9 or red > 255 or red < max(b, g):
                problems.append(f"tile {k} pixel ({c}, {r}) is not red: {tiles[k][r][c]}")
    for k in (4, 5, 6):
        if drawn(tiles[k]):
            problems.append(f"tile {k} is not empty")
    if any(r > 12 for _, r in drawn(tiles[7])):
        problems.append("tile 7 draws below row 12")
    return problems


# --- output -------------------------------------------------------------------------------------

def pixel_array(tiles):
    return b"".join(bytes(ch for px in row for ch in px) for tile in tiles for row in tile)


def bmp_file(pixels):
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, PIXEL_BYTES,
                       PELS_PER_METER, PELS_PER_METER, 0, 0)
    offset = 14 + len(info)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + pixels


def png_preview(pixels, scale):
    """The picture as a bitmap viewer shows it (first stored row at the bottom), scaled up."""
    rows = []
    for y in range(HEIGHT - 1, -1, -1):
        stored = pixels[y * WIDTH * 3:(y + 1) * WIDTH * 3]
        line = b"".join(bytes((stored[3 * x + 2], stored[3 * x + 1], stored[3 * x])) * scale
                        for x in range(WIDTH))
        rows.extend([b"\0" + line] * scale)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", WIDTH * scale, HEIGHT * scale, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description="Draws the built-in arrow picture.")
    default_out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res",
                               "arrows.bmp")
    parser.add_argument("--out", default=os.path.normpath(default_out))
    parser.add_argument("--png", help="also write a scaled preview PNG here")
    parser.add_argument("--scale", type=int, default=4)
    args = parser.parse_args()

    tiles = draw_picture()
    problems = check(tiles)
    for problem in problems:
        print("make_arrows:", problem, file=sys.stderr)
    if problems:
        return 1
    pixels = pixel_array(tiles)
    assert len(pixels) == PIXEL_BYTES
    with open(args.out, "wb") as f:
        f.write(bmp_file(pixels))
    if args.png:
        with open(args.png, "wb") as f:
            f.write(png_preview(pixels, args.scale))
    return 0


if __name__ == "__main__":
    sys.exit(main())
