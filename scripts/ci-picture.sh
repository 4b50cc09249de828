#!/usr/bin/env bash
# Fuzzes the XML resource loader with the static picture and panel handlers
# added: libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer for
# about a minute, seeded with the corpus of broken and hostile resource files
# (a 32 KB PNG that decodes to a gigabyte, pictures scaled to 4096 x 4096 by
# the dozen). Each input must stay within the limits below, so a decompression
# bomb or an amplification that slips past the loader's bounds fails the run.
# Without clang the same corpus still runs under ASan as part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not installed: skipping the fuzz run (the corpus runs in the picture tests)"
  exit 0
fi

# Per input: seconds, resident megabytes, megabytes in one allocation. The largest
# legitimate allocation is one 4096 x 4096 RGBA picture, 64 MB.
timeout_s=10
rss_mb=2048
malloc_mb=256

build=build-fuzz-picture
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVQ_SANITIZE=address,undefined,fuzzer-no-link -DVQ_PICTURE_FUZZ=ON \
  -DVQ_BUILD_EXAMPLES=OFF -DVQ_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_picture_resource
fuzzer="$build/tests/picture/fuzz_picture_resource"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The limits must bite: with a one-allocation limit below one 4096 x 4096 picture,
# a seed that makes one has to be reported as running out of memory.
if "$fuzzer" -malloc_limit_mb=32 -rss_limit_mb="$rss_mb" -timeout="$timeout_s" \
  tests/picture/corpus/scaled_same.xml >"$work/probe.log" 2>&1; then
  echo "fuzz limits are not enforced: a 64 MB allocation passed a 32 MB limit" >&2
  exit 1
fi
if ! grep -q "out-of-memory (malloc(" "$work/probe.log"; then
  echo "fuzz limits probe failed for another reason:" >&2
  cat "$work/probe.log" >&2
  exit 1
fi

mkdir "$work/corpus"
cp tests/picture/corpus/* "$work/corpus/"
"$fuzzer" "$work/corpus" \
  -dict=tests/picture/fuzz_resource.dict -max_total_time="${VQ_FUZZ_SECONDS:-60}" \
  -timeout="$timeout_s" -rss_limit_mb="$rss_mb" -malloc_limit_mb="$malloc_mb" \
  -max_len=4096 -artifact_prefix="$work/" -print_final_stats=1
