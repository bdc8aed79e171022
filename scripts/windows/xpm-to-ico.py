#!/usr/bin/env python3
"""Makes a Windows icon (.ico) of an XPM picture: the picture at its own size
and at half of it, as 32-bit images with an alpha channel, so that Explorer,
the task bar and the Start menu each find the size they show.

    xpm-to-ico.py PICTURE.xpm ICON.ico
"""
import re
import struct
import sys


def read_xpm(path):
    strings = re.findall(r'"((?:[^"\\]|\\.)*)"', open(path, encoding="ascii").read())
    width, height, colours, per_pixel = (int(v) for v in strings[0].split()[:4])
    palette = {}
    for line in strings[1 : 1 + colours]:
        key, words = line[:per_pixel], line[per_pixel:].split()
        value = words[words.index("c") + 1]  # the colour for colour displays
        if value.lower() == "none":
            palette[key] = (0, 0, 0, 0)
        else:
            rgb = int(value.lstrip("#"), 16)
            palette[key] = ((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255, 255)
    rows = strings[1 + colours : 1 + colours + height]
    return width, height, [
        [palette[row[x * per_pixel : (x + 1) * per_pixel]] for x in range(width)] for row in rows
    ]


def halved(pixels):
    """Each 2x2 block averaged, colour weighted by its opacity."""
    out = []
    for y in range(0, len(pixels) - 1, 2):
        row = []
        for x in range(0, len(pixels[0]) - 1, 2):
            block = [pixels[y][x], pixels[y][x + 1], pixels[y + 1][x], pixels[y + 1][x + 1]]
            alpha = sum(p[3] for p in block)
            if alpha == 0:
                row.append((0, 0, 0, 0))
                continue
            row.append(tuple(sum(p[i] * p[3] for p in block) // alpha for i in range(3)) + (alpha // 4,))
        out.append(row)
    return out


def bitmap(pixels):
    """A DIB as an icon holds it: the header at twice the height, the colour
    rows bottom up in BGRA, then an all-clear AND mask (the alpha decides)."""
    height, width = len(pixels), len(pixels[0])
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((width + 31) // 32) * 4
    return header + colour + bytes(mask_row * height)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    width, height, pixels = read_xpm(sys.argv[1])
    images = [pixels, halved(pixels)]
    blobs = [bitmap(p) for p in images]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for image, blob in zip(images, blobs):
        size = len(image)
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(sys.argv[2], "wb") as out:
        out.write(directory + b"".join(blobs))


main()
