#!/usr/bin/python3
"""Renders SVG documents with rsvg-convert, headless Chromium and Firefox and compares.

usage: check_svg_viewers.py [--quiet] WORKDIR (DOCUMENT.svg | DIRECTORY)...

Each document (directories are searched for *.svg) is rendered over white by the
three viewers at its own size (96 dpi), and each browser's rendering is compared
with rsvg-convert's. A pixel counts as differing when it is further than
THRESHOLD in some channel from every pixel in the 3 x 3 neighbourhood of the
other rendering, both ways, so that anti-aliasing and half-pixel placement are
forgiven. A rendering fails when the sizes differ by more than a pixel or when
more than its limit of pixels differ:
  shapes  documents without text: at most 0.2% of the pixels (a missing line
          of pen width 1 across a 416 x 321 test document makes 0.6%)
  text    documents with text, whose glyphs the two rasterise with their own
          hinting and positioning: at most 1.5%
Documents with a coordinate beyond +-2^24 are rendered by each viewer but not
compared: there single-precision geometry (the browsers') no longer places an
edge to the pixel, and a stroke or fill may land anywhere in view.
Every picture a document references must load in each browser with a non-zero
size. Renderings named in svg-viewers-known.txt beside this script (browser:document)
disagree for a reason written there: they are reported, and do not fail.
Prints one line per rendering (--quiet: only those that disagree), keeps every
rendering in WORKDIR with a picture of the differences of each disagreeing one,
and exits 1 on any failure.
"""

import os
import pathlib
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_browser import DOCUMENT_PICTURES, Browser, BrowserError, Firefox  # noqa: E402
from raster_compare import PngError, compare, read_png, write_diff_png  # noqa: E402

THRESHOLD = 48
LIMITS = {"shapes": 0.002, "text": 0.015}
HUGE = 1 << 24
KNOWN_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "svg-viewers-known.txt")
MAX_SIDE = 4096


def documents(arguments):
    for argument in arguments:
        path = pathlib.Path(argument)
        if path.is_dir():
            yield from sorted(path.rglob("*.svg"))
        else:
            yield path


def kind_of(path):
    text = path.read_text(encoding="utf-8", errors="replace")
    # Numbers in the elements' tags, not in the prolog, comments or text.
    tags = " ".join(re.findall(r"<[A-Za-z][^>]*>", text[text.find("<svg"):]))
    number = r"(?<![\w#.])-?\d+(?:\.\d+)?(?:e[+-]?\d+)?"
    if any(abs(float(n)) > HUGE for n in re.findall(number, tags)):
        return "huge"
    return "text" if re.search(r"<text[\s>]", text) else "shapes"


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


def render_browser(browser, page, path, png):
    browser.navigate(page, path.resolve().as_uri())
    found = browser.evaluate(page, DOCUMENT_PICTURES)
    root, width, height = found["root"], found["width"], found["height"]
    if root != "svg":
        raise BrowserError(f"{browser.name} shows <{root}>, not an SVG document")
    broken = [url for url, w, h in found["pictures"] if not (w > 0 and h > 0)]
    if broken:
        raise BrowserError(f"{browser.name} cannot load {', '.join(broken)}")
    w, h = int(width + 0.5), int(height + 0.5)
    if not 0 < w <= MAX_SIDE or not 0 < h <= MAX_SIDE:
        raise BrowserError(f"size {width} x {height} out of range")
    browser.resize(page, w, h)
    with open(png, "wb") as f:
        f.write(browser.screenshot(page, (0, 0, w, h)))


class Tally:
    """Counts what disagreed, and the largest share of differing pixels per kind."""

    def __init__(self):
        self.failures, self.known, self.compared, self.uncompared = [], [], 0, set()
        self.worst = {kind: (0.0, "") for kind in LIMITS}


