#include "desklist/DeskList.h"

#include "db/Database.h"
#include "db/Query.h"
#include "db/Value.h"
#include "platform/FileSystem.h"
#include "platform/XdgDirs.h"

#include <charconv>
#include <functional>
#include <map>
#include <set>
#include <cstdio>

namespace vx::desklist {

namespace {

constexpr const char* kMagic = "VXDESKLIST 1";

// Barcodes are written one to a line: a backslash and a line end inside one are escaped.
std::string escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::optional<std::string> unescaped(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) return std::nullopt;
    if (s[i] == '\\') out += '\\';
    else if (s[i] == 'n') out += '\n';
    else if (s[i] == 'r') out += '\r';
    else return std::nullopt;
  }
  return out;
}

std::optional<uint64_t> number(const std::string& s) {
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

// Reads the lines one by one; every failure is the whole file's.
class Lines {
 public:
  explicit Lines(const std::string& bytes) : bytes_(bytes) {}
  std::optional<std::string> next() {
    if (pos_ >= bytes_.size()) return std::nullopt;
    const size_t end = bytes_.find('\n', pos_);
    if (end == std::string::npos) return std::nullopt;  // every line ends with its line end
    std::string line = bytes_.substr(pos_, end - pos_);
    pos_ = end + 1;
    return line;
  }
  bool atEnd() const { return pos_ == bytes_.size(); }

 private:
  const std::string& bytes_;
  size_t pos_ = 0;
};

// "<word> <count>" as a section's head.
std::optional<uint64_t> sectionHead(Lines& lines, const std::string& word) {
  const auto line = lines.next();
  if (!line || line->rfind(word + " ", 0) != 0) return std::nullopt;
  return number(line->substr(word.size() + 1));
}

bool refusedCode(char c) { return c == 'S' || c == 'R' || c == 'L' || c == 'N'; }

}  // namespace

std::string DeskList::serialize() const {
  std::string out = std::string(kMagic) + "\n";
  out += "taken " + takenAt + "\n";
  // Sorted, so that the same list always gives the same bytes.
  const std::set<std::string> cards(withdrawnCards.begin(), withdrawnCards.end());
  const std::map<std::string, RefusedCopy> copies(refusedCopies.begin(), refusedCopies.end());
  out += "withdrawn " + std::to_string(cards.size()) + "\n";
  for (const auto& b : cards) out += escaped(b) + "\n";
  out += "refused " + std::to_string(copies.size()) + "\n";
  for (const auto& [b, why] : copies) out += std::string(1, static_cast<char>(why)) + " " + escaped(b) + "\n";
  out += "shapes " + std::string(shapes.withFirst ? "1" : "0") + (shapes.borrowerShaped ? "1" : "0") +
         (shapes.itemShaped ? "1" : "0") + "\n";
  for (const auto* kind : {&shapes.borrowerShapes, &shapes.itemShapes}) {
    out += "kind " + std::to_string(kind->size()) + "\n";
    for (const auto& [shape, count] : *kind) out += std::to_string(count) + " " + escaped(shape) + "\n";
  }
  const size_t entries = withdrawnCards.size() + refusedCopies.size() + shapes.borrowerShapes.size() +
                         shapes.itemShapes.size();
  return out + "end " + std::to_string(entries) + "\n";
}

std::optional<DeskList> DeskList::parse(const std::string& bytes, std::string* why) {
  const auto fail = [&](const char* reason) -> std::optional<DeskList> {
    if (why) *why = reason;
    return std::nullopt;
  };
  Lines lines(bytes);
  if (lines.next() != std::optional<std::string>(kMagic)) return fail("not a desk list");
  DeskList list;
  const auto taken = lines.next();
  if (!taken || taken->rfind("taken ", 0) != 0 || !db::DateTime::parse(taken->substr(6)))
    return fail("no time of taking");
  list.takenAt = taken->substr(6);
  uint64_t entries = 0;
  const auto withdrawn = sectionHead(lines, "withdrawn");
  if (!withdrawn) return fail("no withdrawn cards section");
  for (uint64_t i = 0; i < *withdrawn; ++i) {
    const auto line = lines.next();
    const auto barcode = line ? unescaped(*line) : std::nullopt;
    if (!barcode) return fail("cut short in the withdrawn cards");
    list.withdrawnCards.insert(*barcode);
  }
  const auto refused = sectionHead(lines, "refused");
  if (!refused) return fail("no refused copies section");
  for (uint64_t i = 0; i < *refused; ++i) {
    const auto line = lines.next();
    if (!line || line->size() < 3 || !refusedCode((*line)[0]) || (*line)[1] != ' ') return fail("a damaged copy line");
    const auto barcode = unescaped(line->substr(2));
    if (!barcode) return fail("a damaged copy line");
    list.refusedCopies[*barcode] = static_cast<RefusedCopy>((*line)[0]);
  }
  const auto flags = lines.next();
  if (!flags || flags->size() != 10 || flags->rfind("shapes ", 0) != 0) return fail("no shapes section");
  for (size_t i = 7; i < 10; ++i)
    if ((*flags)[i] != '0' && (*flags)[i] != '1') return fail("no shapes section");
  list.shapes.withFirst = (*flags)[7] == '1';
  list.shapes.borrowerShaped = (*flags)[8] == '1';
  list.shapes.itemShaped = (*flags)[9] == '1';
  for (auto* kind : {&list.shapes.borrowerShapes, &list.shapes.itemShapes}) {
    const auto count = sectionHead(lines, "kind");
    if (!count) return fail("no shapes of a kind");
    for (uint64_t i = 0; i < *count; ++i) {
      const auto line = lines.next();
      const size_t space = line ? line->find(' ') : std::string::npos;
      if (space == std::string::npos) return fail("a damaged shape line");
      const auto n = number(line->substr(0, space));
      const auto shape = unescaped(line->substr(space + 1));
      if (!n || !shape) return fail("a damaged shape line");
      (*kind)[*shape] = *n;
    }
    entries += kind->size();
  }
  entries += list.withdrawnCards.size() + list.refusedCopies.size();
  const auto end = sectionHead(lines, "end");
  if (!end || *end != entries || !lines.atEnd()) return fail("cut short or damaged at its end");
  return list;
}

