#!/usr/bin/env bash
# Installs the release build into a scratch prefix and builds programs against the
# installed tree: once through the CMake package, once through pkg-config, each in
# the 8-bit and the wide build, and runs them.
set -euo pipefail
root=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install build --prefix "$work/prefix" >/dev/null
libdir="$work/prefix/lib"
[ -d "$libdir" ] || libdir="$work/prefix/lib64"

cmake -S "$root/tests/packaging/consumer" -B "$work/consumer" \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" -j "$(nproc)" >/dev/null
"$work/consumer/consumer" "$work/a.svg"
"$work/consumer/consumerw" "$work/w.svg"
for sfx in "" w; do
  mkdir -p "$work/cmake$sfx"
  "$work/consumer/all_four$sfx" "$work/cmake$sfx"
done

export PKG_CONFIG_PATH="$libdir/pkgconfig"
g++ -std=c++17 -o "$work/pc_consumer" "$root/tests/packaging/consumer/main.cpp" \
  $(pkg-config --cflags --libs vectorpage)
LD_LIBRARY_PATH="$libdir" "$work/pc_consumer" "$work/pc.svg"
for sfx in "" w; do
  g++ -std=c++17 -o "$work/pc_all_four$sfx" "$root/tests/packaging/consumer/all_four.cpp" \
    $(pkg-config --cflags --libs "vectorpage$sfx rowgrid$sfx renderpane$sfx pictureloader$sfx vqwin32 gl")
  mkdir -p "$work/pc$sfx"
  LD_LIBRARY_PATH="$libdir" "$work/pc_all_four$sfx" "$work/pc$sfx"
done
for pc in "$libdir"/pkgconfig/*.pc; do
  pkg-config --exists "$(basename "$pc" .pc)" || { echo "broken: $pc"; exit 1; }
done
echo "packaging: CMake package and pkg-config consumers, all four libraries in one program, built and ran"
