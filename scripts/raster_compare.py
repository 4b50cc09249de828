"""Reads PNG files into RGB rasters and compares two rasters, with Pillow and NumPy.

Run with Debian's /usr/bin/python3 and its packages python3-pil and python3-numpy.
Any PNG that Pillow reads is taken; alpha is composed over white.
"""

import sys

try:
    import numpy
    from PIL import Image
except ImportError as e:
    sys.exit(f"{e}: install Debian's python3-pil and python3-numpy "
             "(scripts/install-deps.sh ci) and run with /usr/bin/python3")

MAX_PIXELS = 40_000_000


class PngError(Exception):
    pass


class Raster:
    """Width, height and the pixels: a height x width x 3 array of 8-bit RGB."""

    def __init__(self, pixels):
        self.pixels = pixels
        self.height, self.width = pixels.shape[:2]


def read_png(path):
    """Returns the Raster of a PNG file, alpha composed over white."""
    try:
        with Image.open(path, formats=["PNG"]) as image:
            width, height = image.size
            if width * height > MAX_PIXELS:
                raise PngError(f"{path}: {width} x {height} is larger than {MAX_PIXELS} pixels")
            rgba = numpy.asarray(image.convert("RGBA"), dtype=numpy.uint32)
    except (OSError, ValueError, Image.DecompressionBombError) as e:
        raise PngError(f"{path}: {e}") from e
    value, alpha = rgba[:, :, :3], rgba[:, :, 3:]
    rgb = (value * alpha + 255 * (255 - alpha) + 127) // 255
    return Raster(rgb.astype(numpy.uint8))


def _common(a, b):
    """Returns both rasters cut to their common area, as signed arrays."""
    height, width = min(a.height, b.height), min(a.width, b.width)
    return (a.pixels[:height, :width].astype(numpy.int16),
            b.pixels[:height, :width].astype(numpy.int16))


def _alike(a, b, threshold):
    """Marks the pixels of a and b (of one size) within threshold in every channel."""
    return (numpy.abs(a - b) <= threshold).all(axis=-1)


def _near(src, dst, ys, xs, threshold):
    """Marks each listed pixel of src that is alike some pixel in the 3 x 3
    neighbourhood of the same place in dst (both of one size)."""
    # A border far from every colour stands for the pixels outside the common area.
    padded = numpy.pad(dst, ((1, 1), (1, 1), (0, 0)), constant_values=-1024)
    pixels = src[ys, xs]
    found = numpy.zeros(len(ys), dtype=bool)
    for dy in range(3):
        for dx in range(3):
            found |= _alike(padded[ys + dy, xs + dx], pixels, threshold)
    return found


def compare(a, b, threshold):
    """Counts the pixels that differ by more than threshold in some channel from every
    pixel of the other raster's 3 x 3 neighbourhood, both ways, over the common area.

    The neighbourhood forgives edges that the two renderers anti-alias or place half a
    pixel apart; a shape drawn, coloured or placed differently still counts in full.
    Returns (differing pixels, pixels compared).
    """
    pa, pb = _common(a, b)
    # Only a pixel unlike the other raster's at the same place can differ.
    ys, xs = numpy.nonzero(~_alike(pa, pb, threshold))
    alike = _near(pa, pb, ys, xs, threshold) & _near(pb, pa, ys, xs, threshold)
    return int(len(ys) - numpy.count_nonzero(alike)), int(pa.shape[0] * pa.shape[1])


def write_diff_png(path, a, b, threshold):
    """Writes a picture of the common area: grey where alike, red where they differ."""
    pa, pb = _common(a, b)
    grey = 128 + pa.sum(axis=2) // 6
    out = numpy.repeat(grey[:, :, None], 3, axis=2)
    out[~_alike(pa, pb, threshold)] = (255, 0, 0)
    Image.fromarray(out.astype(numpy.uint8), "RGB").save(path, format="PNG")
