// The unit tree's logic without the widget: the order and nesting of the units, the keys, the
// ILL column, and bad unit tables.
#include "tests/support/TestLibrary.h"
#include "vxcomp/login/UnitTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <tuple>

using namespace vx::login;

namespace {

// A plain tree standing in for the widget's nodes.
struct Node {
  std::string text;
  int image = -1;
  std::deque<Node> children;
};

std::string outline(const Node& n) {
  std::string s = n.text;
  if (!n.children.empty()) {
    s += "(";
    for (std::size_t i = 0; i < n.children.size(); ++i) s += (i ? "," : "") + outline(n.children[i]);
    s += ")";
  }
  return s;
}

struct Row {
  int id;
  int dept;
  const char* name;
  std::optional<int> parent;
  bool ill = false;
};

// Places rows (in the query's order: parent, Dept, Name) as the tree does.
std::string place(std::vector<Row> rows, bool showIll = false, std::map<int, int>* images = nullptr) {
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    return std::tuple(a.parent.value_or(-1), a.dept, std::string(a.name)) <
           std::tuple(b.parent.value_or(-1), b.dept, std::string(b.name));
  });
  UnitList list;
  for (const Row& r : rows)
    list.add(r.parent ? ParentKey(*r.parent) : "00000",
             TUnitInfo{r.name, r.id, r.dept, r.parent.value_or(0), r.ill, nullptr});
  Node root{"This library", -1, {}};
  PlaceUnits(list, &root, 1, showIll, [&](void* parent, const TUnitInfo& u, const TNodeData& d, int image) {
    EXPECT_EQ(d.UnitId, u.UnitId);
    EXPECT_EQ(d.ThisLibrary, 1);
    if (images) (*images)[u.UnitId] = image;
    auto& kids = static_cast<Node*>(parent)->children;
    kids.push_back(Node{u.Name, image, {}});
    return static_cast<void*>(&kids.back());
  });
  return outline(root);
}

}  // namespace

TEST(UnitTree, ChildrenFollowTheQueryOrderAndCarryTheirImages) {
  std::map<int, int> images;
  EXPECT_EQ(place({{1, 0, "1", {}}, {2, 1, "2", 1}, {3, 0, "3", 1}, {4, 0, "4", 3}}, false, &images),
            "This library(1(3(4),2))");
  EXPECT_EQ(images, (std::map<int, int>{{1, 4}, {2, 6}, {3, 4}, {4, 4}}));
  // A parent id of six digits is its own key, not cut to five.
  EXPECT_EQ(ParentKey(123456), "123456");
  EXPECT_EQ(ParentKey(42), "00042");
  EXPECT_EQ(place({{123456, 0, "big", {}}, {7, 0, "child", 123456}, {8, 0, "other", 12345}}),
            "This library(big(child))");
}

TEST(UnitTree, HiddenIllUnitsHideTheirChildrenAndLoopsEnd) {
  const std::vector<Row> rows = {{1, 0, "main", {}}, {9, 0, "ill", 1, true}, {10, 0, "under ill", 9}};
  EXPECT_EQ(place(rows), "This library(main)");
  std::map<int, int> images;
  EXPECT_EQ(place(rows, true, &images), "This library(main(ill(under ill)))");
  EXPECT_EQ(images[9], kImageIllUnit);
  // Units whose parents point at each other are never placed; the walk still ends.
  EXPECT_EQ(place({{1, 0, "root", {}}, {2, 0, "a", 3}, {3, 0, "b", 2}}), "This library(root)");
  // A long chain nests all the way down.
  std::vector<Row> chain = {{1, 0, "u1", {}}};
  for (int i = 2; i <= 3000; ++i) chain.push_back({i, 0, "u", i - 1});
  const std::string deep = place(chain);
  EXPECT_EQ(std::count(deep.begin(), deep.end(), '('), 3000);
}

TEST(UnitTree, TheIllColumnDependsOnTheVersionText) {
  vxtest::TestLibrary library(vxtest::Engine::Sqlite);
  auto db = library.login("vxdesk", "vxdesk-demo", "VXLoginDb");
  struct Case {
    const char* version;
    const char* beta;
    bool hasIll;
  };
  for (const Case& c : {Case{"2.5003", "", true}, Case{"2.4", "2.5", true}, Case{"2.10", "", false},
                        Case{"2.4", "", false}, Case{"3.0", "", true}}) {
    library.arrange(std::string("UPDATE NSU.Db_Info SET Version = '") + c.version +
                    "', Beta_Version = '" + c.beta + "'");
    EXPECT_EQ(HasILLColumn(library.session(), "VXLoginDb"), c.hasIll) << c.version << " " << c.beta;
  }
  // The demo branch read through the query: its names with quotes and non-Latin letters too.
  library.arrange("INSERT INTO NSU.Unit (Unit_Id, Name, Dept, Parent_Unit_Id, IsILL, This_Library) "
                  "VALUES (40, 'Ørsta ''Nord'' 北', 0, 5, 0, 1)");
  vx::db::Query query(library.session());
  query.databaseName = "VXLoginDb";
  query.setSql(unitQueryLines(true));
  UnitList list;
  LoadUnitList(query, 1, true, list);
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(list.key(0), "00000");
  EXPECT_EQ(list.unit(list.firstWithUnitId(40)).Name, "Ørsta 'Nord' 北");
  EXPECT_EQ(list.key(list.firstWithUnitId(40)), "00005");
  EXPECT_TRUE(list.unit(list.firstWithUnitId(9)).IsILL);
}
