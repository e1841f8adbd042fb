// The windows' icon (artwork/desktop_icons/DesktopIcons.h): every size drawn is embedded, and
// the icon hands out each size as it was drawn, not scaled from another.
#include "artwork/desktop_icons/DesktopIcons.h"

#include <QImage>
#include <QPixmap>
#include <QSize>

#include <gtest/gtest.h>

namespace {

TEST(DesktopIconTest, EverySizeIsEmbeddedAndDrawnForItself) {
  const QIcon icon = vx::desktop::applicationIcon();
  ASSERT_FALSE(icon.isNull());
  for (const int size : vx::desktop::kIconSizes) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const QImage embedded(QStringLiteral(":/vxdesktop/%1.png").arg(size));
    ASSERT_EQ(embedded.size(), QSize(size, size));
    const QImage shown = icon.pixmap(QSize(size, size)).toImage();
    ASSERT_EQ(shown.size(), QSize(size, size));
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32), embedded.convertToFormat(QImage::Format_ARGB32));
  }
}

TEST(DesktopIconTest, TheCornersAreTransparentAndTheMiddleIsNot) {
  for (const int size : vx::desktop::kIconSizes) {
    SCOPED_TRACE(size);
    const QImage image(QStringLiteral(":/vxdesktop/%1.png").arg(size));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0);
    EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
  }
}

}  // namespace
