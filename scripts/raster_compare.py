"""Decodes PNG files to RGB rasters and compares two rasters, standard library only.

Decoding covers what rsvg-convert and Chromium write: 8-bit greyscale, RGB,
greyscale with alpha and RGBA, not interlaced. Alpha is composed over white.
"""

import struct
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
MAX_PIXELS = 40_000_000


class PngError(Exception):
    pass


class Raster:
    """Width, height and packed RGB bytes, row after row."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb


def _unfilter(data, width, height, bpp):
    stride = width * bpp
    out = bytearray(stride * height)
    prev = bytearray(stride)
    pos = 0
    for y in range(height):
        kind = data[pos]
        row = bytearray(data[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        if kind == 1:
            for i in range(bpp, stride):
                row[i] = (row[i] + row[i - bpp]) & 0xFF
        elif kind == 2:
            row = bytearray((a + b) & 0xFF for a, b in zip(row, prev))
        elif kind == 3:
            for i in range(stride):
                left = row[i - bpp] if i >= bpp else 0
                row[i] = (row[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = row[i - bpp] if i >= bpp else 0
                b = prev[i]
                c = prev[i - bpp] if i >= bpp else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                row[i] = (row[i] + pred) & 0xFF
        elif kind != 0:
            raise PngError(f"unknown filter type {kind} in row {y}")
        out[y * stride:(y + 1) * stride] = row
        prev = row
    return out


def read_png(path):
    """Returns the Raster of a PNG file, alpha composed over white."""
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(PNG_SIGNATURE):
        raise PngError(f"{path}: not a PNG file")
    pos, header, idat = 8, None, []
    while pos + 8 <= len(data):
        length, kind = struct.unpack("!I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack("!IIBBBBB", chunk)
        elif kind == b"IDAT":
            idat.append(chunk)
        elif kind == b"IEND":
            break
    if not header:
        raise PngError(f"{path}: no IHDR chunk")
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        raise PngError(f"{path}: unsupported PNG (depth {depth}, colour type {colour}, "
                       f"interlace {interlace})")
    if width * height > MAX_PIXELS:
        raise PngError(f"{path}: {width} x {height} is larger than {MAX_PIXELS} pixels")
    pixels = _unfilter(zlib.decompress(b"".join(idat)), width, height, channels)
    if channels == 3:
        return Raster(width, height, bytes(pixels))
    rgb = bytearray(width * height * 3)
    for i in range(width * height):
        p = pixels[i * channels:(i + 1) * channels]
        value, alpha = (p[:3], p[3]) if channels == 4 else (p[:1] * 3, p[1])
        for k in range(3):
            rgb[i * 3 + k] = (value[k] * alpha + 255 * (255 - alpha) + 127) // 255
    return Raster(width, height, bytes(rgb))


def compare(a, b, threshold):
    """Counts the pixels that differ by more than threshold in some channel from every
    pixel of the other raster's 3 x 3 neighbourhood, both ways, over the common area.

    The neighbourhood forgives edges that the two renderers anti-alias or place half a
    pixel apart; a shape drawn, coloured or placed differently still counts in full.
    Returns (differing pixels, pixels compared).
    """
    width, height = min(a.width, b.width), min(a.height, b.height)

    def near(src, dst, x, y):
        i = (y * src.width + x) * 3
        r, g, bl = src.rgb[i], src.rgb[i + 1], src.rgb[i + 2]
        for yy in range(max(0, y - 1), min(height, y + 2)):
            for xx in range(max(0, x - 1), min(width, x + 2)):
                j = (yy * dst.width + xx) * 3
                if (abs(dst.rgb[j] - r) <= threshold and abs(dst.rgb[j + 1] - g) <= threshold
                        and abs(dst.rgb[j + 2] - bl) <= threshold):
                    return True
        return False

    differing = 0
    for y in range(height):
        ra = a.rgb[y * a.width * 3:(y * a.width + width) * 3]
        rb = b.rgb[y * b.width * 3:(y * b.width + width) * 3]
        if ra == rb:
            continue
        for x in range(width):
            i = x * 3
            if (abs(ra[i] - rb[i]) <= threshold and abs(ra[i + 1] - rb[i + 1]) <= threshold
                    and abs(ra[i + 2] - rb[i + 2]) <= threshold):
                continue
            if not near(a, b, x, y) or not near(b, a, x, y):
                differing += 1
    return differing, width * height


def write_diff_png(path, a, b, threshold):
    """Writes a picture of the common area: grey where alike, red where they differ."""
    width, height = min(a.width, b.width), min(a.height, b.height)
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            i, j = (y * a.width + x) * 3, (y * b.width + x) * 3
            if max(abs(a.rgb[i + k] - b.rgb[j + k]) for k in range(3)) > threshold:
                rows += b"\xff\x00\x00"
            else:
                grey = 128 + (a.rgb[i] + a.rgb[i + 1] + a.rgb[i + 2]) // 6
                rows += bytes([grey, grey, grey])

    def chunk(kind, body):
        return (struct.pack("!I", len(body)) + kind + body +
                struct.pack("!I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        header = struct.pack("!IIBBBBB", width, height, 8, 2, 0, 0, 0)
        f.write(PNG_SIGNATURE + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows)))
                + chunk(b"IEND", b""))
