// Keeping a window on the screen on a real X server (run by run-under-x.sh), with and
// without a window manager: the whole window, the frame the window manager puts around it
// and the status bar at its bottom, ends on the screen after any stored position.
#include "platform/Registry.h"
#include "tests/support/TempDir.h"
#include "vxcomp/settings/ui/FormProp.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace reg = vx::reg;

namespace {

const std::string kWindowKey = "Software\\Vellumdex\\vx_framed_placement_test\\FVXSysDn";

bool windowManagerExpected() {
  const char* v = std::getenv("VX_WINDOW_MANAGER");
  return v && std::string(v) == "1";
}

}  // namespace

TEST(FramedPlacement, TheWholeWindowEndsOnTheScreen) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this test through run-under-x.sh";
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  struct Stored {
    int left, top;
    Qt::Corner pulledTo;  // the screen's corner the frame must meet
  };
  const Stored cases[] = {
      {area.right() + 400, area.bottom() + 300, Qt::BottomRightCorner},  // a lost monitor
      {area.right() - 50, area.bottom() - 20, Qt::BottomRightCorner},    // just over the edge
      {-300, -200, Qt::TopLeftCorner},
  };
  for (const Stored& s : cases) {
    SCOPED_TRACE(testing::Message() << "stored " << s.left << "," << s.top);
    vxtest::TempDir tmp;
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, kWindowKey, "Left",
                                reg::Value::fromDword(static_cast<uint32_t>(s.left))));
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, kWindowKey, "Top",
                                reg::Value::fromDword(static_cast<uint32_t>(s.top))));
    auto window = std::make_unique<QMainWindow>();
    window->setObjectName("FVXSysDn");
    window->setCentralWidget(new QLabel("circulation"));
    window->statusBar()->addWidget(new QLabel("Total: 3"));
    window->resize(520, 400);
    window->move(255, 124);
    auto* placement = new TVXRegFormProperties(window.get(), TVXRegFormProperties::FromLayout);
    placement->Loaded();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QWindow* handle = window->windowHandle();
    if (windowManagerExpected()) {
      // Framed: the title bar above the window at least.
      ASSERT_TRUE(QTest::qWaitFor([&] { return handle->frameMargins().top() > 0; }, 10000));
    } else {
      EXPECT_TRUE(handle->frameMargins().isNull());
    }
    // The window manager's own moves and the fit that follows them arrive as events.
    const auto onScreen = [&] { return area.contains(handle->frameGeometry()); };
    EXPECT_TRUE(QTest::qWaitFor(onScreen, 10000))
        << "frame " << handle->frameGeometry().x() << "," << handle->frameGeometry().y() << " "
        << handle->frameGeometry().width() << "x" << handle->frameGeometry().height();
    const QRect frame = handle->frameGeometry();
    if (s.pulledTo == Qt::BottomRightCorner) {
      EXPECT_EQ(frame.bottomRight(), area.bottomRight());
    } else {
      EXPECT_EQ(frame.topLeft(), area.topLeft());
    }
    const QRect statusBar(window->statusBar()->mapToGlobal(QPoint(0, 0)), window->statusBar()->size());
    EXPECT_TRUE(area.contains(statusBar));
    placement->setActive(false);  // nothing to remember
  }
}
