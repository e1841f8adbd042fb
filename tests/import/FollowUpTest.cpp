// The follow-up list of a run on the demo library, on both engines: one row per line that needs
// a person, in its group, with names and titles from the database; and the list as CSV.
#include "import/FollowUp.h"
#include "import/ImportRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLibrary.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace vx::import;
using vxtest::Engine;

namespace {

struct Quiet : ImportObserver {};

// Each group once, a lent line that needs nobody, and 2004 taken from 1002 by 1001.
const char* const kMixed =
    "1001,2001\r\n"   // lent: no row
    "1001,2999\r\n"   // unknown item
    "1999,2010\r\n"   // unknown borrower
    "1004,2010\r\n"   // withdrawn card
    "1001,2002\r\n"   // scrapped copy
    "1001,2007\r\n"   // reference work
    "1001,2005\r\n"   // set aside for 1005
    "1001,2004\r\n";  // on loan to 1002: returned, lent to 1001

class FollowUpTest : public ::testing::TestWithParam<Engine> {};

TEST_P(FollowUpTest, EveryLineThatNeedsAPersonIsInItsGroupWithNamesAndTitles) {
  vxtest::TempDir dir;
  vxtest::TestLibrary library(GetParam());
  auto desk = library.login("vxdesk", "vxdesk-demo");
  const std::string work = dir.file("work.csv");
  std::ofstream(work, std::ios::binary) << kMixed;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ImportRun run(library.session());
  Quiet quiet;
  const ImportOutcome outcome = run.ImportToVXDBFromFile(work, 1, quiet);
  std::filesystem::current_path(cwd);
  ASSERT_EQ(outcome.status, ImportOutcome::Status::Finished) << outcome.message;

  const FollowUpList& list = run.followUp();
  struct Expected {
    int line;
    FollowUpGroup group;
    const char* borrower;
    bool named;  // the borrower is in the library
    const char* item;
    bool titled;  // the item is in the library
  };
  const Expected expected[] = {
      {2, FollowUpGroup::MisScan, "1001", true, "2999", false},
      {3, FollowUpGroup::MisScan, "1999", false, "2010", true},
      {4, FollowUpGroup::MisScan, "1004", true, "2010", true},
      {5, FollowUpGroup::Refused, "1001", true, "2002", true},
      {6, FollowUpGroup::Refused, "1001", true, "2007", true},
      {7, FollowUpGroup::Reserved, "1001", true, "2005", true},
      {8, FollowUpGroup::TakenFromAnother, "1001", true, "2004", true},
  };
  ASSERT_EQ(list.rows().size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const FollowUpRow& r = list.rows()[i];
    const Expected& e = expected[i];
    SCOPED_TRACE("line " + std::to_string(e.line));
    EXPECT_EQ(r.line, e.line);
    EXPECT_EQ(r.group, e.group);
    EXPECT_EQ(r.borrower, e.borrower);
    EXPECT_EQ(r.item, e.item);
    EXPECT_EQ(!r.borrowerName.empty(), e.named) << r.borrowerName;
    EXPECT_EQ(!r.title.empty(), e.titled) << r.title;
    EXPECT_FALSE(r.happened.empty());
    EXPECT_FALSE(r.toDo.empty());
  }
  EXPECT_EQ(list.rows()[5].happened, "Set aside for another borrower.");  // not the log's bare "Reserved for:"
  EXPECT_EQ(list.count(FollowUpGroup::MisScan), 3);
  EXPECT_EQ(list.count(FollowUpGroup::DatabaseError), 0);
  const FollowUpRow& taken = list.rows().back();
  EXPECT_EQ(taken.otherBorrower, "1002");
  EXPECT_EQ(taken.otherBorrowerName,
            library.text("SELECT Name FROM NSU.Borrower WHERE Barcode = '1002'"));
  EXPECT_EQ(list.rows()[0].borrowerName, library.text("SELECT Name FROM NSU.Borrower WHERE Barcode = '1001'"));
}

INSTANTIATE_TEST_SUITE_P(Engines, FollowUpTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& p) { return p.param == Engine::Sqlite ? "Sqlite" : "Postgres"; });

// A database without the tables the names come from gives a list without them, never an error.
TEST(FollowUpNames, ADatabaseWithoutTheTablesLeavesTheColumnsEmpty) {
  vxtest::TempDir dir;
  vx::db::AliasSpec alias{"bare", vx::db::DriverKind::Sqlite, {{"PATH", dir.file("bare.vxdb")}, {"CREATE", "1"}}};
  vx::db::Session session("Bare", {alias});
  vx::db::Database db(session);
  db.databaseName = "VXDB";
  db.aliasName = "bare";
  db.open();
  FollowUpList list;
  list.note(1, "1001", "2004", {true, 4, true, 1, false, ""});
  list.note(2, "1999", "2001", {false, 12, true, 0, false, "Unknown borrower barcode!"});
  list.readNames(session, "VXDB");
  ASSERT_EQ(list.rows().size(), 2u);
  for (const auto& r : list.rows()) EXPECT_TRUE(r.borrowerName.empty() && r.title.empty() && r.otherBorrower.empty());
}

// The CSV, read back by Python's csv module: a header and one row per line, UTF-8, quotes,
// commas and line breaks kept, a formula never left for a spreadsheet to run; the file 0600.
TEST(FollowUpCsv, PythonsCsvReadsBackEveryFieldAndTheFileIsPrivate) {
  vxtest::TempDir dir;
  FollowUpList list;
  list.note(7, "=1+1", "20,04", {false, 9, true, 0, false, "Reserved for:\r\n\"Åse\""});
  const std::string path = dir.file("list.csv");
  std::string error;
  ASSERT_TRUE(list.saveCsv(path, error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string script = dir.file("read.py");
  std::ofstream(script) << "import csv, sys, json\n"
                           "rows = list(csv.reader(open(sys.argv[1], newline='', encoding='utf-8-sig')))\n"
                           "print(json.dumps([len(rows), len(rows[0]), rows[1][0], rows[1][2], rows[1][4], rows[1][8]]))\n";
  FILE* p = ::popen(("python3 " + script + " " + path).c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[512] = {};
  const size_t n = fread(buf, 1, sizeof buf - 1, p);
  ASSERT_EQ(::pclose(p), 0);
  EXPECT_EQ(std::string(buf, n), "[2, 10, \"7\", \"'=1+1\", \"20,04\", \"Reserved for:\\r\\n\\\"\\u00c5se\\\"\"]\n");
}

}  // namespace
