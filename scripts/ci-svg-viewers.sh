#!/usr/bin/env bash
# SVG checked by real viewers. The SVG tests run with VQ_SVG_KEEP_DIR set, so every
# document they check (already validated against the SVG 1.0 DTD there) is kept with
# its side files; the showcase adds its drawing and its grid. The showcase's documents
# are validated here too, and a document made invalid on purpose must be refused, so
# the offline DTD catalog is known to work. Then rsvg-convert, headless Chromium and
# headless Firefox ESR render every document, and each browser's raster is compared
# with rsvg-convert's (scripts/check_svg_viewers.py states the tolerances).
# Everything is kept in build/svg-viewers/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
work=$BUILD/svg-viewers
. scripts/checks-common.sh
rm -rf "$work"
mkdir -p "$work/documents"

if ! VQ_SVG_KEEP_DIR="$PWD/$work/documents" "$BUILD/tests/svg/test_svg_ansi" \
  >"$work/tests.log" 2>&1; then
  tail -n 60 "$work/tests.log"
  echo "ci-svg-viewers: the SVG tests failed (log: $work/tests.log)" >&2
  exit 1
fi
ci_showcase ci-svg-viewers "$work/showcase-out"
mkdir -p "$work/documents/showcase"
cp "$work"/showcase-out/{showcase.svg,grid.svg,showcase_image*.png} "$work/documents/showcase/"

for doc in showcase.svg grid.svg; do
  xmllint --noout --nonet --valid "$work/documents/showcase/$doc"
done
# An unknown element and an unknown attribute must be refused, offline.
sed -e 's|<desc>|<wobble/><desc>|' -e '0,/<rect /s|<rect |<rect wobble="1" |' \
  "$work/documents/showcase/grid.svg" >"$work/invalid.svg"
ci_must_fail ci-svg-viewers "$work/invalid.log" "a document with an unknown element" \
  'No declaration for element wobble' 'No declaration for attribute wobble' -- \
  xmllint --noout --nonet --valid "$work/invalid.svg"
count=$(find "$work/documents" -name '*.svg' | wc -l)
echo "ci-svg-viewers: $count documents kept; the showcase's are valid SVG 1.0," \
  "an invalid one is refused offline"

ci_python scripts/check_svg_viewers.py --quiet "$work/renderings" "$work/documents"
