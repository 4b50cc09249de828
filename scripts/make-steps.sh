#!/usr/bin/env bash
# The steps behind `make demo`, `make test` and `make build`, one line each:
# installing packages, configuring, building (with a progress count on a
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

# Building, with the build's own percentage on a terminal.
log=$LOGS/build.log
targets=()
[ "$job" = demo ] && targets=(--target showcase)
begin "Building $what ($JOBS jobs)"
compiled=0
cmake --build "$BUILD" -j "$JOBS" "${targets[@]}" 2>&1 | {
  : >"$log"
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    case "$line" in
      *"Building C"*" object "*) compiled=$((compiled + 1)) ;;
    esac
    if $on_terminal && [[ "$line" =~ ^\[\ *([0-9]+)%\] ]]; then
      printf '\r%s ... %s%%, %d compiled' "$heading" "${BASH_REMATCH[1]}" "$compiled"
    fi
  done
  echo "$compiled" >"$LOGS/.compiled"
}
status=${PIPESTATUS[0]}
compiled=$(cat "$LOGS/.compiled" 2>/dev/null || echo 0)
rm -f "$LOGS/.compiled"
$on_terminal && printf '\r%s ... \033[K' "$heading"
case $compiled in
  0) outcome="up to date" ;;
  1) outcome="1 file compiled" ;;
  *) outcome="$compiled files compiled" ;;
esac
finish "$status" "$log" "$outcome"

case "$job" in
  demo)
    begin "Running the showcase"
    echo "its output follows"
    exec "$BUILD/examples/showcase/showcase"
    ;;
  test)
    # ctest's lines for passing tests go to the log only; failures with their
    # output, and the summary, are shown.
    log=$LOGS/test.log
    begin "Running the tests ($JOBS at a time)"
    $on_terminal || echo "results follow"
    # shellcheck disable=SC2086 # CTEST_ARGS holds several words, e.g. "-L svg".
    (cd "$BUILD" && ctest --output-on-failure -j "$JOBS" ${CTEST_ARGS:-}) 2>&1 | {
      : >"$log"
      shown=false
      while IFS= read -r line; do
        printf '%s\n' "$line" >>"$log"
        if [[ "$line" =~ ^\ *([0-9]+)/([0-9]+)\ Test\ +#[0-9]+:.*\ Passed\ + ]]; then
          $on_terminal && printf '\r%s ... %s/%s ' "$heading" "${BASH_REMATCH[1]}" \
            "${BASH_REMATCH[2]}"
          continue
        fi
        [[ "$line" =~ ^Test\ project\  || "$line" =~ ^\ +Start\ +[0-9]+:\  ]] && continue
        if ! $shown; then
          $on_terminal && printf '\r%s ... results follow\033[K\n' "$heading"
          shown=true
        fi
        printf '%s\n' "$line"
      done
    }
    status=${PIPESTATUS[0]}
    [ "$status" -eq 0 ] || echo "full test log: $log"
    exit "$status"
    ;;
esac
