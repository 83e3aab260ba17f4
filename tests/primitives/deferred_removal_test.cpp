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

class DeferredRemovalTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
  bool IsNt() const { return GetParam() == sim::Line::Nt; }
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
  EXPECT_EQ(RenameSection({"NUL=" + path}), Wininit());
  if (IsNt()) {
    EXPECT_EQ(MoveList({{path, ""}}), sim::BootTimeMoves());
  } else {
    EXPECT_TRUE(sim::BootTimeMoves().empty());
  }
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

  EXPECT_EQ(RenameSection({to + "=" + from}), Wininit());
  if (IsNt()) {
    EXPECT_EQ(MoveList({{from, to}}), sim::BootTimeMoves());
  }
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

  EXPECT_EQ(RenameSection({"NUL=" + worm, worm + "=" + saved}), Wininit());
  if (IsNt()) {
    EXPECT_EQ(MoveList({{worm, ""}, {saved, worm}}), sim::BootTimeMoves());
  }
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

  EXPECT_EQ(RenameSection({"NUL=C:\\first.exe", "NUL=C:\\second.exe"}),
            Wininit());
  if (IsNt()) {
    EXPECT_EQ(MoveList({{"C:\\first.exe", ""}, {"C:\\second.exe", ""}}),
              sim::BootTimeMoves());
  }
  CloseHandle(first);
  CloseHandle(second);

  sim::Restart();

  EXPECT_FALSE(sim::FileExists("C:\\first.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\second.exe"));
}

TEST_P(DeferredRemovalTest, ScheduleFileKeepsWhatWasThere) {
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

  EXPECT_EQ(RenameSection({
                "NUL=C:\\PROGRA~1\\WORMFO~1\\LONGWO~1.EXE",
                "C:\\PROGRA~1\\WORMFO~1\\rundll32.exe="
                "C:\\PROGRA~1\\WORMFO~1\\SAVEDP~1.EXE",
            }),
            Wininit());
  if (IsNt()) {
    EXPECT_EQ(MoveList({{worm, ""}, {saved, target}}), sim::BootTimeMoves());
  }
  CloseHandle(running);
  CloseHandle(busy);

  sim::Restart();

  EXPECT_FALSE(sim::FileExists(worm));
  EXPECT_FALSE(sim::FileExists(saved));
  EXPECT_EQ("original", sim::FileContents(target));
}

TEST_P(DeferredRemovalTest, RenameTargetInAMissingDirectoryIsWrittenAsGiven) {
  sim::PutFile("C:\\a.exe", "a");
  sim::FailCall("MoveFileA", ERROR_ACCESS_DENIED);

  EXPECT_EQ(RemovalResult::Deferred,
            RenameOrDefer("C:\\a.exe", "C:\\No Such Dir\\b.exe"));

  EXPECT_EQ(RenameSection({"C:\\No Such Dir\\b.exe=C:\\a.exe"}), Wininit());
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
      bool deletionScheduled = c.deletion == RemovalResult::Deferred;
      EXPECT_EQ(deletionScheduled, Wininit() != "") << "error " << code;
      if (IsNt()) {
        EXPECT_EQ(deletionScheduled, !sim::BootTimeMoves().empty())
            << "error " << code;
      }

      sim::Reset(GetParam());
      sim::PutFile("C:\\worm.exe", "MZ");
      sim::FailCall("MoveFileA", code);
      EXPECT_EQ(c.rename, RenameOrDefer("C:\\worm.exe", "C:\\new.exe"))
          << "error " << code;
      bool renameScheduled = c.rename == RemovalResult::Deferred;
      EXPECT_EQ(renameScheduled, Wininit() != "") << "error " << code;
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
  EXPECT_EQ("", Wininit());
  EXPECT_TRUE(sim::BootTimeMoves().empty());
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

TEST_P(DeferredRemovalTest, UnknownPlatformSchedulesNothingAndSaysNothing) {
  sim::PutFile("C:\\worm.exe", "MZ");
  std::string files = sim::FileSystemDump();
  HANDLE running = HoldOpen("C:\\worm.exe");
  RunState run = {true, false};

  sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 1);
  sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 2);
  RemovalResult deletion = DeleteOrDefer("C:\\worm.exe");
  ReportRemoval("C:\\worm.exe", deletion, run);
  sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 1);
  sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 2);
  RemovalResult rename = RenameOrDefer("C:\\worm.exe", "C:\\new.exe");
  ReportRemoval("C:\\worm.exe", rename, run);
  CloseHandle(running);

  EXPECT_EQ(RemovalResult::NoVersion, deletion);
  EXPECT_EQ(RemovalResult::NoVersion, rename);
  EXPECT_EQ(4, sim::CallCount("GetVersionExA"));
  EXPECT_EQ(files, sim::FileSystemDump());
  EXPECT_TRUE(sim::BootTimeMoves().empty());
  EXPECT_EQ("", sim::ConsoleOutput());
  EXPECT_FALSE(run.RestartNeeded);
}

