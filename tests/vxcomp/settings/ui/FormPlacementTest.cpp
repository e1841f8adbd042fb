// TVXRegFormProperties on real windows: restoring at load, saving at destruction.
#include "platform/Registry.h"
#include "tests/support/TempDir.h"
#include "vxcomp/settings/ui/FormProp.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace reg = vx::reg;

namespace {

const std::string kWindowKey = "Software\\Vellumdex\\vx_settings_test\\FVXSysDn";

struct FormPlacement : testing::Test {
  vxtest::TempDir tmp;
  std::unique_ptr<QWidget> window = std::make_unique<QWidget>();

  FormPlacement() {
    window->setObjectName("FVXSysDn");
    window->resize(400, 300);
    window->move(255, 124);
    window->setProperty("Position", "poScreenCenter");
  }
  // A component as the window's layout places it, loaded with the given flags.
  TVXRegFormProperties* placeFromLayout(bool keepSize = false) {
    auto* p = new TVXRegFormProperties(window.get(), TVXRegFormProperties::FromLayout);
    p->setKeepWindowSize(keepSize);
    p->Loaded();
    return p;
  }
  static void store(const char* name, reg::Value v) {
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, kWindowKey, name, v));
  }
  static void storeInt(const char* name, int v) {
    store(name, reg::Value::fromDword(static_cast<uint32_t>(v)));
  }
  static std::optional<reg::Value> stored(const char* name) {
    return reg::readValue(reg::Hive::CurrentUser, kWindowKey, name);
  }
  static QRect screen() { return QGuiApplication::primaryScreen()->geometry(); }
};

}  // namespace

TEST_F(FormPlacement, CreatedFromALayoutOrByCodeWithTheirOwnDefaults) {
  TVXRegFormProperties layout(window.get(), TVXRegFormProperties::FromLayout);
  EXPECT_TRUE(layout.overridePosition());
  EXPECT_TRUE(layout.keepOnScreen());
  EXPECT_TRUE(layout.keepWindowstate());
  EXPECT_FALSE(layout.keepWindowSize());
  EXPECT_EQ(layout.keyPath(), "\\" + kWindowKey);
  layout.setActive(false);  // saves nothing when it goes

  TVXRegFormProperties code(nullptr);
  EXPECT_FALSE(code.overridePosition() || code.keepOnScreen() || code.keepWindowstate() ||
               code.keepWindowSize());
  EXPECT_EQ(code.owningWindow(), nullptr);
  EXPECT_EQ(code.keyPath(), "\\Software\\Vellumdex\\vx_settings_test\\General");

  // The owning window is found through intermediate owners, and RootKey counts at loading.
  QObject* inner = new QObject(window.get());
  auto* deep = new TVXRegFormProperties(new QObject(inner), TVXRegFormProperties::FromLayout);
  deep->setActive(false);
  deep->setRootKey(rhAllUsers);
  deep->Loaded();
  EXPECT_EQ(deep->owningWindow(), window.get());
  EXPECT_EQ(deep->keyPath(), ".DEFAULT\\" + kWindowKey);
}

TEST_F(FormPlacement, FirstStartKeepsTheDesignedPositionInsteadOfCentring) {
  placeFromLayout();
  EXPECT_EQ(window->pos(), QPoint(255, 124));
  EXPECT_EQ(window->property("Position").toString(), "poDesigned");
  EXPECT_EQ(window->windowState(), Qt::WindowNoState);

  // Without OverridePosition the window keeps its own automatic placement.
  QWidget other;
  other.setObjectName("Other");
  other.setProperty("Position", "poScreenCenter");
  auto* p = new TVXRegFormProperties(&other, TVXRegFormProperties::FromLayout);
  p->setOverridePosition(false);
  p->Loaded();
  EXPECT_EQ(other.property("Position").toString(), "poScreenCenter");
}

TEST_F(FormPlacement, RestoresStoredPositionSizeAndState) {
  storeInt("Top", 40);
  storeInt("Left", 30);
  storeInt("Height", 222);
  storeInt("Width", 333);
  placeFromLayout(/*keepSize=*/true);
  EXPECT_EQ(window->pos(), QPoint(30, 40));
  EXPECT_EQ(window->size(), QSize(333, 222));

  // Size values are ignored unless KeepWindowSize is set.
  QWidget second;
  second.setObjectName("FVXSysDn");
  second.resize(400, 300);
  (new TVXRegFormProperties(&second, TVXRegFormProperties::FromLayout))->Loaded();
  EXPECT_EQ(second.size(), QSize(400, 300));
  EXPECT_EQ(second.pos(), QPoint(30, 40));
}

TEST_F(FormPlacement, AMaximisedWindowLeavesSizeAndPositionUnread) {
  storeInt("WindowState", 2);
  storeInt("Top", 10);
  storeInt("Left", 20);
  placeFromLayout();
  EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
  EXPECT_EQ(window->pos(), QPoint(255, 124));
}

TEST_F(FormPlacement, WindowStateIsOnlyRestoredWhenKeptAndKnown) {
  storeInt("WindowState", 7);
  placeFromLayout();
  EXPECT_EQ(window->windowState(), Qt::WindowNoState);

  storeInt("WindowState", 1);
  QWidget second;
  second.setObjectName("FVXSysDn");
  auto* p = new TVXRegFormProperties(&second, TVXRegFormProperties::FromLayout);
  p->setKeepWindowstate(false);
  p->Loaded();
  EXPECT_EQ(second.windowState(), Qt::WindowNoState);
}

