#!/usr/bin/env python3
"""Draws the banner bitmap (59 x 380, 16 colours) and the icon (32 x 32, 256 colours) into src/res/.

Run by hand when the artwork changes; the results are committed so that a build needs no image tools.
ImageMagick renders the text; this script only quantises the pixels and writes the BMP and ICO formats.
"""
import struct
import subprocess
import sys
from pathlib import Path

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf"
RES = Path(__file__).resolve().parent.parent / "src" / "res"


def render(width, height, args):
    """Returns rows of (r, g, b) tuples, top row first, from an ImageMagick drawing."""
    raw = subprocess.run(["convert", "-size", f"{width}x{height}", "xc:white", *args,
                          "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    assert len(raw) == width * height * 3, len(raw)
    return [[tuple(raw[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)] for y in range(height)]


def red_ramp(count):
    """White to red in `count` even steps: the anti-aliased edges of red text on white."""
    return [(255, 255 - i * 255 // (count - 1), 255 - i * 255 // (count - 1)) for i in range(count)]


def nearest(palette, rgb):
    # Text pixels vary only in how much white is mixed in, so the green channel picks the step.
    return min(range(len(palette)), key=lambda i: abs(palette[i][1] - rgb[1]) + abs(palette[i][0] - rgb[0]))


def dib(rows, palette, bits):
    """A bottom-up BITMAPINFOHEADER image with its palette and pixel rows (no file header)."""
    height, width = len(rows), len(rows[0])
    per_byte = 8 // bits
    stride = ((width * bits + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, rgb in enumerate(row):
            index = nearest(palette, rgb)
            shift = (per_byte - 1 - x % per_byte) * bits
            line[x // per_byte] |= index << shift
        pixels += line
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    colours += b"\0\0\0\0" * ((1 << bits) - len(palette))
    return pixels, colours, stride


def write_bitmap(path, rows, palette, bits):
    height, width = len(rows), len(rows[0])
    pixels, colours, _ = dib(rows, palette, bits)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, 1 << bits, 0)
    offset = 14 + len(header) + len(colours)
    path.write_bytes(b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + header + colours + pixels)


def write_icon(path, rows, palette):
    height, width = len(rows), len(rows[0])
    pixels, colours, _ = dib(rows, palette, 8)
    mask_stride = ((width + 31) // 32) * 4
    mask = bytes(mask_stride * height)  # every pixel opaque
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 8, 0, len(pixels) + len(mask), 0, 0, 256, 0)
    image = header + colours + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", width, height, 0, 0, 1, 8, len(image), 22)
    path.write_bytes(directory + image)


def main():
    banner = render(59, 380, ["-font", FONT, "-pointsize", "54", "-fill", "red",
                              "-gravity", "center", "-annotate", "90x90+0+0", "Kelvo"])
    write_bitmap(RES / "banner.bmp", banner, red_ramp(16), 4)
    icon = render(32, 32, ["-fill", "red", "-draw", "roundrectangle 1,1 30,30 6,6",
                           "-font", FONT, "-pointsize", "26", "-fill", "white", "-gravity", "center",
                           "-annotate", "+0+0", "K"])
    write_icon(RES / "kelvo.ico", icon, red_ramp(256))


if __name__ == "__main__":
    sys.exit(main())
