#!/usr/bin/env bash
# Compiles the GL library's source against the real <windows.h> with the MinGW-w64
# cross compiler, in both character widths (compile only: nothing is linked).
set -euo pipefail
cd "$(dirname "$0")/.."

CXX=${MINGW_CXX:-x86_64-w64-mingw32-g++}
if ! command -v "$CXX" >/dev/null; then
  echo "ci-gl-mingw: $CXX not found (scripts/install-deps.sh installs g++-mingw-w64-x86-64)" >&2
  exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for width in ansi unicode; do
  defs=(-DVQMAKING_GL)
  [ "$width" = unicode ] && defs+=(-DVQ_UNICODE)
  for src in src/gl/*.cpp; do
    "$CXX" -std=c++17 -Wall -Wextra -Werror -Iinclude "${defs[@]}" \
      -c "$src" -o "$out/$(basename "$src" .cpp).$width.o"
  done
  echo "ci-gl-mingw: src/gl compiles against <windows.h> ($width)"
done
