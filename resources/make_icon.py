#!/usr/bin/env python3
"""Writes zunkabell.ico (one 32 x 32 image, 4 bits per pixel) from icon.txt.

With --check it writes nothing and fails when zunkabell.ico is not what
icon.txt makes.
"""
import struct
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
SIZE = 32

# The classic 16-colour palette, as red, green, blue.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# Pixel letter -> palette index; None is transparent.
COLOURS = {".": None, "K": 0, "O": 3, "Y": 11, "W": 15}


def read_pixels(path):
    rows = [line.rstrip("\n") for line in path.read_text(encoding="utf-8").splitlines()
            if line.strip() and not line.startswith("#")]
    if len(rows) != SIZE or any(len(row) != SIZE for row in rows):
        sys.exit(f"{path}: expected {SIZE} rows of {SIZE} pixels")
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c not in COLOURS:
                sys.exit(f"{path}:{y + 1}:{x + 1}: unknown pixel {c!r}")
    return rows


def make_icon(rows):
    colour = bytearray()   # bottom row first, two pixels a byte, high nibble first
    mask = bytearray()     # 1 bits are transparent
    for row in reversed(rows):
        indices = [COLOURS[c] or 0 for c in row]
        colour += bytes(indices[x] << 4 | indices[x + 1] for x in range(0, SIZE, 2))
        bits = "".join("1" if COLOURS[c] is None else "0" for c in row)
        mask += int(bits, 2).to_bytes(SIZE // 8, "big")
    palette = b"".join(struct.pack("<4B", b, g, r, 0) for r, g, b in PALETTE)
    # Height counts the colour and the mask halves together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(colour) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    ico = make_icon(read_pixels(HERE / "icon.txt"))
    target = HERE / "zunkabell.ico"
    if sys.argv[1:] == ["--check"]:
        if not target.exists() or target.read_bytes() != ico:
            sys.exit(f"{target} is out of date: run {Path(__file__).name}")
        return
    target.write_bytes(ico)


if __name__ == "__main__":
    main()
