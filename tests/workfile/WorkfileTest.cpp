// The workfile operations and their reading rules, on real files.
#include "workfile/Workfile.h"
#include "platform/FileSystem.h"
#include "tests/support/NeedsPrivilege.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

using namespace vx;
using namespace vx::workfile;
using vxtest::readAll;
using vxtest::TempDir;
using vxtest::writeAll;

namespace {

std::vector<std::string> itemsOf(Workfile& wf, const std::string& path, const std::string& borrower) {
  std::vector<std::string> items;
  EXPECT_TRUE(wf.findBorrowersBooks(path, borrower, items).ok);
  return items;
}

using Items = std::vector<std::string>;

}  // namespace

TEST(WorkfileCreate, NewFileIsEmptyValidAndCountsNothing) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("new.csv");
  ASSERT_TRUE(wf.createFile(path, true));
  EXPECT_FALSE(wf.handle().isOpen());
  EXPECT_EQ(readAll(path), "");
  EXPECT_TRUE(checkFile(path).valid);
  EXPECT_EQ(wf.getFileLength(path), 0);

  // An existing file is cut to zero bytes; with close-after false it stays open for reading.
  writeAll(path, "1001,2002\r\n");
  ASSERT_TRUE(wf.createFile(path, false));
  EXPECT_TRUE(wf.handle().isOpen());
  EXPECT_TRUE(wf.handle().eof());
  wf.handle().close();
  EXPECT_EQ(readAll(path), "");
}

TEST(WorkfileCreate, FailsInAFolderThatDoesNotExist) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("missing/folder/new.csv");
  EXPECT_FALSE(wf.createFile(path, true));
  EXPECT_FALSE(checkFile(path).valid);
  EXPECT_EQ(wf.getFileLength(path), 0);
  EXPECT_FALSE(wf.writeToFile(path, "1001,2002"));
  Items items;
  EXPECT_TRUE(wf.findBorrowersBooks(path, "1001", items).ok);
  EXPECT_TRUE(items.empty());
}

TEST(WorkfileCheck, OnlyTheFirstLineDecides) {
  TempDir dir;
  const auto path = dir.file("w.csv");
  struct Case {
    const char* bytes;
    bool valid;
  } cases[] = {
      {"1001,2002\r\n", true},
      {"1001\r\n", false},
      {"   \t \r\n", true},              // blanks only
      {"  1001  \r\n1001,2\r\n", false}, // stripped, still no comma
      {",2002\r\n", true},
      {"1001,2002\r\nnonsense\r\n", true},
      {"\r\n1001\r\n", true},            // an empty first line
      {"1001\n2002,3\r\n", true},        // LF alone is data: the first line holds the comma
      {"1001\r\n2002,3\r\n", false},
  };
  for (const auto& c : cases) {
    writeAll(path, c.bytes);
    const auto r = checkFile(path);
    EXPECT_EQ(r.valid, c.valid) << c.bytes;
    EXPECT_FALSE(r.ioError) << c.bytes;
  }
}

TEST(WorkfileCheck, MissingFileIsInvalidWithoutAMessage) {
  TempDir dir;
  const auto r = checkFile(dir.file("none.csv"));
  EXPECT_FALSE(r.valid);
  EXPECT_FALSE(r.ioError);
}

TEST(WorkfileCheck, ReadOnlyFileIsInvalidAndReportsAccessDenied) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("ro.csv");
  writeAll(path, "1001,2002\r\n");
  ASSERT_TRUE(fs::setReadOnly(path, true));
  const auto r = checkFile(path);
  EXPECT_FALSE(r.valid);
  ASSERT_TRUE(r.ioError);
  EXPECT_EQ(*r.ioError, "File access denied");
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt)
    ASSERT_FALSE(wf.writeToFile(path, "1001,2003"));
  EXPECT_EQ(readAll(path), "1001,2002\r\n");
}

TEST(WorkfileCount, SkipsBlanksAndEmptyLines) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "1001,2002\r\n\r\n  1001,2003\r\n");
  EXPECT_EQ(wf.getFileLength(path), 2);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002", "2003"}));

  writeAll(path, "\t\r\n \r\n\r\n");
  EXPECT_EQ(wf.getFileLength(path), 0);
  EXPECT_EQ(wf.getFileLength(dir.file("none.csv")), 0);
}

