// vxloginart: draws the artwork of the login dialog and the wait dialog and writes it as PNG
// files into the folder given on the command line (see LoginArtwork.h for what each picture is).
//
// The small pictures are set pixel by pixel, either from text drawings (one character a pixel)
// or from shapes tested at each pixel's centre, so that nothing is smoothed into a blur at these
// sizes. Only the wait dialog's background, which is large and soft by design, is painted with
// QPainter's smoothing.
//
// Usage: vxloginart <output folder>
#include "artwork/login/LoginArtwork.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <span>
#include <string_view>

namespace {

using namespace vx::login::artwork;

constexpr int kBackgroundWidth = 326;
constexpr int kBackgroundHeight = 93;
constexpr int kIconSize = 32;

// ---------------------------------------------------------------------------------------------
// Colours

constexpr QRgb kMagenta = qRgb(255, 0, 255);  // shows the control's background
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kSilver = qRgb(192, 192, 192);
constexpr QRgb kGray = qRgb(128, 128, 128);
constexpr QRgb kDarkGray = qRgb(64, 64, 64);
constexpr QRgb kNavy = qRgb(0, 0, 128);  // the highlight colour of a selected tree image

// The text drawings' colours, one character each; '.' leaves the pixel as it is.
QRgb inkOf(char key) {
  switch (key) {
    case 'k': return kBlack;
    case 'd': return kDarkGray;
    case 'r': return qRgb(208, 32, 32);    // red roof
    case 'm': return qRgb(128, 0, 0);      // maroon roof shadow, red book
    case 'c': return qRgb(248, 240, 208);  // cream stone
    case 'y': return qRgb(224, 200, 136);  // sand stone shadow
    case 'b': return qRgb(64, 128, 255);   // blue glass, blue book
    case 'n': return qRgb(0, 0, 160);      // dark blue book
    case 'o': return qRgb(168, 104, 40);   // wood
    case 'u': return qRgb(104, 56, 16);    // dark wood
    case 'G': return qRgb(0, 176, 0);      // green arrow, green book
    case 'Y': return qRgb(255, 216, 0);    // yellow book
    default: return kMagenta;
  }
}

QRgb mix(QRgb a, QRgb b, double share) {
  const auto channel = [share](int x, int y) {
    return static_cast<int>(std::lround(x + (y - x) * share));
  };
  return qRgb(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)),
              channel(qBlue(a), qBlue(b)));
}

// ---------------------------------------------------------------------------------------------
// Drawing pixel by pixel

// One picture, or one frame of a strip: coordinates are relative to the frame's top left
// corner, and whatever falls outside the frame is dropped, so that a shape near a frame's edge
// never spills into its neighbour.
class Canvas {
 public:
  Canvas(QImage& image, QRect frame) : image_(image), frame_(frame) {}

  int width() const { return frame_.width(); }
  int height() const { return frame_.height(); }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }

  void set(int x, int y, QRgb colour) {
    if (contains(x, y)) image_.setPixel(frame_.left() + x, frame_.top() + y, colour);
  }
  QRgb at(int x, int y) const {
    return contains(x, y) ? image_.pixel(frame_.left() + x, frame_.top() + y) : kMagenta;
  }
  // Rectangles and lines include both their end points.
  void fill(int left, int top, int right, int bottom, QRgb colour) {
    for (int y = top; y <= bottom; ++y)
      for (int x = left; x <= right; ++x) set(x, y, colour);
  }
  void hLine(int left, int right, int y, QRgb colour) { fill(left, y, right, y, colour); }
  void vLine(int x, int top, int bottom, QRgb colour) { fill(x, top, x, bottom, colour); }

 private:
  QImage& image_;
  QRect frame_;
};

// A frame of a strip, counted from the left.
Canvas frameOf(QImage& strip, int index, int width, int height) {
  return Canvas(strip, QRect(index * width, 0, width, height));
}

QImage blankImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(kMagenta);
  return image;
}

// Stamps a text drawing with its top left corner at (left, top).
void stamp(Canvas& canvas, int left, int top, std::span<const std::string_view> rows) {
  for (int y = 0; y < static_cast<int>(rows.size()); ++y)
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
      if (rows[y][x] != '.') canvas.set(left + x, top + y, inkOf(rows[y][x]));
}

