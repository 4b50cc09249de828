"""Compares the SVG documents the Windows SVG suites kept with the Linux suites' own.

Usage: compare_windows_svg.py FLAVOUR LINUX_DIR WINDOWS_DIR [FLAVOUR LINUX_DIR WINDOWS_DIR]...
Each directory holds <Suite>.<Test>[-n]/ directories, each with one document and
the side files it references. Run by scripts/compare-windows-svg.sh with Debian's
/usr/bin/python3 (python3-pil and python3-numpy read the side files).

For each flavour:
- every Windows document must be valid SVG 1.0 (xmllint --noout --nonet --valid);
- the two runs must have kept the same documents under the same names, but for the
  Linux suite's <Suite>.<Test>.posix-only[-n] ones, whose names a Windows file name
  cannot hold (they are counted, not compared);
- a Windows document must equal the Linux one byte for byte, except for the numbers
  the measured text extents give, which differ with the fonts (GDI's on Windows,
  FreeType's through fontconfig on Linux). Those are, and only those:
    in each <text> element: its x and y and the centre (the last two numbers) of its
      transform's rotate();
    in each background <rect> drawn behind text (the rect whose transform is a
      rotate()): its x, y, width and height and the centre of its rotate().
  The angle, the style, the text, every other element and attribute, and all
  whitespace must be identical;
- the side files must be the same files (by name) holding the same pixels (as
  raster_compare reads them: alpha composed over white).
Prints the counts per flavour and in all; exits 1 on any invalid or missing document
or any other difference.
"""

import difflib
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import raster_compare  # noqa: E402  (reads PNG files with Pillow)

NUMBER = rb"-?\d+"
# The start tag of a text element, as the surface writes it.
TEXT = re.compile(rb'(<text x=")(' + NUMBER + rb')(" y=")(' + NUMBER +
                  rb')(" style="[^"]*"  transform="rotate\( \S+ )(' + NUMBER + rb') (' +
                  NUMBER + rb')( \)  " >)')
# The background rectangle behind a text: the only rect with a rotate() transform.
TEXT_BACKGROUND = re.compile(rb'(<rect x=")(' + NUMBER + rb')(" y=")(' + NUMBER +
                             rb')(" width=")(' + NUMBER + rb')(" height=")(' + NUMBER +
                             rb')("  style="[^"]*" transform="rotate\( \S+ )(' + NUMBER +
                             rb') (' + NUMBER + rb')( \)  " />)')


def _masker(number_groups):
    """A substitution that replaces the given groups of a match by '#'."""

    def mask(match):
        out, at = [], match.start()
        for group in number_groups:
            out += [match.string[at:match.start(group)], b"#"]
            at = match.end(group)
        out.append(match.string[at:match.end()])
        return b"".join(out)

    return mask


def mask_extents(document):
    """The document with every number that derives from a text extent replaced by '#'."""
    document = TEXT.sub(_masker((2, 4, 6, 7)), document)
    return TEXT_BACKGROUND.sub(_masker((2, 4, 6, 8, 10, 11)), document)


POSIX_ONLY = re.compile(r"\.posix-only(-\d+)?$")


def documents(root):
    """{relative path: absolute path} of every SVG document under root."""
    found = {}
    for directory, _, files in os.walk(root):
        for name in files:
            if name.endswith(".svg"):
                path = os.path.join(directory, name)
                found[os.path.relpath(path, root)] = path
    return found


def side_files(document):
    """{name: path} of the files beside a document (its kept side files)."""
    directory = os.path.dirname(document)
    return {n: os.path.join(directory, n) for n in os.listdir(directory)
            if os.path.join(directory, n) != document}


