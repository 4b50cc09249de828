#!/usr/bin/python3
"""Checks the API reference that `make docs` built: links, pictures and pages.

usage: check_docs.py HTML_DIR PAGE... [--gallery GALLERY.html] [--examples DOCS_DIR README.md]

Checked:
- every HTML file of HTML_DIR: each local href and src (a, link, script, img, ...)
  names a file that exists, and each #fragment an id or name in the page it points
  to; every url() of a style sheet names a file that exists; every picture that a
  page or style sheet uses decodes (Pillow) with a non-zero size;
- each PAGE (file names within HTML_DIR) in headless Chromium: once its scripts have
  run (the menus are built from them), every link on it resolves as above and every
  <img> loaded with a non-zero natural size;
- with --gallery, the showcase's gallery page links to HTML_DIR/index.html;
- with --examples, every ```cpp block of the pages in DOCS_DIR appears verbatim in
  the README, so the two show the same examples.
Links to other hosts are counted, not followed (there is no network). Prints what
it checked and exits 1 on any failure.
"""

import json
import re
import shutil
import subprocess
import sys
import tempfile
from html.parser import HTMLParser
from pathlib import Path
from urllib.parse import unquote, urlsplit

from PIL import Image

# Attributes that reference another file, by element.
REFERENCES = {
    "a": ("href",), "area": ("href",), "link": ("href",), "script": ("src",),
    "img": ("src",), "iframe": ("src",), "embed": ("src",), "object": ("data",),
    "source": ("src",), "video": ("src", "poster"), "audio": ("src",),
}
PICTURE_SUFFIXES = {".png", ".gif", ".jpg", ".jpeg", ".svg", ".webp", ".ico"}
CSS_URL = re.compile(r"url\(\s*['\"]?([^'\")]+?)['\"]?\s*\)")
BROWSER_TIMEOUT = 120
SHOWN_FAILURES = 60


