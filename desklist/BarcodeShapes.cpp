#include "desklist/BarcodeShapes.h"

#include <cctype>

namespace vx::desklist {

namespace {

// A kind has a shape when its common shapes (each at least one in a thousand of its
// barcodes) are few and leave at most one in a thousand of its barcodes out.
constexpr size_t kMaxCommonShapes = 8;

bool isCommon(uint64_t count, uint64_t total) { return count * 1000 >= total; }

uint64_t totalOf(const std::map<std::string, uint64_t>& shapes) {
  uint64_t total = 0;
  for (const auto& [shape, count] : shapes) total += count;
  return total;
}

bool hasAShape(const std::map<std::string, uint64_t>& shapes) {
  const uint64_t total = totalOf(shapes);
  if (total == 0) return false;
  uint64_t covered = 0;
  size_t common = 0;
  for (const auto& [shape, count] : shapes)
    if (isCommon(count, total)) {
      covered += count;
      ++common;
    }
  return common <= kMaxCommonShapes && (total - covered) * 1000 <= total;
}

// Whether the two kinds share a common shape: then their shapes separate nothing there.
bool commonShapesSeparate(const std::map<std::string, uint64_t>& a, const std::map<std::string, uint64_t>& b) {
  const uint64_t ta = totalOf(a), tb = totalOf(b);
  for (const auto& [shape, count] : a)
    if (isCommon(count, ta))
      if (const auto it = b.find(shape); it != b.end() && isCommon(it->second, tb)) return false;
  return true;
}

std::map<std::string, uint64_t> histogram(const std::vector<std::string>& barcodes, bool withFirst) {
  std::map<std::string, uint64_t> h;
  for (const auto& b : barcodes)
    if (!b.empty()) ++h[BarcodeShapes::shapeOf(b, withFirst)];
  return h;
}

char classOf(unsigned char c) {
  if (std::isdigit(c)) return 'D';
  if (std::isalpha(c) || c >= 0x80) return 'A';
  return 'O';
}

}  // namespace

std::string BarcodeShapes::shapeOf(const std::string& barcode, bool withFirst) {
  std::string shape;
  if (withFirst && !barcode.empty()) shape = std::string(1, barcode.front()) + "|";
  char run = 0;
  size_t length = 0;
  const auto flush = [&] {
    if (run) shape += run + std::to_string(length);
  };
  for (unsigned char c : barcode) {
    const char k = classOf(c);
    if (k != run) {
      flush();
      run = k;
      length = 0;
    }
    ++length;
  }
  flush();
  return shape;
}

BarcodeShapes BarcodeShapes::learn(const std::vector<std::string>& borrowers, const std::vector<std::string>& items) {
  BarcodeShapes best;
  for (bool withFirst : {true, false}) {
    BarcodeShapes s;
    s.withFirst = withFirst;
    s.borrowerShapes = histogram(borrowers, withFirst);
    s.itemShapes = histogram(items, withFirst);
    const bool separate = commonShapesSeparate(s.borrowerShapes, s.itemShapes);
    s.borrowerShaped = separate && hasAShape(s.borrowerShapes);
    s.itemShaped = separate && hasAShape(s.itemShapes);
    if (s.borrowerShaped || s.itemShaped) return s;
    if (!withFirst) best = s;
  }
  best.borrowerShapes.clear();  // nothing to refuse with: keep the list small
  best.itemShapes.clear();
  return best;
}

BarcodeKind BarcodeShapes::looksLike(const std::string& barcode, BarcodeKind field) const {
  const bool borrowerField = field == BarcodeKind::Borrower;
  const auto& own = borrowerField ? borrowerShapes : itemShapes;
  const auto& other = borrowerField ? itemShapes : borrowerShapes;
  if (!(borrowerField ? borrowerShaped : itemShaped) || !(borrowerField ? itemShaped : borrowerShaped))
    return field;
  if (barcode.empty()) return field;
  const std::string shape = shapeOf(barcode, withFirst);
  if (own.count(shape)) return field;
  const auto it = other.find(shape);
  if (it == other.end() || !isCommon(it->second, totalOf(other))) return field;
  return borrowerField ? BarcodeKind::Item : BarcodeKind::Borrower;
}

}  // namespace vx::desklist
