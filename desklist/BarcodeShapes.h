#pragma once
// The shapes of a library's borrower and item barcodes, learnt from the barcodes themselves,
// so that the desk can tell an item scanned into the borrower field (or a card into the item
// field) during an outage.
//
// A barcode's shape is its first character and the runs of its character classes (digits,
// letters, others) with their lengths: "1001" is "1|D4", "X12-5" is "X|A1D2O1D1". A kind is
// known by the shapes that nearly all its barcodes have; the learner is cautious:
//   - a kind whose barcodes scatter over many shapes has no shape, and nothing is refused
//     in its field;
//   - a shape that some barcode of the other kind has never refuses anything;
//   - a barcode is refused in a field only when its shape is none of that kind's (not even a
//     rare one) and is a common shape of the other kind.
// When the first characters alone tell nothing (spread over many values), the shapes are
// learnt without them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vx::desklist {

enum class BarcodeKind { Borrower, Item };

class BarcodeShapes {
 public:
  // Learns from every barcode of both kinds.
  static BarcodeShapes learn(const std::vector<std::string>& borrowers, const std::vector<std::string>& items);

  // The kind a barcode in the field of `field` looks like instead, when it has the other
  // kind's shape and none of its own; else `field` itself.
  BarcodeKind looksLike(const std::string& barcode, BarcodeKind field) const;

  // The shape of a barcode, with or without its first character.
  static std::string shapeOf(const std::string& barcode, bool withFirst);

  // What the desk list stores: whether shapes keep the first character, and per kind every
  // shape seen with its count (empty for a kind without a shape).
  bool withFirst = true;
  std::map<std::string, uint64_t> borrowerShapes, itemShapes;
  // Per kind: whether its shapes are reliable enough to refuse anything in its field.
  bool borrowerShaped = false, itemShaped = false;
};

}  // namespace vx::desklist