TEST(WorkfileCount, LineEndsAreCrOrCrLfNeverLfAlone) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "1001,2002\n1001,2003\n1001,2004\n");
  EXPECT_EQ(wf.getFileLength(path), 1);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002\n1001"}));

  writeAll(path, "1001,2002\r1001,2003\r\r\n1001,2004");  // CR alone ends a line too
  EXPECT_EQ(wf.getFileLength(path), 3);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002", "2003", "2004"}));
}

TEST(WorkfileList, MatchesTheBorrowerFieldExactly) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path,
           "1001 ,2001\r\n01001,2002\r\n1001,2003\r\n1001,2004,x\r\n1001\r\n,2005\r\n"
           "1002,2006\r\n1001,2003\r\n");
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2003", "2004", "", "2003"}));
  EXPECT_EQ(itemsOf(wf, path, "1002"), (Items{"2006"}));
  EXPECT_EQ(itemsOf(wf, path, "01001"), (Items{"2002"}));
  EXPECT_TRUE(itemsOf(wf, path, "9999").empty());
  EXPECT_EQ(wf.getFileLength(path), 8);
}

TEST(WorkfileList, MissingFileListsNothingAndIsNoError) {
  Workfile wf;
  TempDir dir;
  Items items{"old"};
  EXPECT_TRUE(wf.findBorrowersBooks(dir.file("none.csv"), "1001", items).ok);
  EXPECT_EQ(items, (Items{"old"}));  // the caller empties the list itself
}

TEST(WorkfileSplit, FirstCommaSplitsAndNothingIsStripped) {
  struct Case {
    std::string line, first, rest;
  } cases[] = {
      {"1001,2002", "1001", "2002"}, {" 1001 , 2002", " 1001 ", " 2002"},
      {"1001", "1001", ""},          {",2002", "", "2002"},
      {"1001,", "1001", ""},         {"a,b,c", "a", "b,c"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    std::string line = c.line, first = "junk";
    getFirstString(line, first);
    EXPECT_EQ(first, c.first) << c.line;
    EXPECT_EQ(line, c.rest) << c.line;
  }
}

TEST(WorkfileStrip, RemovesControlCharactersAndBlanksAtBothEnds) {
  EXPECT_EQ(strip(std::string(" \t\x01 1001 \r\n\0", 12)), "1001");
  EXPECT_EQ(strip("  10 01 "), "10 01");
  EXPECT_EQ(strip(" \x1f "), "");
  EXPECT_EQ(strip("\xc3\xa6\xc3\xb8"), "\xc3\xa6\xc3\xb8");  // 8-bit text is kept
}

TEST(WorkfileAppend, WritesTheLineWithCrLfAndCreatesAMissingFile) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  ASSERT_TRUE(wf.writeToFile(path, "1001,2002"));
  ASSERT_TRUE(wf.writeToFile(path, "1001,2002"));
  ASSERT_TRUE(wf.writeToFile(path, "1002,\xc3\xa6"));
  EXPECT_FALSE(wf.handle().isOpen());
  EXPECT_EQ(readAll(path), "1001,2002\r\n1001,2002\r\n1002,\xc3\xa6\r\n");
  EXPECT_EQ(wf.getFileLength(path), 3);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002", "2002"}));
}

TEST(WorkfileAppend, NeverJoinsTheNewRecordToAnOpenLastLine) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  for (const std::string before : {"1001,2002", "1001,2002\n"}) {
    writeAll(path, before);
    ASSERT_TRUE(wf.writeToFile(path, "1001,2003"));
    EXPECT_EQ(readAll(path), before + "\r\n1001,2003\r\n");
    EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{before == "1001,2002" ? "2002" : "2002\n", "2003"}));
  }
  writeAll(path, "1001,2002\r");  // a CR alone already ends the line
  ASSERT_TRUE(wf.writeToFile(path, "1001,2003"));
  EXPECT_EQ(readAll(path), "1001,2002\r1001,2003\r\n");
}

