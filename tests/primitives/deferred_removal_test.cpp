#include "primitives/deferred_removal.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "report/report.h"
#include "sim/sim_control.h"
#include "support/host/worm_scene.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> MoveList;

std::string WindowsDirectory() {
  return sim::CurrentLine() == sim::Line::Nt ? "C:\\WINNT" : "C:\\WINDOWS";
}

std::string WininitPath() { return WindowsDirectory() + "\\wininit.ini"; }

// The schedule file's text, "" when there is none.
std::string Wininit() {
  return sim::FileExists(WininitPath()) ? sim::FileContents(WininitPath())
                                        : std::string();
}

std::string RenameSection(const std::vector<std::string>& lines) {
  std::string text = "[rename]\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Opens `path` without sharing, as a running program holds its file.
HANDLE HoldOpen(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
  EXPECT_NE(INVALID_HANDLE_VALUE, file) << path;
  return file;
}

// Whether anything waits for the restart, in either schedule.
bool AnythingScheduled() {
  return !Wininit().empty() || !sim::BootTimeMoves().empty();
}

class DeferredRemovalTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
  bool IsNt() const { return GetParam() == sim::Line::Nt; }

  // The line's own schedule holds `entries` in order, written as wininit.ini
  // writes them ("NUL=path" for a deletion, "target=source" for a rename),
  // and the other schedule nothing: NT never reads wininit.ini, and the 9x
  // line keeps no move list.
  void ExpectScheduled(const std::vector<std::string>& entries) {
    if (!IsNt()) {
      EXPECT_EQ(entries.empty() ? "" : RenameSection(entries), Wininit());
      EXPECT_TRUE(sim::BootTimeMoves().empty());
      return;
    }
    MoveList moves;
    for (const std::string& entry : entries) {
      size_t equals = entry.find('=');
      std::string key = entry.substr(0, equals);
      std::string value = entry.substr(equals + 1);
      moves.push_back({value, key == "NUL" ? "" : key});
    }
    EXPECT_EQ(moves, sim::BootTimeMoves());
    EXPECT_EQ("", Wininit());
  }
};

TEST_P(DeferredRemovalTest, DeletesAFileThatIsFree) {
  sim::PutFile("C:\\worm.exe", "MZ");
  sim::PutFile("C:\\other.exe", "MZ");

  EXPECT_EQ(RemovalResult::Done, DeleteOrDefer("C:\\worm.exe"));

  EXPECT_FALSE(sim::FileExists("C:\\worm.exe"));
  EXPECT_TRUE(sim::FileExists("C:\\other.exe"));
  EXPECT_EQ("", Wininit());
  EXPECT_TRUE(sim::BootTimeMoves().empty());
  EXPECT_EQ(0, sim::CallCount("GetVersionExA"));
}

TEST_P(DeferredRemovalTest, MissingFileFailsAndIsReported) {
  std::string before = sim::FileSystemDump();

  RemovalResult result = DeleteOrDefer("C:\\WINDOWS\\absent.exe");
  RunState run = {true, false};
  ReportRemoval("C:\\WINDOWS\\absent.exe", result, run);

  EXPECT_EQ(RemovalResult::Failed, result);
  EXPECT_EQ(before, sim::FileSystemDump());
  EXPECT_TRUE(sim::BootTimeMoves().empty());
  EXPECT_EQ(scene::CannotDeleteText("C:\\WINDOWS\\absent.exe"),
            sim::ConsoleOutput());
  EXPECT_FALSE(run.RestartNeeded);
  EXPECT_TRUE(run.NothingToClean);
}

TEST_P(DeferredRemovalTest, FileInUseIsDeletedAtTheNextStart) {
  std::string path = WindowsDirectory() + "\\SCam32.exe";
  sim::PutFile(path, "MZ");
  HANDLE running = HoldOpen(path);

  EXPECT_EQ(RemovalResult::Deferred, DeleteOrDefer(path.c_str()));

  EXPECT_TRUE(sim::FileExists(path));
  ExpectScheduled({"NUL=" + path});
  CloseHandle(running);

  sim::Restart();

  EXPECT_FALSE(sim::FileExists(path));
  EXPECT_EQ("", sim::ConsoleOutput());
}

