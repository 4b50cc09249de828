#!/usr/bin/python3
"""Opens a page in headless Chromium and checks that every picture on it loaded.

usage: check_gallery.py PAGE.html SCREENSHOT.png

Checked: every <img> is complete with a non-zero natural size; every <object>,
<embed> and <iframe> holds a loaded document of non-zero size (an SVG's root
element is svg), and every picture that document references decodes with a
non-zero size; no request of the page or its documents failed. Prints one line
per picture, saves a screenshot of the whole page and exits 1 on any failure.
"""

import os
import pathlib
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_browser import DOCUMENT_PICTURES, Browser, BrowserError  # noqa: E402

WIDTH, HEIGHT = 1280, 900

PAGE_PICTURES = """(() => ({
  images: [...document.images].map(i => [i.src, i.complete, i.naturalWidth, i.naturalHeight]),
  embedded: [...document.querySelectorAll('object, embed, iframe')].map(e => {
    const r = e.getBoundingClientRect();
    return [e.data || e.src, e.localName, r.width, r.height];
  }),
}))()"""


def child_frames(tree):
    for child in tree.get("childFrames", []):
        yield child["frame"]
        yield from child_frames(child)


def check(page, screenshot):
    failures = []
    url = pathlib.Path(page).resolve().as_uri()
    with Browser() as browser:
        session = browser.new_page(WIDTH, HEIGHT)
        browser.call("Network.enable", session=session)
        browser.navigate(session, url)
        requests = {e["requestId"]: e["request"]["url"]
                    for e in browser.events("Network.requestWillBeSent", session)}
        for failed in browser.events("Network.loadingFailed", session):
            where = requests.get(failed["requestId"], failed["requestId"])
            failures.append(f"request failed: {where}: {failed.get('errorText')}")

        found = browser.evaluate(session, PAGE_PICTURES)
        for src, complete, w, h in found["images"]:
            ok = complete and w > 0 and h > 0
            print(f"  {'ok  ' if ok else 'FAIL'} img    {src} ({w} x {h})")
            if not ok:
                failures.append(f"picture did not load or has zero size: {src}")

        frames = {f["url"]: f for f in
                  child_frames(browser.call("Page.getFrameTree", session=session)["frameTree"])}
        for src, kind, box_w, box_h in found["embedded"]:
            frame = frames.get(src)
            if frame is None:
                print(f"  FAIL {kind:6} {src} (no document loaded)")
                failures.append(f"{kind} shows no document: {src}")
                continue
            world = browser.call("Page.createIsolatedWorld",
                                 {"frameId": frame["id"], "worldName": "gallery-check"},
                                 session)["executionContextId"]
            inside = browser.evaluate(session, DOCUMENT_PICTURES, world)
            ok = inside["width"] > 0 and inside["height"] > 0 and box_w > 0 and box_h > 0
            if src.endswith(".svg") and inside["root"] != "svg":
                ok = False
            print(f"  {'ok  ' if ok else 'FAIL'} {kind:6} {src} (<{inside['root']}> "
                  f"{inside['width']:.0f} x {inside['height']:.0f}, "
                  f"shown {box_w:.0f} x {box_h:.0f})")
            if not ok:
                failures.append(f"{kind} did not load or has zero size: {src}")
            for picture, w, h in inside["pictures"]:
                ok = w > 0 and h > 0
                print(f"  {'ok  ' if ok else 'FAIL'}   in it {picture} ({w} x {h})")
                if not ok:
                    failures.append(f"picture in {src} did not load or has zero size: {picture}")

        metrics = browser.call("Page.getLayoutMetrics", session=session)
        size = metrics.get("cssContentSize") or metrics["contentSize"]
        browser.resize(session, WIDTH, max(HEIGHT, int(size["height"] + 0.5)))
        png = browser.screenshot(session)
        os.makedirs(os.path.dirname(os.path.abspath(screenshot)), exist_ok=True)
        with open(screenshot, "wb") as f:
            f.write(png)
        print(f"  screenshot: {screenshot}")
    if not found["images"] and not found["embedded"]:
        failures.append("the page shows no pictures at all")
    return failures


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    try:
        failures = check(sys.argv[1], sys.argv[2])
    except (BrowserError, OSError) as e:
        print(f"gallery check: {e}", file=sys.stderr)
        return 1
    for failure in failures:
        print(f"gallery check: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