TEST_F(FormPlacement, PullsTheWindowBackOntoThePrimaryScreen) {
  storeInt("Top", -50);
  storeInt("Left", screen().width() + 500);
  placeFromLayout();
  EXPECT_EQ(window->pos().y(), screen().top());
  EXPECT_EQ(window->pos().x() + window->width(), screen().right() + 1);

  // A window larger than the screen is cut down to it; off the bottom moves it up.
  storeInt("Height", screen().height() + 100);
  storeInt("Width", 200);
  storeInt("Top", screen().height() - 10);
  storeInt("Left", -5);
  QWidget tall;
  tall.setObjectName("FVXSysDn");
  auto* p = new TVXRegFormProperties(&tall, TVXRegFormProperties::FromLayout);
  p->setKeepWindowSize(true);
  p->Loaded();
  EXPECT_EQ(tall.height(), screen().height());
  EXPECT_EQ(tall.pos(), QPoint(0, 0));

  // Without KeepOnScreen the stored position stands.
  storeInt("Top", -50);
  QWidget free;
  free.setObjectName("FVXSysDn");
  auto* f = new TVXRegFormProperties(&free, TVXRegFormProperties::FromLayout);
  f->setKeepOnScreen(false);
  f->Loaded();
  EXPECT_EQ(free.pos(), QPoint(-5, -50));
}

TEST_F(FormPlacement, APlacementValueOfAnotherTypeCountsAsMissing) {
  store("Top", reg::Value::sz("10"));
  store("WindowState", reg::Value::binary({2, 0, 0, 0}));
  storeInt("Left", 77);
  placeFromLayout();
  EXPECT_EQ(window->pos(), QPoint(77, 124));
  EXPECT_EQ(window->windowState(), Qt::WindowNoState);
}

TEST_F(FormPlacement, DestroyingTheWindowSavesItsPlacementAsIntegers) {
  placeFromLayout(/*keepSize=*/true);
  window->move(31, 47);
  window->resize(321, 234);
  window.reset();
  EXPECT_EQ(*stored("Top"), reg::Value::fromDword(47));
  EXPECT_EQ(*stored("Left"), reg::Value::fromDword(31));
  EXPECT_EQ(*stored("Height"), reg::Value::fromDword(234));
  EXPECT_EQ(*stored("Width"), reg::Value::fromDword(321));
  EXPECT_EQ(*stored("WindowState"), reg::Value::fromDword(0));

  // A negative edge is stored as its 32-bit pattern and restored as negative.
  QWidget again;
  again.setObjectName("FVXSysDn");
  again.move(-20, 15);
  {
    auto* p = new TVXRegFormProperties(&again, TVXRegFormProperties::FromLayout);
    p->setKeepOnScreen(false);
    delete p;
  }
  QWidget third;
  third.setObjectName("FVXSysDn");
  auto* p = new TVXRegFormProperties(&third, TVXRegFormProperties::FromLayout);
  p->setKeepOnScreen(false);
  p->Loaded();
  EXPECT_EQ(third.pos(), QPoint(-20, 15));
}

TEST_F(FormPlacement, SavesOnlyWhatItKeeps) {
  auto* p = placeFromLayout();
  window->setWindowState(Qt::WindowMaximized);
  delete p;
  EXPECT_EQ(*stored("WindowState"), reg::Value::fromDword(2));
  EXPECT_TRUE(stored("Top") && stored("Left")) << "edges are written whatever the state";
  EXPECT_FALSE(stored("Height") || stored("Width"));

  QWidget minimised;
  minimised.setObjectName("Minimised");
  auto* m = new TVXRegFormProperties(&minimised, TVXRegFormProperties::FromLayout);
  minimised.setWindowState(Qt::WindowMinimized);
  delete m;
  EXPECT_EQ(reg::readValue(reg::Hive::CurrentUser, "Software\\Vellumdex\\vx_settings_test\\Minimised",
                           "WindowState")->dword, 1u);

  // By code: no state; inactive or designing: nothing at all.
  QWidget byCode;
  byCode.setObjectName("ByCode");
  delete new TVXRegFormProperties(&byCode);
  const std::string byCodeKey = "Software\\Vellumdex\\vx_settings_test\\ByCode";
  EXPECT_FALSE(reg::readValue(reg::Hive::CurrentUser, byCodeKey, "WindowState"));
  EXPECT_TRUE(reg::readValue(reg::Hive::CurrentUser, byCodeKey, "Top"));

  for (const char* name : {"Inactive", "Designing"}) {
    QWidget w;
    w.setObjectName(name);
    auto* c = new TVXRegFormProperties(&w, TVXRegFormProperties::FromLayout);
    if (std::string(name) == "Inactive")
      c->setActive(false);
    else
      c->setDesigning(true);
    c->Loaded();
    delete c;
    EXPECT_FALSE(reg::keyExists(reg::Hive::CurrentUser,
                                std::string("Software\\Vellumdex\\vx_settings_test\\") + name));
  }
}