TEST_P(DeferredRemovalTest, RenameOfAFileInUseIsDoneAtTheNextStart) {
  std::string from = WindowsDirectory() + "\\run32.exe";
  std::string to = WindowsDirectory() + "\\rundll32.exe";
  sim::PutFile(from, "original");
  HANDLE running = HoldOpen(from);

  EXPECT_EQ(RemovalResult::Deferred, RenameOrDefer(from.c_str(), to.c_str()));

  ExpectScheduled({to + "=" + from});
  CloseHandle(running);

  sim::Restart();

  EXPECT_FALSE(sim::FileExists(from));
  EXPECT_EQ("original", sim::FileContents(to));
}

TEST_P(DeferredRemovalTest, RenameNowWhenFree) {
  sim::PutFile("C:\\a.exe", "a");

  EXPECT_EQ(RemovalResult::Done, RenameOrDefer("C:\\a.exe", "C:\\b.exe"));

  EXPECT_FALSE(sim::FileExists("C:\\a.exe"));
  EXPECT_EQ("a", sim::FileContents("C:\\b.exe"));
  EXPECT_EQ("", Wininit());
  EXPECT_EQ(RemovalResult::Failed, RenameOrDefer("C:\\a.exe", "C:\\c.exe"));
  EXPECT_EQ("", Wininit());
  EXPECT_TRUE(sim::BootTimeMoves().empty());
}

// Deleting the worm's file was deferred, so the system program cannot take
// its place now either; at the restart the deletion must come first.
TEST_P(DeferredRemovalTest, RenameOntoAFileWaitingForDeletion) {
  std::string worm = WindowsDirectory() + "\\rundll32.exe";
  std::string saved = WindowsDirectory() + "\\run32.exe";
  sim::PutFile(worm, "worm");
  sim::PutFile(saved, "original");
  HANDLE running = HoldOpen(worm);

  EXPECT_EQ(RemovalResult::Deferred, DeleteOrDefer(worm.c_str()));
  EXPECT_EQ(RemovalResult::Deferred,
            RenameOrDefer(saved.c_str(), worm.c_str()));

  ExpectScheduled({"NUL=" + worm, worm + "=" + saved});
  CloseHandle(running);

  sim::Restart();

  EXPECT_EQ("original", sim::FileContents(worm));
  EXPECT_FALSE(sim::FileExists(saved));
}

TEST_P(DeferredRemovalTest, TwoDeferredDeletionsKeepBothEntries) {
  sim::PutFile("C:\\first.exe", "1");
  sim::PutFile("C:\\second.exe", "2");
  HANDLE first = HoldOpen("C:\\first.exe");
  HANDLE second = HoldOpen("C:\\second.exe");

  EXPECT_EQ(RemovalResult::Deferred, DeleteOrDefer("C:\\first.exe"));
  EXPECT_EQ(RemovalResult::Deferred, DeleteOrDefer("C:\\second.exe"));

  ExpectScheduled({"NUL=C:\\first.exe", "NUL=C:\\second.exe"});
  CloseHandle(first);
  CloseHandle(second);

  sim::Restart();

  EXPECT_FALSE(sim::FileExists("C:\\first.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\second.exe"));
}

