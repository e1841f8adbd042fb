// vxstrip: draws the circulation window's barcode strip and writes it as a 16-colour BMP.
//
// The strip is five frames of 70 by 21 pixels side by side. Each frame shows a barcode label at
// its left and a green arrow pointing right, which stands further right in each later frame, on
// the magenta background that the picture control replaces by the window's own colour. Pixels
// are set one by one: at this size any smoothing would only blur the bars.
//
// Usage: vxstrip <output.bmp>
#include <QImage>
#include <QString>

#include <cstdio>
#include <string_view>

namespace {

constexpr int kFrameWidth = 70;
constexpr int kHeight = 21;
constexpr int kFrames = 5;
constexpr int kArrowLength = 15;

// The standard 16-colour palette; the indices below name the entries the artwork uses.
enum Colour : uint {
  Black = 0, DarkGreen = 2, Gray = 8, Lime = 10, Magenta = 13, White = 15,
};
const QRgb kPalette[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

void fill(QImage& image, int left, int top, int right, int bottom, uint colour) {
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) image.setPixel(x, y, colour);
}

// A white label with a grey drop shadow, and bars of one to three pixels between guard bars
// that reach lower than the data bars, as on a printed item label.
void drawBarcode(QImage& image, int origin) {
  fill(image, origin + 2, 3, origin + 31, 19, Gray);
  fill(image, origin + 1, 2, origin + 30, 18, White);
  constexpr std::string_view bars = "101" "0" "110100111010" "0110" "0" "101";
  const int first = origin + 4;
  for (int i = 0; i < static_cast<int>(bars.size()); ++i) {
    if (bars[i] != '1') continue;
    const bool guard = i < 3 || i >= static_cast<int>(bars.size()) - 3;
    fill(image, first + i, 4, first + i, guard ? 16 : 14, Black);
  }
}

// An arrow 15 pixels long: a shaft of 8 columns and 5 rows, and a head of 7 columns narrowing
// from 13 rows to its tip on the middle row. Lime inside, dark green along its outline.
bool inArrow(int column, int row) {
  constexpr int middle = kHeight / 2;
  if (column < 0 || column >= kArrowLength) return false;
  if (column < 8) return row >= middle - 2 && row <= middle + 2;
  const int half = 6 - (column - 8);
  return row >= middle - half && row <= middle + half;
}

void drawArrow(QImage& image, int left) {
  for (int column = 0; column < kArrowLength; ++column) {
    for (int row = 0; row < kHeight; ++row) {
      if (!inArrow(column, row)) continue;
      const bool edge = !inArrow(column - 1, row) || !inArrow(column + 1, row) ||
                        !inArrow(column, row - 1) || !inArrow(column, row + 1);
      image.setPixel(left + column, row, edge ? DarkGreen : Lime);
    }
  }
}

QImage drawStrip() {
  QImage image(kFrameWidth * kFrames, kHeight, QImage::Format_Indexed8);
  image.setColorCount(16);
  for (int i = 0; i < 16; ++i) image.setColor(i, kPalette[i]);
  image.fill(Magenta);
  for (int frame = 0; frame < kFrames; ++frame) {
    const int origin = frame * kFrameWidth;
    drawBarcode(image, origin);
    drawArrow(image, origin + 34 + 5 * frame);
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vxstrip <output.bmp>\n");
    return 2;
  }
  // An 8-bit image with no more than 16 palette entries is written as a 4-bit BMP.
  if (!drawStrip().save(QString::fromLocal8Bit(argv[1]), "BMP")) {
    std::fprintf(stderr, "vxstrip: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