// True when every row of a text drawing has `width` characters; checked at compile time.
constexpr bool rowsAreWide(std::span<const std::string_view> rows, std::size_t width) {
  return std::ranges::all_of(rows, [width](std::string_view row) { return row.size() == width; });
}

// Paints a shape given by `inside(x, y)`, which is asked about pixel centres, within `box`:
// the shape's pixels with a neighbour outside it (left, right, above or below) in `outline`,
// the others in `fill(x, y)`.
template <typename Inside, typename Fill>
void paintShape(Canvas& canvas, QRect box, Inside inside, Fill fill, QRgb outline) {
  const auto in = [&](int x, int y) { return inside(x + 0.5, y + 0.5); };
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left(); x <= box.right(); ++x) {
      if (!in(x, y)) continue;
      const bool edge = !in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1);
      canvas.set(x, y, edge ? outline : fill(x, y));
    }
  }
}

auto solid(QRgb colour) {
  return [colour](int, int) { return colour; };
}

// A raised box in the classic desktop style: light top and left edges, dark bottom and right
// edges inside a black outline.
void drawRaisedBox(Canvas& canvas, int left, int top, int right, int bottom, QRgb face) {
  canvas.fill(left, top, right, bottom, kBlack);
  canvas.fill(left + 1, top + 1, right - 1, bottom - 1, kGray);
  canvas.fill(left + 1, top + 1, right - 2, bottom - 2, kWhite);
  canvas.fill(left + 2, top + 2, right - 2, bottom - 2, face);
}

// ---------------------------------------------------------------------------------------------
// The database cylinder (the connecting animation and the login icon)

struct CylinderColours {
  QRgb outline, lid, light, face, shade, dark;
};
constexpr CylinderColours kSlate = {qRgb(24, 32, 88),    qRgb(200, 212, 244),
                                    qRgb(232, 238, 255), qRgb(144, 164, 220),
                                    qRgb(104, 124, 192), qRgb(64, 80, 152)};

// A cylinder standing upright in the box (left, top, width, height): a body lit from the left
// between the lid's ellipse and the bottom's, the lid's front edge, and `bands` lines that split
// the body into stacked discs. The ellipses are `depth` pixels high.
void drawCylinder(Canvas& canvas, int left, int top, int width, int height, int depth,
                  int bands, const CylinderColours& colours) {
  const double rx = width / 2.0;
  const double ry = depth / 2.0;
  const double cx = left + rx;
  const double lidY = top + ry;
  const double bottomY = top + height - ry;
  // Half the ellipses' height at the horizontal position x.
  const auto half = [&](double x) {
    const double t = (x - cx) / rx;
    return t * t >= 1 ? 0.0 : ry * std::sqrt(1 - t * t);
  };
  const auto inside = [&](double x, double y) {
    return std::abs(x - cx) <= rx && y >= lidY - half(x) && y <= bottomY + half(x);
  };
  // The body's columns from left to right: a highlight a third of the way in, darker towards
  // the right edge.
  const auto shade = [&](int x, int y) {
    if (y + 0.5 < lidY + half(x + 0.5)) return colours.lid;
    const double t = (x + 0.5 - left) / width;
    if (t < 0.12) return colours.face;
    if (t < 0.38) return colours.light;
    if (t < 0.62) return colours.face;
    if (t < 0.82) return colours.shade;
    return colours.dark;
  };
  paintShape(canvas, QRect(left, top, width, height), inside, shade, colours.outline);

  // The front half of an ellipse centred at height y, as a line without gaps between the
  // outline's two sides. Each column holds the ellipse's lowest pixel in it; where the line
  // climbs towards an end, the column nearer the middle also takes the rows up to its outer
  // neighbour's, so that the line is closed and equally thick on both sides.
  const auto frontEdge = [&](double y, QRgb colour) {
    const auto row = [&](int x) { return static_cast<int>(std::floor(y + half(x + 0.5) - 0.5)); };
    for (int x = left + 1; x < left + width - 1; ++x) {
      const int outer = x + 0.5 < cx ? x - 1 : x + 1;
      canvas.vLine(x, std::min(row(x), row(outer) + 1), row(x), colour);
    }
  };
  frontEdge(lidY, colours.outline);
  for (int band = 1; band <= bands; ++band)
    frontEdge(lidY + (bottomY - lidY) * band / (bands + 1), colours.dark);
}