TEST_P(DeferredRemovalTest, WininitNamesUseShortFormsTheBootListLongOnes) {
  std::string directory = "C:\\Program Files\\Worm Folder";
  std::string worm = directory + "\\LongWormName.exe";
  std::string saved = directory + "\\Saved Program.exe";
  std::string target = directory + "\\rundll32.exe";
  sim::PutFile(worm, "worm");
  sim::PutFile(saved, "original");
  HANDLE running = HoldOpen(worm);
  HANDLE busy = HoldOpen(saved);

  EXPECT_EQ(RemovalResult::Deferred, DeleteOrDefer(worm.c_str()));
  // The target does not exist yet: its directory is shortened and its own
  // name kept.
  EXPECT_EQ(RemovalResult::Deferred,
            RenameOrDefer(saved.c_str(), target.c_str()));

  if (IsNt()) {
    ExpectScheduled({"NUL=" + worm, target + "=" + saved});
  } else {
    ExpectScheduled({"NUL=C:\\PROGRA~1\\WORMFO~1\\LONGWO~1.EXE",
                     "C:\\PROGRA~1\\WORMFO~1\\rundll32.exe="
                     "C:\\PROGRA~1\\WORMFO~1\\SAVEDP~1.EXE"});
  }
  CloseHandle(running);
  CloseHandle(busy);

  sim::Restart();

  EXPECT_FALSE(sim::FileExists(worm));
  EXPECT_FALSE(sim::FileExists(saved));
  EXPECT_EQ("original", sim::FileContents(target));
}

TEST_P(DeferredRemovalTest, ErrorClassesDecideWhatIsDeferred) {
  std::vector<DWORD> access = {5, 16, 65, 82, 83, 108, 132, 158, 167};
  for (DWORD code = 19; code <= 36; ++code) access.push_back(code);
  const std::vector<DWORD> exists = {80, 183};
  const std::vector<DWORD> other = {1,   2,   3,   4,   6,   15,  17,  18,  37,
                                    64,  66,  81,  84,  87,  107, 109, 131, 133,
                                    157, 159, 166, 168, 182, 184, 206};
  struct Case {
    const std::vector<DWORD>* codes;
    RemovalResult deletion;
    RemovalResult rename;
  };
  const Case cases[] = {
      {&access, RemovalResult::Deferred, RemovalResult::Deferred},
      {&exists, RemovalResult::Failed, RemovalResult::Deferred},
      {&other, RemovalResult::Failed, RemovalResult::Failed},
  };
  for (const Case& c : cases) {
    for (DWORD code : *c.codes) {
      sim::Reset(GetParam());
      sim::PutFile("C:\\worm.exe", "MZ");
      sim::FailCall("DeleteFileA", code);
      EXPECT_EQ(c.deletion, DeleteOrDefer("C:\\worm.exe")) << "error " << code;
      EXPECT_EQ(c.deletion == RemovalResult::Deferred, AnythingScheduled())
          << "error " << code;

      sim::Reset(GetParam());
      sim::PutFile("C:\\worm.exe", "MZ");
      sim::FailCall("MoveFileA", code);
      EXPECT_EQ(c.rename, RenameOrDefer("C:\\worm.exe", "C:\\new.exe"))
          << "error " << code;
      EXPECT_EQ(c.rename == RemovalResult::Deferred, AnythingScheduled())
          << "error " << code;
      EXPECT_TRUE(sim::FileExists("C:\\worm.exe"));
    }
  }
}

TEST_P(DeferredRemovalTest, FailureWithoutAnErrorCodeIsJudgedByTheDisk) {
  sim::PutFile("C:\\worm.exe", "MZ");
  sim::FailCall("DeleteFileA", 0);
  EXPECT_EQ(RemovalResult::Failed, DeleteOrDefer("C:\\worm.exe"))
      << "the file is still there";
  sim::FailCall("MoveFileA", 0);
  EXPECT_EQ(RemovalResult::Failed,
            RenameOrDefer("C:\\worm.exe", "C:\\new.exe"));
  EXPECT_FALSE(AnythingScheduled());
  EXPECT_TRUE(sim::FileExists("C:\\worm.exe"));
  EXPECT_EQ(0, sim::OpenHandleCount());

  sim::FailCall("DeleteFileA", 0);
  EXPECT_EQ(RemovalResult::Done, DeleteOrDefer("C:\\gone.exe"))
      << "nothing left to delete";
  sim::PutFile("C:\\new.exe", "MZ");
  sim::FailCall("MoveFileA", 0);
  EXPECT_EQ(RemovalResult::Done, RenameOrDefer("C:\\old.exe", "C:\\new.exe"))
      << "source gone, target in place";
}

