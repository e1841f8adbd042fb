#include "vxcomp/login/UnitTree.h"

namespace vx::login {

std::string ParentKey(int64_t unitId) {
  std::string text = std::to_string(unitId);
  if (text.size() < 5) text.insert(0, 5 - text.size(), '0');
  return text;
}

void UnitList::clear() {
  entries_.clear();
  byKey_.clear();
  byUnitId_.clear();
}

void UnitList::add(std::string key, TUnitInfo unit) {
  byKey_.emplace(key, entries_.size());  // keeps the first position of a key
  byUnitId_.emplace(unit.UnitId, entries_.size());
  entries_.push_back({std::move(key), std::move(unit)});
}

std::size_t UnitList::firstWithKey(const std::string& key) const {
  const auto it = byKey_.find(key);
  return it == byKey_.end() ? entries_.size() : it->second;
}

std::size_t UnitList::firstWithUnitId(int unitId) const {
  const auto it = byUnitId_.find(unitId);
  return it == byUnitId_.end() ? entries_.size() : it->second;
}

const char* const kIllColumnTestSql = "SELECT Version, Beta_Version FROM db_info";

bool HasILLColumn(vx::db::Session& session, const std::string& databaseName) {
  vx::db::Query query(session);
  query.databaseName = databaseName;
  query.setSql(kIllColumnTestSql);
  query.open();
  if (!(query.field(0).asString() < "2.5")) return true;
  return !(query.field(1).asString() < "2.5");
}

std::vector<std::string> unitQueryLines(bool hasIll) {
  std::vector<std::string> lines = {"SELECT Unit_Id, Dept, Name, Parent_Unit_Id"};
  if (hasIll) lines.push_back(",IsILL");
  lines.insert(lines.end(), {" FROM NSU.Unit", "WHERE This_Library = :ThisLibrary",
                             "ORDER BY Parent_Unit_Id, Dept, Name"});
  return lines;
}

void LoadUnitList(vx::db::Query& query, int thisLibrary, bool hasIll, UnitList& list) {
  list.clear();
  query.paramByName("ThisLibrary").setInteger(thisLibrary);
  query.open();
  for (; !query.eof(); query.next()) {
    TUnitInfo unit;
    unit.Name = query.fieldByName("Name").asString();
    unit.UnitId = static_cast<int>(query.fieldByName("Unit_Id").asInteger());
    unit.Dept = static_cast<int>(query.fieldByName("Dept").asInteger());
    unit.IsILL = hasIll && query.fieldByName("IsILL").asInteger() == 1;
    const vx::db::Field parent = query.fieldByName("Parent_Unit_Id");
    unit.ParentUnitId = static_cast<int>(parent.asInteger());
    list.add(parent.isNull() ? std::string("00000") : ParentKey(parent.asInteger()), std::move(unit));
  }
  query.close();
}

namespace {

int imageOf(const TUnitInfo& unit) {
  if (unit.IsILL) return kImageIllUnit;
  return unit.Dept == 1 ? kImageDepartment : kImageUnit;
}

// Places the entries of `key` under `parent`, each followed by its own children.
void placeChildren(UnitList& list, const std::string& key, void* parent, int thisLibrary,
                   bool showIll, const AddUnitNode& add) {
  for (std::size_t i = list.firstWithKey(key); i < list.size() && list.key(i) == key; ++i) {
    TUnitInfo& unit = list.unit(i);
    if (unit.Node || (unit.IsILL && !showIll)) continue;
    const TNodeData data{unit.UnitId, static_cast<int16_t>(thisLibrary),
                         static_cast<int16_t>(unit.Dept), unit.IsILL};
    unit.Node = add(parent, unit, data, imageOf(unit));
    placeChildren(list, ParentKey(unit.UnitId), unit.Node, thisLibrary, showIll, add);
  }
}

}  // namespace

void PlaceUnits(UnitList& list, void* root, int thisLibrary, bool showIll, const AddUnitNode& add) {
  placeChildren(list, "00000", root, thisLibrary, showIll, add);
}

}  // namespace vx::login
