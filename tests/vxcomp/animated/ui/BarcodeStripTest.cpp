// The barcode strip that the build draws and embeds, and how the picture control shows it.
#include "artwork/barcode_strip/StripResource.h"
#include "vxcomp/animated/ui/VXAnimate.h"

#include <QFile>
#include <QImage>
#include <QPalette>
#include <QWidget>
#include <gtest/gtest.h>

#include <set>

namespace {

constexpr int kFrameWidth = 70;
constexpr QRgb kMagenta = qRgb(255, 0, 255);
const QString kStripPath = QStringLiteral(":/vxdown/barcode_strip.bmp");

QImage loadStrip() {
  vxInitStripResource();
  QImage strip(kStripPath);
  return strip.convertToFormat(QImage::Format_RGB32);
}

bool isGreen(QRgb c) { return qGreen(c) >= 100 && qRed(c) < 64 && qBlue(c) < 64; }

TEST(BarcodeStrip, IsAFiveFrame16ColourBitmap) {
  vxInitStripResource();
  QFile file(kStripPath);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  ASSERT_GT(bytes.size(), 54);
  EXPECT_EQ(bytes.left(2), QByteArray("BM"));
  const int bitsPerPixel = static_cast<uchar>(bytes[28]) | (static_cast<uchar>(bytes[29]) << 8);
  EXPECT_EQ(bitsPerPixel, 4);

  const QImage strip = loadStrip();
  ASSERT_EQ(strip.size(), QSize(350, 21));
  std::set<QRgb> colours;
  int magenta = 0;
  for (int y = 0; y < strip.height(); ++y)
    for (int x = 0; x < strip.width(); ++x) {
      colours.insert(strip.pixel(x, y));
      magenta += strip.pixel(x, y) == kMagenta;
    }
  EXPECT_LE(colours.size(), 16u);
  // Magenta is the background: the corners of every frame, and most of the picture.
  for (int f = 0; f < 5; ++f) {
    EXPECT_EQ(strip.pixel(f * kFrameWidth, 0), kMagenta) << "frame " << f;
    EXPECT_EQ(strip.pixel(f * kFrameWidth + kFrameWidth - 1, 20), kMagenta) << "frame " << f;
  }
  EXPECT_GT(magenta, strip.width() * strip.height() / 2);
}

TEST(BarcodeStrip, EachFrameHasABarcodeAndAnArrowFurtherRight) {
  const QImage strip = loadStrip();
  ASSERT_EQ(strip.size(), QSize(350, 21));
  int previousArrow = -1;
  for (int f = 0; f < 5; ++f) {
    const int origin = f * kFrameWidth;
    // The barcode across the middle row of the frame's left part: black bars of more than one
    // width on white, and nothing green.
    std::set<int> barWidths;
    int run = 0;
    bool white = false;
    for (int x = 0; x < 32; ++x) {
      const QRgb c = strip.pixel(origin + x, 10);
      EXPECT_FALSE(isGreen(c)) << "frame " << f << " x " << x;
      white = white || c == qRgb(255, 255, 255);
      if (c == qRgb(0, 0, 0)) {
        ++run;
      } else if (run > 0) {
        barWidths.insert(run);
        run = 0;
      }
    }
    EXPECT_TRUE(white) << "frame " << f;
    EXPECT_GE(barWidths.size(), 2u) << "frame " << f;

    int arrow = -1;
    for (int x = 0; x < kFrameWidth && arrow < 0; ++x)
      for (int y = 0; y < strip.height(); ++y)
        if (isGreen(strip.pixel(origin + x, y))) {
          arrow = x;
          break;
        }
    ASSERT_GE(arrow, 32) << "frame " << f << ": the arrow stands right of the barcode";
    EXPECT_GT(arrow, previousArrow) << "frame " << f;
    previousArrow = arrow;
  }
}

// The window's setting: 70 by 21, five frames, magenta shows the window's own colour.
TEST(BarcodeStrip, ShowsThroughInTheControl) {
  QWidget parent;
  QPalette palette = parent.palette();
  const QRgb background = qRgb(212, 208, 200);
  palette.setColor(QPalette::Window, QColor(background));
  parent.setPalette(palette);
  TVXAnimated control(&parent);
  control.resize(70, 21);
  vxInitStripResource();
  control.setBitMap(QImage(kStripPath));
  control.setFrameCount(5);
  control.setTransparentColor(QColor(255, 0, 255));
  ASSERT_EQ(control.size(), QSize(70, 21));

  const QImage strip = loadStrip();
  for (int f = 0; f < 5; ++f) {
    control.setFrame(f);
    const QImage shown = control.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(70, 21));
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 70; ++x) {
        const QRgb source = strip.pixel(f * kFrameWidth + x, y);
        ASSERT_EQ(shown.pixel(x, y), source == kMagenta ? background : source)
            << "frame " << f << " at " << x << "," << y;
      }
  }
}

}  // namespace
