#!/usr/bin/env python3
"""Renders SVG documents with rsvg-convert and with headless Chromium and compares.

usage: check_svg_viewers.py [--quiet] WORKDIR (DOCUMENT.svg | DIRECTORY)...

Each document (directories are searched for *.svg) is rendered over white by both
viewers at its own size (96 dpi). A pixel counts as differing when it is further
than THRESHOLD in some channel from every pixel in the 3 x 3 neighbourhood of the
other rendering, both ways, so that anti-aliasing and half-pixel placement are
forgiven. A document fails when the sizes differ by more than a pixel or when
more than its limit of pixels differ:
  shapes  documents without text: at most 0.2% of the pixels (a missing
          one-pixel line across a 416 x 321 document is 0.3%)
  text    documents with text, whose glyphs the two rasterise with their own
          hinting and positioning: at most 1.5%
  huge    documents with a coordinate beyond +-2^24, where a single-precision
          rasteriser (Chromium's) places edges whole pixels off: at most 1%
Documents named in svg-viewers-known.txt beside this script disagree for a
reason written there: they are reported, and fail only when the file is absent.
Prints one line per document (--quiet: only those that disagree), keeps both renderings in WORKDIR and a picture of
the differences of each disagreeing document, and exits 1 on any failure.
"""

import os
import pathlib
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_browser import Browser, BrowserError  # noqa: E402
from raster_compare import PngError, compare, read_png, write_diff_png  # noqa: E402

THRESHOLD = 48
LIMITS = {"shapes": 0.002, "text": 0.015, "huge": 0.01}
HUGE = 1 << 24
KNOWN_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "svg-viewers-known.txt")
MAX_SIDE = 4096

ROOT_SIZE = """(() => {
  const r = document.documentElement.getBoundingClientRect();
  return [document.documentElement.localName, r.width, r.height];
})()"""


def documents(arguments):
    for argument in arguments:
        path = pathlib.Path(argument)
        if path.is_dir():
            yield from sorted(path.rglob("*.svg"))
        else:
            yield path


def kind_of(path):
    text = path.read_text(encoding="utf-8", errors="replace")
    if re.search(r"<text[\s>]", text):
        return "text"
    numbers = (abs(float(n)) for n in re.findall(r"(?<![\w#.])-?\d+(?:\.\d+)?", text))
    return "huge" if any(n > HUGE for n in numbers) else "shapes"


def known_disagreements():
    """Maps a document's label to the reason its viewers are known to disagree."""
    known = {}
    if os.path.exists(KNOWN_FILE):
        with open(KNOWN_FILE, encoding="utf-8") as f:
            for line in f:
                line = line.strip()
                if line and not line.startswith("#"):
                    label, _, reason = line.partition(" ")
                    known[label] = reason.strip()
    return known


def label_of(path, roots):
    for root in roots:
        try:
            return str(path.relative_to(root))
        except ValueError:
            pass
    return str(path)


def render_chromium(browser, session, path, png):
    browser.navigate(session, path.resolve().as_uri())
    root, width, height = browser.evaluate(session, ROOT_SIZE)
    if root != "svg":
        raise BrowserError(f"Chromium shows <{root}>, not an SVG document")
    w, h = int(width + 0.5), int(height + 0.5)
    if not 0 < w <= MAX_SIDE or not 0 < h <= MAX_SIDE:
        raise BrowserError(f"size {width} x {height} out of range")
    browser.resize(session, w, h)
    with open(png, "wb") as f:
        f.write(browser.screenshot(session, (0, 0, w, h)))


def main():
    args = sys.argv[1:]
    quiet = bool(args) and args[0] == "--quiet"
    args = args[1:] if quiet else args
    if len(args) < 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    work = pathlib.Path(args[0])
    work.mkdir(parents=True, exist_ok=True)
    roots = [pathlib.Path(a) for a in args[1:] if pathlib.Path(a).is_dir()]
    failures, count, worst = [], 0, {kind: 0.0 for kind in LIMITS}
    known, disagreeing_known = known_disagreements(), []
    with Browser() as browser:
        session = browser.new_page(800, 600)
        for path in documents(args[1:]):
            count += 1
            label = label_of(path, roots)
            stem = work / re.sub(r"[^A-Za-z0-9._-]", "_", label)
            kind = kind_of(path)
            rsvg_png, chromium_png = f"{stem}.rsvg.png", f"{stem}.chromium.png"
            try:
                done = subprocess.run(["rsvg-convert", "-b", "white", "-o", rsvg_png, str(path)],
                                      capture_output=True, text=True)
                if done.returncode != 0:
                    raise BrowserError(f"rsvg-convert failed: {done.stderr.strip()}")
                render_chromium(browser, session, path, chromium_png)
                a, b = read_png(rsvg_png), read_png(chromium_png)
            except (BrowserError, PngError, OSError) as e:
                print(f"  FAIL  {kind:6} {label}: {e}")
                failures.append(label)
                continue
            differing, total = compare(a, b, THRESHOLD)
            share = differing / total if total else 1.0
            if label not in known:
                worst[kind] = max(worst[kind], share)
            size_ok = abs(a.width - b.width) <= 1 and abs(a.height - b.height) <= 1
            ok = size_ok and share <= LIMITS[kind]
            sizes = f"{a.width}x{a.height}" if (a.width, a.height) == (b.width, b.height) \
                else f"rsvg {a.width}x{a.height}, chromium {b.width}x{b.height}"
            verdict = "ok  " if ok else ("KNOWN" if label in known else "FAIL")
            if not (ok and quiet and label not in known):
                print(f"  {verdict:5} {kind:6} {share * 100:6.2f}% differ "
                      f"(limit {LIMITS[kind] * 100:g}%, {sizes}) {label}")
            if label in known:
                print(f"        {'known: ' if not ok else 'now agrees, though listed as: '}"
                      f"{known[label]}")
            if not ok:
                write_diff_png(f"{stem}.diff.png", a, b, THRESHOLD)
                print(f"        renderings and differences: {stem}.{{rsvg,chromium,diff}}.png")
                (disagreeing_known if label in known else failures).append(label)
    most = ", ".join(f"{kind} {share * 100:.2f}%" for kind, share in worst.items())
    print(f"svg viewers: {count} documents, {len(failures)} disagree, {len(disagreeing_known)} "
          f"known to; most differing otherwise: {most}")
    if count == 0:
        print("svg viewers: no documents found", file=sys.stderr)
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
