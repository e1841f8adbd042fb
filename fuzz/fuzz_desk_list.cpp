// Fuzzes the reader of the desk list, a file on a folder the desks share: any bytes parse to a
// list or to none, and a list read back writes the same bytes it reads again as, and answers
// every barcode of its own without fault.
#include "desklist/DeskList.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto list = vx::desklist::DeskList::parse(input);
  if (!list) return 0;
  const std::string bytes = list->serialize();
  const auto again = vx::desklist::DeskList::parse(bytes);
  if (!again || again->serialize() != bytes) std::abort();
  for (const auto& b : list->withdrawnCards) (void)list->shapes.looksLike(b, vx::desklist::BarcodeKind::Item);
  (void)list->takenShown();
  (void)list->ageInDays("2026-12-09 12:00:00");
  return 0;
}
