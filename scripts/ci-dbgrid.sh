#!/usr/bin/env bash
# Runs the grid suite against PostgreSQL through psqlODBC: installs the server and
# the driver when missing, starts a private cluster on loopback, runs both widths
# of the suite (the writeback torture test included) with VQ_TEST_PG_CONN pointing
# at it, again from the sanitizer build when build-asan has been built, and stops
# the cluster again.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
. scripts/pg-private.sh
pg_private_start

export VQ_TEST_PG_CONN="$VQ_PG_CONN"
for flavour in ansi unicode; do
  echo "== grid suite ($flavour) against PostgreSQL"
  (cd "$BUILD/tests/dbgrid" && "./test_dbgrid_$flavour")
done
ASAN_BUILD=${ASAN_BUILD:-build-asan}
SUPPRESSIONS="$PWD/scripts/lsan-drivers.supp"
for flavour in ansi unicode; do
  [ -x "$ASAN_BUILD/tests/dbgrid/test_dbgrid_$flavour" ] || continue
  echo "== grid suite ($flavour, sanitizers) against PostgreSQL"
  (cd "$ASAN_BUILD/tests/dbgrid" && ASAN_OPTIONS=detect_leaks=1 \
    LSAN_OPTIONS="suppressions=$SUPPRESSIONS" "./test_dbgrid_$flavour")
done
