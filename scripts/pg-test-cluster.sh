#!/usr/bin/env bash
# Throwaway PostgreSQL 15 cluster for the tests.
#
#   pg-test-cluster.sh start DIR   create (first time) and start a cluster in DIR, then print
#                                  VX_TEST_PG_SOCKET_DIR=..., VX_TEST_PG_PORT=..., VX_TEST_PG_USER=...
#   pg-test-cluster.sh env DIR     print those lines for a cluster that is running in DIR
#   pg-test-cluster.sh stop DIR    stop the cluster and remove DIR
#
# The server listens only on a unix socket in DIR (no TCP), so clusters of parallel test runs
# never collide and the port merely names the socket file (VX_TEST_PG_PORT picks another one).
# The superuser "vxpg" logs in over the socket without a password; every other role must give
# its password (scram-sha-256), which is what the demo users of the library database test.
#
# PostgreSQL refuses to run as root. Run as root (CI), the server runs as the system user vxpg,
# created when missing; run as an ordinary user, it runs as that user, and sudo is used only to
# install the postgresql package when initdb is missing.
#
# Everything the script prints besides the variable lines goes to stderr, so that
#   eval "export $(scripts/pg-test-cluster.sh start /tmp/vxpg-run | tr '\n' ' ')"
# works. Running start twice on the same DIR, or stop on a DIR that is gone, is harmless.
set -euo pipefail

PG_BIN=/usr/lib/postgresql/15/bin
SUPERUSER=vxpg
SERVICE_USER=vxpg
PORT="${VX_TEST_PG_PORT:-5432}"
MARKER=.vx-pg-test-cluster

die() { echo "pg-test-cluster: $*" >&2; exit 1; }
say() { echo "pg-test-cluster: $*" >&2; }

usage() {
  echo "usage: $0 start|stop|env DIR" >&2
  exit 2
}

is_root() { [ "$(id -u)" -eq 0 ]; }

# Runs a command as the user the server runs as.
as_server() {
  if is_root; then
    runuser -u "$SERVICE_USER" -- "$@"
  else
    "$@"
  fi
}

ensure_packages() {
  [ -x "$PG_BIN/initdb" ] && return 0
  say "installing PostgreSQL 15 (initdb not found in $PG_BIN)"
  local sudo_cmd=()
  is_root || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q >&2
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends postgresql >&2
  [ -x "$PG_BIN/initdb" ] || die "postgresql was installed but $PG_BIN/initdb is still missing"
}

ensure_service_user() {
  is_root || return 0
  id -u "$SERVICE_USER" >/dev/null 2>&1 && return 0
  say "creating system user $SERVICE_USER"
  useradd --system --user-group --no-create-home --home-dir /nonexistent \
          --shell /usr/sbin/nologin "$SERVICE_USER"
}

# The directory as an absolute path. Only plain path characters are accepted: the path goes into
# postgresql.conf and into the printed variable lines, and their readers should not need quoting.
resolve_dir() {
  local raw="$1"
  [ -n "$raw" ] || usage
  local abs
  abs="$(realpath -m -- "$raw")"
  [[ "$abs" =~ ^/[A-Za-z0-9._/+-]+$ ]] || die "DIR must be made of letters, digits and ._/+- only: $abs"
  [ "$abs" != "/" ] || die "refusing to use / as cluster directory"
  # The socket file DIR/.s.PGSQL.PORT must fit in a unix socket address (107 bytes).
  local sock="$abs/.s.PGSQL.$PORT"
  [ "${#sock}" -le 107 ] || die "DIR is too long for a unix socket path (${#sock} > 107 bytes): $abs"
  printf '%s\n' "$abs"
}

print_env() {
  local dir="$1"
  printf 'VX_TEST_PG_SOCKET_DIR=%s\n' "$dir"
  printf 'VX_TEST_PG_PORT=%s\n' "$PORT"
  printf 'VX_TEST_PG_USER=%s\n' "$SUPERUSER"
}

