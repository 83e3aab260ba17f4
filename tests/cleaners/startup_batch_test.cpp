#include <string>

#include <gtest/gtest.h>

#include "cleaners/startup_batch.h"
#include "report/texts.h"
#include "sim/sim_control.h"

namespace {

using std::string;
using namespace std::string_literals;

const char kBatchFile[] = "C:\\AUTOEXEC.BAT";

class StartupBatchTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
  void TearDown() override { EXPECT_EQ(0, sim::OpenHandleCount()); }
};

struct RewriteCase {
  const char* what;
  string before;
  string after;
};

TEST_P(StartupBatchTest, RemovesTheFirstWormLineAndKeepsEveryOtherByte) {
  const RewriteCase cases[] = {
      {"the first at sign does not match",
       "@echo off\r\n@win \\recycled\\sirc32.exe\r\nPATH C:\\WINDOWS\r\n",
       "@echo off\r\n\r\nPATH C:\\WINDOWS\r\n"},
      {"capitals", "@WIN \\RECYCLED\\SIRC32.EXE\r\nrem end\r\n",
       "\r\nrem end\r\n"},
      {"mixed case", "@Win \\ReCycled\\SirC32.Exe\r\n", "\r\n"},
      {"in the middle of a line", "rem @win \\recycled\\sirc32.exe now\r\n",
       "rem  now\r\n"},
      {"first occurrence only",
       "@win \\recycled\\sirc32.exe\r\n@win \\recycled\\sirc32.exe\r\n",
       "\r\n@win \\recycled\\sirc32.exe\r\n"},
      {"the whole file", "@win \\recycled\\sirc32.exe", ""},
      {"at sign right before the line", "@@win \\recycled\\sirc32.exe\r\n",
       "@\r\n"},
      {"a near miss first",
       "@win \\recycled\\sirc32.ex\r\n@win \\recycled\\sirc32.exe\r\n",
       "@win \\recycled\\sirc32.ex\r\n\r\n"},
      {"bytes after a NUL move too",
       "@win \\recycled\\sirc32.exe\r\nA\0B\r\n@C\r\n"s, "\r\nA\0B\r\n@C\r\n"s},
      {"high bytes stay", "\xe9t\xe9\r\n@win \\recycled\\sirc32.exe\xff\r\n",
       "\xe9t\xe9\r\n\xff\r\n"},
  };
  for (const RewriteCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(GetParam());
    sim::PutFile(kBatchFile, c.before);

    RepairStartupBatch();

    EXPECT_EQ(c.after, sim::FileContents(kBatchFile));
    EXPECT_EQ("", sim::ConsoleOutput());
    EXPECT_EQ(0, sim::OpenHandleCount());
  }
}

TEST_P(StartupBatchTest, FileWithoutTheWormLineIsNotRewritten) {
  const RewriteCase cases[] = {
      {"empty file", "", ""},
      {"ordinary batch file", "@echo off\r\nPATH C:\\DOS\r\n", ""},
      {"line cut short at the end", "@echo off\r\n@win \\recycled\\sirc32.ex",
       ""},
      {"another program", "@win \\recycled\\sirc33.exe\r\n", ""},
      {"without the at sign", "win \\recycled\\sirc32.exe\r\n", ""},
      {"behind a NUL", "@echo off\r\n\0@win \\recycled\\sirc32.exe\r\n"s, ""},
      {"line split by a NUL",
       "@win \\recycled\\sirc\0"
       "32.exe\r\n"s,
       ""},
  };
  for (const RewriteCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(GetParam());
    sim::PutFile(kBatchFile, c.before);

    RepairStartupBatch();

    EXPECT_EQ(c.before, sim::FileContents(kBatchFile));
    EXPECT_EQ(0, sim::CallCount("WriteFile"));
    EXPECT_EQ(1, sim::CallCount("CreateFileA")) << "never re-created";
    EXPECT_EQ("", sim::ConsoleOutput());
  }
}

