#!/usr/bin/env bash
# Checks the SVG documents the Windows SVG suites wrote against the Linux suites' own:
#   compare-windows-svg.sh <linux-build-dir> <windows-build-dir>
# The Windows suites (test_svg_ansi.exe, test_svg_unicode.exe, run by ctest under Wine)
# keep every document they check, with its side files, in
# <windows-build-dir>/tests/svg/documents/<flavour>/<Suite>.<Test>[-n]/. This script
# runs the Linux suites of <linux-build-dir> with VQ_SVG_KEEP_DIR set, so that they keep
# theirs the same way in <linux-build-dir>/tests/svg/documents/<flavour>/, validates
# every Windows document against the SVG 1.0 DTD with xmllint --valid --nonet (offline,
# through w3c-sgml-lib's XML catalog) and compares each with the Linux document of the
# same name (scripts/compare_windows_svg.py says what may differ: the numbers the
# measured text extents give). Prints the counts; exits 1 on any invalid document,
# missing document or other difference, 2 on wrong usage.
set -euo pipefail

if [ $# -ne 2 ] || [ ! -d "$1" ] || [ ! -d "$2" ]; then
  echo "usage: $0 <linux-build-dir> <windows-build-dir>" >&2
  echo "  (a Linux build with test_svg_ansi and test_svg_unicode, and a Windows build" >&2
  echo "  whose SVG suites have run: ctest --test-dir <windows-build-dir> -R '^svg\\.')" >&2
  exit 2
fi
linux=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
cd "$(dirname "$0")/.."
. scripts/checks-common.sh
name=compare-windows-svg
flavours=(ansi unicode)

# xmllint must reach the SVG 1.0 DTD through the catalog, never the network.
dtd=http://www.w3.org/TR/2001/REC-SVG-20010904/DTD/svg10.dtd
catalog=${XML_CATALOG_FILES:-/etc/xml/catalog}
catalog=${catalog%% *}
if ! command -v xmllint >/dev/null || ! command -v xmlcatalog >/dev/null; then
  echo "$name: xmllint and xmlcatalog are not installed (Debian package libxml2-utils)" >&2
  exit 1
fi
resolved=$(xmlcatalog "$catalog" "$dtd" 2>/dev/null || true)
if [[ $resolved != file://* ]] || [ ! -f "${resolved#file://}" ]; then
  echo "$name: the XML catalog $catalog does not map the SVG 1.0 DTD to a local file" \
    "(Debian package w3c-sgml-lib)" >&2
  exit 1
fi

for flavour in "${flavours[@]}"; do
  if [ ! -x "$linux/tests/svg/test_svg_$flavour" ]; then
    echo "$name: $linux/tests/svg/test_svg_$flavour is missing (build it first)" >&2
    exit 1
  fi
  if [ ! -d "$windows/tests/svg/documents/$flavour" ]; then
    echo "$name: no Windows documents in $windows/tests/svg/documents/$flavour" \
      "(run the Windows SVG suites first: ctest --test-dir $windows -R '^svg\\.')" >&2
    exit 1
  fi
done

# The Linux suites, both at once, each keeping its documents afresh.
pids=()
for flavour in "${flavours[@]}"; do
  keep=$linux/tests/svg/documents/$flavour
  rm -rf "$keep"
  mkdir -p "$keep"
  VQ_SVG_KEEP_DIR=$keep "$linux/tests/svg/test_svg_$flavour" >"$keep.log" 2>&1 &
  pids+=($!)
done
for i in "${!flavours[@]}"; do
  if ! wait "${pids[$i]}"; then
    log=$linux/tests/svg/documents/${flavours[$i]}.log
    tail -n 40 "$log"
    echo "$name: the Linux suite test_svg_${flavours[$i]} failed (log: $log)" >&2
    exit 1
  fi
done

# Validation must refuse an invalid document offline, or it proves nothing.
probe=$(find "$windows/tests/svg/documents" -name '*.svg' -print -quit)
if [ -n "$probe" ]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  sed -e '0,/<title>/s|<title>|<wobble/><title>|' "$probe" >"$scratch/invalid.svg"
  ci_must_fail "$name" "$scratch/invalid.log" "a document with an unknown element" \
    'No declaration for element wobble' -- xmllint --noout --nonet --valid "$scratch/invalid.svg"
fi

args=()
for flavour in "${flavours[@]}"; do
  args+=("$flavour" "$linux/tests/svg/documents/$flavour" "$windows/tests/svg/documents/$flavour")
done
ci_python scripts/compare_windows_svg.py "${args[@]}"
