-- Library database for development and demonstration: demo data (SQLite 3).
--
-- Load after schema.sql. The same rows as data/db/postgres/demo.sql; keep the two identical, so
-- that one conformance suite runs on both engines. The codes each demo barcode gives are listed
-- at the top of that file; the program's procedures for this engine follow data/db/RULES.md
-- and give the same codes.
--
-- Times are set relative to the moment of loading, in local time.
--
-- Database users: an embedded database has no server roles; the demo users are rows of
-- Db_User with the same passwords as on the server, vxdesk / vxdesk-demo (may run "System Down
-- Import") and vxguest / vxguest-demo (may not). Their rights are in Module_Access, as on the
-- server.

PRAGMA foreign_keys = ON;

BEGIN;

INSERT INTO Db_Info (Version, Beta_Version, Upgrading) VALUES ('2.5003', '', 0);

-- A user already listed (the owner who created the file, under a demo user's name) stays as
-- it is.
INSERT OR IGNORE INTO Db_User (User_Name, Password_Hash) VALUES
  ('vxdesk',  'pbkdf2-sha256$100000$603c1acf1d5aad99d2b67281f5b18b10$6bb19f7e04417e78681ddc054c58067ecf210c57a05980a51c4ce914066a647b'),
  ('vxguest', 'pbkdf2-sha256$100000$d84e7793fc271c7aa8f71ca68b88c419$6a5e33f806d075a119979e3682365842497c453026b8a7cd017149a8fe12a02c');

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
  (15, '2015', 12, 1, 9, 0, 1, 0, datetime('now', 'localtime', 'start of day', '+60 days')),
  (16, '2016', 13, 1, 9, 0, 1, 0, datetime('now', 'localtime', 'start of day', '+5 days')),
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
  (1, 1, 1, 1, datetime('now', 'localtime', '-60 days'), datetime('now', 'localtime', '-32 days'),
               datetime('now', 'localtime', '-35 days'), 1);

INSERT INTO Loan (Loan_Id, Copy_Id, Borrower_Id, Service_Unit_Id, Loan_Time, Due_Time) VALUES
  (2, 4,  2, 1, datetime('now', 'localtime', '-10 days'), datetime('now', 'localtime', '+18 days')),
  (3, 11, 2, 1, datetime('now', 'localtime', '-3 days'),  datetime('now', 'localtime', '+4 days')),
  (4, 17, 2, 1, datetime('now', 'localtime', '-40 days'), datetime('now', 'localtime', '-12 days')),
  (5, 20, 2, 1, datetime('now', 'localtime', '-2 days'),  datetime('now', 'localtime', '+5 days'));
UPDATE sqlite_sequence SET seq = 100 WHERE name = 'Loan';

INSERT INTO Reservation (Reservation_Id, Borrower_Id, Record_Id, Copy_Id, Reserved_Time, Status) VALUES
  (1, 5, 7,  5,    datetime('now', 'localtime', '-9 days'), 'A'),
  (2, 3, 8,  8,    datetime('now', 'localtime', '-8 days'), 'A'),
  (3, 3, 14, 18,   datetime('now', 'localtime', '-7 days'), 'A'),
  (4, 1, 8,  NULL, datetime('now', 'localtime', '-6 days'), 'W'),
  (5, 2, 9,  NULL, datetime('now', 'localtime', '-5 days'), 'W'),
  (6, 1, 1,  1,    datetime('now', 'localtime', '-70 days'), 'F'),
  (7, 2, 2,  NULL, datetime('now', 'localtime', '-20 days'), 'C');

INSERT INTO Booking (Booking_Id, Copy_Id, Borrower_Id, From_Time, To_Time) VALUES
  (1, 9,  5, datetime('now', 'localtime', 'start of day', '+3 days'),
             datetime('now', 'localtime', 'start of day', '+10 days')),
  (2, 14, 5, datetime('now', 'localtime', 'start of day', '-1 days'),
             datetime('now', 'localtime', 'start of day', '+6 days'));

COMMIT;