// ---------------------------------------------------------------------------------------------
// The magnifying glass (the file search animation)

constexpr double kLensRadius = 7.0;     // outer edge of the rim
constexpr double kRimWidth = 2.0;
constexpr double kHandleLength = 6.0;   // beyond the rim, towards the lower right
constexpr double kHandleWidth = 3.2;
constexpr QRgb kGlassTint = qRgb(200, 236, 255);
constexpr QRgb kHandle = qRgb(128, 64, 16);

// A magnifying glass with its lens centred at (cx, cy) and its handle pointing to the lower
// right. The lens shows what lies beneath it twice as large, tinted light blue, with a glint.
void drawMagnifier(Canvas& canvas, double cx, double cy) {
  const QRect box(static_cast<int>(cx - kLensRadius) - 1, static_cast<int>(cy - kLensRadius) - 1,
                  static_cast<int>(2 * kLensRadius + kHandleLength + kHandleWidth) + 3,
                  static_cast<int>(2 * kLensRadius + kHandleLength + kHandleWidth) + 3);
  const double glass = kLensRadius - kRimWidth;

  // The glass first, sampling the picture as it was before the lens came over it.
  QImage before(box.size(), QImage::Format_RGB32);
  for (int y = 0; y < box.height(); ++y)
    for (int x = 0; x < box.width(); ++x)
      before.setPixel(x, y, canvas.at(box.left() + x, box.top() + y));
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left(); x <= box.right(); ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      if (std::hypot(dx, dy) >= glass) continue;
      const int sx = static_cast<int>(std::floor(cx + dx / 2)) - box.left();
      const int sy = static_cast<int>(std::floor(cy + dy / 2)) - box.top();
      QRgb seen = before.pixel(sx, sy);
      if (seen == kMagenta) seen = kWhite;
      canvas.set(x, y, mix(seen, kGlassTint, 0.35));
    }
  }
  // The glint on the glass, upper left.
  const int gx = static_cast<int>(std::floor(cx - glass / 2));
  const int gy = static_cast<int>(std::floor(cy - glass / 2));
  canvas.set(gx, gy, kWhite);
  canvas.set(gx + 1, gy, kWhite);
  canvas.set(gx, gy + 1, kWhite);

  // The handle: a bar along the diagonal, from inside the rim outwards.
  const double reach = kLensRadius + kHandleLength;
  const auto inHandle = [&](double x, double y) {
    const double along = ((x - cx) + (y - cy)) / std::numbers::sqrt2;
    const double across = ((x - cx) - (y - cy)) / std::numbers::sqrt2;
    return along >= kLensRadius - 1 && along <= reach && std::abs(across) <= kHandleWidth / 2;
  };
  paintShape(canvas, box, inHandle, solid(kHandle), kBlack);

  // The rim: black edges around a grey ring.
  const auto inRim = [&](double x, double y) {
    const double d = std::hypot(x - cx, y - cy);
    return d < kLensRadius && d >= glass;
  };
  paintShape(canvas, box, inRim, solid(kGray), kBlack);
}

// ---------------------------------------------------------------------------------------------
// filesearch.png: an open folder with sheets of paper standing in it, and a magnifying glass
// circling over the sheets.

constexpr QRgb kFolderBack = qRgb(224, 176, 48);
constexpr QRgb kFolderFront = qRgb(255, 216, 96);
constexpr QRgb kFolderLight = qRgb(255, 240, 168);
constexpr QRgb kFolderEdge = qRgb(120, 80, 0);
constexpr QRgb kInk = qRgb(96, 96, 112);
constexpr QRgb kBlueInk = qRgb(32, 64, 176);

// A sheet of paper with a grey outline and lines of text; the line lengths follow `pattern` so
// that the sheets differ.
void drawSheet(Canvas& canvas, int left, int top, int right, int bottom, QRgb paper,
               std::span<const int> pattern) {
  canvas.fill(left, top, right, bottom, kGray);
  canvas.fill(left + 1, top + 1, right - 1, bottom - 1, paper);
  // A heading in blue, then body text.
  canvas.hLine(left + 3, left + 3 + (right - left) / 2, top + 3, kBlueInk);
  int line = 0;
  for (int y = top + 6; y < bottom - 2; y += 3, ++line) {
    const int length = pattern[line % pattern.size()];
    canvas.hLine(left + 3, std::min(right - 3, left + 3 + length), y, kInk);
  }
}