def xmllint(paths):
    """xmllint's complaints when some of the documents are not valid SVG 1.0, else None."""
    run = subprocess.run(["xmllint", "--noout", "--nonet", "--valid"] + paths,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return run.stdout.decode("utf-8", "replace") if run.returncode != 0 else None


def invalid_documents(paths):
    """{path: complaints} of the documents that are not valid SVG 1.0."""
    # One run for all (the DTD is read once); one per document only when some fail.
    if not paths or xmllint(paths) is None:
        return {}
    return {p: c for p, c in ((p, xmllint([p])) for p in paths) if c is not None}


def side_file_problem(linux_doc, windows_doc):
    """What differs between the two documents' side files, or None."""
    linux, windows = side_files(linux_doc), side_files(windows_doc)
    if sorted(linux) != sorted(windows):
        return f"side files {sorted(linux)} on Linux, {sorted(windows)} on Windows"
    for name in sorted(linux):
        if not name.endswith(".png"):
            return f"unexpected side file {name}"
        try:
            a = raster_compare.read_png(linux[name])
            b = raster_compare.read_png(windows[name])
        except raster_compare.PngError as e:
            return str(e)
        if a.pixels.shape != b.pixels.shape or (a.pixels != b.pixels).any():
            return f"side file {name} holds other pixels"
    return None


def first_difference(a, b):
    """A short unified diff of the first lines where the two texts differ."""
    lines = difflib.unified_diff(a.decode("utf-8", "replace").splitlines(),
                                 b.decode("utf-8", "replace").splitlines(),
                                 "linux", "windows", n=1, lineterm="")
    return "\n".join(list(lines)[:12])


def compare_flavour(flavour, linux_root, windows_root):
    """Compares one flavour's documents; returns its counts and prints each failure."""
    counts = dict(compared=0, identical=0, extents=0, posix_only=0, invalid=0, missing=0,
                  different=0)
    linux, windows = documents(linux_root), documents(windows_root)
    for name in [n for n in linux if POSIX_ONLY.search(os.path.dirname(n))]:
        counts["posix_only"] += 1
        del linux[name]

    def fail(kind, name, why):
        counts[kind] += 1
        print(f"{flavour}: {name}: {why}")

    for name in sorted(set(linux) - set(windows)):
        fail("missing", name, "kept by the Linux suite, not by the Windows one")
    for name in sorted(set(windows) - set(linux)):
        fail("missing", name, "kept by the Windows suite, not by the Linux one")
    invalid = invalid_documents(sorted(windows.values()))
    for name in sorted(windows):
        if windows[name] in invalid:
            complaints = invalid[windows[name]].rstrip()
            fail("invalid", name, "not a valid SVG 1.0 document:\n" + complaints)
        if name not in linux:
            continue
        counts["compared"] += 1
        with open(linux[name], "rb") as f:
            a = f.read()
        with open(windows[name], "rb") as f:
            b = f.read()
        problem = side_file_problem(linux[name], windows[name])
        if problem:
            fail("different", name, problem)
        elif a == b:
            counts["identical"] += 1
        elif mask_extents(a) == mask_extents(b):
            counts["extents"] += 1
        else:
            fail("different", name, "differs beyond text extents:\n" +
                 first_difference(mask_extents(a), mask_extents(b)))
    return counts


def summary(label, c):
    return (f"{label}: {c['compared']} documents compared, {c['identical']} identical, "
            f"{c['extents']} differing only in text extents ({c['posix_only']} Linux-only "
            f"names left out); failures: {c['invalid']} invalid, "
            f"{c['missing']} without a counterpart, {c['different']} other differences")


def main(argv):
    if len(argv) < 3 or len(argv) % 3:
        sys.exit(__doc__.split("\n\n")[1])
    total = None
    for i in range(0, len(argv), 3):
        flavour, linux_root, windows_root = argv[i:i + 3]
        counts = compare_flavour(flavour, linux_root, windows_root)
        print("compare-windows-svg: " + summary(flavour, counts))
        total = counts if total is None else {k: total[k] + counts[k] for k in total}
    print("compare-windows-svg: " + summary("in all", total))
    failures = total["invalid"] + total["missing"] + total["different"]
    return 1 if failures or total["compared"] == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
