# Sourced by the CI checks: what more than one of them does. Each takes the check's
# name first, for its messages.

# Runs a Python script with Debian's Python, which sees the python3-* packages that
# install-deps.sh installs (a python3 earlier on PATH may be a build that does not).
ci_python() {
  /usr/bin/python3 "$@"
}

# Runs the showcase into dir (its output in dir.log); on a failure shows the output and
# stops the check.
ci_showcase() {
  local dir=$2
  "$BUILD/examples/showcase/showcase" "$dir" >"$dir.log" 2>&1 || {
    cat "$dir.log"
    echo "$1: the showcase failed" >&2
    exit 1
  }
}

# ci_must_fail NAME LOG WHAT PATTERN... -- COMMAND...
# Runs a command that must fail, its output in LOG, and checks that the output names
# every pattern; otherwise shows the output, says what went wrong and stops the check.
ci_must_fail() {
  local name=$1 log=$2 what=$3 patterns=()
  shift 3
  while [ "$1" != "--" ]; do
    patterns+=("$1")
    shift
  done
  shift
  if "$@" >"$log" 2>&1; then
    cat "$log"
    echo "$name: $what was accepted" >&2
    exit 1
  fi
  local p
  for p in "${patterns[@]}"; do
    if ! grep -q -- "$p" "$log"; then
      cat "$log"
      echo "$name: $what was refused, but not for '$p'" >&2
      exit 1
    fi
  done
}
