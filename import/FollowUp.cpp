#include "import/FollowUp.h"

#include "db/Query.h"
#include "import/ImportStrings.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace vx::import {

namespace {

constexpr size_t kNoRow = static_cast<size_t>(-1);
// Barcodes asked about in one statement: enough for a long list in a few statements, few
// enough for every engine's limit on parameters.
constexpr size_t kBarcodesPerStatement = 200;

int groupIndex(FollowUpGroup g) { return static_cast<int>(g); }

// The group of a rejected line, by what the posting saw.
FollowUpGroup rejectedGroup(const LineOutcome& o) {
  if (!o.codeGiven) return FollowUpGroup::DatabaseError;
  switch (o.code) {
    case 1:
    case 12: return FollowUpGroup::MisScan;
    case 2:
    case 3:
    case 6:
    case 7:
    case 8:
    case 9:
    case 11: return FollowUpGroup::Refused;
    case 5:
    case 13: return FollowUpGroup::Reserved;
    case 4:
    case 10:
      // The item had to come back first: refused by the return (scrapped, lost, no terms), or
      // the return or the loan after it failed.
      return o.returnRefused ? FollowUpGroup::Refused : FollowUpGroup::DatabaseError;
    default: return FollowUpGroup::DatabaseError;  // 666 and codes the program does not know
  }
}

int toDoId(FollowUpGroup g) { return sToDoMisScan + groupIndex(g); }

// Runs `sql` (whose IN list is written as :B0, :B1, ...) for the barcodes in slices, handing
// every row to `row`. The IN list is made of bound parameters, never of the barcodes' text.
void forEachRow(vx::db::Session& session, const std::string& databaseName, const std::string& head,
                const std::string& tail, const std::vector<std::string>& barcodes,
                const std::function<void(vx::db::Query&)>& row) {
  for (size_t from = 0; from < barcodes.size(); from += kBarcodesPerStatement) {
    const size_t to = std::min(barcodes.size(), from + kBarcodesPerStatement);
    std::string list;
    for (size_t i = from; i < to; ++i) list += (i > from ? ", :B" : ":B") + std::to_string(i - from);
    vx::db::Query q(session);
    q.databaseName = databaseName;
    q.setSql(head + " IN (" + list + ")" + tail);
    for (size_t i = from; i < to; ++i) q.paramByName("B" + std::to_string(i - from)).setString(barcodes[i]);
    q.open();
    for (; !q.eof(); q.next()) row(q);
    q.close();
  }
}

std::string csvField(const std::string& value) {
  std::string v = value;
  // A spreadsheet would run a cell that starts like a formula.
  if (!v.empty() && std::string("=+-@\t\r").find(v.front()) != std::string::npos) v.insert(0, "'");
  if (v.find_first_of(",\"\r\n;") == std::string::npos && (v.empty() || (v.front() != ' ' && v.back() != ' ')))
    return v;
  std::string quoted = "\"";
  for (char c : v) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

void FollowUpList::note(int line, const std::string& borrower, const std::string& item,
                        const LineOutcome& outcome) {
  size_t rowIndex = kNoRow;
  const bool taken = outcome.accepted && outcome.code == 4 && outcome.returns > 0;
  if (!outcome.accepted || taken) {
    FollowUpRow row;
    row.line = line;
    row.group = taken ? FollowUpGroup::TakenFromAnother : rejectedGroup(outcome);
    row.borrower = borrower;
    row.item = item;
    row.happened = taken ? text(sTakenHappened) : outcome.reason;
    row.toDo = text(toDoId(row.group));
    // The log's texts for these say less than the librarian needs here.
    if (!taken && outcome.codeGiven && outcome.code == 5) row.happened = text(sReservedHappened);
    if (!taken && outcome.codeGiven && outcome.code == 13) row.happened = text(sBookedHappened);
    if (!taken && outcome.codeGiven && outcome.code == 666) row.toDo = text(sToDoIncompleteData);
    ++counts_[static_cast<size_t>(groupIndex(row.group))];
    rowIndex = rows_.size();
    rows_.push_back(std::move(row));
  }
  if (outcome.returns > 0) returnsByItem_.push_back({item, {rowIndex, outcome.returns}});
}

void FollowUpList::readNames(vx::db::Session& session, const std::string& databaseName) {
  if (rows_.empty()) return;
  std::set<std::string> borrowerSet, itemSet;
  for (const auto& r : rows_) {
    if (!r.borrower.empty()) borrowerSet.insert(r.borrower);
    if (!r.item.empty()) itemSet.insert(r.item);
  }
  const std::vector<std::string> borrowers(borrowerSet.begin(), borrowerSet.end());
  const std::vector<std::string> items(itemSet.begin(), itemSet.end());
  // Each statement on its own: a database without one of the tables still gives the others.
  const auto tryEach = [&](const std::function<void()>& read) {
    try {
      read();
    } catch (const std::exception&) {
    }
  };
  std::map<std::string, std::string> names, titles;
  tryEach([&] {
    forEachRow(session, databaseName, "SELECT Barcode, Name FROM NSU.Borrower WHERE Barcode", "", borrowers,
               [&](vx::db::Query& q) { names[q.field(0).asString()] = q.field(1).asString(); });
  });
  tryEach([&] {
    forEachRow(session, databaseName,
               "SELECT c.Barcode, m.Title, m.Author FROM NSU.Copy c JOIN NSU.Marc_Record m "
               "ON m.Record_Id = c.Record_Id WHERE c.Barcode",
               "", items, [&](vx::db::Query& q) {
                 const std::string title = q.field(1).asString(), author = q.field(2).asString();
                 titles[q.field(0).asString()] = author.empty() ? title : title + " / " + author;
               });
  });
  // Who had an item the run returned: the loans the run ended are the item's newest finished
  // loans, one per return, in the order of the lines.
  std::map<std::string, int> returnsOf;
  for (const auto& [item, n] : returnsByItem_) returnsOf[item] += n.returns;
  std::vector<std::string> returned;
  for (const auto& [item, n] : returnsOf) returned.push_back(item);
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> ended;  // item: (barcode, name)
  tryEach([&] {
    forEachRow(session, databaseName,
               "SELECT c.Barcode, b.Barcode, b.Name, h.Loan_Id FROM NSU.Loan_History h "
               "JOIN NSU.Copy c ON c.Copy_Id = h.Copy_Id JOIN NSU.Borrower b ON b.Borrower_Id = h.Borrower_Id "
               "WHERE c.Barcode",
               " ORDER BY h.Loan_Id", returned, [&](vx::db::Query& q) {
                 ended[q.field(0).asString()].emplace_back(q.field(1).asString(), q.field(2).asString());
               });
  });
  std::map<std::string, size_t> next;  // item: index of its next ended loan
  for (const auto& [item, n] : returnsByItem_) {
    auto& loans = ended[item];
    const size_t total = static_cast<size_t>(returnsOf[item]);
    size_t& k = next.try_emplace(item, loans.size() >= total ? loans.size() - total : loans.size()).first->second;
    if (n.row != kNoRow && rows_[n.row].group == FollowUpGroup::TakenFromAnother && k < loans.size()) {
      rows_[n.row].otherBorrower = loans[k].first;
      rows_[n.row].otherBorrowerName = loans[k].second;
    }
    k += static_cast<size_t>(n.returns);
  }
  for (auto& r : rows_) {
    if (const auto it = names.find(r.borrower); it != names.end()) r.borrowerName = it->second;
    if (const auto it = titles.find(r.item); it != titles.end()) r.title = it->second;
  }
}

std::string FollowUpList::groupHeading(FollowUpGroup group) { return text(sFollowUpMisScan + groupIndex(group)); }

std::vector<std::string> FollowUpList::columnHeadings() {
  std::vector<std::string> h;
  for (int id = sColumnLine; id <= sColumnToDo; ++id) h.push_back(text(id));
  return h;
}

std::vector<std::string> FollowUpList::cells(const FollowUpRow& r) {
  return {std::to_string(r.line), groupHeading(r.group), r.borrower,      r.borrowerName,
          r.item,                 r.title,               r.otherBorrower, r.otherBorrowerName,
          r.happened,             r.toDo};
}

std::string FollowUpList::csv() const {
  std::vector<const FollowUpRow*> ordered;
  for (const auto& r : rows_) ordered.push_back(&r);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const FollowUpRow* a, const FollowUpRow* b) { return a->group < b->group; });
  std::string out = "\xEF\xBB\xBF";
  const auto line = [&](const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + csvField(fields[i]);
    out += "\r\n";
  };
  line(columnHeadings());
  for (const FollowUpRow* r : ordered) line(cells(*r));
  return out;
}

bool FollowUpList::saveCsv(const std::string& path, std::string& error) const {
  return vx::fs::replaceFile(path, csv(), 0600, &error);
}

}  // namespace vx::import
