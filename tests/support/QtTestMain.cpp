// One main for every test executable: a QApplication on the offscreen platform, so that
// widget tests can create real windows without a screen. The user's data folder is one of the
// run's own, so that nothing a test writes there (the demo library, a desk list taken by a
// login) reaches the machine's user or another test executable.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string dataHome = (std::filesystem::temp_directory_path() / "vxtest-data-XXXXXX").string();
  const bool ownDataHome = ::mkdtemp(dataHome.data()) != nullptr;
  if (ownDataHome) setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (ownDataHome) {
    std::error_code ignored;
    std::filesystem::remove_all(dataHome, ignored);
  }
  return result;
}