class PageParser(HTMLParser):
    """Collects a page's references (element, attribute, value) and anchor names."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.references = []
        self.anchors = set()

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        for name in ("id", "name") if tag == "a" else ("id",):
            if attrs.get(name):
                self.anchors.add(attrs[name])
        for name in REFERENCES.get(tag, ()):
            if attrs.get(name):
                self.references.append((tag, name, attrs[name]))
        if attrs.get("style"):
            for url in CSS_URL.findall(attrs["style"]):
                self.references.append((tag, "style", url))


class Site:
    """The files of the reference, parsed once each."""

    def __init__(self, root):
        self.root = Path(root).resolve()
        self.parsed = {}
        self.pictures = {}
        self.external = set()

    def parse(self, path):
        if path not in self.parsed:
            parser = PageParser()
            parser.feed(path.read_text(encoding="utf-8", errors="replace"))
            self.parsed[path] = parser
        return self.parsed[path]

    def picture_problem(self, path):
        """Why the picture at path does not show, or None when it decodes."""
        if path not in self.pictures:
            problem = None
            try:
                if path.suffix.lower() == ".svg":
                    head = path.read_text(encoding="utf-8", errors="replace")[:4096]
                    if "<svg" not in head:
                        problem = "is not an SVG document"
                else:
                    with Image.open(path) as picture:
                        picture.verify()
                    with Image.open(path) as picture:
                        picture.load()
                        if picture.width == 0 or picture.height == 0:
                            problem = "has no pixels"
            except Exception as e:  # Pillow raises many kinds for a broken file.
                problem = f"does not decode ({e})"
            self.pictures[path] = problem
        return self.pictures[path]

    def name(self, path):
        """A path as the failures show it: within the reference where it lies there."""
        try:
            return str(path.relative_to(self.root))
        except ValueError:
            return str(path)

    def resolve(self, base, reference, is_picture):
        """Checks one reference made from file base; returns what is wrong, or None."""
        parts = urlsplit(reference)
        if parts.scheme in ("http", "https", "ftp") or reference.startswith("//"):
            self.external.add(reference)
            return None
        if parts.scheme in ("javascript", "mailto", "data"):
            return None
        if parts.scheme == "file":
            target = Path(unquote(parts.path))
        elif parts.scheme:
            return f"unknown scheme in {reference}"
        elif parts.path:
            target = (base.parent / unquote(parts.path)).resolve()
        else:
            target = base
        if not target.is_file():
            return f"no such file: {self.name(target)}"
        if target.suffix.lower() in PICTURE_SUFFIXES and (is_picture or parts.fragment == ""):
            problem = self.picture_problem(target)
            if problem:
                return f"the picture {self.name(target)} {problem}"
        if parts.fragment and target.suffix.lower() == ".html":
            if unquote(parts.fragment) not in self.parse(target).anchors:
                return f"no anchor '{parts.fragment}' in {self.name(target)}"
        return None

    def check_files(self):
        """The static pass over every page and style sheet; one failure per problem."""
        found = {}  # what is wrong -> the files whose references show it
        pages = sorted(self.root.rglob("*.html"))
        sheets = sorted(self.root.rglob("*.css"))
        count = 0
        for page in pages:
            for tag, attribute, value in self.parse(page).references:
                count += 1
                failure = self.resolve(page, value, tag == "img" or attribute == "style")
                if failure:
                    found.setdefault(failure, []).append(f"<{tag} {attribute}> of {self.name(page)}")
        for sheet in sheets:
            text = re.sub(r"/\*.*?\*/", "", sheet.read_text(encoding="utf-8", errors="replace"),
                          flags=re.S)
            for url in CSS_URL.findall(text):
                count += 1
                failure = self.resolve(sheet, url, True)
                if failure:
                    found.setdefault(failure, []).append(f"url() of {self.name(sheet)}")
        failures = [f"{failure}, from {len(where)} references (first: {where[0]})"
                    for failure, where in found.items()]
        print(f"  {len(pages)} pages and {len(sheets)} style sheets: {count} references, "
              f"{len(self.pictures)} pictures, {len(self.external)} links to other hosts "
              f"(not followed)")
        return failures


# The wrapper page loads each page in a frame of the same origin (file: URLs with
# --allow-file-access-from-files), waits for its scripts, and writes what it found
# into #result, which --dump-dom prints.
WRAPPER = """<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body><pre id="result">pending</pre>
<script>
const pages = %s;
const found = {};
let left = pages.length;
function inspect(url, frame) {
  try {
    const d = frame.contentDocument;
    found[url] = {
      title: d.title,
      heading: (d.querySelector('.headertitle .title') || {}).textContent || '',
      links: [...d.querySelectorAll('a[href], area[href]')].map(a => a.getAttribute('href')),
      images: [...d.images].map(i => [i.getAttribute('src'), i.complete, i.naturalWidth,
                                     i.naturalHeight]),
      sheets: d.styleSheets.length,
      menu: d.querySelectorAll('#main-menu a').length,
    };
  } catch (e) {
    found[url] = {error: String(e)};
  }
  if (--left === 0) document.getElementById('result').textContent = JSON.stringify(found);
}
for (const url of pages) {
  const frame = document.createElement('iframe');
  frame.width = 1280;
  frame.height = 900;
  frame.addEventListener('load', () => setTimeout(() => inspect(url, frame), 1000));
  frame.src = url;
  document.body.appendChild(frame);
}
</script></body></html>
"""


def check_in_browser(site, pages):
    failures = []
    urls = [(site.root / page).as_uri() for page in pages]
    for page, url in zip(pages, urls):
        if not (site.root / page).is_file():
            failures.append(f"{page}: no such page")
    if failures:
        return failures
    work = Path(tempfile.mkdtemp(prefix="check_docs."))
    try:
        wrapper = work / "wrapper.html"
        wrapper.write_text(WRAPPER % json.dumps(urls), encoding="utf-8")
        command = [
            shutil.which("chromium") or "chromium", "--headless", "--no-sandbox",
            "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            f"--user-data-dir={work / 'profile'}", "--allow-file-access-from-files",
            "--virtual-time-budget=15000", "--dump-dom", wrapper.as_uri(),
        ]
        try:
            run = subprocess.run(command, capture_output=True, text=True,
                                 timeout=BROWSER_TIMEOUT, check=False)
        except (OSError, subprocess.TimeoutExpired) as e:
            return [f"Chromium could not run: {e}"]
    finally:
        shutil.rmtree(work, ignore_errors=True)
    match = re.search(r'<pre id="result">(.*?)</pre>', run.stdout, re.S)
    if run.returncode != 0 or not match or match.group(1) == "pending":
        tail = "\n".join(run.stderr.splitlines()[-10:])
        return [f"Chromium did not report on the pages (exit {run.returncode}):\n{tail}"]
    text = match.group(1).replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&")
    found = json.loads(text)
    for page, url in zip(pages, urls):
        result = found.get(url, {"error": "not loaded"})
        if "error" in result:
            failures.append(f"{page}: could not be inspected: {result['error']}")
            continue
        base = site.root / page
        broken = []
        for href in result["links"]:
            failure = site.resolve(base, href, False)
            if failure:
                broken.append(f"{page}: link {href}: {failure}")
        for src, complete, width, height in result["images"]:
            if not (complete and width > 0 and height > 0):
                broken.append(f"{page}: picture {src} did not load ({width} x {height})")
            else:
                failure = site.resolve(base, src, True)
                if failure:
                    broken.append(f"{page}: picture {src}: {failure}")
        if not result["heading"].strip():
            broken.append(f"{page}: shows no page title")
        if result["menu"] == 0:
            broken.append(f"{page}: the menu was not built (its scripts did not run)")
        if result["sheets"] == 0:
            broken.append(f"{page}: no style sheet applied")
        print(f"  {'ok  ' if not broken else 'FAIL'} {page}: \"{result['heading'].strip()}\", "
              f"{len(result['links'])} links, {len(result['images'])} pictures, "
              f"{result['menu']} menu entries")
        failures += broken
    return failures


def check_gallery(site, gallery):
    """The gallery page must link to the reference's start page."""
    gallery = Path(gallery).resolve()
    parser = PageParser()
    parser.feed(gallery.read_text(encoding="utf-8"))
    start = site.root / "index.html"
    for tag, attribute, value in parser.references:
        if tag == "a" and not urlsplit(value).scheme:
            if (gallery.parent / unquote(urlsplit(value).path)).resolve() == start:
                print(f"  ok   {gallery.name} links to the reference: {value}")
                return []
    return [f"{gallery}: no link to {start}"]


