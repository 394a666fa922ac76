#!/usr/bin/env python3
"""Draws kobu.ico: a 32x32, 16-colour icon of a page of links with a chain link.

The picture is the ART grid below, one character per pixel, in the standard
16-colour palette; '.' is transparent.  Run it to rewrite kobu.ico beside it.
"""
import os
import struct

PALETTE = [  # the Windows 16-colour palette, as (r, g, b)
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255)]
INK = {'K': 0, 'g': 2, 'N': 4, 'S': 7, 'G': 8, 'L': 10, 'B': 12, 'W': 15, 'Y': 11}

ART = [
    "................................",
    "....KKKKKKKKKKKKKKKKKKK.........",
    "....KWWWWWWWWWWWWWWWWWKK........",
    "....KWWWWWWWWWWWWWWWWWKSK.......",
    "....KWWWWWWWWWWWWWWWWWKWSK......",
    "....KWWWWWWWWWWWWWWWWWKWWSK.....",
    "....KWWgggggggggggggWWKKKKKK....",
    "....KWWgggggggggggggWWWWWWWK....",
    "....KWWWWWWWWWWWWWWWWWWWWWWK....",
    "....KWWWWWWWWWWWWWWWWWWWWWWK....",
    "....KWWggWWBBBBBBBBBBBBWWWWK....",
    "....KWWggWWWWWWWWWWWWWWWWWWK....",
    "....KWWWWWWNNNNNNNNNNNNWWWWK....",
    "....KWWWWWWWWWWWWWWWWWWWWWWK....",
    "....KWWggWWBBBBBBBBBBWWWWWWK....",
    "....KWWggWWWWWWWWWWWWWWWWWWK....",
    "....KWWWWWWNNNNNNNNNNWWWWWWK....",
    "....KWWWWWWWWWWWWWWWWWWWWWWK....",
    "....KWWggWWBBBBBBBBBBBBBWWWK....",
    "....KWWggWWWWWWWWWWWWWWWWWWK....",
    "....KWWWWWWNNNNNNNNNNNNNWBBBB...",
    "....KWWWWWWWWWWWWWWWWWWWBNNNNB..",
    "....KWWggWWBBBBBBBBWWWWBNWWWWNB.",
    "....KWWggWWWWWWWWWWWWWWBNWWWWNB.",
    "....KWWWWWWWWWWWWWWWBBBBBNNNNB..",
    "....KWWWWWWWWWWWWWWBNNNNBBBBB...",
    "....KWWWWWWWWWWWWWBNWWWWNBWK....",
    "....KWWWWWWWWWWWWWBNWWWWNBWK....",
    "....KWWWWWWWWWWWWWWBNNNNBWWK....",
    "....KSSSSSSSSSSSSSSSBBBBSSSK....",
    "....KKKKKKKKKKKKKKKKKKKKKKKK....",
    "................................",
]


def icon_bytes():
    assert len(ART) == 32 and all(len(row) == 32 for row in ART)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(ART):  # bitmaps are stored bottom-up
        indexes = [INK.get(ch, 0) for ch in row]
        for i in range(0, 32, 2):
            xor.append(indexes[i] << 4 | indexes[i + 1])
        bits = 0
        for ch in row:
            bits = bits << 1 | (ch == '.')
        mask += struct.pack('>I', bits)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 32, 32, 16, 0, 1, 4, len(image), 22)
    return directory + image


if __name__ == '__main__':
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'kobu.ico'), 'wb') as f:
        f.write(icon_bytes())
