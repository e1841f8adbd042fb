#pragma once
// The library database's procedures and functions for the embedded engine (SQLite), in C++.
// installSqliteProcedures() (LibraryDatabase.h) registers them with the driver.
//
// The rules and their order are those of data/db/RULES.md and postgres/procedures.sql.
#include <vector>

#include "db/Driver.h"

namespace vx::db::library {

// IssueLoanAllBarcodes(ServiceAtUnitId, LoanerBarCode, ItemBarCode, INOUT DueTime,
// INOUT ServiceTime, INOUT ServiceIdReserved, INOUT DocumentGroupId, INOUT ExId,
// INOUT ErrorCode): missing arguments count as null; answers, as CALL on the server does,
// with one row of the six in-out values.
ResultSet issueLoanAllBarcodes(Connection& connection, std::vector<Value>& args);

// ReturnLoanBasic(ServiceAtUnitId, ItemBarCode [, INOUT ErrorCode]): one row, ErrorCode.
ResultSet returnLoanBasic(Connection& connection, std::vector<Value>& args);

// VXAccess(Description): the connected user's highest access level for the module, 0 when
// there is none.
Value vxAccess(Connection& connection, const std::vector<Value>& args);

// GetDbLanguage(): Global_Options.Db_Language (null without a row).
Value getDbLanguage(Connection& connection, const std::vector<Value>& args);

}  // namespace vx::db::library