// Windows refuses to create over a hidden or system file with attributes
// that lack them; the file is created anew with its own, and keeps them.
TEST_P(StartupBatchTest, HiddenOrSystemFileIsRepairedAndKeepsItsAttributes) {
  const DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
  const DWORD kSystem = FILE_ATTRIBUTE_SYSTEM;
  const DWORD kArchive = FILE_ATTRIBUTE_ARCHIVE;
  const DWORD kCases[] = {0, kArchive, kHidden, kSystem | kArchive,
                          kHidden | kSystem};
  for (DWORD attributes : kCases) {
    SCOPED_TRACE(attributes);
    sim::Reset(GetParam());
    sim::PutFile(kBatchFile, "@echo off\r\n@win \\recycled\\sirc32.exe\r\n");
    sim::SetFileAttributes(kBatchFile, attributes);

    RepairStartupBatch();

    EXPECT_EQ("@echo off\r\n\r\n", sim::FileContents(kBatchFile));
    EXPECT_EQ("", sim::ConsoleOutput());
    EXPECT_EQ((attributes & (kHidden | kSystem)) | kArchive,
              GetFileAttributesA(kBatchFile));
  }
}

TEST_P(StartupBatchTest, MissingFileIsPassedOverSilently) {
  RepairStartupBatch();

  EXPECT_FALSE(sim::FileExists(kBatchFile));
  EXPECT_EQ("", sim::ConsoleOutput());
}

struct UnwritableCase {
  const char* what;
  string contents;
  bool readOnly;
  // How another program holds the file open (0: it does not).
  DWORD heldAccess;
  DWORD heldSharing;
  // Failures of the read that follows the refused open.
  const char* failing;
  bool told;
};

// A file that exists but cannot be opened for writing is read instead: the
// user is told when it holds the worm line or cannot be read to tell, and
// it is never changed.
TEST_P(StartupBatchTest, UnwritableFileIsReadAndNeverChanged) {
  const string infected = "@echo off\r\n@win \\recycled\\sirc32.exe\r\n";
  const string clean = "@echo off\r\nPATH C:\\DOS\r\n";
  const UnwritableCase cases[] = {
      {"read-only, infected", infected, true, 0, 0, NULL, true},
      {"read-only, clean", clean, true, 0, 0, NULL, false},
      {"held by an editor, infected", infected, false,
       GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, true},
      {"held by an editor, clean", clean, false, GENERIC_READ | GENERIC_WRITE,
       FILE_SHARE_READ, NULL, false},
      {"held without sharing: cannot be read", clean, false, GENERIC_READ, 0,
       NULL, true},
      {"read-only, size unknown", clean, true, 0, 0, "GetFileSize", true},
      {"read-only, read fails", clean, true, 0, 0, "ReadFile", true},
      {"read-only, second open fails", clean, true, 0, 0, "CreateFileA", true},
  };
  for (const UnwritableCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(GetParam());
    sim::PutFile(kBatchFile, c.contents);
    sim::SetReadOnly(kBatchFile, c.readOnly);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.heldAccess != 0) {
      held = CreateFileA(kBatchFile, c.heldAccess, c.heldSharing, NULL,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
      ASSERT_NE(INVALID_HANDLE_VALUE, held);
    }
    // The open for writing is refused by the file itself, not by the fault.
    if (c.failing != NULL) {
      sim::FailCall(c.failing, ERROR_ACCESS_DENIED,
                    string(c.failing) == "CreateFileA" ? 2 : 1);
    }

    RepairStartupBatch();

    EXPECT_EQ(c.contents, sim::FileContents(kBatchFile));
    EXPECT_EQ(c.told ? kCannotModifyStartupBatch : "", sim::ConsoleOutput());
    EXPECT_EQ(0, sim::CallCount("WriteFile"));
    EXPECT_EQ(c.heldAccess != 0 ? 1 : 0, sim::OpenHandleCount());
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  }
}

struct FailureCase {
  const char* function;
  int nth;
  DWORD error;
};

// Whatever fails, the file keeps every byte it had and the user is told to
// remove the line by hand.
TEST_P(StartupBatchTest, FailureKeepsTheOriginalAndTellsTheUser) {
  const DWORD kDiskFull = 112;
  const FailureCase cases[] = {
      {"GetFileSize", 1, ERROR_ACCESS_DENIED},
      {"HeapAlloc", 1, ERROR_NOT_ENOUGH_MEMORY},
      {"SetFilePointer", 1, ERROR_INVALID_HANDLE},
      {"ReadFile", 1, ERROR_LOCK_VIOLATION},
      {"CreateFileA", 2, ERROR_SHARING_VIOLATION},  // re-creating it
      {"WriteFile", 1, kDiskFull},
  };
  const string infected =
      "@echo off\r\n@win \\recycled\\sirc32.exe\r\nPATH C:\\WINDOWS\r\n";
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.function);
    sim::Reset(GetParam());
    sim::PutFile(kBatchFile, infected);
    sim::FailCall(c.function, c.error, c.nth);

    RepairStartupBatch();

    EXPECT_EQ(infected, sim::FileContents(kBatchFile));
    EXPECT_EQ(kCannotModifyStartupBatch, sim::ConsoleOutput());
    EXPECT_EQ(0, sim::OpenHandleCount());
  }
}

