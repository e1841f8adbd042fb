-- Library database for development and demonstration: tables (SQLite 3).
--
-- Run against the library database file itself; the program attaches that file as "nsu", so
-- that "NSU.Unit" and a bare "unit" both find the table. Load demo.sql after it:
--   sqlite3 library.db < schema.sql && sqlite3 library.db < demo.sql
--
-- The same tables, columns and constraints as data/db/postgres/schema.sql; keep the two in
-- step. Flags are integers 0/1. Times are text 'YYYY-MM-DD HH:MM:SS' in local time, which
-- sorts and compares like the time it names. SQLite has no stored procedures: the program
-- supplies IssueLoanAllBarcodes, ReturnLoanBasic, VXAccess, GetDbLanguage and getdate itself,
-- with the lending rules of data/db/RULES.md. Foreign keys are checked only on a connection
-- that turns on PRAGMA foreign_keys.

DROP TABLE IF EXISTS Booking;
DROP TABLE IF EXISTS Reservation;
DROP TABLE IF EXISTS Loan_History;
DROP TABLE IF EXISTS Loan;
DROP TABLE IF EXISTS Loan_Terms;
DROP TABLE IF EXISTS Borrower;
DROP TABLE IF EXISTS Copy;
DROP TABLE IF EXISTS Marc_Record;
DROP TABLE IF EXISTS Document_Group;
DROP TABLE IF EXISTS Exception_Log;
DROP TABLE IF EXISTS Module_Access;
DROP TABLE IF EXISTS Module;
DROP TABLE IF EXISTS Unit;
DROP TABLE IF EXISTS Global_Options;
DROP TABLE IF EXISTS BDE_Config;
DROP TABLE IF EXISTS Db_Info;
DROP TABLE IF EXISTS Db_User;

-- Database identity ------------------------------------------------------------------------

-- One row. Version and Beta_Version are text such as '2.5003'; an empty Beta_Version means a
-- released database. Upgrading is 1 while an upgrade runs.
CREATE TABLE Db_Info (
  Version       TEXT    NOT NULL,
  Beta_Version  TEXT    NOT NULL DEFAULT '',
  Upgrading     INTEGER NOT NULL DEFAULT 0
);

-- Engine connection parameters that every client must use.
CREATE TABLE BDE_Config (
  Param  TEXT NOT NULL PRIMARY KEY,
  Value  TEXT NOT NULL DEFAULT ''
);

-- One row. Slack_Time: allowed clock difference in seconds. Db_Language: what GetDbLanguage()
-- answers.
CREATE TABLE Global_Options (
  Slack_Time   INTEGER NOT NULL DEFAULT 120,
  Marc_Std     TEXT    NOT NULL DEFAULT '',
  Db_Language  TEXT    NOT NULL DEFAULT ''
);

-- The database users and their passwords. The server has its roles; the embedded database has
-- this table, and once it holds a row the program admits only the users listed here, with
-- their passwords (an empty table admits every name: a database just created has no users
-- yet). Password_Hash is 'pbkdf2-sha256$<iterations>$<salt hex>$<key hex>', PBKDF2-HMAC-SHA256
-- with a 32-byte key, for example from
--   openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt pass:PASSWORD
--               -kdfopt hexsalt:$(openssl rand -hex 16) -kdfopt iter:100000 PBKDF2
-- (the key printed without its colons). Is_Owner 1 marks the owner, who may change and drop
-- everything; the other users have the rights the server grants its desk roles. Only on this
-- engine: not a table of the server, and not readable by the desk users.
CREATE TABLE Db_User (
  User_Name      TEXT NOT NULL PRIMARY KEY,
  Password_Hash  TEXT NOT NULL,
  Is_Owner       INTEGER NOT NULL DEFAULT 0 CHECK (Is_Owner IN (0, 1))
);

-- Library units ------------------------------------------------------------------------------

