#!/usr/bin/env bash
# Loads the PostgreSQL library database (schema, procedures, demo data) into a fresh database
# and checks that the procedures give the codes documented at the top of postgres/demo.sql,
# that the demo users' rights and passwords work, and that the statements the program runs
# give the expected rows. Exits non-zero when anything differs.
#
# Uses the cluster named by VX_TEST_PG_SOCKET_DIR / VX_TEST_PG_PORT / VX_TEST_PG_USER when set;
# otherwise starts a throwaway one with scripts/pg-test-cluster.sh and removes it afterwards.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
sql="$here/postgres"

own_cluster=""
cleanup() {
  if [ -n "${db:-}" ] && [ -n "${VX_TEST_PG_SOCKET_DIR:-}" ]; then
    psql -X -q -h "$VX_TEST_PG_SOCKET_DIR" -p "$VX_TEST_PG_PORT" -U "$VX_TEST_PG_USER" \
         -d postgres -c "DROP DATABASE IF EXISTS $db" >/dev/null 2>&1 || true
  fi
  if [ -n "$own_cluster" ]; then
    "$repo/scripts/pg-test-cluster.sh" stop "$own_cluster" >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT

if [ -z "${VX_TEST_PG_SOCKET_DIR:-}" ]; then
  own_cluster="$(mktemp -d /tmp/vxpg-check.XXXXXX)" || exit 1
  rmdir "$own_cluster"
  env_lines="$("$repo/scripts/pg-test-cluster.sh" start "$own_cluster")" || {
    echo "check-postgres: could not start a test cluster" >&2; exit 1; }
  while IFS='=' read -r k v; do
    case "$k" in VX_TEST_PG_*) export "$k=$v" ;; esac
  done <<< "$env_lines"
fi
: "${VX_TEST_PG_PORT:=5432}" "${VX_TEST_PG_USER:=vxpg}"

db="vxcheck_$$"
export PGHOST="$VX_TEST_PG_SOCKET_DIR" PGPORT="$VX_TEST_PG_PORT"

su_psql() { psql -X -q -v ON_ERROR_STOP=1 -U "$VX_TEST_PG_USER" "$@"; }
# Runs SQL from stdin as a demo user, printing unaligned rows, fields separated by "|".
as_user() {
  local user="$1" password="$2"
  # Warnings of the procedures (the cause behind a 666) go to the server log only.
  PGPASSWORD="$password" PGOPTIONS='-c client_min_messages=error' psql -X -q -At -v ON_ERROR_STOP=1 -U "$user" -d "$db" -f - 2>&1
}
desk() { as_user vxdesk vxdesk-demo; }
guest() { as_user vxguest vxguest-demo; }

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

su_psql -d postgres -c "CREATE DATABASE $db" || exit 1
# Loaded twice: the files must be reloadable over an earlier load (roles already exist).
for pass in 1 2; do
  su_psql -d "$db" -f "$sql/schema.sql" -f "$sql/procedures.sql" -f "$sql/demo.sql" \
      >/dev/null 2>"/tmp/check-postgres.$$.err" \
    || { cat "/tmp/check-postgres.$$.err" >&2; rm -f "/tmp/check-postgres.$$.err"; exit 1; }
done
rm -f "/tmp/check-postgres.$$.err"

# --- Loans: one call on fresh data each ------------------------------------------------------
# Prints "code|days": the code, and for a loan made the whole days from the service date to the
# due date.
loan() {
  local unit="$1" borrower="$2" item="$3"
  desk <<EOF
BEGIN;
CALL IssueLoanAllBarcodes($unit, '$borrower', '$item', NULL, NULL, NULL, NULL, NULL, 0);
ROLLBACK;
EOF
}
# The CALL prints its row as "due|service|loan id|group|ex|code"; reduce it to "code|days".
loan_code() {
  local out
  out="$(loan "$@")"
  awk -F'|' 'NF == 6 {
      days = "";
      if ($1 != "") {
        split(substr($1, 1, 10), d, "-"); split(substr($2, 1, 10), s, "-");
        days = (mktime(d[1] " " d[2] " " d[3] " 12 00 00") - mktime(s[1] " " s[2] " " s[3] " 12 00 00")) / 86400;
        days = sprintf("%d", days + (days < 0 ? -0.5 : 0.5));
      }
      print $6 "|" days; next }
    { print "unexpected: " $0 }' <<< "$out"
}

while read -r unit borrower item want; do
  [ -z "$unit" ] && continue
  [ "$borrower" = "-" ] && borrower=""
  [ "$item" = "-" ] && item=""
  expect "loan unit=$unit borrower='$borrower' item='$item'" "$want" "$(loan_code "$unit" "$borrower" "$item")"
