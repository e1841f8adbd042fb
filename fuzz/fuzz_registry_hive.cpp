// Fuzzes the registry hive parser: any bytes must parse without a crash, and what we write
// back must be a sound hive that reads back to itself.
#include "platform/RegistryHive.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using vx::reg::RegistryHive;

namespace {

[[noreturn]] void fail(const char* what, const std::string& text) {
  std::fprintf(stderr, "fuzz_registry_hive: %s\n--- serialized ---\n%s\n", what, text.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Every root a hive file can have; the fuzzer's texts name them all.
  for (const char* root : {"HKEY_CURRENT_USER", "HKEY_USERS"}) {
    const auto first = RegistryHive::parse(input, root);
    for (const auto& p : first.problems)
      if (p.message.empty()) fail("a problem without a description", {});

    const std::string text = first.hive.serialize(root);
    const auto second = RegistryHive::parse(text, root);
    if (!second.problems.empty()) fail(second.problems.front().message.c_str(), text);
    // Text conversion may replace what was not valid UTF-8 once; after that it is stable.
    const std::string again = second.hive.serialize(root);
    if (again != text) fail("serialize(parse(serialize(h))) differs from serialize(h)", text);
    if (!(RegistryHive::parse(again, root).hive == second.hive)) fail("hive changed on reparse", text);

    // Every key and value that was read can be found again under its own name.
    for (const auto& key : second.hive.keys()) {
      if (!second.hive.keyExists(key.path)) fail("a parsed key does not exist", text);
      for (const auto& v : key.values) {
        const auto* found = second.hive.findValue(key.path, v.name);
        if (!found) fail("a parsed value cannot be found", text);
      }
    }
  }
  return 0;
}