-- Parent_Unit_Id NULL at the top of a tree; This_Library 1 for this library's units; Dept 1
-- for a department; IsILL 1 for an interlibrary-loan unit.
CREATE TABLE Unit (
  Unit_Id         INTEGER NOT NULL PRIMARY KEY,
  Name            TEXT    NOT NULL,
  Dept            INTEGER NOT NULL DEFAULT 0 CHECK (Dept IN (0, 1)),
  Parent_Unit_Id  INTEGER NULL REFERENCES Unit (Unit_Id),
  IsILL           INTEGER NOT NULL DEFAULT 0 CHECK (IsILL IN (0, 1)),
  This_Library    INTEGER NOT NULL DEFAULT 1 CHECK (This_Library IN (0, 1)),
  CHECK (Parent_Unit_Id IS NULL OR Parent_Unit_Id <> Unit_Id)
);
CREATE INDEX Unit_Parent ON Unit (Parent_Unit_Id);

-- Modules and rights -------------------------------------------------------------------------

CREATE TABLE Module (
  Module_Id    INTEGER NOT NULL PRIMARY KEY,
  Description  TEXT    NOT NULL UNIQUE
);

-- Access level of a database user for a module; 1 means the user may run it; no row, 0.
CREATE TABLE Module_Access (
  User_Name     TEXT    NOT NULL,
  Module_Id     INTEGER NOT NULL REFERENCES Module (Module_Id),
  Access_Level  INTEGER NOT NULL,
  PRIMARY KEY (User_Name, Module_Id)
);

CREATE TABLE Exception_Log (
  Exception_Id    INTEGER PRIMARY KEY AUTOINCREMENT,
  Exception_Time  TEXT NOT NULL,
  Application     TEXT NOT NULL DEFAULT '',
  User_name       TEXT NOT NULL DEFAULT '',
  Exception_Msg   TEXT NOT NULL DEFAULT '',
  ExeVersion      TEXT NOT NULL DEFAULT '',
  DBVersion       TEXT NOT NULL DEFAULT ''
);

-- Catalogue ----------------------------------------------------------------------------------

CREATE TABLE Document_Group (
  Document_Group_Id  INTEGER NOT NULL PRIMARY KEY,
  Name               TEXT    NOT NULL
);

CREATE TABLE Marc_Record (
  Record_Id  INTEGER NOT NULL PRIMARY KEY,
  Title      TEXT    NOT NULL,
  Author     TEXT    NOT NULL DEFAULT '',
  Scrapped   INTEGER NOT NULL DEFAULT 0 CHECK (Scrapped IN (0, 1))
);

-- One row per physical copy ("Ex"). A copy owned by an ILL unit is borrowed from another
-- library; ILL_Due_Time, when set, is when that library wants it back.
CREATE TABLE Copy (
  Copy_Id            INTEGER NOT NULL PRIMARY KEY,
  Barcode            TEXT    NOT NULL UNIQUE,
  Record_Id          INTEGER NOT NULL REFERENCES Marc_Record (Record_Id),
  Document_Group_Id  INTEGER NOT NULL REFERENCES Document_Group (Document_Group_Id),
  Owner_Unit_Id      INTEGER NOT NULL REFERENCES Unit (Unit_Id),
  Scrapped           INTEGER NOT NULL DEFAULT 0 CHECK (Scrapped IN (0, 1)),
  Permit_Loan        INTEGER NOT NULL DEFAULT 1 CHECK (Permit_Loan IN (0, 1)),
  Lost               INTEGER NOT NULL DEFAULT 0 CHECK (Lost IN (0, 1)),
  ILL_Due_Time       TEXT    NULL
);

-- Borrowers ----------------------------------------------------------------------------------

-- Card_State 'A' active, 'W' withdrawn (the barcode no longer identifies anybody).
CREATE TABLE Borrower (
  Borrower_Id  INTEGER NOT NULL PRIMARY KEY,
  Barcode      TEXT    NOT NULL UNIQUE,
  Name         TEXT    NOT NULL,
  Card_State   TEXT    NOT NULL DEFAULT 'A' CHECK (Card_State IN ('A', 'W'))
);

