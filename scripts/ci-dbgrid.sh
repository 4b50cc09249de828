#!/usr/bin/env bash
# Runs the grid suite against PostgreSQL through psqlODBC: installs the server and
# the driver when missing, starts a private cluster on loopback, runs both widths
# of the suite (the writeback torture test included) with VQ_TEST_PG_CONN pointing
# at it, again from the sanitizer build when build-asan has been built, and stops
# the cluster again.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
need=()
for p in postgresql odbc-postgresql; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
fi

PGBIN=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
PORT=${VQ_PG_PORT:-55432}
DIR=$(mktemp -d /tmp/vq-pg.XXXXXX)
# The server refuses to run as root: use the postgres account when we are root.
RUN=()
if [ "$(id -u)" -eq 0 ]; then
  chown postgres "$DIR"
  RUN=(runuser -u postgres --)
fi
cleanup() {
  "${RUN[@]}" "$PGBIN/pg_ctl" -D "$DIR/data" -m fast stop >/dev/null 2>&1 || true
  rm -rf "$DIR"
}
trap cleanup EXIT

"${RUN[@]}" "$PGBIN/initdb" -D "$DIR/data" -U vq --auth=trust -E UTF8 --locale=C.UTF-8 >/dev/null
"${RUN[@]}" "$PGBIN/pg_ctl" -D "$DIR/data" -l "$DIR/server.log" -w \
  -o "-c listen_addresses=127.0.0.1 -p $PORT -k $DIR -c fsync=off" start >/dev/null
"${RUN[@]}" "$PGBIN/createdb" -h 127.0.0.1 -p "$PORT" -U vq vqtest

export VQ_TEST_PG_CONN="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$PORT;Database=vqtest;Uid=vq;Pwd=;"
for flavour in ansi unicode; do
  echo "== grid suite ($flavour) against PostgreSQL"
  (cd "$BUILD/tests/dbgrid" && "./test_dbgrid_$flavour")
done
ASAN_BUILD=${ASAN_BUILD:-build-asan}
for flavour in ansi unicode; do
  [ -x "$ASAN_BUILD/tests/dbgrid/test_dbgrid_$flavour" ] || continue
  echo "== grid suite ($flavour, sanitizers) against PostgreSQL"
  (cd "$ASAN_BUILD/tests/dbgrid" && ASAN_OPTIONS=detect_leaks=1 "./test_dbgrid_$flavour")
done
