#!/usr/bin/env bash
# Loads the SQLite library database (schema and demo data) with the sqlite3 shell, checks that
# it loads twice over, that its keys hold, that the statements the program runs find the
# tables through an attachment named nsu, and that it holds exactly the rows of the PostgreSQL
# demo database (times compared as whole days from today and whether they fall at midnight).
# Exits non-zero when anything differs.
#
# The PostgreSQL side uses the cluster named by VX_TEST_PG_SOCKET_DIR / VX_TEST_PG_PORT /
# VX_TEST_PG_USER when set; otherwise a throwaway one from scripts/pg-test-cluster.sh.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"

command -v sqlite3 >/dev/null || { echo "check-sqlite: the sqlite3 shell is missing" >&2; exit 1; }

work="$(mktemp -d /tmp/vxsqlite-check.XXXXXX)" || exit 1
own_cluster=""
cleanup() {
  if [ -n "${db:-}" ] && [ -n "${VX_TEST_PG_SOCKET_DIR:-}" ]; then
    psql -X -q -h "$VX_TEST_PG_SOCKET_DIR" -p "$VX_TEST_PG_PORT" -U "$VX_TEST_PG_USER" \
         -d postgres -c "DROP DATABASE IF EXISTS $db" >/dev/null 2>&1 || true
  fi
  [ -n "$own_cluster" ] && "$repo/scripts/pg-test-cluster.sh" stop "$own_cluster" >/dev/null 2>&1
  rm -rf -- "$work"
}
trap cleanup EXIT

failures=0
checks=0
expect() {
  local what="$1" want="$2" got="$3"
  checks=$((checks + 1))
  if [ "$got" != "$want" ]; then
    failures=$((failures + 1))
    printf 'FAIL %s\n  expected: %s\n  got:      %s\n' "$what" "$want" "$got"
  fi
}

lib="$work/library.db"
for pass in 1 2; do
  sqlite3 -bail "$lib" < "$here/sqlite/schema.sql" || exit 1
  sqlite3 -bail "$lib" < "$here/sqlite/demo.sql" || exit 1
done

expect "integrity" "ok" "$(sqlite3 "$lib" 'PRAGMA integrity_check')"
expect "foreign keys" "" "$(sqlite3 "$lib" 'PRAGMA foreign_key_check')"
expect "next loan id" "100" "$(sqlite3 "$lib" "SELECT seq FROM sqlite_sequence WHERE name = 'Loan'")"

# The program opens its own database and attaches the library file as nsu.
prog() { sqlite3 -bail -batch ":memory:" "ATTACH DATABASE '$lib' AS nsu" "$1" 2>&1; }
expect "upgrade state" "0" "$(prog 'SELECT Upgrading from NSU.Db_Info')"
expect "versions by bare name" "2.5003|" "$(prog 'SELECT Version, Beta_Version FROM db_info')"
expect "unit name by bare table name" "Children's Section" "$(prog 'select name from unit where Unit_Id = 4')"
expect "slack time" "120" "$(prog 'SELECT Slack_Time from NSU.Global_Options')"
expect "module by owner prefix" "1" "$(prog "SELECT Module_Id FROM NSU.Module
 WHERE Description = 'System Down Import'")"
expect "this library's units" \
  "1|0|Vellumdex City Library||0 9|0|Interlibrary Loans|1|1 5|0|Northside Branch|1|0 2|1|Lending Department|1|0 3|1|Reference Department|1|0 4|1|Children's Section|2|0" \
  "$(prog 'SELECT Unit_Id, Dept, Name, Parent_Unit_Id
,IsILL
 FROM NSU.Unit
WHERE This_Library = 1
ORDER BY Parent_Unit_Id, Dept, Name' | paste -sd' ' -)"

# --- Same rows as the PostgreSQL demo --------------------------------------------------------
if [ -z "${VX_TEST_PG_SOCKET_DIR:-}" ]; then
  # A folder of its own: the server user must be able to enter it, and $work is private.
  own_cluster="$(mktemp -d /tmp/vxpg-check.XXXXXX)" || exit 1
  rmdir "$own_cluster"
  env_lines="$("$repo/scripts/pg-test-cluster.sh" start "$own_cluster")" || {
    echo "check-sqlite: could not start a test cluster" >&2; exit 1; }
  while IFS='=' read -r k v; do
    case "$k" in VX_TEST_PG_*) export "$k=$v" ;; esac
  done <<< "$env_lines"
fi
: "${VX_TEST_PG_PORT:=5432}" "${VX_TEST_PG_USER:=vxpg}"
export PGHOST="$VX_TEST_PG_SOCKET_DIR" PGPORT="$VX_TEST_PG_PORT"
db="vxsqlitecmp_$$"
pg() { psql -X -q -At -v ON_ERROR_STOP=1 -U "$VX_TEST_PG_USER" "$@"; }
pg -d postgres -c "CREATE DATABASE $db" || exit 1
pg -d "$db" -f "$here/postgres/schema.sql" -f "$here/postgres/procedures.sql" \
   -f "$here/postgres/demo.sql" >/dev/null 2>&1 || { echo "check-sqlite: PostgreSQL load failed" >&2; exit 1; }

pg_tables="$(pg -d "$db" -c "SELECT table_name FROM information_schema.tables
  WHERE table_schema = 'nsu' ORDER BY table_name")"
# Db_User holds the embedded database's users; the server has roles instead.
sqlite_tables="$(sqlite3 "$lib" "SELECT lower(name) FROM sqlite_master
  WHERE type = 'table' AND name NOT IN ('sqlite_sequence', 'Db_User') ORDER BY lower(name)")"
expect "same tables" "$pg_tables" "$sqlite_tables"

for t in $pg_tables; do
  pg_cols="$(pg -d "$db" -c "SELECT column_name || ':' || data_type FROM information_schema.columns
    WHERE table_schema = 'nsu' AND table_name = '$t' ORDER BY ordinal_position")"
  sqlite_cols="$(sqlite3 "$lib" "SELECT lower(name) FROM pragma_table_info('$t') ORDER BY cid")"
  expect "same columns of $t" "$(sed 's/:.*//' <<< "$pg_cols")" "$sqlite_cols"

  pg_sel=() sqlite_sel=()
  while IFS=: read -r col type; do
    case "$type" in
      timestamp*)
        pg_sel+=("($col::date - current_date) || '/' || ($col::time = '00:00')::int")
        sqlite_sel+=("CAST(julianday(date($col)) - julianday(date('now', 'localtime')) AS INTEGER) || '/' || (time($col) = '00:00:00')")
        ;;
      *) pg_sel+=("$col") sqlite_sel+=("$col") ;;
    esac
  done <<< "$pg_cols"
  join() { local IFS=','; echo "$*"; }
  pg_rows="$(pg -d "$db" -c "SELECT $(join "${pg_sel[@]}") FROM nsu.$t ORDER BY 1, 2")"
  sqlite_rows="$(sqlite3 "$lib" "SELECT $(join "${sqlite_sel[@]}") FROM $t ORDER BY 1, 2")"
  expect "same rows in $t" "$pg_rows" "$sqlite_rows"
done

echo "check-sqlite: $checks checks, $failures failed"
[ "$failures" -eq 0 ]