-- Circulation --------------------------------------------------------------------------------

-- Loan terms of a document group at a unit; a unit without its own uses the nearest unit's
-- above it. Loan_Days NULL: incomplete terms. Max_Loans NULL: no limit.
CREATE TABLE Loan_Terms (
  Terms_Id           INTEGER NOT NULL PRIMARY KEY,
  Unit_Id            INTEGER NOT NULL REFERENCES Unit (Unit_Id),
  Document_Group_Id  INTEGER NOT NULL REFERENCES Document_Group (Document_Group_Id),
  Loan_Days          INTEGER NULL CHECK (Loan_Days IS NULL OR Loan_Days > 0),
  Max_Loans          INTEGER NULL CHECK (Max_Loans IS NULL OR Max_Loans >= 0),
  Forbid_Loan        INTEGER NOT NULL DEFAULT 0 CHECK (Forbid_Loan IN (0, 1)),
  UNIQUE (Unit_Id, Document_Group_Id)
);

-- Current loans, at most one per copy. AUTOINCREMENT: a loan id is never handed out twice,
-- since finished loans keep theirs in Loan_History.
CREATE TABLE Loan (
  Loan_Id          INTEGER PRIMARY KEY AUTOINCREMENT,
  Copy_Id          INTEGER NOT NULL UNIQUE REFERENCES Copy (Copy_Id),
  Borrower_Id      INTEGER NOT NULL REFERENCES Borrower (Borrower_Id),
  Service_Unit_Id  INTEGER NOT NULL,
  Loan_Time        TEXT    NOT NULL,
  Due_Time         TEXT    NOT NULL
);
CREATE INDEX Loan_Borrower ON Loan (Borrower_Id);

CREATE TABLE Loan_History (
  Loan_Id          INTEGER NOT NULL PRIMARY KEY,
  Copy_Id          INTEGER NOT NULL,
  Borrower_Id      INTEGER NOT NULL,
  Service_Unit_Id  INTEGER NOT NULL,
  Loan_Time        TEXT    NOT NULL,
  Due_Time         TEXT    NOT NULL,
  Return_Time      TEXT    NOT NULL,
  Return_Unit_Id   INTEGER NOT NULL
);

-- Status 'W' waiting; 'A' available: copy Copy_Id is set aside for the borrower; 'F'
-- fulfilled; 'C' cancelled.
CREATE TABLE Reservation (
  Reservation_Id  INTEGER NOT NULL PRIMARY KEY,
  Borrower_Id     INTEGER NOT NULL REFERENCES Borrower (Borrower_Id),
  Record_Id       INTEGER NOT NULL REFERENCES Marc_Record (Record_Id),
  Copy_Id         INTEGER NULL REFERENCES Copy (Copy_Id),
  Reserved_Time   TEXT    NOT NULL,
  Status          TEXT    NOT NULL DEFAULT 'W' CHECK (Status IN ('W', 'A', 'F', 'C')),
  CHECK (Status <> 'A' OR Copy_Id IS NOT NULL)
);
CREATE INDEX Reservation_Copy ON Reservation (Copy_Id);
CREATE INDEX Reservation_Borrower ON Reservation (Borrower_Id);

-- Bookings of a copy for the period [From_Time, To_Time).
CREATE TABLE Booking (
  Booking_Id   INTEGER NOT NULL PRIMARY KEY,
  Copy_Id      INTEGER NOT NULL REFERENCES Copy (Copy_Id),
  Borrower_Id  INTEGER NOT NULL REFERENCES Borrower (Borrower_Id),
  From_Time    TEXT    NOT NULL,
  To_Time      TEXT    NOT NULL,
  CHECK (To_Time > From_Time)
);
CREATE INDEX Booking_Copy ON Booking (Copy_Id);
