#!/usr/bin/env bash
# Runs the grid benchmark against SQLite and, on a private PostgreSQL cluster started
# for the run (port VQ_PG_PORT, default 55432), against PostgreSQL through psqlODBC.
# Arguments go to the benchmark (e.g. --rows 100000 --rounds 5).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
. scripts/pg-private.sh
pg_private_start
VQ_BENCH_PG_CONN="$VQ_PG_CONN" "$BUILD/bench/bench_dbgrid" "$@"
