#!/usr/bin/env python3
"""Draws the program's icon and check-box images into app/res/. Run once when they change;
the build uses the committed files, so neither the build nor the tests need Python."""
import struct
from pathlib import Path

RES = Path(__file__).resolve().parent.parent / "app" / "res"

# The 16 colours of the classic Windows palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, GREY, SILVER, WHITE, YELLOW = 4, 8, 7, 15, 11


def chip_icon(size):
    """A chip: a navy package with silver pins on all four sides and a yellow pin-1 dot."""
    px = [[None] * size for _ in range(size)]  # None: transparent
    m = size // 8            # margin for the pins
    body0, body1 = m + 1, size - m - 2
    for y in range(body0, body1 + 1):
        for x in range(body0, body1 + 1):
            px[y][x] = NAVY
    step = max(2, size // 8)
    for i in range(body0 + 1, body1, step):
        for d in range(m + 1):
            px[d][i] = px[size - 1 - d][i] = SILVER
            px[i][d] = px[i][size - 1 - d] = SILVER
    dot = max(1, size // 10)
    for y in range(body0 + 2, body0 + 2 + dot):
        for x in range(body0 + 2, body0 + 2 + dot):
            px[y][x] = YELLOW
    # A white "Q" stroke: a ring in the middle of the body.
    c = size / 2 - 0.5
    r_out, r_in = size * 0.22, size * 0.22 - max(1.0, size / 16)
    for y in range(size):
        for x in range(size):
            d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
            if px[y][x] == NAVY and r_in <= d <= r_out:
                px[y][x] = WHITE
    for k in range(max(2, size // 6)):
        x, y = int(c + r_in * 0.5) + k, int(c + r_in * 0.5) + k
        if 0 <= x < size and 0 <= y < size:
            px[y][x] = WHITE
    return px


def icon_image(px):
    size = len(px)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(px):  # bottom-up
        nibbles = [(c if c is not None else 0) for c in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(data + b"\0" * ((-len(data)) % 4))
        bits = 0
        mask = bytearray()
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b"\0" * ((-len(mask)) % 4))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def write_icon(path, sizes):
    images = [icon_image(chip_icon(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    path.write_bytes(out + b"".join(images))


def check_box(checked):
    """13 x 13: a grey frame, white inside, and for the checked box a black tick."""
    n = 13
    px = [[(255, 255, 255)] * n for _ in range(n)]
    for i in range(n):
        px[0][i] = px[n - 1][i] = px[i][0] = px[i][n - 1] = (128, 128, 128)
    if checked:
        tick = [(3, 6), (4, 7), (5, 8), (6, 7), (7, 6), (8, 5), (9, 4)]
        for x, y in tick:
            for dy in range(3):
                px[y + dy - 1][x] = (0, 0, 0)
    return px


def write_bmp16(path, px):
    """16 bits per pixel, 5-5-5, bottom-up."""
    h, w = len(px), len(px[0])
    rows = []
    for row in reversed(px):
        data = b"".join(struct.pack("<H", ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
                        for r, g, b in row)
        rows.append(data + b"\0" * ((-len(data)) % 4))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 16, 0, len(bits), 2835, 2835, 0, 0)
    filehdr = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    path.write_bytes(filehdr + info + bits)


if __name__ == "__main__":
    RES.mkdir(parents=True, exist_ok=True)
    write_icon(RES / "QX48_EWARM_pack.ico", [32, 16])
    write_bmp16(RES / "check_on.bmp", check_box(True))
    write_bmp16(RES / "check_off.bmp", check_box(False))
