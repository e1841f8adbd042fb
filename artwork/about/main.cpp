// vxaboutart: draws the about box's product logo and writes it as logo.png into the folder
// given on the command line (see AboutArtwork.h).
//
// The logo is an open book, its left page lined like text and its right page carrying a
// barcode (what the circulation desk scans), beside the name "Vellumdex" in a bold serif, with
// a thin rule under the name. The name is drawn as a path from whatever serif face the build
// machine has, scaled to fill its room, so the picture keeps its proportions with any face.
//
// Usage: vxaboutart <output folder>
#include "artwork/about/AboutArtwork.h"
#include "artwork/BookShape.h"

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <cstdio>

namespace {

using namespace vx::about::artwork;

const QColor kInk(24, 46, 92);        // deep blue: the book's cover and the name
const QColor kAccent(32, 128, 140);   // teal: the rule and the page edges
const QColor kPaper(250, 246, 232);   // the pages
const QColor kPaperShade(226, 218, 196);

// The book: two pages meeting at a spine, each page a gentle curve, over a cover that shows
// below them.
void drawBook(QPainter& p) {
  const double spineX = book::kSpineX, top = book::kTop, bottom = book::kBottom, left = book::kLeft,
               right = book::kRight;

  p.fillPath(book::cover(), kInk);

  for (const double edge : {left, right}) {
    QLinearGradient shade(spineX, 0, edge, 0);
    shade.setColorAt(0, kPaperShade);
    shade.setColorAt(0.25, kPaper);
    shade.setColorAt(1, kPaper);
    p.setPen(QPen(kAccent, 1.2));
    p.setBrush(shade);
    p.drawPath(book::page(edge));
  }

  // Lines of text on the left page, following the page's curve.
  p.setPen(QPen(QColor(150, 160, 180), 1.4, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 7; ++i) {
    const double y = top + 9 + i * 5.2;
    QPainterPath line;
    line.moveTo(spineX - 5, y + 2);
    line.quadTo(spineX - 18, y - 2, left + 5, y);
    p.drawPath(line);
  }

  // A barcode on the right page: bars of one, two and three units.
  static constexpr int kBars[] = {2, 1, 1, 3, 1, 2, 1, 1, 2, 3, 1, 1, 2, 1};
  double x = spineX + 7;
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  bool bar = true;
  for (const int units : kBars) {
    const double w = units * 0.9;
    if (bar) p.drawRect(QRectF(x, top + 9, w, 30));
    x += w;
    bar = !bar;
  }
  p.setPen(QPen(kInk, 1));
  for (int i = 0; i < 5; ++i) p.drawPoint(QPointF(spineX + 8 + i * 4.5, top + 42));
  // The spine.
  p.setPen(QPen(kInk, 1.4));
  p.drawLine(QPointF(spineX, top + 6), QPointF(spineX, bottom));
}

// "Vellumdex", filling the room right of the book, with the rule below it.
void drawName(QPainter& p) {
  const QRectF room(98, 10, 222, 40);
  QFont font(QStringLiteral("DejaVu Serif"));
  font.setStyleHint(QFont::Serif);
  font.setBold(true);
  font.setPixelSize(40);
  QPainterPath name;
  name.addText(0, 0, font, QStringLiteral("Vellumdex"));
  const QRectF box = name.boundingRect();
  const double scale = std::min(room.width() / box.width(), room.height() / box.height());
  QTransform place;
  place.translate(room.left(), room.bottom());
  place.scale(scale, scale);
  place.translate(-box.left(), -box.bottom());
  const QPainterPath placed = place.map(name);
  p.fillPath(placed, kInk);

  const QRectF drawn = placed.boundingRect();
  p.setPen(QPen(kAccent, 2.5, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(drawn.left() + 1, 59), QPointF(drawn.right(), 59));
}

QImage drawLogo() {
  QImage image(kLogoWidth, kLogoHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  drawBook(p);
  drawName(p);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vxaboutart <output folder>\n");
    return 2;
  }
  // Fonts need a GUI application; the build has no screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "vxaboutart: cannot create %s\n", argv[1]);
    return 1;
  }
  const QString path = QDir(folder).filePath(QStringLiteral("logo.png"));
  if (!drawLogo().save(path, "PNG")) {
    std::fprintf(stderr, "vxaboutart: cannot write %s\n", qPrintable(path));
    return 1;
  }
  return 0;
}