TEST(WorkfileCtrlZ, EndsTheFileAndIsCutByTheNextAppend) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "1001,2002\r\n\x1a" "1001,2003\r\n");
  EXPECT_EQ(wf.getFileLength(path), 1);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002"}));

  ASSERT_TRUE(wf.writeToFile(path, "1001,2004"));
  EXPECT_EQ(readAll(path), "1001,2002\r\n1001,2004\r\n");
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002", "2004"}));

  // In the middle of a line, the 26 ends the line and the file.
  writeAll(path, "1001,20\x1a" "02\r\n");
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"20"}));
  // The check cuts it too: its writability test is the opening for appending.
  EXPECT_TRUE(checkFile(path).valid);
  EXPECT_EQ(readAll(path), "1001,20");
}

TEST(WorkfileCtrlZ, FarFromTheEndRefusesTheAppendInsteadOfHidingTheLine) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  std::string tail;
  for (int i = 0; i < 20; ++i) tail += "1001,30" + std::to_string(10 + i) + "\r\n";
  const std::string original = "1001,2002\r\n\x1a" + tail;
  writeAll(path, original);
  EXPECT_FALSE(wf.writeToFile(path, "1001,2004"));
  EXPECT_EQ(readAll(path), original);
  const auto r = checkFile(path);
  EXPECT_FALSE(r.valid);
  ASSERT_TRUE(r.ioError);
  EXPECT_EQ(*r.ioError, "I/O error 38");
}

TEST(WorkfileRereading, SeesGrowthAndRewritesByOtherPrograms) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  writeAll(path, "1001,2002\r\n1002,3003\r\n1001,20");
  EXPECT_EQ(wf.getFileLength(path), 3);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002", "20"}));
  // Grown by another desk, the open last line completed.
  { std::ofstream out(path, std::ios::binary | std::ios::app); out << "03\r\n1001,2004\r\n"; }
  EXPECT_EQ(wf.getFileLength(path), 4);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002", "2003", "2004"}));
  // Rewritten in place at once, same length and same file: the new lines count.
  writeAll(path, "1001,2009\r\n1003,3003\r\n1001,2003\r\n1001,2004\r\n");
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2009", "2003", "2004"}));
  EXPECT_EQ(itemsOf(wf, path, "1003"), (Items{"3003"}));
  // Cut shorter, then a 26 in the middle of what was read before.
  writeAll(path, "1001,2009\r\n");
  EXPECT_EQ(wf.getFileLength(path), 1);
  writeAll(path, "1001,2009\r\n\x1a" "1003,3003\r\n1001,2003\r\n1001,2004\r\n");
  EXPECT_EQ(wf.getFileLength(path), 1);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2009"}));
}

TEST(WorkfileBadInput, NulBytesHugeLinesAndJunkAreReadWithoutHarm) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  // NUL is skipped before a line like any control character, and is data inside one.
  writeAll(path, std::string("\0\0" "1001,20\0" "02\r\n\0\r\n", 17));
  EXPECT_EQ(wf.getFileLength(path), 1);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{std::string("20\0" "02", 5)}));

  // A line of one megabyte, across many read chunks, then an ordinary one.
  const std::string big(1 << 20, 'x');
  writeAll(path, "1001," + big + "\r\n1001,2002\r\n");
  EXPECT_EQ(wf.getFileLength(path), 2);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{big, "2002"}));

  // Binary junk: counting and listing finish and agree with each other.
  std::string junk;
  unsigned seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245u + 12345u;
    char c = char(seed >> 16);
    junk += c == 26 ? 'z' : c;
  }
  writeAll(path, junk);
  const int count = wf.getFileLength(path);
  EXPECT_GT(count, 0);
  Items all;
  ASSERT_TRUE(wf.findBorrowersBooks(path, "no such borrower", all).ok);
  EXPECT_TRUE(all.empty());
  ASSERT_TRUE(wf.writeToFile(path, "1001,2002"));
  EXPECT_EQ(wf.getFileLength(path), count + 1);
}

