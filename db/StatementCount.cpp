#include "db/StatementCount.h"

namespace vx::db {

std::atomic<uint64_t>& statementCounter() {
  static std::atomic<uint64_t> count{0};
  return count;
}

uint64_t statementsSent() { return statementCounter().load(); }

}  // namespace vx::db