def judge(tally, known, quiet, browser, label, kind, stem, a, b):
    if kind == "huge":
        tally.uncompared.add(label)
        if not quiet:
            print(f"  ok    {browser:8} {kind:6} rendered, not compared {label}")
        return
    differing, total = compare(a, b, THRESHOLD)
    share = differing / total if total else 1.0
    tally.compared += 1
    key = f"{browser}:{label}"
    if key not in known and share > tally.worst[kind][0]:
        tally.worst[kind] = (share, browser)
    size_ok = abs(a.width - b.width) <= 1 and abs(a.height - b.height) <= 1
    ok = size_ok and share <= LIMITS[kind]
    sizes = f"{a.width}x{a.height}" if (a.width, a.height) == (b.width, b.height) \
        else f"rsvg {a.width}x{a.height}, {browser} {b.width}x{b.height}"
    verdict = "ok" if ok else ("KNOWN" if key in known else "FAIL")
    if not (ok and quiet and key not in known):
        print(f"  {verdict:5} {browser:8} {kind:6} {share * 100:6.2f}% differ "
              f"(limit {LIMITS[kind] * 100:g}%, {sizes}) {label}")
    if key in known:
        print(f"        {'known: ' if not ok else 'now agrees, though listed as: '}{known[key]}")
    if not ok:
        write_diff_png(f"{stem}.{browser}-diff.png", a, b, THRESHOLD)
        print(f"        renderings and differences: {stem}.{{rsvg,{browser},{browser}-diff}}.png")
        (tally.known if key in known else tally.failures).append(key)


def main():
    args = sys.argv[1:]
    quiet = "--quiet" in args
    args = [a for a in args if a != "--quiet"]
    if len(args) < 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    work = pathlib.Path(args[0])
    work.mkdir(parents=True, exist_ok=True)
    roots = [pathlib.Path(a) for a in args[1:] if pathlib.Path(a).is_dir()]
    paths = list(documents(args[1:]))
    if not paths:
        print("svg viewers: no documents found", file=sys.stderr)
        return 1
    known, tally = known_disagreements(), Tally()
    rsvg = {}
    for path in paths:
        label = label_of(path, roots)
        stem = work / re.sub(r"[^A-Za-z0-9._-]", "_", label)
        png = f"{stem}.rsvg.png"
        done = subprocess.run(["rsvg-convert", "-b", "white", "-o", png, str(path)],
                              capture_output=True, text=True)
        if done.returncode != 0:
            print(f"  FAIL  rsvg     {label}: {done.stderr.strip()}")
            tally.failures.append(f"rsvg:{label}")
            continue
        rsvg[path] = (label, stem, kind_of(path), read_png(png))
    for kind_of_browser in (Browser, Firefox):
        try:
            browser = kind_of_browser()
        except BrowserError as e:
            print(f"svg viewers: {e}", file=sys.stderr)
            return 1
        with browser:
            page = browser.new_page(800, 600)
            for path, (label, stem, kind, a) in rsvg.items():
                png = f"{stem}.{browser.name}.png"
                try:
                    render_browser(browser, page, path, png)
                    b = read_png(png)
                except (BrowserError, PngError, OSError) as e:
                    print(f"  FAIL  {browser.name:8} {kind:6} {label}: {e}")
                    tally.failures.append(f"{browser.name}:{label}")
                    continue
                judge(tally, known, quiet, browser.name, label, kind, stem, a, b)
    most = ", ".join(f"{kind} {share * 100:.2f}% ({who or '-'})"
                     for kind, (share, who) in tally.worst.items())
    print(f"svg viewers: {len(paths)} documents, {tally.compared} renderings compared with "
          f"rsvg-convert's, {len(tally.failures)} disagree, {len(tally.known)} known to; "
          f"most differing otherwise: {most}")
    if tally.uncompared:
        print(f"svg viewers: rendered but not compared, for coordinates beyond +-2^24: "
              f"{', '.join(sorted(tally.uncompared))}")
    return 1 if tally.failures else 0


if __name__ == "__main__":
    sys.exit(main())