TEST_P(DeferredRemovalTest, VersionQueryIsAskedASecondTime) {
  sim::PutFile("C:\\worm.exe", "MZ");
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
  sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER);

  EXPECT_EQ(RemovalResult::Deferred, DeleteOrDefer("C:\\worm.exe"));

  EXPECT_EQ(2, sim::CallCount("GetVersionExA"));
  EXPECT_EQ(RenameSection({"NUL=C:\\worm.exe"}), Wininit());
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

TEST_P(DeferredRemovalTest, UnwritableScheduleFile) {
  sim::PutFile("C:\\worm.exe", "MZ");
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
  sim::FailCall("WritePrivateProfileSectionA", ERROR_ACCESS_DENIED);

  RemovalResult result = DeleteOrDefer("C:\\worm.exe");

  EXPECT_EQ("", Wininit());
  // NT still has the boot-time list.
  EXPECT_EQ(IsNt() ? RemovalResult::Deferred : RemovalResult::Failed, result);
}

TEST_P(DeferredRemovalTest, NoWindowsDirectoryNoScheduleFile) {
  sim::PutFile("C:\\worm.exe", "MZ");
  std::string files = sim::FileSystemDump();
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
  sim::FailCall("GetWindowsDirectoryA", ERROR_ACCESS_DENIED);

  RemovalResult result = DeleteOrDefer("C:\\worm.exe");

  EXPECT_EQ(files, sim::FileSystemDump());
  EXPECT_EQ(0, sim::CallCount("WritePrivateProfileSectionA"));
  EXPECT_EQ(IsNt() ? RemovalResult::Deferred : RemovalResult::Failed, result);
}

TEST_P(DeferredRemovalTest, ScheduleFilePathExactFitAndOneOver) {
  // "\wininit.ini" is 12 characters: a 247-character directory makes 259.
  for (size_t length : {247u, 248u}) {
    sim::Reset(GetParam());
    std::string directory = "C:\\" + std::string(length - 3, 'w');
    sim::SetWindowsDirectory(directory);
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");

    bool fits = length == 247;
    EXPECT_EQ(fits, sim::FileExists(directory + "\\wininit.ini")) << length;
    EXPECT_EQ(fits ? 1 : 0, sim::CallCount("WritePrivateProfileSectionA"));
    EXPECT_EQ(fits || IsNt() ? RemovalResult::Deferred : RemovalResult::Failed,
              result)
        << length;
  }
}

TEST_P(DeferredRemovalTest, LimitedUserOnNtIsToldToDeleteByHand) {
  sim::SetAdministrator(false);
  sim::PutFile("C:\\worm.exe", "MZ");
  HANDLE running = HoldOpen("C:\\worm.exe");
  RunState run = {true, false};

  RemovalResult result = DeleteOrDefer("C:\\worm.exe");
  ReportRemoval("C:\\worm.exe", result, run);
  CloseHandle(running);

  // The wininit.ini entry is written on either line.
  EXPECT_EQ(RenameSection({"NUL=C:\\worm.exe"}), Wininit());
  if (IsNt()) {
    EXPECT_EQ(RemovalResult::Failed, result);
    EXPECT_EQ(scene::CannotDeleteText("C:\\worm.exe"), sim::ConsoleOutput());
    EXPECT_FALSE(run.RestartNeeded);
    EXPECT_TRUE(sim::BootTimeMoves().empty());
  } else {
    EXPECT_EQ(RemovalResult::Deferred, result);
    EXPECT_TRUE(run.RestartNeeded);
  }
}

TEST_P(DeferredRemovalTest, SectionThatCannotBeReadIsLeftAlone) {
  // Another program holds wininit.ini while the section is read and lets it
  // go before it is written.
  const std::string existing =
      RenameSection({"NUL=C:\\OLD.EXE", "C:\\A.EXE=C:\\B.EXE"});
  for (DWORD error : {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED,
                      ERROR_NOT_ENOUGH_MEMORY}) {
    sim::Reset(GetParam());
    sim::PutFile(WininitPath(), existing);
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
    sim::FailCall("GetPrivateProfileSectionA", error);

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");

    EXPECT_EQ(existing, Wininit()) << error;
    EXPECT_EQ(0, sim::CallCount("WritePrivateProfileSectionA")) << error;
    EXPECT_EQ(IsNt() ? RemovalResult::Deferred : RemovalResult::Failed, result)
        << error;
  }
}