TEST_P(StartupBatchTest, ShortWriteKeepsTheOriginalAndTellsTheUser) {
  const string infected =
      "@echo off\r\n@win \\recycled\\sirc32.exe\r\nPATH C:\\WINDOWS\r\n";
  sim::PutFile(kBatchFile, infected);
  sim::ShortenNextWrite(12);

  RepairStartupBatch();

  EXPECT_EQ(infected, sim::FileContents(kBatchFile));
  EXPECT_EQ(kCannotModifyStartupBatch, sim::ConsoleOutput());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

// The rewrite fails, and then so does the first attempt to put the original
// back: the second attempt, through a file created anew, still does.
TEST_P(StartupBatchTest, SecondFailureWhilePuttingBackKeepsTheOriginal) {
  const FailureCase secondFailures[] = {
      {"SetFilePointer", 2, ERROR_INVALID_HANDLE},
      {"WriteFile", 2, ERROR_DISK_FULL},
  };
  const string infected =
      "@echo off\r\n@win \\recycled\\sirc32.exe\r\nPATH C:\\WINDOWS\r\n";
  for (bool shortWrite : {false, true}) {
    for (const FailureCase& second : secondFailures) {
      SCOPED_TRACE(string(second.function) + (shortWrite ? ", short" : ""));
      sim::Reset(GetParam());
      sim::PutFile(kBatchFile, infected);
      if (shortWrite) {
        sim::ShortenNextWrite(12);
      } else {
        sim::FailCall("WriteFile", ERROR_DISK_FULL);
      }
      sim::FailCall(second.function, second.error, second.nth);

      RepairStartupBatch();

      EXPECT_EQ(infected, sim::FileContents(kBatchFile));
      EXPECT_EQ(kCannotModifyStartupBatch, sim::ConsoleOutput());
      EXPECT_EQ(0, sim::OpenHandleCount());
    }
  }
}

TEST_P(StartupBatchTest, SizeOrMemoryFailureNeverRewrites) {
  for (const char* function : {"GetFileSize", "HeapAlloc"}) {
    SCOPED_TRACE(function);
    sim::Reset(GetParam());
    sim::PutFile(kBatchFile, "@win \\recycled\\sirc32.exe\r\n");
    sim::FailCall(function, ERROR_NOT_ENOUGH_MEMORY);

    RepairStartupBatch();

    EXPECT_EQ(0, sim::CallCount("ReadFile"));
    EXPECT_EQ(0, sim::CallCount("WriteFile"));
    EXPECT_EQ(1, sim::CallCount("CreateFileA"));
  }
}

// A batch file of 4 GiB or more cannot be held in memory whole. Its low
// part alone could look like a small file: rewritten from that, the file
// would be cut.
TEST_P(StartupBatchTest, FileOfFourGiBOrMoreIsRefused) {
  const string infected =
      "@echo off\r\n@win \\recycled\\sirc32.exe\r\nPATH C:\\DOS\r\n";
  const uint64_t kFourGiB = 0x100000000ull;
  for (uint64_t size :
       {kFourGiB - 1, kFourGiB, kFourGiB + infected.size(), 5 * kFourGiB}) {
    SCOPED_TRACE(size);
    sim::Reset(GetParam());
    sim::PutFile(kBatchFile, infected);
    sim::SetReportedFileSize(kBatchFile, size);

    RepairStartupBatch();

    EXPECT_EQ(infected, sim::FileContents(kBatchFile));
    EXPECT_EQ(kCannotModifyStartupBatch, sim::ConsoleOutput());
    EXPECT_EQ(0, sim::CallCount("HeapAlloc"));
    EXPECT_EQ(0, sim::CallCount("WriteFile"));
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, StartupBatchTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