TEST(WorkfileBadInput, AWorkfileOnAReadOnlyFileSystemIsReadButNeverWritten) {
  Workfile wf;
  TempDir dir;
  const std::string mountPoint = dir.file("ro");
  ASSERT_EQ(mkdir(mountPoint.c_str(), 0755), 0);
  VX_NEEDS_PRIVILEGE(mount("vxtest", mountPoint.c_str(), "tmpfs", 0, "size=1m") == 0,
                     "cannot mount a file system here (needs root)");
  const std::string path = mountPoint + "/w.csv";
  writeAll(path, "1001,2002\r\n");
  ASSERT_EQ(mount("vxtest", mountPoint.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);

  const auto r = checkFile(path);
  EXPECT_FALSE(r.valid);
  ASSERT_TRUE(r.ioError);
  EXPECT_EQ(*r.ioError, "File access denied");
  EXPECT_EQ(wf.getFileLength(path), 1);
  EXPECT_EQ(itemsOf(wf, path, "1001"), (Items{"2002"}));
  EXPECT_FALSE(wf.writeToFile(path, "1001,2003"));
  EXPECT_FALSE(wf.writeToFile(mountPoint + "/new.csv", "1001,2003"));
  EXPECT_FALSE(wf.createFile(mountPoint + "/new.csv", true));
  EXPECT_EQ(readAll(path), "1001,2002\r\n");
  umount(mountPoint.c_str());
}

TEST(WorkfileDurability, AFailedWriteLeavesTheFileAsItWas) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  const std::string original = "1001,2002\r\n";
  writeAll(path, original);
  // A child process whose file size limit stops the write half way: the append must fail
  // and cut the file back rather than leave half a line.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(original.size() + 100), static_cast<rlim_t>(original.size() + 100)};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = wf.writeToFile(path, "1001," + std::string(100000, 'y'));
    _exit(written ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the oversized write reported success";
  EXPECT_EQ(readAll(path), original);
}

TEST(WorkfileRecords, TheReaderYieldsWhatTheCountCounts) {
  TempDir dir;
  const auto path = dir.file("w.csv");
  struct Case {
    std::string bytes;
    std::vector<std::array<std::string, 3>> records;  // line, borrower, item
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"\r\n  \r\n\t\r\n", {}},
      {"1001,2002\r\n1001,2003", {{"1001,2002", "1001", "2002"}, {"1001,2003", "1001", "2003"}}},
      {"\r\n  1001 ,2002,x\r\n\r\nnocomma\r\n", {{"1001 ,2002,x", "1001 ", "2002"}, {"nocomma", "nocomma", ""}}},
      {"a\nb,c\r\n1,2\x1a" "3,4\r\n", {{"a\nb,c", "a\nb", "c"}, {"1,2", "1", "2"}}},
  };
  for (const Case& c : cases) {
    writeAll(path, c.bytes);
    Workfile wf;
    RecordReader reader(path);
    std::vector<std::array<std::string, 3>> got;
    Record r;
    while (reader.next(r)) got.push_back({r.line, r.borrower, r.item});
    EXPECT_EQ(got, c.records) << c.bytes;
    EXPECT_EQ(wf.getFileLength(path), int(c.records.size())) << c.bytes;
  }
  EXPECT_THROW(RecordReader(dir.file("none.csv")), IoError);
}

TEST(WorkfileAppendRecord, StripsBothFieldsAndReportsWhyItGaveUp) {
  Workfile wf;
  TempDir dir;
  const auto path = dir.file("w.csv");
  int pauses = 0;
  const auto countPause = [&] { ++pauses; };
  auto r = wf.appendRecord(path, " \t1001 ", "2002\r\n", countPause);
  EXPECT_TRUE(r.written);
  EXPECT_EQ(r.attempts, 1);
  EXPECT_FALSE(r.error);
  EXPECT_EQ(readAll(path), "1001,2002\r\n");
  EXPECT_EQ(makeRecord(" 1001", "2002 "), "1001,2002");

  // A file that every attempt refuses: all attempts are made, at once (no other writer's
  // moment to wait for), and the last attempt's I/O error comes back.
  writeAll(path, std::string(200, 'x') + "\x1a" + std::string(200, 'y'));
  r = wf.appendRecord(path, "1001", "2003", countPause);
  EXPECT_FALSE(r.written);
  EXPECT_EQ(r.attempts, kWriteAttempts);
  EXPECT_EQ(pauses, 0);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->code, winerr::HandleEof);
  EXPECT_EQ(r.error->text, "I/O error 38");

  // Another writer holding the file: a pause between each two attempts.
  writeAll(path, "");
  vx::TextFile holder(path);
  holder.append();
  r = wf.appendRecord(path, "1001", "2004", countPause);
  EXPECT_FALSE(r.written);
  EXPECT_EQ(pauses, kWriteAttempts - 1);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->code, winerr::SharingViolation);
}
