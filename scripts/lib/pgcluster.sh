# Starts and stops a throw-away PostgreSQL cluster on loopback for the tests.
# PostgreSQL refuses to run as root, so the cluster runs as an unprivileged system user
# in a temporary folder that user owns. Exports VND_TEST_PG_URL when the cluster is up.

pg_bin_dir() {
  local d
  for d in /usr/lib/postgresql/*/bin; do
    [ -x "$d/initdb" ] && { echo "$d"; return 0; }
  done
  return 1
}

pg_cluster_start() {
  local bin user port
  bin=$(pg_bin_dir) || return 1
  user=$(id -un)
  PG_RUN_AS=()
  if [ "$(id -u)" -eq 0 ]; then
    id postgres >/dev/null 2>&1 || return 1
    user=postgres
    PG_RUN_AS=(runuser -u postgres --)
  fi
  PG_DIR=$(mktemp -d /tmp/vnd-pg.XXXXXX)
  chown "$user" "$PG_DIR"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null || echo 55432)
  "${PG_RUN_AS[@]}" "$bin/initdb" -D "$PG_DIR/data" -U vnd --auth=trust -E UTF8 >"$PG_DIR/initdb.log" 2>&1 || return 1
  "${PG_RUN_AS[@]}" "$bin/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w \
    -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$PG_DIR -c fsync=off" start >/dev/null || return 1
  PG_CLUSTER_BIN=$bin
  export VND_TEST_PG_URL="postgresql://vnd@127.0.0.1:$port/postgres"
  # The outage trials stop, wake and restart the cluster itself.
  export VND_TEST_PG_DATA="$PG_DIR/data" VND_TEST_PG_BIN="$bin" VND_TEST_PG_USER="$user"
  echo "test: PostgreSQL cluster on 127.0.0.1:$port"
}

pg_cluster_stop() {
  [ -n "${PG_DIR:-}" ] || return 0
  "${PG_RUN_AS[@]}" "$PG_CLUSTER_BIN/pg_ctl" -D "$PG_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
  rm -rf "$PG_DIR"
  PG_DIR=""
}
