#!/usr/bin/env bash
# Fuzzes the XML resource loader with the static picture and panel handlers
# added: libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer for
# about a minute, seeded with the corpus of broken resource files. Without
# clang the same corpus still runs under ASan as part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not installed: skipping the fuzz run (the corpus runs in the picture tests)"
  exit 0
fi

build=build-fuzz-picture
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVQ_SANITIZE=address,undefined,fuzzer-no-link -DVQ_PICTURE_FUZZ=ON \
  -DVQ_BUILD_EXAMPLES=OFF -DVQ_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_picture_resource

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
cp tests/picture/corpus/* "$work/corpus/"
"$build/tests/picture/fuzz_picture_resource" "$work/corpus" \
  -dict=tests/picture/fuzz_resource.dict -max_total_time="${VQ_FUZZ_SECONDS:-60}" \
  -timeout=10 -rss_limit_mb=2048 -max_len=4096 -artifact_prefix="$work/" -print_final_stats=1
