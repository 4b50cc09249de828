# Sourced by the grid scripts: installs the PostgreSQL server and psqlODBC when missing
# and starts a private cluster on loopback (port VQ_PG_PORT, default 55432), stopped
# again when the sourcing shell exits. Leaves its connection string in VQ_PG_CONN.
pg_private_start() {
  local sudo="" need=() p
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  for p in postgresql odbc-postgresql; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
  done
  if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
  fi

  PG_BIN=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
  PG_PORT=${VQ_PG_PORT:-55432}
  PG_DIR=$(mktemp -d /tmp/vq-pg.XXXXXX)
  # The server refuses to run as root: use the postgres account when we are root.
  PG_RUN=()
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres "$PG_DIR"
    PG_RUN=(runuser -u postgres --)
  fi
  trap pg_private_stop EXIT

  "${PG_RUN[@]}" "$PG_BIN/initdb" -D "$PG_DIR/data" -U vq --auth=trust -E UTF8 \
    --locale=C.UTF-8 >/dev/null
  "${PG_RUN[@]}" "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w \
    -o "-c listen_addresses=127.0.0.1 -p $PG_PORT -k $PG_DIR -c fsync=off" start >/dev/null
  "${PG_RUN[@]}" "$PG_BIN/createdb" -h 127.0.0.1 -p "$PG_PORT" -U vq vqtest
  VQ_PG_CONN="Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$PG_PORT;Database=vqtest;Uid=vq;Pwd=;"
}

pg_private_stop() {
  "${PG_RUN[@]}" "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m fast stop >/dev/null 2>&1 || true
  rm -rf "$PG_DIR"
}
