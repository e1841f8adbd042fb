-- Library database for development and demonstration: functions and procedures
-- (PostgreSQL 15). Load after schema.sql. The lending rules, in the order applied here, are
-- written out in data/db/RULES.md; the embedded (SQLite) database implements the same order in
-- the program, so change both together.
--
-- Callable forms:
--   CALL IssueLoanAllBarcodes(unit, borrower_barcode, item_barcode,
--                             DueTime, ServiceTime, ServiceIdReserved, DocumentGroupId, ExId,
--                             ErrorCode)
--       returns one row (duetime, servicetime, serviceidreserved, documentgroupid, exid,
--       errorcode). The six in-out arguments may be left out (they default to NULL, ErrorCode
--       to 0); their values going in are ignored.
--   call ReturnLoanBasic (unit, item_barcode )
--       returns one row with the integer column errorcode.
--   SELECT VXAccess(Description) FROM NSU.Module WHERE Description = '...'
--   SELECT GetDbLanguage()        SELECT getdate()

SET search_path = nsu, pg_catalog;

-- The server's local date and time, read from the clock (not the transaction start), since
-- clients compare it with their own clock.
CREATE OR REPLACE FUNCTION getdate() RETURNS timestamp
  LANGUAGE sql VOLATILE
  AS $$ SELECT clock_timestamp()::timestamp(0) $$;

CREATE OR REPLACE FUNCTION GetDbLanguage() RETURNS text
  LANGUAGE sql STABLE
  AS $$ SELECT Db_Language::text FROM nsu.Global_Options LIMIT 1 $$;

-- The connected user's access level for a module: the level recorded for the user, or 0 when
-- the module or the user has no row. 1 means the user may run the module.
CREATE OR REPLACE FUNCTION VXAccess(ModuleDescription text) RETURNS integer
  LANGUAGE sql STABLE
  AS $$
    SELECT COALESCE(
      (SELECT max(a.Access_Level)
         FROM nsu.Module m
         JOIN nsu.Module_Access a ON a.Module_Id = m.Module_Id
        WHERE m.Description = ModuleDescription
          AND a.User_Name = current_user::text),
      0)
  $$;

-- The loan terms that govern a document group at a unit: the unit's own, else those of the
-- nearest unit above it. The walk up the tree is bounded, so a unit table whose parents form a
-- cycle cannot make it run forever.
CREATE OR REPLACE FUNCTION Applicable_Loan_Terms(AtUnitId integer, GroupId integer)
  RETURNS SETOF nsu.Loan_Terms
  LANGUAGE sql STABLE
  AS $$
    WITH RECURSIVE up (Unit_Id, Parent_Unit_Id, Depth) AS (
      SELECT u.Unit_Id, u.Parent_Unit_Id, 0 FROM nsu.Unit u WHERE u.Unit_Id = AtUnitId
      UNION ALL
      SELECT p.Unit_Id, p.Parent_Unit_Id, up.Depth + 1
        FROM up JOIN nsu.Unit p ON p.Unit_Id = up.Parent_Unit_Id
       WHERE up.Depth < 32
    )
    SELECT t.*
      FROM up JOIN nsu.Loan_Terms t
        ON t.Unit_Id = up.Unit_Id AND t.Document_Group_Id = GroupId
     ORDER BY up.Depth
     LIMIT 1
  $$;

-- Lends the copy with barcode ItemBarCode to the borrower with barcode LoanerBarCode at the
-- unit ServiceAtUnitId. ErrorCode: 0 lent; 14, 17, 18, 180, 1417 lent, with a note; every other
-- code refused, nothing changed. On success DueTime is the due time, ServiceIdReserved the id of
-- the new loan; ServiceTime is the time of the call; ExId and DocumentGroupId are the copy's
-- whenever the barcode is known.
CREATE OR REPLACE PROCEDURE IssueLoanAllBarcodes(
    ServiceAtUnitId    integer,
    LoanerBarCode      text,
    ItemBarCode        text,
    INOUT DueTime            timestamp DEFAULT NULL,
    INOUT ServiceTime        timestamp DEFAULT NULL,
    INOUT ServiceIdReserved  integer   DEFAULT NULL,
    INOUT DocumentGroupId    integer   DEFAULT NULL,
    INOUT ExId               integer   DEFAULT NULL,
    INOUT ErrorCode          integer   DEFAULT 0)
  LANGUAGE plpgsql
  SECURITY DEFINER
  SET search_path = nsu, pg_temp
