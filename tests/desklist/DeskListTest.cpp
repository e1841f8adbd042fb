// The desk list: the shapes learnt from a library's barcodes, the file and its damage, and the
// list taken from the demo library on both engines.
#include "desklist/DeskList.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLibrary.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <random>

using namespace vx::desklist;
using vxtest::Engine;

namespace {

std::vector<std::string> numbered(int from, int count) {
  std::vector<std::string> v;
  for (int i = 0; i < count; ++i) v.push_back(std::to_string(from + i));
  return v;
}

TEST(BarcodeShapes, ACrossScanIsSeenOnlyWhereTheShapesTellTheKindsApart) {
  struct Case {
    const char* name;
    std::vector<std::string> borrowers, items;
    std::string barcode;
    BarcodeKind field, looksLike;
  };
  std::vector<std::string> mixedItems = numbered(2001, 500);
  mixedItems.push_back("1234");  // one item with a card's shape: that shape refuses nothing
  const std::vector<Case> cases = {
      {"an item in the borrower field", numbered(1001, 5), numbered(2001, 20), "2002", BarcodeKind::Borrower,
       BarcodeKind::Item},
      {"a card in the item field", numbered(1001, 5), numbered(2001, 20), "1003", BarcodeKind::Item,
       BarcodeKind::Borrower},
      {"a card where it belongs", numbered(1001, 5), numbered(2001, 20), "1999", BarcodeKind::Borrower,
       BarcodeKind::Borrower},
      {"a shape neither kind has", numbered(1001, 5), numbered(2001, 20), "ABC", BarcodeKind::Borrower,
       BarcodeKind::Borrower},
      {"a shape both kinds share", numbered(1001, 500), mixedItems, "1300", BarcodeKind::Item, BarcodeKind::Item},
      {"the same shape for both kinds", numbered(100000, 50), numbered(200000, 50), "2000001", BarcodeKind::Borrower,
       BarcodeKind::Borrower},
      {"cards of many shapes", {"A1", "B22", "C333", "D4444", "1-2", "xx9", "Q-Q", "77777", "a.b", "Z"},
       numbered(2001, 20), "2005", BarcodeKind::Borrower, BarcodeKind::Borrower},
  };
  for (const Case& c : cases) {
    const BarcodeShapes shapes = BarcodeShapes::learn(c.borrowers, c.items);
    EXPECT_EQ(shapes.looksLike(c.barcode, c.field), c.looksLike) << c.name;
  }
}

// A library of 100,000 borrowers and 1,000,000 copies in mixed formats, with a few odd
// barcodes of each kind: no real barcode is refused in its own field, and most cross-scans are
// caught.
TEST(BarcodeShapes, NoRealBarcodeOfALargeMixedLibraryIsRefused) {
  std::mt19937 random(20261209);
  const auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += char('0' + random() % 10);
    return s;
  };
  std::vector<std::string> borrowers, items;
  for (int i = 0; i < 100000; ++i) {
    const unsigned r = random() % 10000;  // one in 2,000 cards of an odd, random shape
    borrowers.push_back(r < 9000 ? "2" + digits(9) : r < 9995 ? "L" + digits(6) : digits(1 + random() % 12));
  }
  for (int i = 0; i < 1000000; ++i) {
    const unsigned r = random() % 1000;
    items.push_back(r < 700 ? "0" + digits(13) : r < 999 ? "3" + digits(7) : "X" + digits(4) + "-" + digits(2));
  }
  const BarcodeShapes shapes = BarcodeShapes::learn(borrowers, items);
  int refused = 0, caught = 0;
  for (const auto& b : borrowers) refused += shapes.looksLike(b, BarcodeKind::Borrower) != BarcodeKind::Borrower;
  for (const auto& i : items) refused += shapes.looksLike(i, BarcodeKind::Item) != BarcodeKind::Item;
  for (size_t i = 0; i < 10000; ++i) caught += shapes.looksLike(items[i], BarcodeKind::Borrower) == BarcodeKind::Item;
  EXPECT_EQ(refused, 0);
  // The items of the common "0" shape are always caught; those of the "3" shape only when no
  // odd card happens to have it.
  EXPECT_GT(caught, 6500) << "items scanned as cards that were caught, of 10,000";
  std::printf("generated library: 0 of 1,100,000 real barcodes refused; %d of 10,000 items scanned into the "
              "borrower field caught\n", caught);
}

