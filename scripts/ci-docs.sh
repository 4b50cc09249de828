#!/usr/bin/env bash
# Builds the API reference (`make docs`, which fails on a warning about the four
# libraries' headers) and checks it: every link and picture of every page resolves,
# the start page and each library's page open in headless Chromium with their menus
# built and their pictures loaded, the showcase's gallery links to the start page,
# and the pages' examples are the README's. Then breaks a link and a picture in a
# copy of the reference and makes sure the same check fails on it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
work=$BUILD/docs-check
. scripts/checks-common.sh
rm -rf "$work"
mkdir -p "$work"

make --no-print-directory docs
html=$BUILD/docs/html
pages=(index.html lib_svg.html lib_dbgrid.html lib_gl.html lib_picture.html)

ci_showcase ci-docs "$work/showcase-out"
echo "ci-docs: the reference, its pages in Chromium and the gallery's link to it"
ci_python scripts/check_docs.py "$html" "${pages[@]}" \
  --gallery "$work/showcase-out/index.html" --examples docs README.md

# The same check on a copy whose SVG page links to a page that is gone and whose
# class page lost its inheritance diagram.
cp -r "$html" "$work/broken"
rm "$work/broken/classvqSVGFileDC.html" "$work/broken/classvqGLCanvas.png"
ci_must_fail ci-docs "$work/broken.log" "a reference with a page and a picture missing" \
  "lib_svg.html: link classvqSVGFileDC.html" "classvqGLCanvas.png" -- \
  ci_python scripts/check_docs.py "$work/broken" "${pages[@]}"
echo "ci-docs: with classvqSVGFileDC.html and classvqGLCanvas.png removed the check fails, as it should"
