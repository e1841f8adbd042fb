// The exception log: the error box first, then a row of NSU.Exception_Log (on both engines) or a
// line of VXExcept.txt, a repeat within a second of the last one recorded once, and processor
// faults in event handlers recorded with their source line.
#include "vxcomp/except/VXExceptionHandle.h"

#include "platform/ScriptedUserInterface.h"
#include "platform/SilentAbort.h"
#include "platform/ui/VXApplication.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestLibrary.h"

#include <QEvent>
#include <QObject>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

using vxtest::Engine;

namespace {

std::string executable() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

class ExceptionLog : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    library_ = std::make_unique<vxtest::TestLibrary>(GetParam());
    db_ = library_->login("vxdesk", "vxdesk-demo");
    handle_ = std::make_unique<TVXExceptionHandle>(library_->session());
    handle_->SetDatabaseName("VXDB");
  }
  int64_t rows() { return library_->count("SELECT count(*) FROM NSU.Exception_Log"); }

  vxtest::TempDir tmp_;
  vxtest::ScopedEnv tmpdir_{"TMPDIR", tmp_.path()};
  vx::ScriptedUserInterface boxes_;
  std::unique_ptr<vxtest::TestLibrary> library_;
  std::unique_ptr<vx::db::Database> db_;
  std::unique_ptr<TVXExceptionHandle> handle_;
};

INSTANTIATE_TEST_SUITE_P(Engines, ExceptionLog, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& p) { return vxtest::engineName(p.param); });

TEST_P(ExceptionLog, OneRowPerErrorAndARepeatWithinASecondOfTheLastIsNotRecordedAgain) {
  // The handler's clock, moved by the test.
  int64_t now = vx::db::DateTime{2024, 3, 1, 12, 0, 0, 0}.toEpochMilliseconds();
  handle_->SetClock([&now] { return vx::db::DateTime::fromEpochMilliseconds(now); });
  const std::runtime_error error("Shelf 12 is empty");
  handle_->HandleException(error);
  ASSERT_EQ(rows(), 1);
  const auto row = db_->connection().run(
      "SELECT Application, User_name, Exception_Msg, ExeVersion, DBVersion FROM NSU.Exception_Log");
  ASSERT_EQ(row.rows.size(), 1u);
  const std::vector<std::string> expected = {executable(), "vxdesk", "Shelf 12 is empty",
                                             VX_TEST_PRODUCT_VERSION, "2.5003"};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(row.rows[0][i].asString(), expected[i]) << i;

  // Each step: how far the clock moves, the error handled, and the rows there are then. The
  // second counts from the last time the same text came, recorded or not, so a text repeated
  // every 0.9 s stays unrecorded for as long as it keeps coming; another text in between
  // makes it new again.
  const std::runtime_error other("Printer jammed");
  const struct {
    int64_t after;
    const std::exception& error;
    int64_t rows;
  } steps[] = {{900, error, 1},  {900, error, 1}, {900, error, 1}, {900, error, 1},
               {1000, error, 2},  // a full second after the last repeat
               {999, error, 2},  {1, other, 3},   {1, error, 4},   {1, error, 4}};
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    now += steps[i].after;
    handle_->HandleException(steps[i].error);
    EXPECT_EQ(rows(), steps[i].rows) << "step " << i;
  }
  // Every one was shown, with the period the error box adds.
  ASSERT_EQ(boxes_.boxes().size(), 1u + std::size(steps));
  EXPECT_EQ(boxes_.boxTexts().at(0), "Shelf 12 is empty.");
  // The table takes what the program writes, however long its path.
  EXPECT_NO_THROW(db_->connection().run("INSERT INTO NSU.Exception_Log (Exception_Time, Application) VALUES (CURRENT_TIMESTAMP, '" +
                                        std::string(300, 'p') + "')"));
  EXPECT_FALSE(std::filesystem::exists(handle_->LogFileName()));
}