// The back of the open folder, with its tab at the upper left.
void drawFolderBack(Canvas& canvas) {
  canvas.fill(1, 27, 12, 31, kFolderEdge);
  canvas.fill(2, 28, 11, 31, kFolderBack);
  canvas.fill(1, 31, 35, 60, kFolderEdge);
  canvas.fill(2, 32, 34, 59, kFolderBack);
}

// The folder's front flap, which hangs open: its top edge lies to the right of its bottom edge.
void drawFolderFront(Canvas& canvas) {
  constexpr double top = 42, bottom = 61, slant = 5;
  const auto inside = [&](double x, double y) {
    if (y < top || y > bottom) return false;
    const double shift = slant * (bottom - y) / (bottom - top);
    return x >= 1 + shift && x <= 32 + shift;
  };
  const auto face = [](int, int y) { return y <= 43 ? kFolderLight : kFolderFront; };
  paintShape(canvas, QRect(0, 40, kFrameWidth, 23), inside, face, kFolderEdge);
}

QImage drawFileSearch() {
  QImage strip = blankImage(kFrameWidth * kFrameCount, kFrameHeight);
  constexpr int kBackSheet[] = {14, 10, 13, 6, 12, 9};
  constexpr int kFrontSheet[] = {11, 14, 8, 13, 12, 5, 10};
  // The lens circles clockwise over the sheets, once in the strip.
  constexpr double kPathX = 20, kPathY = 22, kPathRadiusX = 6, kPathRadiusY = 9;
  for (int frame = 0; frame < kFrameCount; ++frame) {
    Canvas canvas = frameOf(strip, frame, kFrameWidth, kFrameHeight);
    drawFolderBack(canvas);
    drawSheet(canvas, 14, 4, 32, 50, qRgb(236, 236, 236), kBackSheet);
    drawSheet(canvas, 7, 10, 25, 54, kWhite, kFrontSheet);
    drawFolderFront(canvas);
    const double angle = 2 * std::numbers::pi * frame / kFrameCount;
    drawMagnifier(canvas, std::round(kPathX + kPathRadiusX * std::sin(angle)),
                  std::round(kPathY - kPathRadiusY * std::cos(angle)));
  }
  return strip;
}

// ---------------------------------------------------------------------------------------------
// computersearch.png: a database cylinder above a desk computer, with data packets travelling
// down from the database and up from the computer, text appearing on the screen and the
// computer's drive light flickering.

constexpr QRgb kScreen = qRgb(0, 48, 64);
constexpr QRgb kScreenText = qRgb(96, 255, 160);
constexpr QRgb kPacketDown = qRgb(255, 216, 0);
constexpr QRgb kPacketUp = qRgb(64, 224, 64);
constexpr QRgb kLedOn = qRgb(0, 255, 0);
constexpr QRgb kLedOff = qRgb(0, 96, 0);

constexpr int kLaneTop = 14;     // inside the cylinder, so packets come out of it
constexpr int kLaneBottom = 42;  // inside the monitor, so packets go into it
constexpr int kPacketStep = 2;   // pixels a packet moves from one frame to the next
constexpr int kPacketGap = 8;    // between two packets on the same lane

// A packet: a square of 3 by 3 pixels in a dark frame, centred on (x, y).
void drawPacket(Canvas& canvas, int x, int y, QRgb colour) {
  canvas.fill(x - 2, y - 2, x + 2, y + 2, kDarkGray);
  canvas.fill(x - 1, y - 1, x + 1, y + 1, colour);
}

// The two lanes: a dotted line each, with the packets on them at this frame.
void drawLanes(Canvas& canvas, int frame) {
  constexpr int kDownX = 15, kUpX = 23;
  for (int y = kLaneTop; y <= kLaneBottom; y += 2) {
    canvas.set(kDownX, y, kGray);
    canvas.set(kUpX, y, kGray);
  }
  const int length = kLaneBottom - kLaneTop;
  for (int offset = (frame * kPacketStep) % kPacketGap; offset <= length; offset += kPacketGap) {
    drawPacket(canvas, kDownX, kLaneTop + offset, kPacketDown);
    drawPacket(canvas, kUpX, kLaneBottom - offset, kPacketUp);
  }
}