std::optional<DeskList> DeskList::read(const std::string& path, std::string* why) {
  std::string bytes;
  const auto result = vx::fs::readFile(path, bytes);
  if (result != vx::fs::ReadResult::Ok) {
    if (why) *why = result == vx::fs::ReadResult::Missing ? "no desk list" : "unreadable";
    return std::nullopt;
  }
  return parse(bytes, why);
}

bool DeskList::write(const std::string& path, std::string& error) const {
  if (!vx::fs::makePrivateFolders(vx::fs::folderOf(path), &error)) return false;
  return vx::fs::replaceFile(path, serialize(), 0600, &error);
}

std::string DeskList::takenShown() const {
  const auto t = db::DateTime::parse(takenAt);
  if (!t) return takenAt;
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d", t->day, t->month, t->year, t->hour, t->minute);
  return text;
}

double DeskList::ageInDays(const std::string& now) const {
  const auto t = db::DateTime::parse(takenAt), n = db::DateTime::parse(now);
  if (!t || !n) return 0;
  return double(n->toEpochMilliseconds() - t->toEpochMilliseconds()) / 86400000.0;
}

DeskList takeDeskList(vx::db::Session& session, const std::string& databaseName) {
  static const char* const kWithdrawn = "SELECT Barcode FROM NSU.Borrower WHERE Card_State = 'W'";
  static const char* const kRefused =
      "SELECT c.Barcode, c.Scrapped, m.Scrapped, c.Lost, c.Permit_Loan FROM NSU.Copy c "
      "JOIN NSU.Marc_Record m ON m.Record_Id = c.Record_Id "
      "WHERE c.Scrapped = 1 OR m.Scrapped = 1 OR c.Lost = 1 OR c.Permit_Loan = 0";
  static const char* const kBorrowers = "SELECT Barcode FROM NSU.Borrower";
  static const char* const kItems = "SELECT Barcode FROM NSU.Copy";
  DeskList list;
  list.takenAt = db::DateTime::now().toString().substr(0, 19);
  if (vx::db::Database* db = session.findDatabase(databaseName))
    db->prefetch({{kWithdrawn, {}}, {kRefused, {}}, {kBorrowers, {}}, {kItems, {}}});
  const auto rows = [&](const char* sql, const std::function<void(vx::db::Query&)>& each) {
    vx::db::Query q(session);
    q.databaseName = databaseName;
    q.setSql(sql);
    q.open();
    for (; !q.eof(); q.next()) each(q);
    q.close();
  };
  rows(kWithdrawn, [&](vx::db::Query& q) { list.withdrawnCards.insert(q.field(0).asString()); });
  rows(kRefused, [&](vx::db::Query& q) {
    // The first reason the loan procedure checks is the one the desk is told.
    RefusedCopy why = RefusedCopy::NotForLoan;
    if (q.field(1).asInteger() == 1) why = RefusedCopy::Scrapped;
    else if (q.field(2).asInteger() == 1) why = RefusedCopy::RecordScrapped;
    else if (q.field(3).asInteger() == 1) why = RefusedCopy::Lost;
    list.refusedCopies[q.field(0).asString()] = why;
  });
  std::vector<std::string> borrowers, items;
  rows(kBorrowers, [&](vx::db::Query& q) { borrowers.push_back(q.field(0).asString()); });
  rows(kItems, [&](vx::db::Query& q) { items.push_back(q.field(0).asString()); });
  list.shapes = BarcodeShapes::learn(borrowers, items);
  return list;
}

std::string deskListBeside(const std::string& workfile) {
  const std::string folder = vx::fs::folderOf(workfile);
  return (folder == "/" ? std::string() : folder) + "/desk-list.vxdl";
}

std::string userDeskListPath() { return vx::xdg::dataHome() + "/vellumdex/desk-list.vxdl"; }

}  // namespace vx::desklist
