#!/usr/bin/env python3
"""Writes program.ico, the icon both programs show: one 32 x 32 image in the 16 standard Windows colours,
a blue arrow going down into an open box, on a transparent background.

    python3 make_icon.py [OUT.ico]
"""
import struct
import sys

# The 16-colour palette (blue, green, red), index order of the standard VGA colours.
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, NAVY, OLIVE, SILVER, GRAY, YELLOW, BLUE, WHITE = 0, 4, 3, 7, 8, 11, 12, 15
SIZE = 32


def draw():
    """Rows top to bottom; None is transparent."""
    image = [[None] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            image[y][x] = colour

    # The box: a front face with an outline, its dark inside over the front edge, and two flaps
    # opened outward.
    for y in range(17, 31):
        for x in range(4, 28):
            edge = y in (17, 30) or x in (4, 27)
            put(x, y, BLACK if edge else OLIVE)
    for y in range(14, 17):
        for x in range(6, 26):
            put(x, y, GRAY)
    for y in range(9, 17):
        t = (16 - y) / 7  # 0 at the box's edge, 1 at the flap's far edge
        left_a, left_b = round(4 - 4 * t), round(11 - 6 * t)
        for x in range(left_a, left_b + 1):
            edge = x in (left_a, left_b) or y == 9
            put(x, y, BLACK if edge else YELLOW)
            put(31 - x, y, BLACK if edge else YELLOW)

    # The arrow, from the top into the box: a shaft and a head, navy outline.
    for y in range(1, 12):
        for x in range(13, 19):
            put(x, y, BLUE)
        put(12, y, NAVY)
        put(19, y, NAVY)
    for x in range(12, 20):
        put(x, 0, NAVY)
    for row, y in enumerate(range(12, 21)):
        half = 8 - row
        for x in range(16 - half, 16 + half):
            put(x, y, BLUE)
        put(15 - half, y, NAVY)
        put(16 + half, y, NAVY)
    for x in range(13, 19):
        put(x, 11, BLUE)
    # A highlight down the shaft.
    for y in range(1, 14):
        put(14, y, WHITE)
    return image


def ico(image):
    rows = list(reversed(image))  # bitmaps are stored bottom-up
    xor = bytearray()
    for row in rows:
        indices = [BLACK if c is None else c for c in row]
        for x in range(0, SIZE, 2):
            xor.append(indices[x] << 4 | indices[x + 1])
    mask = bytearray()
    for row in rows:
        bits = 0
        for x, c in enumerate(row):
            if c is None:
                bits |= 1 << (SIZE - 1 - x)
        mask += bits.to_bytes(4, "big")  # 32 pixels: exactly one 4-byte row, no padding
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                         16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for (b, g, r) in PALETTE)
    image_data = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image_data), 6 + 16)
    return directory + entry + image_data


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "program.ico"
    with open(out, "wb") as f:
        f.write(ico(draw()))
