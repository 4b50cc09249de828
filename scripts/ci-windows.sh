#!/usr/bin/env bash
# The Windows check (also `make windows`): cross-compiles every library and test suite
# with MinGW-w64 into build-windows/, runs the suites under Wine with a virtual display,
# compares the cases that ran with the Linux run's, checks the SVG documents the
# Windows suites wrote against the Linux suites' own, builds the all-four consumer
# against the Windows install tree and runs it, and shows that a crashing program
# fails within its time limit. The comparisons with Linux need a Linux `make test` in
# $BUILD (build/) first; without one they are left out, and the check says so.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/checks-common.sh

BUILD=${BUILD:-build}
WIN=build-windows
JOBS=${JOBS:-$(nproc)}

scripts/install-deps.sh windows
mkdir -p "$WIN/logs"
log() { echo "ci-windows: $*"; }

started=$SECONDS
cmake --preset windows >"$WIN/logs/configure.log" 2>&1 || {
  tail -n 60 "$WIN/logs/configure.log"
  exit 1
}
cmake --build "$WIN" -j "$JOBS" >"$WIN/logs/build.log" 2>&1 || {
  grep -E "error|Error" "$WIN/logs/build.log" | head -n 40
  tail -n 40 "$WIN/logs/build.log"
  exit 1
}
log "built in $((SECONDS - started)) s: $(cd "$WIN/bin" && ls ./*.dll | wc -l) DLLs, $(cd "$WIN/bin" && ls ./*.exe | wc -l) programs"
for dll in vectorpage vectorpagew rowgrid rowgridw renderpane renderpanew pictureloader \
  pictureloaderw pictureloaderd pictureloaderwd; do
  [ -f "$WIN/bin/$dll.dll" ] && [ -f "$WIN/lib/$dll.dll.a" ] || {
    log "$dll.dll or its import library is missing"
    exit 1
  }
done

# Every suite under Wine; each program writes its GoogleTest report for the counts.
started=$SECONDS
reports=$(pwd)/$WIN/gtest-reports
rm -rf "$reports"
mkdir -p "$reports"
# NOTE: GoogleTest on Windows makes the report directory only from a Windows path.
winreports="Z:${reports//\//\\}\\"
GTEST_OUTPUT="xml:$winreports" xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --preset windows -j "$JOBS" --timeout 900 >"$WIN/logs/test.log" 2>&1 || {
  tail -n 150 "$WIN/logs/test.log"
  log "a Windows suite failed (full log: $WIN/logs/test.log)"
  exit 1
}
log "suites passed under Wine in $((SECONDS - started)) s: $(grep -E 'tests passed' "$WIN/logs/test.log")"

if [ -f "$BUILD/logs/test.xml" ]; then
  ci_python scripts/count_windows_cases.py "$BUILD/logs/test.xml" "$reports"
else
  log "no Linux results in $BUILD/logs/test.xml (run make test first): case counts left out"
fi
if [ -d "$BUILD/tests/svg" ]; then
  scripts/compare-windows-svg.sh "$BUILD" "$WIN"
else
  log "no Linux SVG documents in $BUILD/tests/svg: the comparison is left out"
fi

# The all-four consumer, built against the installed Windows tree only.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$WIN" --prefix "$work/prefix" >/dev/null
cmake -S tests/packaging/consumer -B "$work/consumer" \
  -DCMAKE_TOOLCHAIN_FILE="$(pwd)/cmake/toolchains/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_BUILD_TYPE=Release >"$work/consumer.log" 2>&1 &&
  cmake --build "$work/consumer" -j "$JOBS" --target all_four all_fourw >>"$work/consumer.log" 2>&1 || {
  tail -n 40 "$work/consumer.log"
  log "the consumer does not build against the install tree"
  exit 1
}
for sfx in "" w; do
  mkdir -p "$work/out$sfx"
  # The install tree's bin/ holds every DLL the program needs, the MinGW runtime's too.
  scripts/wine-run.sh --prefix "$WIN/wine" --path "$work/prefix/bin" --timeout 120 --display \
    "$work/consumer/all_four$sfx.exe" "$work/out$sfx"
done
log "the all-four consumer built against the install tree and ran, in both widths"

# A program that crashes must end its run with a failure, not wait for a debugger.
cat >"$work/crash.cpp" <<'EOF'
int main() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
EOF
x86_64-w64-mingw32-g++-posix -O0 -o "$work/crash.exe" "$work/crash.cpp"
started=$SECONDS
status=0
scripts/wine-run.sh --prefix "$WIN/wine" --timeout 60 "$work/crash.exe" >"$work/crash.log" 2>&1 ||
  status=$?
if [ $status -eq 0 ] || [ $status -eq 124 ] || [ $status -eq 137 ]; then
  cat "$work/crash.log"
  log "a crashing program ended with status $status"
  exit 1
fi
log "a crashing program failed with status $status after $((SECONDS - started)) s"
