#pragma once
// The message of the exception a call throws, for comparing error texts in one line:
//   EXPECT_EQ(vxtest::errorOf<DbError>([&] { q.open(); }), "Unknown alias: nope");
// "(no error)" when the call returns normally; an exception of another type goes on.
#include <string>

namespace vxtest {

inline constexpr const char* kNoError = "(no error)";

template <typename Error, typename F>
std::string errorOf(F&& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.what();
  }
  return kNoError;
}

}  // namespace vxtest