// A monitor standing on a desktop case. The screen fills with lines of text during the strip,
// a cursor blinking after the last one; the drive light flickers.
void drawComputer(Canvas& canvas, int frame) {
  // Monitor.
  drawRaisedBox(canvas, 4, 39, 34, 56, kSilver);
  canvas.fill(7, 42, 31, 53, kGray);
  canvas.fill(8, 43, 31, 53, kWhite);
  canvas.fill(8, 43, 30, 52, kScreen);
  constexpr int kLineLengths[] = {15, 10, 18, 7};
  const int lines = 1 + frame * 4 / kFrameCount;
  int cursorX = 10;
  int cursorY = 45;
  for (int line = 0; line < lines; ++line) {
    const int y = 45 + 2 * line;
    // The newest line is typed out over the frames it is on.
    const int typed = line + 1 < lines ? kLineLengths[line]
                                       : kLineLengths[line] * (1 + frame % 4) / 4;
    canvas.hLine(10, 10 + typed - 1, y, kScreenText);
    cursorX = 10 + typed + 1;
    cursorY = y;
  }
  if (frame % 2 == 0) canvas.hLine(cursorX, cursorX + 1, cursorY, kScreenText);
  // Stand.
  canvas.fill(14, 57, 24, 57, kBlack);
  canvas.fill(15, 57, 23, 57, kGray);
  // Case: a drive slot and the drive light.
  drawRaisedBox(canvas, 2, 58, 36, 62, kSilver);
  canvas.hLine(6, 17, 59, kBlack);
  canvas.hLine(6, 17, 60, kWhite);
  canvas.fill(30, 60, 31, 60, (frame / 2) % 2 == 0 ? kLedOn : kLedOff);
}

QImage drawComputerSearch() {
  QImage strip = blankImage(kFrameWidth * kFrameCount, kFrameHeight);
  for (int frame = 0; frame < kFrameCount; ++frame) {
    Canvas canvas = frameOf(strip, frame, kFrameWidth, kFrameHeight);
    drawLanes(canvas, frame);
    drawCylinder(canvas, 7, 1, 25, 22, 6, 2, kSlate);
    drawComputer(canvas, frame);
  }
  return strip;
}

// ---------------------------------------------------------------------------------------------
// background.png: the wait dialog's background, a very light gradient with a faint shelf of
// books at the right edge. Every colour stays light, so black text over it reads as on white.

QImage drawBackground() {
  QImage image(kBackgroundWidth, kBackgroundHeight, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, kBackgroundWidth, kBackgroundHeight);
  gradient.setColorAt(0, QColor(252, 252, 254));
  gradient.setColorAt(1, QColor(232, 237, 246));
  painter.fillRect(image.rect(), gradient);

  painter.setRenderHint(QPainter::Antialiasing);
  const QColor ink(60, 80, 130);
  const auto faint = [&ink](int alpha) {
    QColor colour = ink;
    colour.setAlpha(alpha);
    return colour;
  };
  // The books: left edge, width and height of each spine standing on the shelf.
  struct Book {
    int left, width, height;
  };
  constexpr Book kBooks[] = {{246, 9, 44}, {256, 12, 54}, {269, 8, 48},
                             {278, 11, 58}, {290, 7, 42}, {298, 10, 51}};
  constexpr int kShelf = 84;
  painter.setPen(QPen(faint(32), 1));
  for (const Book& book : kBooks) {
    const QRectF spine(book.left + 0.5, kShelf - book.height + 0.5, book.width, book.height);
    painter.setBrush(faint(14));
    painter.drawRoundedRect(spine, 1.5, 1.5);
    // Two bands across the spine, near its top and its bottom.
    painter.drawLine(QPointF(spine.left(), spine.top() + 6),
                     QPointF(spine.right(), spine.top() + 6));
    painter.drawLine(QPointF(spine.left(), spine.bottom() - 6),
                     QPointF(spine.right(), spine.bottom() - 6));
  }
  // The last book leans against the others.
  painter.save();
  painter.translate(313, kShelf);
  painter.rotate(-10);
  painter.drawRoundedRect(QRectF(0.5, -46.5, 10, 46), 1.5, 1.5);
  painter.drawLine(QPointF(0.5, -40.5), QPointF(10.5, -40.5));
  painter.drawLine(QPointF(0.5, -6.5), QPointF(10.5, -6.5));
  painter.restore();
  // The shelf board.
  painter.setBrush(faint(22));
  painter.drawRect(QRectF(238.5, kShelf + 0.5, 87, 4));
  painter.end();
  return image;
}

