#!/usr/bin/env bash
# Fuzzes the XML resource loader with the static picture and panel handlers
# added, under AddressSanitizer and UndefinedBehaviorSanitizer, with limits per
# input that a decompression bomb or an amplification slipping past the loader's
# bounds would break: before those bounds, a 32 KB PNG of 16384 x 16384 pixels
# took 2.4 GB and 23-33 s, forty pictures scaled to 4096 x 4096 took 3.2 GB and
# 206 s. First every file of the corpus runs once, the limit_* seeds for those
# cases included; then libFuzzer mutates the other seeds for about a minute.
# Without clang the same corpus still runs under ASan as part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not installed: skipping the fuzz run (the corpus runs in the picture tests)"
  exit 0
fi

# Per input: seconds, resident megabytes, megabytes in one allocation. The largest
# legitimate allocation is one 4096 x 4096 RGBA picture, 64 MB; the slowest
# legitimate input (two such scalings) takes about 4 s of CPU in this instrumented
# build, up to 12 s of wall time on a busy machine.
limits=(-timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=256)

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
if "$fuzzer" "${limits[@]}" -malloc_limit_mb=32 tests/picture/corpus/limit_scaled_same.xml \
  >"$work/probe.log" 2>&1; then
  echo "fuzz limits are not enforced: a 64 MB allocation passed a 32 MB limit" >&2
  exit 1
fi
if ! grep -q "out-of-memory (malloc(" "$work/probe.log"; then
  echo "fuzz limits probe failed for another reason:" >&2
  cat "$work/probe.log" >&2
  exit 1
fi

# Every file of the corpus once, within the limits.
"$fuzzer" "${limits[@]}" -runs=0 -artifact_prefix="$work/" tests/picture/corpus

# NOTE: the limit_* seeds cost seconds each here; mutating them would bring the run
# down to a handful of inputs a second, so the mutation starts from the others (the
# dictionary still reaches the same code).
mkdir "$work/corpus"
find tests/picture/corpus -maxdepth 1 -type f ! -name 'limit_*' -exec cp {} "$work/corpus/" \;
"$fuzzer" "$work/corpus" "${limits[@]}" \
  -dict=tests/picture/fuzz_resource.dict -max_total_time="${VQ_FUZZ_SECONDS:-60}" \
  -max_len=4096 -artifact_prefix="$work/" -print_final_stats=1
