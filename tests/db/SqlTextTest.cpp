#include "db/SqlText.h"

#include <gtest/gtest.h>

#include "db/DbError.h"
#include "db/Value.h"

using namespace vx::db;

TEST(SqlText, ParametersAreFoundOnlyInCode) {
  const auto names = parameterNames(
      "SELECT ':Quoted', \"Odd:Name\", x::integer, $$ :InBody $$ -- :Comment\n"
      "/* :Block */ FROM t WHERE a = :Id AND b = :ID OR c = :Other");
  EXPECT_EQ(names, (std::vector<std::string>{"Id", "Other"}));
}

TEST(SqlText, RepeatedParameterGetsOneNumber) {
  EXPECT_EQ(translate("SELECT :a, :B, :A", Dialect::Sqlite).sql, "SELECT ?1, ?2, ?1");
  const auto pg = translate("SELECT x::int FROM t WHERE y = :b AND z = ':a' || :a",
                            Dialect::Postgres);
  EXPECT_EQ(pg.sql, "SELECT x::int FROM t WHERE y = $1 AND z = ':a' || $2");
  EXPECT_EQ(pg.parameters, (std::vector<std::string>{"b", "a"}));
  // A placeholder right after a word or a '$' must not join it.
  EXPECT_EQ(translate("SELECT 1 WHERE x OR:c", Dialect::Postgres).sql, "SELECT 1 WHERE x OR $1");
  EXPECT_EQ(translate("SELECT $:a", Dialect::Postgres).sql, "SELECT $ $1");
  EXPECT_EQ(translate("SELECT 1 WHERE x OR:c", Dialect::Sqlite).sql, "SELECT 1 WHERE x OR?1");
}

TEST(SqlText, DialectWordsAreRewrittenOutsideLiteralsOnly) {
  const char* insert =
      "INSERT INTO NSU.Exception_Log (Exception_Time, User_name, Note)"
      " VALUES (CURRENT TIMESTAMP, User, 'User at CURRENT TIMESTAMP, NSU.x')";
  EXPECT_EQ(translate(insert, Dialect::Sqlite).sql,
            "INSERT INTO main.Exception_Log (Exception_Time, User_name, Note)"
            " VALUES (getdate(), connected_user(), 'User at CURRENT TIMESTAMP, NSU.x')");
  EXPECT_EQ(translate(insert, Dialect::Postgres).sql,
            "INSERT INTO NSU.Exception_Log (Exception_Time, User_name, Note)"
            " VALUES (LOCALTIMESTAMP, CURRENT_USER, 'User at CURRENT TIMESTAMP, NSU.x')");
  // Outside an insert, and as a qualified column, "User" is a name like any other.
  EXPECT_EQ(translate("SELECT t.User, User FROM t", Dialect::Sqlite).sql,
            "SELECT t.User, User FROM t");
  EXPECT_EQ(translate("INSERT INTO t (a) SELECT x.User FROM x", Dialect::Sqlite).sql,
            "INSERT INTO t (a) SELECT x.User FROM x");
}

TEST(SqlText, CallStatements) {
  const auto s = translate("call ReturnLoanBasic (:ServiceAtUnitId, :ItemBarCode )",
                           Dialect::Sqlite);
  EXPECT_TRUE(s.isCall);
  EXPECT_EQ(s.procedure, "ReturnLoanBasic");
  EXPECT_EQ(s.sql, "SELECT ?1, ?2 ");
  EXPECT_EQ(translate("CALL NSU.P();", Dialect::Sqlite).procedure, "P");
  EXPECT_TRUE(translate("call P", Dialect::Sqlite).sql.empty());
  EXPECT_EQ(translate("call ReturnLoanBasic (:U, :I)", Dialect::Postgres).sql,
            "CALL ReturnLoanBasic ($1, $2)");
  for (const char* bad : {"call", "call (1)", "call P (1", "call P (1) junk", "call P.(1)"})
    EXPECT_THROW(translate(bad, Dialect::Sqlite), DbError) << bad;
}

TEST(DateTimeValue, ParsesEngineFormsAndCountsWholeDays) {
  const auto d = DateTime::parse("2024-02-29 13:45:10.250123+01");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->toString(), "2024-02-29 13:45:10.250");
  EXPECT_EQ(DateTime::parse("2024-03-01")->toString(), "2024-03-01 00:00:00.000");
  for (const char* bad : {"", "2023-02-29", "2024-13-01", "2024-01-01 25:00", "12:00", "x"})
    EXPECT_FALSE(DateTime::parse(bad)) << bad;
  EXPECT_EQ(DateTime::parse("2024-03-01")->toEpochMilliseconds() - d->toEpochMilliseconds(),
            (10 * 3600 + 14 * 60 + 49) * 1000 + 750);
  EXPECT_EQ(DateTime::fromEpochMilliseconds(d->toEpochMilliseconds()), *d);
}

TEST(Values, NullReadsAsZeroAndEmptyAndBadTextRaises) {
  EXPECT_EQ(Value::null().asInteger(), 0);
  EXPECT_EQ(Value::null().asString(), "");
  EXPECT_EQ(Value::text("42").asInteger(), 42);
  EXPECT_EQ(Value::text("2.5003").asString(), "2.5003");
  EXPECT_EQ(Value::integer(7).asString(), "7");
  EXPECT_THROW(Value::text("12abc").asInteger(), DbError);
  EXPECT_THROW(Value::text("soon").asDateTime(), DbError);
}
