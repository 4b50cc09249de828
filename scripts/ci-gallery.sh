#!/usr/bin/env bash
# Opens the showcase's gallery page in headless Chromium: every picture on it must
# load with a non-zero size, the SVG documents and the pictures inside them too.
# Keeps a screenshot in build/gallery/. Then removes a picture and a side file from
# a copy of the page and makes sure the same check fails on it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
work=$BUILD/gallery
rm -rf "$work"
mkdir -p "$work"

"$BUILD/examples/showcase/showcase" "$work/showcase-out" >"$work/showcase.log" 2>&1 || {
  cat "$work/showcase.log"
  exit 1
}
echo "ci-gallery: the gallery page in Chromium"
python3 scripts/check_gallery.py "$work/showcase-out/index.html" "$work/gallery.png"

# The same check on a copy that lacks a picture of the page and one of an SVG document.
cp -r "$work/showcase-out" "$work/broken"
rm "$work/broken/gl_canvas.png" "$work/broken/showcase_image1.png"
if python3 scripts/check_gallery.py "$work/broken/index.html" "$work/broken.png" \
  >"$work/broken.log" 2>&1; then
  cat "$work/broken.log"
  echo "ci-gallery: the check passed a page with two pictures missing" >&2
  exit 1
fi
if ! grep -q 'gl_canvas.png' "$work/broken.log" ||
  ! grep -q 'showcase_image1.png' "$work/broken.log"; then
  cat "$work/broken.log"
  echo "ci-gallery: the check failed, but did not name both missing pictures" >&2
  exit 1
fi
echo "ci-gallery: with gl_canvas.png and showcase_image1.png removed the check fails, as it should"