// A compatibility mode ("Windows 95", "Windows 98 / Windows Me") makes an NT
// system report the 9x line; it still keeps, and reads, only the move list.
// Where the deferral goes is what the system does: the 9x line's
// MoveFileExA is not implemented. The version it reports is not asked.
TEST_P(DeferredRemovalTest, ScheduleIsTheOneTheSystemKeeps) {
  const std::string existing = RenameSection({"NUL=C:\\OLD.EXE"});
  for (DWORD reported : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
    SCOPED_TRACE(reported);
    sim::Reset(GetParam());
    sim::SetReportedVersion(reported, 4, 10, 2222);
    sim::PutFile(WininitPath(), existing);
    sim::PutFile("C:\\worm.exe", "MZ");
    HANDLE running = HoldOpen("C:\\worm.exe");

    EXPECT_EQ(RemovalResult::Deferred, DeleteOrDefer("C:\\worm.exe"));
    CloseHandle(running);

    EXPECT_EQ(0, sim::CallCount("GetVersionExA"));
    if (IsNt()) {
      EXPECT_EQ(MoveList({{"C:\\worm.exe", ""}}), sim::BootTimeMoves());
      EXPECT_EQ(existing, Wininit());
    } else {
      EXPECT_TRUE(sim::BootTimeMoves().empty());
      EXPECT_EQ(RenameSection({"NUL=C:\\OLD.EXE", "NUL=C:\\worm.exe"}),
                Wininit());
    }
    sim::Restart();
    EXPECT_FALSE(sim::FileExists("C:\\worm.exe"));
  }
}

TEST_P(DeferredRemovalTest, QueryPlatformIdNamesTheLine) {
  DWORD platformId = 99;
  ASSERT_TRUE(QueryPlatformId(platformId));
  EXPECT_EQ(IsNt() ? 2u : 1u, platformId);

  sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 1);
  sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 2);
  platformId = 99;
  EXPECT_FALSE(QueryPlatformId(platformId));
  EXPECT_EQ(99u, platformId);
}

// MOVEFILE_DELAY_UNTIL_REBOOT works only for administrators; wininit.ini,
// which NT never reads, is no way out.
TEST_P(DeferredRemovalTest, LimitedUserOnNtIsToldToDeleteByHand) {
  sim::SetAdministrator(false);
  sim::PutFile("C:\\worm.exe", "MZ");
  HANDLE running = HoldOpen("C:\\worm.exe");
  RunState run = {true, false};

  RemovalResult result = DeleteOrDefer("C:\\worm.exe");
  ReportRemoval("C:\\worm.exe", result, run);
  CloseHandle(running);

  if (IsNt()) {
    EXPECT_EQ(RemovalResult::Failed, result);
    EXPECT_EQ(scene::CannotDeleteText("C:\\worm.exe"), sim::ConsoleOutput());
    EXPECT_FALSE(run.RestartNeeded);
    EXPECT_FALSE(AnythingScheduled());
  } else {
    EXPECT_EQ(RemovalResult::Deferred, result);
    ExpectScheduled({"NUL=C:\\worm.exe"});
    EXPECT_TRUE(run.RestartNeeded);
  }
}

