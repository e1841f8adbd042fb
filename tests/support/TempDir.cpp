#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vxtest {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vxtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  std::filesystem::create_directories(registryDir());
  if (const char* prev = std::getenv("VELLUMDEX_REGISTRY_DIR")) {
    hadRegistryDir_ = true;
    previousRegistryDir_ = prev;
  }
  setenv("VELLUMDEX_REGISTRY_DIR", registryDir().c_str(), 1);
}

TempDir::~TempDir() {
  if (hadRegistryDir_)
    setenv("VELLUMDEX_REGISTRY_DIR", previousRegistryDir_.c_str(), 1);
  else
    unsetenv("VELLUMDEX_REGISTRY_DIR");
  std::error_code ec;
  // Tests make files read-only; give write bits back so the folder can go.
  for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
    std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace vxtest