// ---------------------------------------------------------------------------------------------
// unittree.png: the unit tree's images, each normal image followed by its selected form.

// The library building: a red pediment over a row of stone columns on steps.
constexpr std::string_view kLibrary[] = {
    "................",
    ".......kk.......",
    ".....kkrrkk.....",
    "...kkrrrrrrkk...",
    ".kkrrrrrrrrrrkk.",
    ".kmmmmmmmmmmmmk.",
    ".kkkkkkkkkkkkkk.",
    "..kccccccccccy..",
    "..kkkkkkkkkkkk..",
    "..kcykdcykdcyk..",
    "..kcykdcykdcyk..",
    "..kcykdcykdcyk..",
    "..kcykdcykdcyk..",
    ".kkkkkkkkkkkkkk.",
    ".kccccccccccccy.",
    "kkkkkkkkkkkkkkkk",
};

// A unit: a small house with a red roof, a window and a door.
constexpr std::string_view kHouse[] = {
    "................",
    ".......kk.......",
    "......krrk......",
    ".....krrrrk.....",
    "....krrrrrrk....",
    "...krrrrrrrrk...",
    "..krrrrrrrrrrk..",
    ".kmmmmmmmmmmmmk.",
    ".kkkkkkkkkkkkkk.",
    "..kcccccccccck..",
    "..kckkkkckkkck..",
    "..kckbbkckokck..",
    "..kckbbkckokck..",
    "..kckkkkckokck..",
    "..kcccccckokck..",
    "..kkkkkkkkkkkk..",
};

// A department: a wooden bookshelf with two shelves of coloured books.
constexpr std::string_view kBookshelf[] = {
    "................",
    ".kkkkkkkkkkkkkk.",
    ".kooooooooooook.",
    ".kokkkkkkkkkkok.",
    ".kokmbkGYkbmkok.",
    ".kokmbkGYkbmkok.",
    ".kokmbkGYkbmkok.",
    ".kokmbkGYkbmkok.",
    ".kooooooooooook.",
    ".kokkkkkkkkkkok.",
    ".kokGYkmkbnkYok.",
    ".kokGYkmkbnkYok.",
    ".kokGYkmkbnkYok.",
    ".kokGYkmkbnkYok.",
    ".kooooooooooook.",
    ".kuukkkkkkkkuuk.",
};

// An inter-library loan unit: a smaller house, and in the lower right two arrows exchanging,
// a green one going out and a blue one coming in.
constexpr std::string_view kIllUnit[] = {
    "................",
    "....k...........",
    "...krk..........",
    "..krrrk.........",
    ".krrrrrk........",
    "kmmmmmmmk.......",
    "kkkkkkkkk.......",
    ".kccccck.....G..",
    ".kckkkck.....GG.",
    ".kckbkckGGGGGGGG",
    ".kckkkck.....GG.",
    ".kccccck..b..G..",
    ".kcccuck.bb.....",
    ".kcccuckbbbbbbbb",
    ".kcccuck.bb.....",
    ".kkkkkkk..b.....",
};

static_assert(rowsAreWide(kLibrary, kTreeImageSize) && std::size(kLibrary) == kTreeImageSize);
static_assert(rowsAreWide(kHouse, kTreeImageSize) && std::size(kHouse) == kTreeImageSize);
static_assert(rowsAreWide(kBookshelf, kTreeImageSize) && std::size(kBookshelf) == kTreeImageSize);
static_assert(rowsAreWide(kIllUnit, kTreeImageSize) && std::size(kIllUnit) == kTreeImageSize);