AS $$
DECLARE
  now_         timestamp := localtimestamp(0);
  c            nsu.Copy%ROWTYPE;
  borrower_id_ integer;
  holder_id    integer;
  terms        nsu.Loan_Terms%ROWTYPE;
  due          timestamp;
  booking_cut  boolean := false;
  ill_cut      boolean := false;
  is_ill       boolean;
  next_start   timestamp;
  also_ready   boolean;
  loan_id_     integer;
BEGIN
  DueTime := NULL;
  ServiceTime := now_;
  ServiceIdReserved := NULL;
  DocumentGroupId := NULL;
  ExId := NULL;
  ErrorCode := 0;

  BEGIN
    -- The copy row is locked first, so that two desks lending the same copy at once are served
    -- one after the other and the second sees the first one's loan.
    SELECT * INTO c FROM Copy WHERE Barcode = ItemBarCode FOR UPDATE;
    IF NOT FOUND THEN
      ErrorCode := 1;
      RETURN;
    END IF;
    ExId := c.Copy_Id;
    DocumentGroupId := c.Document_Group_Id;

    -- Locked as well, so that two loans to one borrower cannot both pass the loan limit.
    SELECT Borrower_Id INTO borrower_id_
      FROM Borrower WHERE Barcode = LoanerBarCode AND Card_State = 'A' FOR UPDATE;
    IF NOT FOUND THEN
      ErrorCode := 12;
      RETURN;
    END IF;

    IF c.Scrapped = 1 THEN
      ErrorCode := 2;
      RETURN;
    END IF;
    IF EXISTS (SELECT 1 FROM Marc_Record WHERE Record_Id = c.Record_Id AND Scrapped = 1) THEN
      ErrorCode := 6;
      RETURN;
    END IF;
    IF c.Lost = 1 THEN
      ErrorCode := 11;
      RETURN;
    END IF;
    IF c.Permit_Loan = 0 THEN
      ErrorCode := 3;
      RETURN;
    END IF;

    SELECT Borrower_Id INTO holder_id FROM Loan WHERE Copy_Id = c.Copy_Id;
    IF FOUND THEN
      ErrorCode := CASE WHEN holder_id = borrower_id_ THEN 10 ELSE 4 END;
      RETURN;
    END IF;

    IF EXISTS (SELECT 1 FROM Reservation
                WHERE Copy_Id = c.Copy_Id AND Status = 'A' AND Borrower_Id <> borrower_id_) THEN
      ErrorCode := 5;
      RETURN;
    END IF;

    IF EXISTS (SELECT 1 FROM Booking
                WHERE Copy_Id = c.Copy_Id AND Borrower_Id <> borrower_id_
                  AND From_Time <= now_ AND To_Time > now_) THEN
      ErrorCode := 13;
      RETURN;
    END IF;

    SELECT * INTO terms FROM Applicable_Loan_Terms(ServiceAtUnitId, c.Document_Group_Id);
    IF NOT FOUND THEN
      ErrorCode := 7;
      RETURN;
    END IF;
    IF terms.Forbid_Loan = 1 THEN
      ErrorCode := 8;
      RETURN;
    END IF;
    IF terms.Max_Loans IS NOT NULL
       AND (SELECT count(*) FROM Loan l JOIN Copy lc ON lc.Copy_Id = l.Copy_Id
             WHERE l.Borrower_Id = borrower_id_
               AND lc.Document_Group_Id = c.Document_Group_Id) >= terms.Max_Loans THEN
      ErrorCode := 9;
      RETURN;
    END IF;
    IF terms.Loan_Days IS NULL THEN
      RAISE EXCEPTION 'Loan terms % have no loan period', terms.Terms_Id;
    END IF;

    due := now_ + make_interval(days => terms.Loan_Days);

    -- Another borrower's booking that starts within the loan period cuts it short: the copy
    -- must be back when the booking starts.
    SELECT min(From_Time) INTO next_start FROM Booking
     WHERE Copy_Id = c.Copy_Id AND Borrower_Id <> borrower_id_
       AND From_Time > now_ AND From_Time < due;
    IF next_start IS NOT NULL THEN
      due := next_start;
      booking_cut := true;
    END IF;

    -- A copy of an ILL unit goes back to the library it was borrowed from by that library's
    -- due time.
    is_ill := EXISTS (SELECT 1 FROM Unit WHERE Unit_Id = c.Owner_Unit_Id AND IsILL = 1);
    IF is_ill AND c.ILL_Due_Time IS NOT NULL AND c.ILL_Due_Time < due THEN
      due := c.ILL_Due_Time;
      ill_cut := true;
    END IF;

    INSERT INTO Loan (Copy_Id, Borrower_Id, Service_Unit_Id, Loan_Time, Due_Time)
      VALUES (c.Copy_Id, borrower_id_, ServiceAtUnitId, now_, due)
      RETURNING Loan_Id INTO loan_id_;

    -- The copy set aside for this borrower has now been collected.
    UPDATE Reservation SET Status = 'F'
     WHERE Copy_Id = c.Copy_Id AND Borrower_Id = borrower_id_ AND Status = 'A';

    also_ready := EXISTS (SELECT 1 FROM Reservation
                           WHERE Borrower_Id = borrower_id_ AND Status = 'A');

    DueTime := due;
    ServiceIdReserved := loan_id_;
    IF is_ill THEN
      ErrorCode := CASE WHEN ill_cut OR booking_cut THEN 18 ELSE 180 END;
    ELSIF booking_cut AND also_ready THEN
      ErrorCode := 1417;
    ELSIF booking_cut THEN
      ErrorCode := 14;
    ELSIF also_ready THEN
      ErrorCode := 17;
    ELSE
      ErrorCode := 0;
    END IF;
  EXCEPTION WHEN OTHERS THEN
    -- Whatever the block changed is rolled back with it; the caller learns only the code, so the
    -- cause goes to the server log.
    RAISE WARNING 'IssueLoanAllBarcodes(%, %, %): % (SQLSTATE %)',
      ServiceAtUnitId, LoanerBarCode, ItemBarCode, SQLERRM, SQLSTATE;
    DueTime := NULL;
    ServiceIdReserved := NULL;
    ErrorCode := 666;
  END;