def check_examples(docs, readme):
    """Every C++ example of the pages must be one of the README's."""
    readme_text = Path(readme).read_text(encoding="utf-8")
    failures = []
    count = 0
    for page in sorted(Path(docs).glob("*.md")):
        for block in re.findall(r"^```cpp\n(.*?)^```", page.read_text(encoding="utf-8"),
                                re.S | re.M):
            count += 1
            if f"```cpp\n{block}```" not in readme_text:
                first = block.splitlines()[0] if block.strip() else "(empty)"
                failures.append(f"{page}: the example starting '{first}' is not in {readme}")
    print(f"  {count} examples of {docs} compared with {readme}")
    if count == 0:
        failures.append(f"{docs}: no examples found")
    return failures


def main(argv):
    args = list(argv)
    gallery = examples = None
    if "--gallery" in args:
        i = args.index("--gallery")
        gallery = args[i + 1]
        del args[i:i + 2]
    if "--examples" in args:
        i = args.index("--examples")
        examples = args[i + 1:i + 3]
        del args[i:i + 3]
    if len(args) < 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    site = Site(args[0])
    if not (site.root / "index.html").is_file():
        print(f"docs check: no {site.root / 'index.html'}: run make docs first", file=sys.stderr)
        return 1
    print(f"docs check: every file of {args[0]}")
    failures = site.check_files()
    print(f"docs check: {len(args) - 1} pages in Chromium")
    failures += check_in_browser(site, args[1:])
    if gallery:
        failures += check_gallery(site, gallery)
    if examples:
        failures += check_examples(*examples)
    unique = list(dict.fromkeys(failures))
    for failure in unique[:SHOWN_FAILURES]:
        print(f"docs check: {failure}", file=sys.stderr)
    if len(unique) > SHOWN_FAILURES:
        print(f"docs check: ... and {len(unique) - SHOWN_FAILURES} more failures",
              file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