// Recolours every pixel of the picture but the background.
template <typename Recolour>
void recolour(Canvas& canvas, Recolour change) {
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x)
      if (canvas.at(x, y) != kMagenta) canvas.set(x, y, change(canvas.at(x, y)));
}

// Another library's building: the same building greyed, as something not of this library.
QRgb greyed(QRgb colour) {
  const int grey = qGray(colour);
  const int light = 96 + grey * 5 / 8;
  return qRgb(light, light, light);
}

// A selected image: the normal one blended half with the highlight colour, as a tree view shows
// its selected item.
QRgb selected(QRgb colour) { return mix(colour, kNavy, 0.5); }

QImage drawUnitTree() {
  QImage strip = blankImage(kTreeImageSize * kTreeImageCount, kTreeImageSize);
  const auto image = [&strip](int index) {
    return frameOf(strip, index, kTreeImageSize, kTreeImageSize);
  };
  const auto drawPair = [&](int index, std::span<const std::string_view> rows, auto change) {
    Canvas normal = image(index);
    stamp(normal, 0, 0, rows);
    recolour(normal, change);
    Canvas chosen = image(index + kTreeSelectedOffset);
    stamp(chosen, 0, 0, rows);
    recolour(chosen, [&change](QRgb colour) { return selected(change(colour)); });
  };
  const auto asDrawn = [](QRgb colour) { return colour; };
  drawPair(kTreeThisLibrary, kLibrary, asDrawn);
  drawPair(kTreeOtherLibrary, kLibrary, greyed);
  drawPair(kTreeUnit, kHouse, asDrawn);
  drawPair(kTreeDepartment, kBookshelf, asDrawn);
  drawPair(kTreeIllUnit, kIllUnit, asDrawn);
  return strip;
}

// ---------------------------------------------------------------------------------------------
// login.png: a golden key lying across the front of a database cylinder.

constexpr QRgb kGoldLight = qRgb(255, 240, 160);
constexpr QRgb kGold = qRgb(255, 200, 32);
constexpr QRgb kGoldShade = qRgb(200, 136, 0);
constexpr QRgb kGoldEdge = qRgb(96, 56, 0);

// The key, bow on the right and tip on the left, its bits hanging below the shaft near the
// tip. Coordinates are the icon's.
bool inKey(double x, double y) {
  constexpr double kBowX = 25.5, kBowY = 23.5, kBowOuter = 6.2, kBowHole = 2.3;
  constexpr double kTip = 4, kShaftHalf = 2;
  const double bow = std::hypot(x - kBowX, y - kBowY);
  if (bow <= kBowOuter) return bow > kBowHole;
  if (x >= kTip && x <= kBowX && std::abs(y - kBowY) <= kShaftHalf) return true;
  const bool bit = (x >= kTip && x <= kTip + 4) || (x >= kTip + 6 && x <= kTip + 9);
  return bit && y > kBowY && y <= kBowY + 6;
}

QImage drawLoginIcon() {
  QImage image = blankImage(kIconSize, kIconSize);
  Canvas canvas(image, image.rect());
  drawCylinder(canvas, 1, 1, 24, 26, 8, 2, kSlate);
  // Lit from above: a light row under the top edge, a shaded row over the bottom edge.
  const auto face = [](int x, int y) {
    const double px = x + 0.5, py = y + 0.5;
    if (!inKey(px, py - 2)) return kGoldLight;
    if (!inKey(px, py + 2)) return kGoldShade;
    return kGold;
  };
  paintShape(canvas, image.rect(), inKey, face, kGoldEdge);
  return image;
}

// ---------------------------------------------------------------------------------------------

struct Picture {
  const char* fileName;
  QImage (*draw)();
};
constexpr Picture kPictures[] = {
    {"filesearch.png", drawFileSearch}, {"computersearch.png", drawComputerSearch},
    {"background.png", drawBackground}, {"unittree.png", drawUnitTree},
    {"login.png", drawLoginIcon},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vxloginart <output folder>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "vxloginart: cannot create %s\n", argv[1]);
    return 1;
  }
  for (const Picture& picture : kPictures) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(picture.fileName));
    if (!picture.draw().save(path, "PNG")) {
      std::fprintf(stderr, "vxloginart: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
