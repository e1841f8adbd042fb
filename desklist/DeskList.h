#pragma once
// The desk list: what the desk knows of the library during an outage, taken from the library
// database while it is up. The barcodes of withdrawn cards, the barcodes of copies the
// database would refuse for a reason known in advance (scrapped copy or record, lost, not for
// loan), the shapes of the library's barcodes (BarcodeShapes), and when it was taken. No names,
// nothing else; the file is private to the user (0600).
//
// The file is text, UTF-8: a first line "VXDESKLIST 1", its sections, and a last line "end"
// with the number of entries, so that a file cut short or made by something else is known
// and ignored as a whole (the window then behaves as without a list).
#include "desklist/BarcodeShapes.h"
#include "db/Session.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace vx::desklist {

enum class RefusedCopy : char {
  Scrapped = 'S',        // the copy is scrapped
  RecordScrapped = 'R',  // its record is scrapped
  Lost = 'L',
  NotForLoan = 'N',
};

struct DeskList {
  std::string takenAt;  // local time, "YYYY-MM-DD HH:MM:SS"
  std::unordered_set<std::string> withdrawnCards;
  std::unordered_map<std::string, RefusedCopy> refusedCopies;
  BarcodeShapes shapes;

  // The file's bytes, and the list from them (nothing, with the reason, when they are not a
  // whole desk list).
  std::string serialize() const;
  static std::optional<DeskList> parse(const std::string& bytes, std::string* why = nullptr);

  // Reads a desk list file; nothing when it is missing, unreadable, damaged or foreign.
  static std::optional<DeskList> read(const std::string& path, std::string* why = nullptr);
  // Writes it in one piece (a synced temporary renamed over the path), private to the user.
  bool write(const std::string& path, std::string& error) const;

  // "DD.MM.YYYY HH:MM" of takenAt, and its age in days at `now` (local "YYYY-MM-DD ...").
  std::string takenShown() const;
  double ageInDays(const std::string& now) const;
};

// Takes the desk list from the library database open as `databaseName` in `session`: four
// reading statements, announced together so that over a network they cost one round trip.
// Engine errors reach the caller.
DeskList takeDeskList(vx::db::Session& session, const std::string& databaseName);

// Where the desk reads the list: `desk-list.vxdl` beside the workfile when there is one there,
// else in $XDG_DATA_HOME/vellumdex/ (where the import dialog's login writes it).
std::string deskListBeside(const std::string& workfile);
std::string userDeskListPath();

}  // namespace vx::desklist
