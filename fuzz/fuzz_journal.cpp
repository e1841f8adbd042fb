// Fuzzes the reader of an import run's journal, a file on a folder the desks share: any bytes
// parse; the good part ends at a record's end within the input, and read again alone it gives
// the same lines, so a journal cut after its good part is read as it was.
#include "import/RunJournal.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const vx::import::JournalContents j = vx::import::parseJournal(input);
  if (j.wellFormed < 0 || std::size_t(j.wellFormed) > size) std::abort();
  if (j.wellFormed > 0 && input[std::size_t(j.wellFormed) - 1] != '\n') std::abort();
  if (j.damaged) return 0;
  const vx::import::JournalContents again = vx::import::parseJournal(input.substr(0, std::size_t(j.wellFormed)));
  if (again.damaged || again.wellFormed != j.wellFormed || again.lines.size() != j.lines.size()) std::abort();
  for (const auto& [offset, line] : j.lines) {
    const auto it = again.lines.find(offset);
    if (it == again.lines.end() || it->second.outcome != line.outcome || it->second.hash != line.hash) std::abort();
  }
  return 0;
}
