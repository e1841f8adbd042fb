#pragma once
// The library's units as the unit tree shows them, without the widget: the unit query, the
// keyed unit list of one branch, and the placing of the units under a root by their parent
// unit. The tree view (UnitTreeView.h) draws what this places.
//
// Every unit of a branch is read in the query's order (parent unit, Dept, Name) into the unit
// list, keyed by its parent's id padded with "0" to five characters ("00000" for none). The
// units without a parent go under the root, and under every placed unit go the entries whose
// key is that unit's own id, recursively; so children keep the query's order, and a unit whose
// parent is not placed (a hidden ILL unit, a parent in another branch) is not shown. The list
// keeps indexes by key and by unit id, so that a city library's thousands of units are placed
// in linear time; the first entry of a key or an id is found as a search from the front would.
#include "db/Query.h"
#include "db/Session.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vx::login {

// One row of the unit query.
struct TUnitInfo {
  std::string Name;
  int UnitId = 0;
  int Dept = 0;
  int ParentUnitId = 0;
  bool IsILL = false;
  void* Node = nullptr;  // the tree node made for the unit; none until placed
};

// What every unit node carries (root nodes carry none).
struct TNodeData {
  int32_t UnitId = 0;
  int16_t ThisLibrary = 0;  // 1 under "This library", 0 under "Other library"
  int16_t Dept = 0;
  bool IsILL = false;
};

// Images of the tree by index (normal / selected).
enum UnitImage : int {
  kImageThisLibrary = 0,   // 0/1
  kImageOtherLibrary = 2,  // 2/3
  kImageUnit = 4,          // 4/5
  kImageDepartment = 6,    // 6/7: Dept = 1
  kImageIllUnit = 8,       // 8/9: takes precedence over Dept
};

// The key of a parent unit id: its text padded on the left with "0" to five characters
// (a longer text stays as it is).
std::string ParentKey(int64_t unitId);

class UnitList {
 public:
  void clear();
  void add(std::string key, TUnitInfo unit);
  std::size_t size() const { return entries_.size(); }
  const std::string& key(std::size_t i) const { return entries_[i].key; }
  TUnitInfo& unit(std::size_t i) { return entries_[i].unit; }
  const TUnitInfo& unit(std::size_t i) const { return entries_[i].unit; }
  // The position of the first entry with that key / unit id, or size() when there is none.
  std::size_t firstWithKey(const std::string& key) const;
  std::size_t firstWithUnitId(int unitId) const;

 private:
  struct Entry {
    std::string key;
    TUnitInfo unit;
  };
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> byKey_;
  std::unordered_map<int, std::size_t> byUnitId_;
};

// The statement HasILLColumn reads with (for announcing it, Database::prefetch).
extern const char* const kIllColumnTestSql;
// Whether the database's units carry the IsILL column: its version text, or else its beta
// version text, is not below "2.5" (compared as text, character by character).
bool HasILLColumn(vx::db::Session& session, const std::string& databaseName);

// The unit query's lines; ",IsILL" only with `hasIll`.
std::vector<std::string> unitQueryLines(bool hasIll);

// Empties `list` and reads the units of one branch (ThisLibrary = thisLibrary) with `query`,
// which holds the text of unitQueryLines(hasIll).
void LoadUnitList(vx::db::Query& query, int thisLibrary, bool hasIll, UnitList& list);

// Makes a node under `parent` for a unit with its image and node data and returns it.
using AddUnitNode = std::function<void*(void* parent, const TUnitInfo& unit, const TNodeData& data,
                                        int image)>;

// Places the units of `list` under `root`: first the units without parent, then the children
// of each placed unit, recursively; ILL units (and so their children) only with `showIll`.
// Each unit is placed once, so a unit table whose parents form a loop cannot make it recurse
// without end.
void PlaceUnits(UnitList& list, void* root, int thisLibrary, bool showIll, const AddUnitNode& add);

}  // namespace vx::login
