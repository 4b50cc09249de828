#!/usr/bin/env bash
# The steps behind `make demo`, `make test` and `make build`, one line each:
# installing packages, configuring, building (with the build's percentage on a
# terminal), then running the showcase or the tests, whose own results follow.
# Each step's full output goes to $BUILD/logs/<step>.log; when a step fails, the
# last lines of its log (VQ_LOG_TAIL, 40 by default) and the log's path are shown.
# CTEST_ARGS passes options to ctest, e.g. CTEST_ARGS="-L svg".
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

job=${1:?usage: $0 demo|test|build}
BUILD=${BUILD:-build}
JOBS=${JOBS:-$(nproc)}
LOGS=$BUILD/logs
TAIL=${VQ_LOG_TAIL:-40}
mkdir -p "$LOGS"

case "$job" in
  demo) steps=4 packages=demo ;;
  test) steps=4 packages=test ;;
  build) steps=3 packages=test ;;
  *)
    echo "usage: $0 demo|test|build" >&2
    exit 2
    ;;
esac

on_terminal=false
[ -t 1 ] && on_terminal=true
step=0
started=0

# Prints a step's heading, left open for its outcome.
begin() {
  step=$((step + 1))
  heading="[$step/$steps] $1"
  printf '%s ... ' "$heading"
  started=$SECONDS
}

elapsed() {
  local s=$((SECONDS - started))
  if [ $s -ge 60 ]; then echo "$((s / 60)) min $((s % 60)) s"; else echo "$s s"; fi
}

# Ends a step: its outcome and time, or on failure the tail of its log, and stops.
finish() {
  local status=$1 log=$2 outcome=$3
  if [ "$status" -eq 0 ]; then
    echo "${outcome:+$outcome, }$(elapsed)"
    return
  fi
  echo "FAILED after $(elapsed)"
  echo "---- last $TAIL lines of $log"
  tail -n "$TAIL" "$log"
  echo "---- full log: $log"
  exit "$status"
}

# Packages.
log=$LOGS/deps.log
missing=$(scripts/install-deps.sh --missing "$packages")
if [ -n "$missing" ]; then
  count=$(wc -w <<<"$missing")
  begin "Installing $count Debian packages for the $packages job (apt-get)"
  if [ "$(id -u)" -ne 0 ]; then
    echo
    sudo -v || finish 1 "$log" ""
  fi
  scripts/install-deps.sh "$packages" >"$log" 2>&1
  finish $? "$log" "done"
else
  begin "Checking Debian packages for the $packages job"
  scripts/install-deps.sh "$packages" >"$log" 2>&1
  finish $? "$log" "all there"
fi

# Configuring: the demo needs neither tests nor benchmarks, unless a build tree
# already has them; the tests turn them on.
log=$LOGS/configure.log
options=()
if [ "$job" = demo ]; then
  [ -f "$BUILD/CMakeCache.txt" ] || options=(-DVQ_BUILD_TESTS=OFF -DVQ_BUILD_BENCH=OFF)
  what="the libraries and the showcase"
else
  options=(-DVQ_BUILD_TESTS=ON -DVQ_BUILD_BENCH=ON)
  what="every flavour, the tests and the benchmarks"
fi
begin "Configuring with CMake"
cmake --preset default -B "$BUILD" "${options[@]}" >"$log" 2>&1
finish $? "$log" "done"

# Building. CMake's Makefile build reports its progress only as the "[ NN%]" its
# lines begin with: on a terminal that percentage is shown as it moves. The files
# compiled are counted from the object files the build wrote.
log=$LOGS/build.log
targets=()
[ "$job" = demo ] && targets=(--target showcase)
begin "Building $what ($JOBS jobs)"
stamp=$LOGS/.build-started
: >"$stamp"
if $on_terminal; then
  cmake --build "$BUILD" -j "$JOBS" "${targets[@]}" 2>&1 | {
    : >"$log"
    while IFS= read -r line; do
      printf '%s\n' "$line" >>"$log"
      [[ "$line" =~ ^\[\ *([0-9]+)%\] ]] && printf '\r%s ... %s%%' "$heading" "${BASH_REMATCH[1]}"
    done
  }
  status=${PIPESTATUS[0]}
  printf '\r%s ... \033[K' "$heading"
else
  cmake --build "$BUILD" -j "$JOBS" "${targets[@]}" >"$log" 2>&1
  status=$?
fi
compiled=$(find "$BUILD" -name '*.o' -newer "$stamp" | wc -l)
rm -f "$stamp"
case $compiled in
  0) outcome="up to date" ;;
  1) outcome="1 file compiled" ;;
  *) outcome="$compiled files compiled" ;;
esac
finish "$status" "$log" "$outcome"

# Prints the results of a test run from ctest's JUnit report: the output of every
# failing case, the names of the skipped ones and the counts.
summarise_tests() {
  local xml=$1 failed skipped passed i name
  query() { xmllint --xpath "$1" "$xml"; }
  failed=$(query 'count(//testcase[failure])')
  skipped=$(query 'count(//testcase[skipped])')
  passed=$(query 'count(//testcase[@status="run"])')
  for ((i = 1; i <= failed; i++)); do
    name=$(query "string((//testcase[failure])[$i]/@name)")
    echo "---- FAILED $name"
    query "string((//testcase[failure])[$i]/system-out)"
    echo
  done
  for ((i = 1; i <= skipped; i++)); do
    echo "skipped: $(query "string((//testcase[skipped])[$i]/@name)")"
  done
  for ((i = 1; i <= failed; i++)); do
    echo "FAILED: $(query "string((//testcase[failure])[$i]/@name)")"
  done
  echo "ctest ran $((passed + failed + skipped)) cases in $(elapsed)"
  echo "tests: $passed passed, $failed failed, $skipped skipped"
}

case "$job" in
  demo)
    begin "Running the showcase"
    echo "its output follows"
    exec "$BUILD/examples/showcase/showcase"
    ;;
  test)
    # Every case is a test of its own. On a terminal ctest draws its own progress
    # line and prints its summary; elsewhere its output goes to the log, and the
    # results are read from its JUnit report, which holds every case's output.
    log=$LOGS/test.log
    xml=$(cd "$LOGS" && pwd)/test.xml
    rm -f "$log" "$xml"
    begin "Running the tests ($JOBS at a time)"
    echo "results follow"
    options=(--output-on-failure -j "$JOBS" --output-junit "$xml")
    # shellcheck disable=SC2086 # CTEST_ARGS holds several words, e.g. "-L svg".
    if $on_terminal; then
      # NOTE: ctest draws no progress line when it also writes --output-log.
      (cd "$BUILD" && ctest "${options[@]}" --progress ${CTEST_ARGS:-})
      status=$?
    else
      (cd "$BUILD" && ctest "${options[@]}" ${CTEST_ARGS:-}) >"$log" 2>&1
      status=$?
      if [ -f "$xml" ]; then
        summarise_tests "$xml"
      else
        tail -n "$TAIL" "$log"
      fi
    fi
    if [ "$status" -ne 0 ]; then
      [ -f "$log" ] && echo "ctest's output: $log"
      [ -f "$xml" ] && echo "every case with its output: $xml"
    fi
    exit "$status"
    ;;
esac