done <<'EOF'
1   1001 2001 0|28
4   1001 2001 0|14
5   1001 2001 0|28
21  1001 2001 0|21
30  1001 2001 7|
999 1001 2001 7|
1   1001 2999 1|
1   1001 -    1|
1   1999 2001 12|
1   1004 2001 12|
1   -    2001 12|
1   1999 2999 1|
1   1999 2002 12|
1   1001 2002 2|
1   1001 2003 3|
1   1001 2004 4|
1   1002 2004 10|
1   1001 2005 5|
1   1005 2005 0|28
1   1001 2006 6|
1   1001 2007 8|
1   1001 2008 5|
1   1003 2008 17|28
1   1003 2001 17|28
1   1001 2009 14|3
1   1003 2009 1417|3
1   1005 2009 17|28
1   1001 2010 7|
1   1001 2011 4|
1   1002 2012 9|
1   1001 2012 0|7
1   1001 2013 11|
1   1001 2014 13|
1   1005 2014 17|28
1   1001 2015 180|28
1   1001 2016 18|5
1   1001 2017 4|
1   1001 2018 5|
1   1001 2019 666|
1   1001 2020 4|
EOF

# --- Returns: one call on fresh data each ----------------------------------------------------
ret() {
  desk <<EOF
BEGIN;
call ReturnLoanBasic ($1, '$2' );
ROLLBACK;
EOF
}
while read -r unit item want; do
  [ -z "$unit" ] && continue
  expect "return unit=$unit item=$item" "$want" "$(ret "$unit" "$item")"
done <<'EOF'
1  2004 0
1  2011 0
1  2001 3
1  2999 1
1  2002 2
1  2013 4
1  2017 7
1  2020 666
4  2020 666
30 2004 7
EOF

# --- Sequences within one transaction: what a loan or return leaves behind -------------------
codes() { desk | awk -F'|' '{ print $NF }' | paste -sd' ' -; }

expect "import flow 1001,2004: loan, return, loan" "4 0 0" "$(codes <<'EOF'
BEGIN;
CALL IssueLoanAllBarcodes(1, '1001', '2004');
call ReturnLoanBasic (1, '2004' );
CALL IssueLoanAllBarcodes(1, '1001', '2004');
ROLLBACK;
EOF
)"

expect "import flow 1002,2004: already on loan, return, loan" "10 0 0" "$(codes <<'EOF'
BEGIN;
CALL IssueLoanAllBarcodes(1, '1002', '2004');
call ReturnLoanBasic (1, '2004' );
CALL IssueLoanAllBarcodes(1, '1002', '2004');
ROLLBACK;
EOF
)"

expect "a lent copy is on loan to the next borrower, and to the same one" "0 4 10" "$(codes <<'EOF'
BEGIN;
CALL IssueLoanAllBarcodes(1, '1001', '2001');
CALL IssueLoanAllBarcodes(1, '1002', '2001');
CALL IssueLoanAllBarcodes(1, '1001', '2001');
ROLLBACK;
EOF
)"

expect "loan limit counts the loans made: return film, lend one, then the other" "0 0 9" "$(codes <<'EOF'
BEGIN;
call ReturnLoanBasic (1, '2011' );
CALL IssueLoanAllBarcodes(1, '1001', '2012');
CALL IssueLoanAllBarcodes(1, '1001', '2011');
ROLLBACK;
EOF
)"

expect "a returned copy is not on loan any more" "0 3" "$(codes <<'EOF'
BEGIN;
call ReturnLoanBasic (1, '2004' );
call ReturnLoanBasic (1, '2004' );
ROLLBACK;
EOF
)"

expect "collecting both set-aside copies: the second has no other waiting" "17 0" "$(codes <<'EOF'
BEGIN;
CALL IssueLoanAllBarcodes(1, '1003', '2008');
CALL IssueLoanAllBarcodes(1, '1003', '2018');
ROLLBACK;
EOF
)"

expect "loan row, reservation and out parameters after a loan" \
  "new|5|1|0|F|1|28" "$(desk <<'EOF'
BEGIN;
DO $$
DECLARE due timestamp; st timestamp; sid int; grp int; ex int; code int := 0;
BEGIN
  CALL IssueLoanAllBarcodes(1, '1005', '2005', due, st, sid, grp, ex, code);
  CREATE TEMP TABLE out ON COMMIT DROP AS
    SELECT sid, ex, grp, code, due, st;
END $$;
SELECT CASE WHEN o.sid > 100 THEN 'new' ELSE o.sid::text END || '|' || o.ex || '|' || o.grp || '|' || o.code || '|'
       || (SELECT status FROM nsu.reservation WHERE reservation_id = 1) || '|'
       || (SELECT count(*) FROM nsu.loan l WHERE l.loan_id = o.sid AND l.copy_id = 5
             AND l.borrower_id = 5 AND l.due_time = o.due AND l.loan_time = o.st
             AND l.service_unit_id = 1) || '|'
       || (o.due::date - o.st::date)
  FROM out o;
ROLLBACK;
EOF
)"

expect "a return moves the loan to the history" "0 0|1" "$(desk <<'EOF' | paste -sd' ' -
BEGIN;
CALL ReturnLoanBasic(4, '2004');
SELECT (SELECT count(*) FROM nsu.loan WHERE copy_id = 4) || '|'
    || (SELECT count(*) FROM nsu.loan_history WHERE loan_id = 2 AND borrower_id = 2
          AND return_unit_id = 4 AND return_time IS NOT NULL);
