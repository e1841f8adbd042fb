#pragma once
// How many statements and procedure calls the queries, procedures and drivers of this process
// have sent to a database engine so far (for measuring what an operation costs).
#include <atomic>
#include <cstdint>

namespace vx::db {

uint64_t statementsSent();
// The counter itself, for the code that sends.
std::atomic<uint64_t>& statementCounter();

}  // namespace vx::db
