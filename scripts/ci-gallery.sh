#!/usr/bin/env bash
# Opens the showcase's gallery page in headless Chromium: every picture on it must
# load with a non-zero size, the SVG documents and the pictures inside them too.
# Keeps a screenshot in build/gallery/. Then removes a picture and a side file from
# a copy of the page and makes sure the same check fails on it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
work=$BUILD/gallery
. scripts/checks-common.sh
rm -rf "$work"
mkdir -p "$work"

ci_showcase ci-gallery "$work/showcase-out"
echo "ci-gallery: the gallery page in Chromium"
ci_python scripts/check_gallery.py "$work/showcase-out/index.html" "$work/gallery.png"

# The same check on a copy that lacks a picture of the page and one of an SVG document.
cp -r "$work/showcase-out" "$work/broken"
rm "$work/broken/gl_canvas.png" "$work/broken/showcase_image1.png"
ci_must_fail ci-gallery "$work/broken.log" "a page with two pictures missing" \
  gl_canvas.png showcase_image1.png -- \
  ci_python scripts/check_gallery.py "$work/broken/index.html" "$work/broken.png"
echo "ci-gallery: with gl_canvas.png and showcase_image1.png removed the check fails, as it should"