DeskList sample() {
  DeskList list;
  list.takenAt = "2026-12-08 14:00:00";
  list.withdrawnCards = {"1004", "back\\slash"};
  list.refusedCopies = {{"2002", RefusedCopy::Scrapped}, {"line\nbreak", RefusedCopy::Lost}};
  list.shapes = BarcodeShapes::learn(numbered(1001, 5), numbered(2001, 20));
  return list;
}

TEST(DeskListFile, ItReadsBackWholeAndADamagedOrForeignFileIsNoList) {
  vxtest::TempDir dir;
  const DeskList list = sample();
  const std::string path = dir.file("sub/desk-list.vxdl");
  std::string error;
  ASSERT_TRUE(list.write(path, error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const auto back = DeskList::read(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->serialize(), list.serialize());
  EXPECT_EQ(back->refusedCopies.at("line\nbreak"), RefusedCopy::Lost);
  EXPECT_EQ(back->takenShown(), "08.12.2026 14:00");
  EXPECT_NEAR(back->ageInDays("2026-12-16 02:00:00"), 7.5, 1e-9);
  const std::string bytes = list.serialize();
  for (size_t cut = 0; cut < bytes.size(); cut += 7)
    EXPECT_FALSE(DeskList::parse(bytes.substr(0, cut))) << "cut at " << cut;
  std::string changed = bytes;
  changed[changed.find("withdrawn 2")] = 'W';
  EXPECT_FALSE(DeskList::parse(changed));
  EXPECT_FALSE(DeskList::parse("1001,2001\r\n"));
  EXPECT_FALSE(DeskList::read(dir.file("none.vxdl")));
}

class DeskListTaking : public ::testing::TestWithParam<Engine> {};

TEST_P(DeskListTaking, TheDemoLibrarysListHoldsItsWithdrawnCardAndRefusedCopies) {
  vxtest::TestLibrary library(GetParam());
  auto desk = library.login("vxdesk", "vxdesk-demo");
  const DeskList list = takeDeskList(library.session(), "VXDB");
  EXPECT_EQ(list.withdrawnCards, std::unordered_set<std::string>{"1004"});
  const std::pair<const char*, RefusedCopy> expected[] = {
      {"2002", RefusedCopy::Scrapped}, {"2003", RefusedCopy::NotForLoan}, {"2006", RefusedCopy::RecordScrapped}};
  for (const auto& [barcode, why] : expected) {
    ASSERT_TRUE(list.refusedCopies.count(barcode)) << barcode;
    EXPECT_EQ(list.refusedCopies.at(barcode), why) << barcode;
  }
  EXPECT_FALSE(list.refusedCopies.count("2001"));
  // Every barcode of the demo where it belongs is taken; each in the other field is not.
  for (const auto& card : numbered(1001, 5)) {
    EXPECT_EQ(list.shapes.looksLike(card, BarcodeKind::Borrower), BarcodeKind::Borrower) << card;
    EXPECT_EQ(list.shapes.looksLike(card, BarcodeKind::Item), BarcodeKind::Borrower) << card;
  }
  for (const auto& item : numbered(2001, 20)) {
    EXPECT_EQ(list.shapes.looksLike(item, BarcodeKind::Item), BarcodeKind::Item) << item;
    EXPECT_EQ(list.shapes.looksLike(item, BarcodeKind::Borrower), BarcodeKind::Item) << item;
  }
  EXPECT_TRUE(DeskList::parse(list.serialize()));
}

INSTANTIATE_TEST_SUITE_P(Engines, DeskListTaking, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& p) { return p.param == Engine::Sqlite ? "Sqlite" : "Postgres"; });

}  // namespace
