#pragma once
// A fresh temporary folder for one test, removed with everything in it at the end.
// While it lives, VELLUMDEX_REGISTRY_DIR points at its "registry" subfolder, so the
// registry hives a test writes never reach the real user's settings.
#include <string>

namespace vxtest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string registryDir() const { return path_ + "/registry"; }

 private:
  std::string path_;
  std::string previousRegistryDir_;
  bool hadRegistryDir_ = false;
};

// Whole-file helpers for arranging and checking test files.
std::string readAll(const std::string& path);
void writeAll(const std::string& path, const std::string& bytes);

}  // namespace vxtest