END;
$$;

-- Returns the copy with barcode ItemBarCode at the unit ServiceAtUnitId. ErrorCode 0 returned;
-- every other code refused, nothing changed.
CREATE OR REPLACE PROCEDURE ReturnLoanBasic(
    ServiceAtUnitId  integer,
    ItemBarCode      text,
    INOUT ErrorCode  integer DEFAULT 0)
  LANGUAGE plpgsql
  SECURITY DEFINER
  SET search_path = nsu, pg_temp
AS $$
DECLARE
  now_   timestamp := localtimestamp(0);
  c      nsu.Copy%ROWTYPE;
  l      nsu.Loan%ROWTYPE;
  terms  nsu.Loan_Terms%ROWTYPE;
BEGIN
  ErrorCode := 0;
  BEGIN
    SELECT * INTO c FROM Copy WHERE Barcode = ItemBarCode FOR UPDATE;
    IF NOT FOUND THEN
      ErrorCode := 1;
      RETURN;
    END IF;
    IF c.Scrapped = 1 THEN
      ErrorCode := 2;
      RETURN;
    END IF;
    IF c.Lost = 1 THEN
      ErrorCode := 4;
      RETURN;
    END IF;
    SELECT * INTO l FROM Loan WHERE Copy_Id = c.Copy_Id;
    IF NOT FOUND THEN
      ErrorCode := 3;
      RETURN;
    END IF;
    -- The terms at the returning unit govern the return (its fines); without them the return
    -- is refused, as the desk must settle it by hand.
    SELECT * INTO terms FROM Applicable_Loan_Terms(ServiceAtUnitId, c.Document_Group_Id);
    IF NOT FOUND THEN
      ErrorCode := 7;
      RETURN;
    END IF;
    IF terms.Loan_Days IS NULL THEN
      RAISE EXCEPTION 'Loan terms % have no loan period', terms.Terms_Id;
    END IF;

    INSERT INTO Loan_History (Loan_Id, Copy_Id, Borrower_Id, Service_Unit_Id, Loan_Time,
                              Due_Time, Return_Time, Return_Unit_Id)
      VALUES (l.Loan_Id, l.Copy_Id, l.Borrower_Id, l.Service_Unit_Id, l.Loan_Time,
              l.Due_Time, now_, ServiceAtUnitId);
    DELETE FROM Loan WHERE Loan_Id = l.Loan_Id;
    ErrorCode := 0;
  EXCEPTION WHEN OTHERS THEN
    RAISE WARNING 'ReturnLoanBasic(%, %): % (SQLSTATE %)',
      ServiceAtUnitId, ItemBarCode, SQLERRM, SQLSTATE;
    ErrorCode := 666;
  END;
END;
$$;

-- Lending and returning only through the procedures; nobody runs them without a grant.
REVOKE ALL ON FUNCTION Applicable_Loan_Terms(integer, integer) FROM PUBLIC;
REVOKE ALL ON PROCEDURE IssueLoanAllBarcodes(integer, text, text, timestamp, timestamp,
                                             integer, integer, integer, integer) FROM PUBLIC;
REVOKE ALL ON PROCEDURE ReturnLoanBasic(integer, text, integer) FROM PUBLIC;
