#!/usr/bin/env python3
"""Writes skinh.she, the skin's data file.

The colours below are the look the user sees. The tool turns the hue by 130
degrees right after attaching the skin, so the file stores each colour with
its hue turned back by 130 degrees.
"""
import colorsys
import struct
import sys

LOOK = [  # role, red, green, blue (roles as numbered in palette.h)
    (0, 0xE8, 0xEF, 0xF6),   # window
    (1, 0x1E, 0x2A, 0x36),   # text
    (2, 0x1F, 0x78, 0xC8),   # accent
    (3, 0xFF, 0xFF, 0xFF),   # caption text
    (4, 0xFB, 0xFD, 0xFF),   # button top
    (5, 0xDC, 0xE8, 0xF4),   # button bottom
    (6, 0xD6, 0xEA, 0xFC),   # button hot
    (7, 0xB9, 0xD6, 0xF2),   # button pressed
    (8, 0x7F, 0xA2, 0xC6),   # button border
    (9, 0x17, 0x2B, 0x40),   # button text
    (10, 0xFF, 0xFF, 0xFF),  # edit
    (11, 0x1E, 0x2A, 0x36),  # edit text
    (12, 0xB4, 0xC7, 0xDA),  # frame
    (13, 0x2A, 0x8B, 0xD8),  # progress
    (14, 0xE4, 0xEC, 0xF5),  # header
]
HUE_TURN = 130


def turned_back(r, g, b):
    h, s, v = colorsys.rgb_to_hsv(r / 255, g / 255, b / 255)
    h = (h - HUE_TURN / 360) % 1.0
    return tuple(round(c * 255) for c in colorsys.hsv_to_rgb(h, s, v))


def main(path):
    data = bytearray(b".SHE")
    data += struct.pack("<HH", 1, len(LOOK))
    for role, r, g, b in LOOK:
        data += struct.pack("<HBBBB", role, *turned_back(r, g, b), 0)
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