// The 9x line's profile read can also fail without an error code, giving
// what an empty or missing section gives; then the file itself decides:
// when it may hold a [rename] section, it is left alone.
TEST_P(DeferredRemovalTest,
       EmptyReadOfAFileThatMayHoldTheSectionWritesNothing) {
  struct Case {
    const char* what;
    std::string wininit;  // "" for no file
    bool failsSilently;   // the profile read comes back empty, error 0
    bool heldOpen;
    bool written;
  } cases[] = {
      {"entries behind a silent failure", RenameSection({"NUL=C:\\OLD.EXE"}),
       true, false, false},
      {"a header in other letters", "[ RENAME ]\r\nNUL=C:\\OLD.EXE\r\n", true,
       false, false},
      {"a header after another section",
       "[Options]\r\nA=1\r\n[Rename]\r\nC:\\A.EXE=C:\\B.EXE\r\n", true, false,
       false},
      {"a file held by another program", RenameSection({"NUL=C:\\OLD.EXE"}),
       true, true, false},
      {"a file too large to read whole",
       "[Options]\r\nA=" + std::string(40000, 'x') + "\r\n", true, false,
       false},
      {"another section only", "[Options]\r\nA=1\r\n", false, false, true},
      {"another section only, silent failure", "[Options]\r\nA=1\r\n", true,
       false, true},
      {"a similar name", "[renamed]\r\nA=1\r\n[rename\r\n", true, false, true},
      {"no file", "", true, false, true},
  };
  const std::string entry = "NUL=C:\\worm.exe";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(GetParam());
    if (!c.wininit.empty()) sim::PutFile(WininitPath(), c.wininit);
    HANDLE holder = c.heldOpen ? HoldOpen(WininitPath()) : NULL;
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
    if (c.failsSilently) {
      sim::FailCall("GetPrivateProfileSectionA", ERROR_SUCCESS);
    }

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");
    if (holder != NULL) CloseHandle(holder);

    if (c.written) {
      EXPECT_NE(std::string::npos, Wininit().find(entry + "\r\n"));
      EXPECT_EQ(0u, Wininit().find(c.wininit));
    } else {
      EXPECT_EQ(c.wininit, Wininit());
    }
    EXPECT_EQ(
        c.written || IsNt() ? RemovalResult::Deferred : RemovalResult::Failed,
        result);
  }
}

TEST_P(DeferredRemovalTest, SectionTooLargeToReadWholeIsLeftAlone) {
  std::string existing = "[rename]\r\nNUL=" + std::string(40000, 'x') + "\r\n";
  sim::PutFile(WininitPath(), existing);
  sim::PutFile("C:\\worm.exe", "MZ");
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

  RemovalResult result = DeleteOrDefer("C:\\worm.exe");

  EXPECT_EQ(existing, Wininit());
  EXPECT_EQ(0, sim::CallCount("WritePrivateProfileSectionA"));
  EXPECT_EQ(IsNt() ? RemovalResult::Deferred : RemovalResult::Failed, result);
}

TEST_P(DeferredRemovalTest, SectionBufferExactFitAndOneOver) {
  // The section is read into 32,767 bytes, the most that the 9x line's
  // profile functions take; the existing line of n characters takes n + 1,
  // the new "NUL=C:\worm.exe" line 16 and the list's end 1.
  const size_t kBuffer = 32767;
  const std::string entry = "NUL=C:\\worm.exe";
  const size_t fitting = kBuffer - (entry.size() + 1) - 1 - 1;
  for (size_t lineLength : {fitting, fitting + 1}) {
    sim::Reset(GetParam());
    std::string line = "C:\\X.EXE=" + std::string(lineLength - 9, 'y');
    sim::PutFile(WininitPath(), RenameSection({line}));
    sim::PutFile("C:\\worm.exe", "MZ");
    sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

    RemovalResult result = DeleteOrDefer("C:\\worm.exe");

    bool fits = lineLength == fitting;
    EXPECT_EQ(fits ? RenameSection({line, entry}) : RenameSection({line}),
              Wininit())
        << lineLength;
    EXPECT_EQ(fits || IsNt() ? RemovalResult::Deferred : RemovalResult::Failed,
              result)
        << lineLength;
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, DeferredRemovalTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
