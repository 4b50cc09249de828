#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the showcase need.
# Idempotent: does nothing when every package is already installed.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libpng-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  unixodbc-dev libsqliteodbc sqlite3
  libpugixml-dev
  libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
  libgtest-dev libgmock-dev libbenchmark-dev
  librsvg2-bin libxml2-utils
  locales
  g++-mingw-w64-x86-64 clang
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# A locale with a decimal comma, for the tests that check numbers ignore it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8"
fi
