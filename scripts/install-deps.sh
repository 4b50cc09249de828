#!/usr/bin/env bash
# Installs the Debian packages one job needs, and nothing more:
#   demo  building the libraries and running the showcase
#   test  the above, plus the test tools
#   ci    the above, plus what the CI checks run: the MinGW-w64 cross compiler,
#         clang for the fuzzer, PostgreSQL with its ODBC driver, Chromium,
#         Firefox ESR, the Python modules the browser checks use, and doxygen
#   docs  doxygen alone, for `make docs`
#   windows  the Windows build: MinGW-w64 (posix threads), GoogleTest's sources,
#         Wine with Xvfb, the Liberation fonts and the host's ODBC SQLite driver to
#         run the tests, and Python's PNG reading for comparing their pictures
#         (`make windows`), with
#         the host's ODBC driver manager and SQLite driver, which Wine's odbc32 loads
# With no job it installs for ci; `--missing JOB` only lists what JOB lacks.
# Idempotent: when every package is there it only says so. Runs apt-get through
# sudo when not root.
set -euo pipefail

list_only=false
if [ "${1:-}" = --missing ]; then
  list_only=true
  shift
fi
job=${1:-ci}

demo=(
  cmake g++ make pkg-config
  libpng-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  unixodbc-dev libsqliteodbc
  libpugixml-dev
  libegl-dev libgl-dev libopengl-dev libegl-mesa0 libgl1-mesa-dri
  librsvg2-bin
)
test=(
  libgtest-dev libgmock-dev libbenchmark-dev
  libxml2-utils w3c-sgml-lib sqlite3
  locales
)
ci=(
  g++-mingw-w64-x86-64
  clang libclang-rt-14-dev
  postgresql odbc-postgresql
  chromium firefox-esr python3 python3-pil python3-numpy python3-websocket
)
docs=(doxygen)
# Recommended packages stay out: Wine's would upgrade Mesa.
windows=(
  cmake make g++-mingw-w64-x86-64-posix googletest
  wine wine64 xvfb fonts-liberation
  libodbc2 libsqliteodbc
  python3 python3-pil python3-numpy
)

case "$job" in
  demo) packages=("${demo[@]}") ;;
  test) packages=("${demo[@]}" "${test[@]}") ;;
  ci) packages=("${demo[@]}" "${test[@]}" "${ci[@]}" "${docs[@]}") ;;
  docs) packages=("${docs[@]}") ;;
  windows) packages=("${windows[@]}") ;;
  -h | --help)
    sed -n '2,15s/^# \{0,1\}//p' "$0"
    exit 0
    ;;
  *)
    echo "usage: $0 [demo|test|ci|docs|windows]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if $list_only; then
  echo "${missing[*]}"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing ${#missing[@]} packages for $job: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "All ${#packages[@]} packages for $job are installed"
fi

# A locale with a decimal comma, for the tests that check numbers ignore it.
if [ "$job" != demo ] && [ "$job" != docs ] && [ "$job" != windows ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8"
fi
