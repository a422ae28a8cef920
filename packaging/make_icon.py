#!/usr/bin/env python3
"""The program's icon, made at build time from the component's own images: the portal page's banner (its
four rows of eight pictures, index_01.gif to index_32.gif, each stretched over its cell) under a download
arrow in the meeting bullet's colour (bullet2.gif). Written as one .ico with every size Windows asks for:
16 to 48 pixels as 32-bit bitmaps, 256 as PNG.
Usage: make_icon.py IMAGE_FOLDER OUTPUT.ico"""
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)
BANNER_ROWS, BANNER_COLUMNS = 4, 8


def read_gif(path):
    """The first picture of a GIF as (width, height, rows of (r, g, b, a))."""
    data = open(path, "rb").read()
    if data[:3] != b"GIF":
        raise ValueError(f"{path} is not a GIF")
    flags, at = data[10], 13
    palette = []
    if flags & 0x80:
        palette = [tuple(data[at + 3 * i:at + 3 * i + 3]) for i in range(2 << (flags & 7))]
        at += 3 * len(palette)
    transparent = None
    while data[at] != 0x2C:  # extensions until the image
        if data[at] == 0x21 and data[at + 1] == 0xF9 and data[at + 3] & 1:
            transparent = data[at + 6]
        at += 2
        while data[at]:
            at += data[at] + 1
        at += 1
    width, height, image_flags = *struct.unpack_from("<HH", data, at + 5), data[at + 9]
    at += 10
    if image_flags & 0x80:
        palette = [tuple(data[at + 3 * i:at + 3 * i + 3]) for i in range(2 << (image_flags & 7))]
        at += 3 * len(palette)
    minimum, at = data[at], at + 1
    packed = bytearray()
    while data[at]:
        packed += data[at + 1:at + 1 + data[at]]
        at += data[at] + 1
    indices = lzw_decode(bytes(packed), minimum)[:width * height]
    indices += bytes(width * height - len(indices))
    order = list(range(height))
    if image_flags & 0x40:  # interlaced: the rows come in four passes
        order = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)) for y in range(start, height, step)]
    rows = [None] * height
    for k, y in enumerate(order):
        rows[y] = [(0, 0, 0, 0) if i == transparent else (*palette[i], 255)
                   for i in indices[k * width:(k + 1) * width]]
    return width, height, rows


def lzw_decode(packed, minimum):
    clear, end = 1 << minimum, (1 << minimum) + 1
    table, size, previous, out = None, minimum + 1, None, bytearray()
    bits = int.from_bytes(packed, "little")
    position, total = 0, len(packed) * 8
    while position + size <= total:
        code = (bits >> position) & ((1 << size) - 1)
        position += size
        if code == clear or table is None:
            table, size, previous = [bytes([i]) for i in range(clear)] + [b"", b""], minimum + 1, None
            if code == clear:
                continue
        if code == end:
            break
        entry = table[code] if code < len(table) else previous + previous[:1]
        out += entry
        if previous is not None:
            table.append(previous + entry[:1])
            if len(table) == 1 << size and size < 12:
                size += 1
        previous = entry
    return out


def draw(size, banner, bullet):
    """The icon's pixels, top row first, as (r, g, b, a)."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            u, v = (x + 0.5) / size, (y + 0.5) / size
            width, height, picture = banner[int(v * BANNER_ROWS)][int(u * BANNER_COLUMNS)]
            cell_u, cell_v = u * BANNER_COLUMNS % 1, v * BANNER_ROWS % 1
            pixel = picture[int(cell_v * height)][int(cell_u * width)]
            # The arrow: a shaft, and a head that narrows to its point, with a white rim.
            half = 0.13 if 0.12 < v < 0.52 else 0.86 - v if 0.52 <= v < 0.86 else -1
            if abs(u - 0.5) < half:
                pixel = (*bullet, 255)
            elif abs(u - 0.5) < half + 0.06 or (0.06 < v < 0.12 or 0.86 <= v < 0.92) and abs(u - 0.5) < 0.19:
                pixel = (255, 255, 255, 255)
            row.append(pixel)
        rows.append(row)
    return rows


def bitmap_entry(size, rows):
    """A 32-bit DIB of the icon, bottom row first, with its 1-bit mask (transparent where alpha is 0)."""
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    stride = (size + 31) // 32 * 4
    mask = b"".join(
        sum((1 << (7 - x % 8)) << (8 * (x // 8)) for x in range(size) if row[x][3] == 0)
        .to_bytes(stride, "little") for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def png_entry(size, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + bytes(value for pixel in row for value in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    folder, output = sys.argv[1:3]
    banner = [[read_gif(os.path.join(folder, "index_%02d.gif" % (row * BANNER_COLUMNS + column + 1)))
               for column in range(BANNER_COLUMNS)] for row in range(BANNER_ROWS)]
    bullet = read_gif(os.path.join(folder, "bullet2.gif"))[2][0][0][:3]
    entries = [(size, (png_entry if size == 256 else bitmap_entry)(size, draw(size, banner, bullet)))
               for size in SIZES]
    icon = struct.pack("<HHH", 0, 1, len(entries))
    offset = len(icon) + 16 * len(entries)
    for size, entry in entries:
        icon += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(entry), offset)
        offset += len(entry)
    with open(output, "wb") as f:
        f.write(icon + b"".join(entry for _, entry in entries))


if __name__ == "__main__":
    main()
