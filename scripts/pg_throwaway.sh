#!/usr/bin/env bash
# Source this file: starts a throwaway PostgreSQL server on loopback (unprivileged user, a free
# non-default port, data in a temporary folder), exports VELTRANE_TEST_PG_URL, and stops the
# server when the sourcing shell exits.
#
#   pg_throwaway_start [--tls DIR]
# With --tls, the server also takes encrypted connections, with the certificate DIR/server.crt and its
# key DIR/server.key (copied into the server's folder as server.crt and server.key, which a test may
# overwrite and have the server read again with SELECT pg_reload_conf()).

pg_throwaway_start() {
  local tls=""
  if [ "${1:-}" = "--tls" ]; then
    tls=$2
  fi
  local bin
  bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "PostgreSQL server binaries not found: store tests run on SQLite only." >&2
    return 0
  fi
  PG_THROWAWAY_DIR=$(mktemp -d /tmp/veltrane-pg.XXXXXX)
  chmod 755 "$PG_THROWAWAY_DIR"
  local run=()
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$PG_THROWAWAY_DIR"
    run=(runuser -u postgres --)
  fi
  "${run[@]}" "$bin/initdb" -D "$PG_THROWAWAY_DIR/data" -U veltrane --auth=trust -E UTF8 --no-locale >"$PG_THROWAWAY_DIR/initdb.log" 2>&1 || {
    cat "$PG_THROWAWAY_DIR/initdb.log" >&2; return 1; }
  local options="-c listen_addresses=127.0.0.1 -c fsync=off"
  if [ -n "$tls" ]; then
    cp "$tls/server.crt" "$tls/server.key" "$PG_THROWAWAY_DIR/data/"
    chmod 600 "$PG_THROWAWAY_DIR/data/server.key"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$PG_THROWAWAY_DIR/data/server.crt" "$PG_THROWAWAY_DIR/data/server.key"
    options="$options -c ssl=on"
  fi
  local port
  for port in $(seq 55432 55499); do
    if "${run[@]}" "$bin/pg_ctl" -D "$PG_THROWAWAY_DIR/data" -l "$PG_THROWAWAY_DIR/server.log" -w -t 30 \
        -o "-p $port -k $PG_THROWAWAY_DIR $options" start >/dev/null 2>&1; then
      PG_THROWAWAY_PORT=$port
      break
    fi
  done
  if [ -z "${PG_THROWAWAY_PORT:-}" ]; then
    echo "Could not start the throwaway PostgreSQL server:" >&2
    cat "$PG_THROWAWAY_DIR/server.log" >&2
    return 1
  fi
  PG_THROWAWAY_BIN=$bin
  PG_THROWAWAY_RUN=("${run[@]}")
  "$bin/createdb" -h 127.0.0.1 -p "$PG_THROWAWAY_PORT" -U veltrane veltrane_test
  export VELTRANE_TEST_PG_URL="postgresql://veltrane@127.0.0.1:$PG_THROWAWAY_PORT/veltrane_test"
  echo "Throwaway PostgreSQL on 127.0.0.1:$PG_THROWAWAY_PORT"
  trap pg_throwaway_stop EXIT
}

pg_throwaway_stop() {
  if [ -n "${PG_THROWAWAY_PORT:-}" ]; then
    "${PG_THROWAWAY_RUN[@]}" "$PG_THROWAWAY_BIN/pg_ctl" -D "$PG_THROWAWAY_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
    PG_THROWAWAY_PORT=""
  fi
  [ -n "${PG_THROWAWAY_DIR:-}" ] && rm -rf "$PG_THROWAWAY_DIR"
  PG_THROWAWAY_DIR=""
}
