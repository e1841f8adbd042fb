#pragma once
// The follow-up list of a run: one row per posted line that needs a person, in groups, with
// the borrowers' names and the items' titles read from the library database at the end of
// the run. The rejected lines are borrowers who walked out with an item the database does not
// know is lent to them (or a mis-scan); a line that took an item from another borrower
// changed that borrower's record without them knowing.
//
// Plain logic over the engine layer: the import dialog shows it, prints it and saves it; the
// command-line import saves it. Texts are in the dictionary's language when the row is noted.
#include "db/Session.h"

#include <array>
#include <string>
#include <vector>

namespace vx::import {

// In the order the list shows them.
enum class FollowUpGroup {
  MisScan,           // an unknown borrower or item barcode: check for a mis-scan
  Refused,           // lent at the desk although the database refuses the loan
  Reserved,          // reserved or booked for someone else
  TakenFromAnother,  // lent after the item was returned from another borrower
  DatabaseError,     // the posting failed: try again
};
constexpr int kFollowUpGroupCount = 5;

// How one posted line ended, as the posting saw it.
struct LineOutcome {
  bool accepted = false;
  int code = 0;                // the loan procedure's first code (0 when it gave none)
  bool codeGiven = false;      // false: the call failed or answered no code
  int returns = 0;             // returns made before the line's last loan (code 4 or 10)
  bool returnRefused = false;  // a return gave a code other than 0 (the line is rejected)
  std::string reason;          // the log's reason of a rejected line
};

struct FollowUpRow {
  int line = 0;  // the record's number in the workfile, from 1
  FollowUpGroup group = FollowUpGroup::DatabaseError;
  std::string borrower, borrowerName;
  std::string item, title;                        // title: "Title / Author" (or the title alone)
  std::string otherBorrower, otherBorrowerName;   // TakenFromAnother: who had the item
  std::string happened;                           // what happened, in the librarian's language
  std::string toDo;                               // what to do
};

class FollowUpList {
 public:
  // Notes a posted line; a line that needs nobody leaves no row.
  void note(int line, const std::string& borrower, const std::string& item, const LineOutcome& outcome);

  // Fills the names, titles and earlier borrowers from the library database, in a few
  // statements for the whole list (parameters bound). On a database without those tables or
  // columns, or on any error, the columns stay empty; this never throws.
  void readNames(vx::db::Session& session, const std::string& databaseName);

  const std::vector<FollowUpRow>& rows() const { return rows_; }
  int count(FollowUpGroup group) const { return counts_[static_cast<size_t>(group)]; }
  bool empty() const { return rows_.empty(); }

  // The list as CSV: UTF-8 with a byte order mark (so that spreadsheets read it as UTF-8), a
  // header row, one row per line, CRLF, fields quoted where needed. A field that a spreadsheet
  // would take for a formula (=, +, -, @ first) is written with a leading apostrophe.
  std::string csv() const;
  // Writes csv() to `path`, private to the user (0600), through a synced temporary; false with
  // the reason in `error`.
  bool saveCsv(const std::string& path, std::string& error) const;

  // The group's heading and the column headings, in the librarian's language.
  static std::string groupHeading(FollowUpGroup group);
  static std::vector<std::string> columnHeadings();
  // One row's cells in the order of columnHeadings().
  static std::vector<std::string> cells(const FollowUpRow& row);

 private:
  std::vector<FollowUpRow> rows_;
  std::array<int, kFollowUpGroupCount> counts_{};
  // Returns made per item during the run, in line order: the line, and how many.
  struct ReturnNote {
    size_t row;  // index into rows_, or npos when the line left no row
    int returns;
  };
  std::vector<std::pair<std::string, ReturnNote>> returnsByItem_;
};

}  // namespace vx::import
