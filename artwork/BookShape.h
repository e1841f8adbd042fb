// The open book of the product's pictures (the about box's logo, the desktop icons from 48
// pixels up), in the logo's coordinates: two pages meeting at a spine, each a gentle curve,
// over a cover that shows below them. Header-only, for the build-time generators.
#pragma once

#include <QPainterPath>

namespace vx::about::artwork::book {

inline constexpr double kSpineX = 46, kTop = 14, kBottom = 60, kLeft = 10, kRight = 82;

// The cover: a band under both pages, rising a little at the two outer edges.
inline QPainterPath cover() {
  const double spineX = kSpineX, top = kTop, bottom = kBottom, left = kLeft, right = kRight;
  QPainterPath path;
  path.moveTo(spineX, bottom + 4);
  path.cubicTo(spineX - 14, bottom - 2, left + 8, bottom, left - 2, bottom + 2);
  path.lineTo(left - 2, top + 6);
  path.lineTo(left, top + 6);
  path.lineTo(left, bottom - 2);
  path.cubicTo(left + 10, bottom - 4, spineX - 12, bottom - 4, spineX, bottom);
  path.cubicTo(spineX + 12, bottom - 4, right - 10, bottom - 4, right, bottom - 2);
  path.lineTo(right, top + 6);
  path.lineTo(right + 2, top + 6);
  path.lineTo(right + 2, bottom + 2);
  path.cubicTo(right - 8, bottom, spineX + 14, bottom - 2, spineX, bottom + 4);
  return path;
}

// The page from the spine to its outer edge (kLeft or kRight).
inline QPainterPath page(double edge) {
  const double spineX = kSpineX, top = kTop, bottom = kBottom;
  QPainterPath path;
  path.moveTo(spineX, top + 6);
  path.cubicTo(spineX + (edge - spineX) * 0.35, top - 2, edge - (edge - spineX) * 0.25, top - 2, edge, top + 2);
  path.lineTo(edge, bottom - 4);
  path.cubicTo(edge - (edge - spineX) * 0.25, bottom - 8, spineX + (edge - spineX) * 0.35, bottom - 8, spineX, bottom);
  path.closeSubpath();
  return path;
}

}  // namespace vx::about::artwork::book
