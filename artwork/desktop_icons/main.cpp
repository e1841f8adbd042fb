// vxdesktopart: draws the program's icon for the desktop's hicolor theme and writes it as
// <folder>/hicolor/<N>x<N>/apps/<name>.png for every size N of DesktopIcons.h.
//
// The icon is the about box's book (artwork/about/main.cpp) without the name: an open
// book on a deep blue cover, its left page lined like text, its right page carrying a barcode
// (what the circulation desk scans). Each size is drawn for itself instead of scaled down:
//
//   16 to 32 pixels  drawn on the pixel grid, without antialiasing: flat pages with a shaded
//                    gutter that dips at the spine, one-pixel text lines and barcode bars, so
//                    that nothing blurs;
//   48 and above     the about box's curved pages with their shading, the outline, the lines and
//                    the bars sized for the picture (the bars and the lines still on whole
//                    pixels), and the barcode's digits from 64 pixels up.
//
// Usage: vxdesktopart <output folder> <icon name>
#include "artwork/desktop_icons/DesktopIcons.h"
#include "artwork/BookShape.h"

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRect>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

namespace book = vx::about::artwork::book;

// The about box's colours.
const QColor kInk(24, 46, 92);        // deep blue: the cover, the spine and the barcode
const QColor kAccent(32, 128, 140);   // teal: the page edges
const QColor kPaper(250, 246, 232);   // the pages
const QColor kPaperShade(226, 218, 196);
const QColor kText(150, 160, 180);    // the lines of text (darker on the small sizes)
const QColor kTextSmall(116, 128, 156);

// The barcode's bars and gaps in units, bar first: the about box's bars for the large sizes,
// and for the small ones bars of one and two pixels with one-pixel gaps, which stay a barcode
// in a few pixels. Each size takes as many as fit.
using Bars = std::vector<int>;
const Bars kBars = {2, 1, 1, 3, 1, 2, 1, 1, 2, 3, 1, 1, 2, 1, 1, 2, 3, 1, 2, 1, 1, 1, 2};
const Bars kSmallBars = {1, 1, 2, 1, 1, 1, 1, 1, 2, 1, 1, 1, 2};

// Draws the bars from x to at most x + width in whole pixels of `unit` each; stops at the last
// bar that fits, and returns the right end of what was drawn.
int drawBarcode(QPainter& p, const Bars& bars, int x, int width, int top, int height, int unit) {
  int end = x;
  int at = x;
  bool bar = true;
  for (const int units : bars) {
    const int w = units * unit;
    if (at + w > x + width) break;
    if (bar) {
      p.fillRect(QRect(at, top, w, height), kInk);
      end = at + w;
    }
    at += w;
    bar = !bar;
  }
  return end;
}

// Width of the bars that fit into `width`, as drawBarcode draws them.
int barcodeWidth(const Bars& bars, int width, int unit) {
  int end = 0;
  int at = 0;
  bool bar = true;
  for (const int units : bars) {
    const int w = units * unit;
    if (at + w > width) break;
    if (bar) end = at + w;
    at += w;
    bar = !bar;
  }
  return end;
}

// 16 to 32 pixels: everything on whole pixels.
void drawSmall(QPainter& p, int size) {
  const int margin = size >= 22 ? 1 : 0;
  const int cover = size >= 32 ? 2 : 1;              // the cover's rim beside and below the pages
  const int height = static_cast<int>(std::lround(size * 0.75));
  const int top = (size - height) / 2;
  const int bottom = top + height;                   // below the cover
  const int left = margin, right = size - margin;
  const int spine = size / 2;
  const int pageBottom = bottom - cover;
  const int gutter = size >= 32 ? 2 : 1;             // shaded columns each side of the spine

  // The cover shows beside and below the pages, from a little below their top edge.
  p.fillRect(QRect(left, top + 2, right - left, bottom - top - 2), kInk);
  for (const bool isLeft : {true, false}) {
    const int x0 = isLeft ? left + cover : spine;
    const int x1 = isLeft ? spine : right - cover;
    // The page, its top edge in teal; the gutter dips one pixel at the spine.
    p.fillRect(QRect(x0, top, x1 - x0, pageBottom - top), kPaper);
    p.fillRect(QRect(x0, top, x1 - x0, 1), kAccent);
    const int gx = isLeft ? spine - gutter : spine;
    p.fillRect(QRect(gx, top, gutter, 1), Qt::transparent);
    p.fillRect(QRect(gx, top + 1, gutter, 1), kAccent);
    p.fillRect(QRect(gx, top + 2, gutter, pageBottom - top - 2), kPaperShade);
  }
  // The spine's pixel under the pages: the cover shows there, a pixel deeper than beside it.
  if (size >= 22) p.fillRect(QRect(spine - 1, pageBottom, 2, 1), kInk);

  // Lines of text on the left page, every other row (every third from 24 pixels up).
  const int step = size >= 24 ? 3 : 2;
  const int textLeft = left + cover + 1;
  const int textRight = spine - gutter - 1;
  int row = 0;
  for (int y = top + (size >= 24 ? 3 : 2); y < pageBottom - 1; y += step, ++row) {
    // Every third line is shorter, as a paragraph's last line.
    const int end = row % 3 == 2 ? textRight - (textRight - textLeft) / 3 : textRight;
    p.fillRect(QRect(textLeft, y, end - textLeft, 1), kTextSmall);
  }

  // The barcode on the right page, between the gutter and a pixel of paper at the page's edge
  // (so that no bar runs into the cover), centred with the odd pixel on the gutter's side.
  const int room0 = spine + gutter + (size >= 32 ? 1 : 0);
  const int room1 = right - cover - 1;
  const int width = barcodeWidth(kSmallBars, room1 - room0, 1);
  const int barTop = top + (size >= 24 ? 3 : 2);
  const int barBottom = pageBottom - (size >= 24 ? 3 : 2);
  drawBarcode(p, kSmallBars, room0 + (room1 - room0 - width + 1) / 2, width, barTop, barBottom - barTop, 1);
}