is_running() {
  local dir="$1"
  [ -f "$dir/data/PG_VERSION" ] || return 1
  as_server "$PG_BIN/pg_ctl" -D "$dir/data" status >/dev/null 2>&1
}

# The port a running cluster in DIR was started with (it may differ from $PORT of this call).
running_port() {
  local dir="$1"
  # Line 4 of postmaster.pid is the port.
  sed -n 4p "$dir/data/postmaster.pid" 2>/dev/null
}

init_cluster() {
  local dir="$1"
  rm -rf -- "$dir/data"
  as_server "$PG_BIN/initdb" --pgdata="$dir/data" --username="$SUPERUSER" \
      --encoding=UTF8 --locale=C --auth-local=trust --auth-host=reject --no-sync >&2
  # The superuser is trusted on the socket (the directory is 0700, so only the owner and root
  # reach it); everybody else logs in with a password.
  as_server tee "$dir/data/pg_hba.conf" >/dev/null <<EOF
# TYPE  DATABASE  USER          METHOD
local   all       $SUPERUSER    trust
local   all       all           scram-sha-256
EOF
  as_server tee -a "$dir/data/postgresql.conf" >/dev/null <<EOF

# Throwaway test cluster
listen_addresses = ''
unix_socket_directories = '$dir'
unix_socket_permissions = 0700
password_encryption = 'scram-sha-256'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 50
EOF
}

cmd_start() {
  local dir
  dir="$(resolve_dir "$1")"
  ensure_packages
  ensure_service_user

  if [ -e "$dir" ] && [ ! -d "$dir" ]; then
    die "$dir exists and is not a directory"
  fi
  if [ -d "$dir" ] && [ ! -e "$dir/$MARKER" ] && [ -n "$(ls -A -- "$dir")" ]; then
    die "$dir is not empty and was not made by this script; refusing to use it"
  fi

  if is_running "$dir"; then
    PORT="$(running_port "$dir")"
    print_env "$dir"
    return 0
  fi

  mkdir -p -- "$dir"
  touch -- "$dir/$MARKER"
  if is_root; then
    chown "$SERVICE_USER:$SERVICE_USER" -- "$dir" "$dir/$MARKER"
    # The server user must be able to reach DIR through its parents.
    runuser -u "$SERVICE_USER" -- test -x "$dir" \
      || die "user $SERVICE_USER cannot reach $dir: a parent directory is not searchable by others"
  fi
  chmod 0700 -- "$dir"

  # Run the server programs from inside DIR: they complain when the current directory is one
  # they may not enter (root's working directory, for the vxpg user).
  cd -- "$dir"
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    init_cluster "$dir"
  fi
  as_server "$PG_BIN/pg_ctl" -D "$dir/data" -l "$dir/postgres.log" -w -t 60 \
      -o "-p $PORT" start >&2 \
    || { tail -n 30 "$dir/postgres.log" >&2 2>/dev/null || true; die "the server did not start"; }
  print_env "$dir"
}

cmd_env() {
  local dir
  dir="$(resolve_dir "$1")"
  is_running "$dir" || die "no cluster is running in $dir"
  PORT="$(running_port "$dir")"
  print_env "$dir"
}

cmd_stop() {
  local dir
  dir="$(resolve_dir "$1")"
  [ -e "$dir" ] || return 0
  [ -e "$dir/$MARKER" ] || die "$dir was not made by this script; refusing to remove it"
  if [ -x "$PG_BIN/pg_ctl" ] && [ -f "$dir/data/postmaster.pid" ]; then
    (cd -- "$dir" && as_server "$PG_BIN/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >&2) || true
  fi
  rm -rf -- "$dir"
}

[ $# -eq 2 ] || usage
case "$1" in
  start) cmd_start "$2" ;;
  env) cmd_env "$2" ;;
  stop) cmd_stop "$2" ;;
  *) usage ;;
esac