TEST_P(DeferredRemovalTest, ReadOnlyWormFileLosesTheAttributeOnly) {
  struct Case {
    const char* what;
    bool heldOpen;
    RemovalResult result;
  } cases[] = {
      {"free: deleted now", false, RemovalResult::Done},
      {"running: deleted at the restart", true, RemovalResult::Deferred},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(GetParam());
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::SetFileAttributes("C:\\worm.exe",
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    sim::PutFile("C:\\other.exe", "MZ");
    sim::SetReadOnly("C:\\other.exe", true);
    HANDLE running = c.heldOpen ? HoldOpen("C:\\worm.exe") : NULL;

    EXPECT_EQ(c.result, DeleteOrDefer("C:\\worm.exe"));

    if (c.heldOpen) {
      EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
                GetFileAttributesA("C:\\worm.exe"));
      CloseHandle(running);
      sim::Restart();
    }
    EXPECT_FALSE(sim::FileExists("C:\\worm.exe"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              GetFileAttributesA("C:\\other.exe") & FILE_ATTRIBUTE_READONLY);
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, DeferredRemovalTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

// wininit.ini, the 9x line's schedule: WININIT carries out its [rename]
// section at the next start and renames the file to wininit.bak.
class WininitScheduleTest : public testing::Test {
 protected:
  void SetUp() override { sim::Reset(sim::Line::Win9x); }
};

TEST_F(WininitScheduleTest, FileKeepsWhatWasThere) {
  sim::PutFile(WininitPath(),
               "[settings]\r\nkeep=1\r\n"
               "[rename]\r\nNUL=C:\\OLD.EXE\r\nC:\\A.EXE=C:\\B.EXE\r\n"
               "\r\n"
               "[other]\r\nNUL=C:\\NOT.EXE\r\n");
  sim::PutFile("C:\\worm.exe", "MZ");
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

  EXPECT_EQ(RemovalResult::Deferred, DeleteOrDefer("C:\\worm.exe"));

  EXPECT_EQ(
      "[settings]\r\nkeep=1\r\n"
      "[rename]\r\nNUL=C:\\OLD.EXE\r\nC:\\A.EXE=C:\\B.EXE\r\n"
      "NUL=C:\\worm.exe\r\n"
      "\r\n"
      "[other]\r\nNUL=C:\\NOT.EXE\r\n",
      Wininit());
}

// WININIT renames the file away at every start, so it is usually missing,
// and the section write does not create a file named by a full path.
TEST_F(WininitScheduleTest, WritesFailingOrNoPlaceForTheFileRecordNothing) {
  struct Case {
    const char* what;
    bool fileExists;
    const char* failingCall;  // NULL: none
    bool recorded;
  } cases[] = {
      {"no file: created", false, NULL, true},
      {"a file with entries", true, NULL, true},
      {"no file, its write fails", false, "WritePrivateProfileStringA", false},
      {"a file with entries, its write fails", true,
       "WritePrivateProfileSectionA", false},
      {"no Windows directory for its path", false, "GetWindowsDirectoryA",
       false},
  };
  const std::string existing = RenameSection({"NUL=C:\\OLD.EXE"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(sim::Line::Win9x);
    if (c.fileExists) sim::PutFile(WininitPath(), existing);
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
    if (c.failingCall != NULL) sim::FailCall(c.failingCall, ERROR_DISK_FULL);

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");

    EXPECT_EQ(c.recorded ? RemovalResult::Deferred : RemovalResult::Failed,
              result);
    std::string expected = c.fileExists ? existing : "";
    if (c.recorded) {
      expected = c.fileExists
                     ? RenameSection({"NUL=C:\\OLD.EXE", "NUL=C:\\worm.exe"})
                     : RenameSection({"NUL=C:\\worm.exe"});
    }
    EXPECT_EQ(expected, Wininit());
  }
}

TEST_F(WininitScheduleTest, PathExactFitAndOneOver) {
  // "\wininit.ini" is 12 characters: a 247-character directory makes 259.
  for (size_t length : {247u, 248u}) {
    sim::Reset(sim::Line::Win9x);
    std::string directory = "C:\\" + std::string(length - 3, 'w');
    sim::SetWindowsDirectory(directory);
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");

    bool fits = length == 247;
    EXPECT_EQ(fits, sim::FileExists(directory + "\\wininit.ini")) << length;
    EXPECT_EQ(fits ? RemovalResult::Deferred : RemovalResult::Failed, result)
        << length;
  }
}

TEST_F(WininitScheduleTest, SectionThatCannotBeReadIsLeftAlone) {
  // Another program holds wininit.ini while the section is read and lets it
  // go before it is written.
  const std::string existing =
      RenameSection({"NUL=C:\\OLD.EXE", "C:\\A.EXE=C:\\B.EXE"});
  for (DWORD error : {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED,
                      ERROR_NOT_ENOUGH_MEMORY}) {
    sim::Reset(sim::Line::Win9x);
    sim::PutFile(WininitPath(), existing);
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
    sim::FailCall("GetPrivateProfileSectionA", error);

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");

    EXPECT_EQ(existing, Wininit()) << error;
    EXPECT_EQ(RemovalResult::Failed, result) << error;
  }
}

// The profile read can also fail without an error code, giving what an
// empty or missing section gives; then the file's text decides: a [rename]
// header at the start of a line with an entry under it means the section
// may be unread, and it is left alone. An empty section, what deleting
// entries one by one leaves, takes the entry; "[rename]" in a comment or a
// value is no header.
TEST_F(WininitScheduleTest, EmptyReadIsCheckedAgainstTheFile) {
  struct Case {
    const char* what;
    std::string wininit;  // "" for no file
    bool failsSilently;   // the profile read comes back empty, error 0
    bool heldOpen;
    std::string written;  // "" when nothing may be written
  } cases[] = {
      {"entries behind a silent failure", RenameSection({"NUL=C:\\OLD.EXE"}),
       true, false, ""},
      {"a header in other letters", "[ RENAME ]\r\nNUL=C:\\OLD.EXE\r\n", true,
       false, ""},
      {"an indented header after another section",
       "[Options]\r\nA=1\r\n  [Rename]\r\nC:\\A.EXE=C:\\B.EXE\r\n", true, false,
       ""},
      {"an entry after comments and blank lines",
       "[rename]\r\n; kept\r\n\r\nNUL=C:\\OLD.EXE\r\n", true, false, ""},
      {"a file held by another program", RenameSection({"NUL=C:\\OLD.EXE"}),
       true, true, ""},
      {"a file too large to read whole",
       "[Options]\r\nA=" + std::string(40000, 'x') + "\r\n", true, false, ""},
      {"another section only", "[Options]\r\nA=1\r\n", false, false,
       "[Options]\r\nA=1\r\n[rename]\r\nNUL=C:\\worm.exe\r\n"},
      {"another section only, silent failure", "[Options]\r\nA=1\r\n", true,
       false, "[Options]\r\nA=1\r\n[rename]\r\nNUL=C:\\worm.exe\r\n"},
      {"similar names", "[renamed]\r\nA=1\r\n[rename it]\r\n", true, false,
       "[renamed]\r\nA=1\r\n[rename it]\r\n[rename]\r\nNUL=C:\\worm.exe\r\n"},
      {"an empty section", "[rename]\r\n[Options]\r\nA=1\r\n", false, false,
       "[rename]\r\nNUL=C:\\worm.exe\r\n[Options]\r\nA=1\r\n"},
      {"an empty section, silent failure", "[rename]\r\n", true, false,
       "[rename]\r\nNUL=C:\\worm.exe\r\n"},
      {"an empty section with a comment", "[rename]\r\n; none\r\n\r\n", false,
       false, "[rename]\r\n; none\r\nNUL=C:\\worm.exe\r\n\r\n"},
      {"the word in a comment", "[Options]\r\n;[rename]\r\nA=1\r\n", true,
       false,
       "[Options]\r\n;[rename]\r\nA=1\r\n[rename]\r\nNUL=C:\\worm.exe\r\n"},
      {"the word in a value", "[Options]\r\nA=[rename]\r\nB=1\r\n", true, false,
       "[Options]\r\nA=[rename]\r\nB=1\r\n[rename]\r\nNUL=C:\\worm.exe\r\n"},
      {"no file", "", true, false, RenameSection({"NUL=C:\\worm.exe"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(sim::Line::Win9x);
    if (!c.wininit.empty()) sim::PutFile(WininitPath(), c.wininit);
    HANDLE holder = c.heldOpen ? HoldOpen(WininitPath()) : NULL;
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
    if (c.failsSilently) {
      sim::FailCall("GetPrivateProfileSectionA", ERROR_SUCCESS);
    }

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");
    if (holder != NULL) CloseHandle(holder);

    EXPECT_EQ(c.written.empty() ? c.wininit : c.written, Wininit());
    EXPECT_EQ(
        c.written.empty() ? RemovalResult::Failed : RemovalResult::Deferred,
        result);
  }
}

TEST_F(WininitScheduleTest, SectionTooLargeToReadWholeIsLeftAlone) {
  std::string existing = "[rename]\r\nNUL=" + std::string(40000, 'x') + "\r\n";
  sim::PutFile(WininitPath(), existing);
  sim::PutFile("C:\\worm.exe", "MZ");
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

  EXPECT_EQ(RemovalResult::Failed, DeleteOrDefer("C:\\worm.exe"));

  EXPECT_EQ(existing, Wininit());
}

TEST_F(WininitScheduleTest, SectionBufferExactFitAndOneOver) {
  // The section is read into 32,767 bytes, the most that the 9x line's
  // profile functions take; the existing line of n characters takes n + 1,
  // the new "NUL=C:\worm.exe" line 16 and the list's end 1.
  const size_t kBuffer = 32767;
  const std::string entry = "NUL=C:\\worm.exe";
  const size_t fitting = kBuffer - (entry.size() + 1) - 1 - 1;
  for (size_t lineLength : {fitting, fitting + 1}) {
    sim::Reset(sim::Line::Win9x);
    std::string line = "C:\\X.EXE=" + std::string(lineLength - 9, 'y');
    sim::PutFile(WininitPath(), RenameSection({line}));
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");

    bool fits = lineLength == fitting;
    EXPECT_EQ(fits ? RenameSection({line, entry}) : RenameSection({line}),
              Wininit())
        << lineLength;
    EXPECT_EQ(fits ? RemovalResult::Deferred : RemovalResult::Failed, result)
        << lineLength;
  }
}

// WININIT runs before long file names exist and ignores an entry that
// names a file by its long name: such an entry would be no schedule at all.
TEST_F(WininitScheduleTest, OnlyNamesTheBootTimeProcessorReadsAreWritten) {
  struct Case {
    const char* what;
    std::string from;
    std::string to;  // "" for a deletion
    int shortNameFailures;
    std::string entry;  // "" when nothing may be written
  } cases[] = {
      {"a long name, shortened", "C:\\Long Folder\\Long Name.exe", "", 0,
       "NUL=C:\\LONGFO~1\\LONGNA~1.EXE"},
      {"a long name without its short form", "C:\\Long Folder\\Long Name.exe",
       "", 1, ""},
      {"the same, with its folder's short form failing too",
       "C:\\Long Folder\\Long Name.exe", "", 2, ""},
      {"a short name without its short form", "C:\\RECYCLED\\SirC32.exe", "", 1,
       "NUL=C:\\RECYCLED\\SirC32.exe"},
      {"a rename into a long folder that is missing", "C:\\a.exe",
       "C:\\No Such Dir\\b.exe", 0, ""},
      {"a rename into a short folder that is missing", "C:\\a.exe",
       "C:\\NOSUCH\\b.exe", 0, "C:\\NOSUCH\\b.exe=C:\\a.exe"},
      {"a rename to a long name", "C:\\a.exe", "C:\\Long Target.exe", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(sim::Line::Win9x);
    sim::PutFile(c.from, "MZ");
    sim::FailCall(c.to.empty() ? "DeleteFileA" : "MoveFileA",
                  ERROR_SHARING_VIOLATION);
    for (int n = 1; n <= c.shortNameFailures; ++n) {
      sim::FailCall("GetShortPathNameA", ERROR_ACCESS_DENIED, n);
    }

    RemovalResult result = c.to.empty()
                               ? DeleteOrDefer(c.from.c_str())
                               : RenameOrDefer(c.from.c_str(), c.to.c_str());

    EXPECT_EQ(c.entry.empty() ? RemovalResult::Failed : RemovalResult::Deferred,
              result);
    EXPECT_EQ(c.entry.empty() ? "" : RenameSection({c.entry}), Wininit());
    if (!c.entry.empty() && c.to.empty()) {
      sim::Restart();
      EXPECT_FALSE(sim::FileExists(c.from));
    }
  }
}

}  // namespace