TEST(ExceptionLogFile, AnUnreachableDatabaseGivesALineOfTheFileAndNoDatabaseNothing) {
  vxtest::TempDir tmp;
  vxtest::ScopedEnv tmpdir("TMPDIR", tmp.path());
  vx::ScriptedUserInterface boxes;
  vx::db::Session session("Test", {vx::db::AliasSpec{"gone", vx::db::DriverKind::Sqlite,
                                                      {{"PATH", tmp.file("missing/library.vxdb")}}}});
  vx::db::Database gone(session);
  gone.databaseName = "Gone";
  gone.aliasName = "gone";
  TVXExceptionHandle handle(session);
  EXPECT_EQ(handle.LogFileName(), tmp.file("VXExcept.txt"));

  handle.HandleException(std::runtime_error("Nobody recorded this"));  // no database named
  handle.HandleException(vx::SilentAbort());                         // never recorded
  EXPECT_FALSE(std::filesystem::exists(handle.LogFileName()));
  EXPECT_EQ(boxes.boxes().size(), 2u);

  handle.SetDatabaseName("Gone");
  handle.HandleException(std::runtime_error("Printer jammed"));
  const std::string file = vxtest::readAll(handle.LogFileName());
  const std::string tail = ", " + executable() + ", EXE:" + VX_TEST_PRODUCT_VERSION +
                           " Printer jammed\r\n";
  ASSERT_GT(file.size(), tail.size());
  EXPECT_EQ(file.substr(file.size() - tail.size()), tail) << file;
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(file[0]))) << file;  // the date first
  EXPECT_EQ(file.find('\n'), file.size() - 1) << "one line";
}

// Faults at known lines, kept out of line so that the optimiser leaves them where they are.
volatile int zero = 0;
int* volatile nowhere = nullptr;
constexpr int kDivideLine = __LINE__ + 1;
[[gnu::noinline]] int divideByZero(int n) { return n / zero; }
constexpr int kNullReadLine = __LINE__ + 1;
[[gnu::noinline]] int readNowhere() { return *nowhere; }

// An object whose event handler divides by zero or reads through a null pointer.
constexpr QEvent::Type kDivide = QEvent::Type(QEvent::User + 1);
constexpr QEvent::Type kNullRead = QEvent::Type(QEvent::User + 2);

class Faulty : public QObject {
 public:
  int result = 0;
  bool event(QEvent* e) override {
    if (e->type() == kDivide) result = divideByZero(int(e->type()));
    if (e->type() == kNullRead) result = readNowhere();
    if (e->type() == QEvent::User) result = 7;
    return true;
  }
};

TEST(ExceptionLogFaults, FaultsInAnEventHandlerAreShownAndRecordedWithTheirSourceLine) {
  vxtest::TestLibrary library(Engine::Sqlite);
  auto db = library.login("vxdesk", "vxdesk-demo");
  vx::ScriptedUserInterface boxes;
  TVXExceptionHandle handle(library.session());
  handle.SetDatabaseName("VXDB");
  Faulty faulty;
  for (QEvent::Type type : {kDivide, kNullRead}) {
    QEvent event(type);
    QCoreApplication::sendEvent(&faulty, &event);
  }
  QEvent fine(QEvent::User);
  QCoreApplication::sendEvent(&faulty, &fine);
  EXPECT_EQ(faulty.result, 7) << "the program goes on after the faults";

  const auto recorded = db->connection().run("SELECT Exception_Msg FROM NSU.Exception_Log ORDER BY Exception_Id");
  ASSERT_EQ(recorded.rows.size(), 2u);
  const struct {
    int line;
    const char* routine;
    const char* message;
  } expected[] = {{kDivideLine, "divideByZero(int)", "Division by zero"},
                  {kNullReadLine, "readNowhere()", "Access violation at address 0000000000000000"}};
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string text = recorded.rows[i][0].asString();
    const std::string where = "ExceptionLogTest.cpp line " + std::to_string(expected[i].line) + " ";
    EXPECT_EQ(text.substr(0, where.size()), where) << text;
    EXPECT_NE(text.find(expected[i].routine), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - std::strlen(expected[i].message)), expected[i].message) << text;
  }
  ASSERT_EQ(boxes.boxes().size(), 2u);
  EXPECT_EQ(boxes.boxTexts().at(0), "Division by zero.");
}

// A fault outside every event handler ends the program, but is still shown and recorded first.
TEST(ExceptionLogFaults, AFaultOutsideEveryHandlerIsRecordedBeforeTheProgramEnds) {
  vxtest::TempDir tmp;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    vx::ScriptedUserInterface boxes;
    vx::db::Session session("Test", {vx::db::AliasSpec{"gone", vx::db::DriverKind::Sqlite,
                                                        {{"PATH", tmp.file("missing/library.vxdb")}}}});
    vx::db::Database gone(session);
    gone.databaseName = "Gone";
    gone.aliasName = "gone";
    TVXExceptionHandle handle(session);
    handle.SetDatabaseName("Gone");
    ::_exit(readNowhere() == 0 ? 3 : 4);  // not reached
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
  const std::string file = vxtest::readAll(tmp.file("VXExcept.txt"));
  EXPECT_NE(file.find(" ExceptionLogTest.cpp line " + std::to_string(kNullReadLine) + " (anonymous namespace)::readNowhere()"), std::string::npos) << file;
  EXPECT_NE(file.find("Access violation at address 0000000000000000\r\n"), std::string::npos) << file;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  vx::VXApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