// 48 pixels and above: the about box's book, its curves in the about box's coordinates
// (x 8 to 84, y 12 to 64) scaled to the icon, the pens sized in the icon's pixels.
void drawLarge(QPainter& p, int size) {
  const double spineX = book::kSpineX, top = book::kTop, bottom = book::kBottom, left = book::kLeft,
               right = book::kRight;
  const double margin = size / 32.0;
  const double scale = (size - 2 * margin) / 76.0;
  QTransform place;
  // The book, from y 14 to 64, centred in the square (as in the scalable icon).
  place.translate(size / 2.0 - spineX * scale, size / 2.0 - 39 * scale);
  place.scale(scale, scale);
  const double px = 1 / scale;  // one pixel in the book's coordinates

  p.setRenderHint(QPainter::Antialiasing);
  p.setTransform(place);

  p.fillPath(book::cover(), kInk);

  // The edge: about one pixel and a half at 48, growing slowly with the size.
  const double edgePen = std::max(1.4, size / 64.0 * 1.6) * px;
  for (const double edge : {left, right}) {
    QLinearGradient shade(spineX, 0, edge, 0);
    shade.setColorAt(0, kPaperShade);
    shade.setColorAt(0.25, kPaper);
    shade.setColorAt(1, kPaper);
    p.setPen(QPen(kAccent, edgePen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(shade);
    p.drawPath(book::page(edge));
  }

  // Lines of text on the left page, following the page's curve: fewer and thicker on the
  // smaller pictures, so that they stay lines.
  const int lines = size >= 128 ? 7 : (size >= 64 ? 6 : 5);
  const double span = 26;  // from the first line to the last in the book's coordinates
  const double linePen = std::max(1.0, std::round(1.4 * scale * (size >= 128 ? 1.0 : 1.2))) * px;
  p.setPen(QPen(size >= 64 ? kText : kTextSmall, linePen, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < lines; ++i) {
    const double y = top + 9 + i * span / (lines - 1);
    QPainterPath line;
    const double end = (i % 3 == 2) ? left + 14 : left + 5;  // a paragraph's last line is shorter
    line.moveTo(spineX - 5, y + 2);
    line.quadTo(spineX - 18, y - 2, end, y);
    p.drawPath(line);
  }

  // The spine.
  p.setPen(QPen(kInk, std::max(1.4, 1.4 * scale * 0.8) * px, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(spineX, top + 6), QPointF(spineX, bottom));

  // The barcode on whole pixels: the page's flat middle in the icon's pixels.
  p.resetTransform();
  p.setRenderHint(QPainter::Antialiasing, false);
  const QPointF a = place.map(QPointF(spineX + 6, top + 8));
  const QPointF b = place.map(QPointF(right - 5, size >= 64 ? top + 38 : top + 41));
  const int unit = std::max(1, static_cast<int>(std::floor((b.x() - a.x()) / 26)));
  const int x0 = static_cast<int>(std::ceil(a.x()));
  const int x1 = static_cast<int>(std::floor(b.x()));
  const int width = barcodeWidth(kBars, x1 - x0, unit);
  const int barLeft = x0 + (x1 - x0 - width) / 2;
  const int barTop = static_cast<int>(std::lround(a.y()));
  const int barBottom = static_cast<int>(std::lround(b.y()));
  drawBarcode(p, kBars, barLeft, width, barTop, barBottom - barTop, unit);
  // The digits under the bars, as dots, from 64 pixels up.
  if (size >= 64) {
    const int dot = std::max(1, static_cast<int>(std::lround(scale * 0.9)));
    const int y = static_cast<int>(std::lround(place.map(QPointF(0, top + 41.5)).y()));
    const int count = 6;
    for (int i = 0; i < count; ++i) {
      const int x = barLeft + static_cast<int>(std::lround((width - dot) * i / double(count - 1)));
      p.fillRect(QRect(x, y, dot, dot), kInk);
    }
  }
}

QImage drawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setCompositionMode(QPainter::CompositionMode_Source);  // transparent fills clear
  if (size <= 32) {
    drawSmall(p, size);
  } else {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    drawLarge(p, size);
  }
  p.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vxdesktopart <output folder> <icon name>\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  const QString name = QString::fromLocal8Bit(argv[2]);
  for (const int size : vx::desktop::kIconSizes) {
    const QString dir = QStringLiteral("hicolor/%1x%1/apps").arg(size);
    if (!folder.mkpath(dir)) {
      std::fprintf(stderr, "vxdesktopart: cannot create %s\n", qPrintable(folder.filePath(dir)));
      return 1;
    }
    const QString path = folder.filePath(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    if (!drawIcon(size).save(path, "PNG")) {
      std::fprintf(stderr, "vxdesktopart: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