ROLLBACK;
EOF
)"

expect "a refused loan changes nothing" "666 13 4-4-0" "$(codes <<'EOF'
BEGIN;
CALL IssueLoanAllBarcodes(1, '1001', '2019');
CALL IssueLoanAllBarcodes(1, '1001', '2014');
SELECT (SELECT count(*) FROM nsu.loan) || '-' || (SELECT count(*) FROM nsu.loan WHERE borrower_id = 2)
    || '-' || (SELECT count(*) FROM nsu.loan WHERE borrower_id = 1);
ROLLBACK;
EOF
)"

# --- Users and rights ------------------------------------------------------------------------
access_stmt="SELECT VXAccess(Description) FROM NSU.Module
 WHERE Description = 'System Down Import'"
expect "VXAccess for vxdesk" "1" "$(desk <<< "$access_stmt")"
expect "VXAccess for vxguest" "0" "$(guest <<< "$access_stmt")"
expect "VXAccess of an unlisted module gives no row" "" "$(desk <<< "SELECT VXAccess(Description) FROM NSU.Module
 WHERE Description = 'No Such Module'")"
expect "vxguest's own module level" "2" "$(guest <<< "SELECT VXAccess('Cataloguing')")"

wrong="$(PGPASSWORD=not-the-password psql -X -At -U vxdesk -d "$db" -c 'SELECT 1' 2>&1)"
rc=$?
expect "wrong password is refused" "refused" \
  "$( [ $rc -ne 0 ] && grep -q 'password authentication failed' <<< "$wrong" && echo refused || echo "rc=$rc: $wrong")"
nopw="$(PGPASSWORD= psql -X -w -At -U vxguest -d "$db" -c 'SELECT 1' 2>&1)"
rc=$?
expect "no password is refused" "refused" "$( [ $rc -ne 0 ] && echo refused || echo "rc=$rc: $nopw")"

expect "desk users cannot change loans directly" "denied" \
  "$(out="$(guest <<< 'DELETE FROM nsu.loan')"; grep -q 'permission denied' <<< "$out" && echo denied || echo "$out")"

# --- The statements the program runs ---------------------------------------------------------
expect "upgrade state" "0" "$(guest <<< 'SELECT Upgrading from NSU.Db_Info')"
expect "version" "2.5003" "$(guest <<< 'SELECT Version FROM NSU.Db_Info')"
expect "versions by bare name" "2.5003|" "$(guest <<< 'SELECT Version, Beta_Version FROM db_info')"
expect "engine settings" "LANGDRIVER|SYDC850 SQLPASSTHRU MODE|SHARED AUTOCOMMIT SQLQRYMODE|SERVER" \
  "$(guest <<< 'SELECT Param, Value FROM NSU.BDE_Config ORDER BY Param' | paste -sd' ' -)"
expect "unit name by bare table name" "Children's Section" "$(guest <<< 'select name from unit where Unit_Id = 4')"
expect "unknown unit" "" "$(guest <<< 'select name from unit where Unit_Id = -1')"
expect "slack time" "120" "$(guest <<< 'SELECT Slack_Time from NSU.Global_Options')"
expect "server clock" "t" "$(guest <<< "SELECT abs(extract(epoch FROM getdate() - localtimestamp)) < 5")"
expect "about box language" "English|MARC 21" \
  "$(guest <<< 'SELECT GetDbLanguage(), (Select Marc_Std from Global_Options) FROM NSU.Db_Info')"
expect "this library's units" \
  "1|0|Vellumdex City Library||0 9|0|Interlibrary Loans|1|1 5|0|Northside Branch|1|0 2|1|Lending Department|1|0 3|1|Reference Department|1|0 4|1|Children's Section|2|0" \
  "$(guest <<'EOF' | paste -sd' ' -
SELECT Unit_Id, Dept, Name, Parent_Unit_Id
,IsILL
 FROM NSU.Unit
WHERE This_Library = 1
ORDER BY Parent_Unit_Id NULLS FIRST, Dept, Name
EOF
)"
expect "other libraries' units" "20|0|Eastbridge University Library||0 30|0|Westford Public Library||0 21|1|Eastbridge Medical Library|20|0" \
  "$(guest <<'EOF' | paste -sd' ' -
SELECT Unit_Id, Dept, Name, Parent_Unit_Id
,IsILL
 FROM NSU.Unit
WHERE This_Library = 0
ORDER BY Parent_Unit_Id NULLS FIRST, Dept, Name
EOF
)"
expect "exception log takes a row with the connected user" "vxguest|Boom|2.5.0.3|2.5003" "$(guest <<'EOF'
INSERT INTO NSU.Exception_Log
 (Exception_Time, Application, User_name, Exception_Msg, ExeVersion, DBVersion)
 VALUES (CURRENT_TIMESTAMP, '/opt/vxdown', User, 'Boom', '2.5.0.3', '2.5003');
SELECT User_name || '|' || Exception_Msg || '|' || ExeVersion || '|' || DBVersion FROM NSU.Exception_Log;
EOF
)"

echo "check-postgres: $checks checks, $failures failed"
[ "$failures" -eq 0 ]
