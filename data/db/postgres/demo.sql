-- Library database for development and demonstration: demo data and demo users
-- (PostgreSQL 15). Load after schema.sql and procedures.sql, as a superuser or a role that may
-- create roles. data/db/sqlite/demo.sql holds the same rows; keep the two identical.
--
-- Demo users (cluster-wide roles, created when missing, password reset on every load):
--   vxdesk    may run the module "System Down Import" (VXAccess gives 1)
--   vxguest   may not (VXAccess gives 0); may use "Circulation"
-- Their passwords are published (README.md), so this script never belongs on a production
-- server: the roles belong to the whole cluster and outlive the database it is loaded into.
-- `vxdb create` loads it on a server only when asked with --demo. The script is sent to the
-- server as it is, comments included, so it names the passwords only as verifiers (below).
--
-- Times are relative to the moment of loading: bookings, due times and the ILL due times below
-- are set so many days from "now".
--
-- What the procedures answer on the freshly loaded data, served at unit 1 (Vellumdex City
-- Library) unless another unit is named. Each line stands alone: a loan changes the data, so
-- the codes hold for one call on fresh data (data/db/check-postgres.sh runs each in a
-- transaction that it rolls back).
--
-- IssueLoanAllBarcodes(unit, borrower, item) -> ErrorCode
--   1001 2001    0     book on the shelf; due in 28 days
--   1001 2001    0     at unit 4 (Children's Section, own terms): due in 14 days
--   1001 2001    0     at unit 5 (Northside Branch, no own terms, uses unit 1's): 28 days
--   1001 2001    0     at unit 21 (Eastbridge Medical Library, uses unit 20's): 21 days
--   1001 2001    7     at unit 30 (Westford Public Library: no terms anywhere above it)
--   1001 2001    7     at unit 999 (no such unit)
--   1001 2999    1     unknown item barcode
--   1001 ''      1     empty item barcode
--   1999 2001   12     unknown borrower barcode
--   1004 2001   12     withdrawn card (Card_State 'W')
--   ''   2001   12     empty borrower barcode
--   1999 2999    1     both unknown: the item is looked at first
--   1999 2002   12     unknown borrower and scrapped copy: the borrower comes second, before
--                      the copy's state
--   1001 2002    2     copy scrapped
--   1001 2003    3     copy not for loan (Permit_Loan 0)
--   1001 2004    4     on loan to 1002
--   1002 2004   10     already on loan to this borrower
--   1001 2005    5     set aside for 1005 (reservation available)
--   1005 2005    0     collected by 1005, whose reservation becomes fulfilled
--   1001 2006    6     the copy's record is scrapped
--   1001 2007    8     reference work: the terms forbid loan
--   1001 2008    5     set aside for 1003 (1001's own waiting reservation of that title does
--                      not count)
--   1003 2008   17     collected by 1003, who has 2018 set aside too
--   1003 2001   17     1003 has 2008 and 2018 set aside
--   1001 2009   14     booked by 1005 from in 3 days: due when the booking starts
--   1003 2009 1417     booking cut and 1003 has copies set aside
--   1005 2009   17     1005's own booking does not cut the loan; 2005 is set aside for 1005
--   1001 2010    7     periodical: no loan terms for the group
--   1001 2011    4     film on loan to 1002
--   1002 2012    9     1002 has a film already; films are limited to 1 at a time
--   1001 2012    0     film, 7 days
--   1001 2013   11     copy recorded as lost
--   1001 2014   13     booked by 1005 now
--   1005 2014   17     1005's own booking; 2005 is set aside for 1005
--   1001 2015  180     ILL copy; the lending library wants it back in 60 days (after the
--                      28 days)
--   1001 2016   18     ILL copy due back in 5 days: the loan is cut to that
--   1001 2017    4     periodical on loan to 1002 (on loan is found before the terms)
--   1001 2018    5     set aside for 1003
--   1001 2019  666     equipment: its terms have no loan period (incomplete data)
--   1001 2020    4     equipment on loan to 1002
--
-- ReturnLoanBasic(unit, item) -> ErrorCode
--   2004    0     on loan to 1002; the loan moves to Loan_History
--   2011    0     film on loan to 1002
--   2001    3     not on loan
--   2999    1     unknown item barcode
--   2002    2     copy scrapped
--   2013    4     copy recorded as lost
--   2017    7     periodical on loan to 1002: no loan terms for the group
--   2020  666     equipment on loan to 1002: its terms have no loan period
--   2020  666     at unit 4 too (the terms come from unit 1)
--   2004    7     at unit 30 (Westford Public Library: no terms)
--
-- The import of a workfile line (loan, then return and loan again for 4 and 10):
--   1001,2004   4 -> return 0 -> 0       accepted, "Return loan OK"
--   1002,2004  10 -> return 0 -> 0       accepted
--   1001,2011   4 -> return 0 -> 0       accepted
--   1001,2017   4 -> return 7            rejected, "No applicable Loan terms were found"
--   1001,2020   4 -> return 666          rejected, "Unknown database error"

SET search_path = nsu, pg_catalog;

-- Demo users ---------------------------------------------------------------------------------

DO $$
BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'vxdesk') THEN
    CREATE ROLE vxdesk LOGIN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'vxguest') THEN
    CREATE ROLE vxguest LOGIN;
  END IF;
END
$$;
-- The passwords are given as SCRAM-SHA-256 verifiers, which the server stores as they are: the
-- clear passwords never reach the server, nor its statement log. Made once with Python
-- (hashlib and hmac; a new random salt each time, so a remade verifier differs but admits the
-- same password):
--   def verifier(password, salt, i=4096):
--       salted = hashlib.pbkdf2_hmac("sha256", password.encode(), salt, i)
--       key = lambda name: hmac.new(salted, name, "sha256").digest()
--       b64 = lambda b: base64.b64encode(b).decode()
--       return (f"SCRAM-SHA-256${i}:{b64(salt)}${b64(hashlib.sha256(key(b'Client Key')).digest())}"
--               f":{b64(key(b'Server Key'))}")
--   verifier(the demo password of README.md, os.urandom(16))
ALTER ROLE vxdesk LOGIN PASSWORD
  'SCRAM-SHA-256$4096:eOc2/d+xTJS2NnGF15S9WQ==$ePJsQJf+xvlHRuayrh06BRL2s9vhXmeAWYjcSAlm9QI=:5TuYIf29ItGr174+XIF8dXnyn31isY6KVD3Pg2Ggk0o=';
ALTER ROLE vxguest LOGIN PASSWORD
  'SCRAM-SHA-256$4096:6pyRaz95trvnzFxqs+lINQ==$YAJwfMH0HyzWs/uuragdB52NYGnDhbzOpkKRCp0hgOQ=:sg7nGKXg8DOpcEJ6bD7nc3JwRyJ/qTtp4rzW97wuihU=';
ALTER ROLE vxdesk SET search_path = nsu, public;
ALTER ROLE vxguest SET search_path = nsu, public;

GRANT USAGE ON SCHEMA nsu TO vxdesk, vxguest;
GRANT SELECT ON ALL TABLES IN SCHEMA nsu TO vxdesk, vxguest;
GRANT INSERT ON Exception_Log TO vxdesk, vxguest;
GRANT EXECUTE ON FUNCTION getdate(), GetDbLanguage(), VXAccess(text) TO vxdesk, vxguest;
GRANT EXECUTE ON PROCEDURE IssueLoanAllBarcodes(integer, text, text, timestamp, timestamp,
                                                integer, integer, integer, integer),
                           ReturnLoanBasic(integer, text, integer)
  TO vxdesk, vxguest;

-- Data ---------------------------------------------------------------------------------------

BEGIN;

INSERT INTO Db_Info (Version, Beta_Version, Upgrading) VALUES ('2.5003', '', 0);

INSERT INTO BDE_Config (Param, Value) VALUES
  ('LANGDRIVER', 'SYDC850'),
  ('SQLQRYMODE', 'SERVER'),
  ('SQLPASSTHRU MODE', 'SHARED AUTOCOMMIT');

INSERT INTO Global_Options (Slack_Time, Marc_Std, Db_Language) VALUES (120, 'MARC 21', 'English');

INSERT INTO Unit (Unit_Id, Name, Dept, Parent_Unit_Id, IsILL, This_Library) VALUES
  (1,  'Vellumdex City Library',         0, NULL, 0, 1),
  (2,  'Lending Department',             1, 1,    0, 1),
  (3,  'Reference Department',           1, 1,    0, 1),
  (4,  'Children''s Section',            1, 2,    0, 1),
  (5,  'Northside Branch',               0, 1,    0, 1),
  (9,  'Interlibrary Loans',             0, 1,    1, 1),
  (20, 'Eastbridge University Library',  0, NULL, 0, 0),
  (21, 'Eastbridge Medical Library',     1, 20,   0, 0),
  (30, 'Westford Public Library',        0, NULL, 0, 0);

INSERT INTO Module (Module_Id, Description) VALUES
  (1, 'System Down Import'),
  (2, 'Circulation'),
  (3, 'Cataloguing');

INSERT INTO Module_Access (User_Name, Module_Id, Access_Level) VALUES
  ('vxdesk',  1, 1),
  ('vxdesk',  2, 1),
  ('vxguest', 2, 1),
  ('vxguest', 3, 2);

INSERT INTO Document_Group (Document_Group_Id, Name) VALUES
  (1, 'Books'),
  (2, 'Films'),
  (3, 'Reference works'),
  (4, 'Periodicals'),
  (5, 'Equipment');

INSERT INTO Loan_Terms (Terms_Id, Unit_Id, Document_Group_Id, Loan_Days, Max_Loans, Forbid_Loan) VALUES
  (1, 1,  1, 28,   5,    0),
  (2, 1,  2, 7,    1,    0),
  (3, 1,  3, NULL, NULL, 1),
  (4, 4,  1, 14,   3,    0),
  (5, 1,  5, NULL, NULL, 0),
  (6, 20, 1, 21,   10,   0);

INSERT INTO Marc_Record (Record_Id, Title, Author, Scrapped) VALUES
  (1,  'The Northern Lights',            'Astrid Berg',       0),
  (2,  'A Field Guide to Mosses',        'Henrik Moe',        0),
  (3,  'Atlas of the Old Kingdoms',      'Unknown',           1),
  (4,  'Encyclopedia Vellumica, vol. 1', 'Various',           0),
  (5,  'Library Monthly',                'Vellumdex Press',   0),
  (6,  'Harbour Lights',                 'Sofie Lund',        0),
  (7,  'Silent Fjords',                  'Per Aas',           0),
  (8,  'The Copper Kettle',              'Ingrid Vik',        0),
  (9,  'Winter Gardens',                 'Lars Holt',         0),
  (10, 'Maps and Myths',                 'Kari Strand',       0),
  (11, 'Songs of the Coast',             'Ole Brekke',        0),
  (12, 'Medieval Trade Routes',          'Eva Sund',          0),
  (13, 'Glaciers of the North',          'Nils Eide',         0),
  (14, 'The Lighthouse Keeper',          'Mari Foss',         0),
  (15, 'Desk laptop',                    '',                  0);

INSERT INTO Copy (Copy_Id, Barcode, Record_Id, Document_Group_Id, Owner_Unit_Id, Scrapped, Permit_Loan, Lost, ILL_Due_Time) VALUES
  (1,  '2001', 1,  1, 1, 0, 1, 0, NULL),
  (2,  '2002', 2,  1, 1, 1, 1, 0, NULL),
  (3,  '2003', 2,  1, 3, 0, 0, 0, NULL),
  (4,  '2004', 1,  1, 1, 0, 1, 0, NULL),
  (5,  '2005', 7,  1, 1, 0, 1, 0, NULL),
  (6,  '2006', 3,  1, 1, 0, 1, 0, NULL),
  (7,  '2007', 4,  3, 3, 0, 1, 0, NULL),
  (8,  '2008', 8,  1, 1, 0, 1, 0, NULL),
  (9,  '2009', 9,  1, 1, 0, 1, 0, NULL),
  (10, '2010', 5,  4, 1, 0, 1, 0, NULL),
  (11, '2011', 6,  2, 1, 0, 1, 0, NULL),
  (12, '2012', 6,  2, 1, 0, 1, 0, NULL),
  (13, '2013', 10, 1, 1, 0, 1, 1, NULL),
  (14, '2014', 11, 1, 1, 0, 1, 0, NULL),
  (15, '2015', 12, 1, 9, 0, 1, 0, date_trunc('day', localtimestamp(0)) + interval '60 days'),
  (16, '2016', 13, 1, 9, 0, 1, 0, date_trunc('day', localtimestamp(0)) + interval '5 days'),
  (17, '2017', 5,  4, 1, 0, 1, 0, NULL),
  (18, '2018', 14, 1, 1, 0, 1, 0, NULL),
  (19, '2019', 15, 5, 1, 0, 1, 0, NULL),
  (20, '2020', 15, 5, 1, 0, 1, 0, NULL);

INSERT INTO Borrower (Borrower_Id, Barcode, Name, Card_State) VALUES
  (1, '1001', 'Ada Lindqvist', 'A'),
  (2, '1002', 'Bjørn Hansen',  'A'),
  (3, '1003', 'Cecilie Dahl',  'A'),
  (4, '1004', 'Dag Nilsen',    'W'),
  (5, '1005', 'Eva Holm',      'A');

-- Loan ids: the finished loan has 1, the current ones 2 to 5; new loans start at 101 on both
-- engines.
INSERT INTO Loan_History (Loan_Id, Copy_Id, Borrower_Id, Service_Unit_Id, Loan_Time, Due_Time, Return_Time, Return_Unit_Id) VALUES
  (1, 1, 1, 1, localtimestamp(0) - interval '60 days', localtimestamp(0) - interval '32 days',
               localtimestamp(0) - interval '35 days', 1);

INSERT INTO Loan (Loan_Id, Copy_Id, Borrower_Id, Service_Unit_Id, Loan_Time, Due_Time) VALUES
  (2, 4,  2, 1, localtimestamp(0) - interval '10 days', localtimestamp(0) + interval '18 days'),
  (3, 11, 2, 1, localtimestamp(0) - interval '3 days',  localtimestamp(0) + interval '4 days'),
  (4, 17, 2, 1, localtimestamp(0) - interval '40 days', localtimestamp(0) - interval '12 days'),
  (5, 20, 2, 1, localtimestamp(0) - interval '2 days',  localtimestamp(0) + interval '5 days');
ALTER TABLE Loan ALTER COLUMN Loan_Id RESTART WITH 101;

INSERT INTO Reservation (Reservation_Id, Borrower_Id, Record_Id, Copy_Id, Reserved_Time, Status) VALUES
  (1, 5, 7,  5,    localtimestamp(0) - interval '9 days', 'A'),
  (2, 3, 8,  8,    localtimestamp(0) - interval '8 days', 'A'),
  (3, 3, 14, 18,   localtimestamp(0) - interval '7 days', 'A'),
  (4, 1, 8,  NULL, localtimestamp(0) - interval '6 days', 'W'),
  (5, 2, 9,  NULL, localtimestamp(0) - interval '5 days', 'W'),
  (6, 1, 1,  1,    localtimestamp(0) - interval '70 days', 'F'),
  (7, 2, 2,  NULL, localtimestamp(0) - interval '20 days', 'C');

INSERT INTO Booking (Booking_Id, Copy_Id, Borrower_Id, From_Time, To_Time) VALUES
  (1, 9,  5, date_trunc('day', localtimestamp(0)) + interval '3 days',
             date_trunc('day', localtimestamp(0)) + interval '10 days'),
  (2, 14, 5, date_trunc('day', localtimestamp(0)) - interval '1 day',
             date_trunc('day', localtimestamp(0)) + interval '6 days');

COMMIT;
