#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "cleaners/cleaners.h"
#include "report/texts.h"
#include "sim/sim_control.h"
#include "support/host/worm_scene.h"

namespace {

using std::string;

const char kMarkerKey[] = "Software\\SirCam";
const char kStandardOpenCommand[] = "\"%1\" %*";

// What the cleaner expects to have printed after its own result text.
string Report(bool restartAdvice) {
  return string(kSircamResult) + kDownloadAdvice +
         (restartAdvice ? kRestartAdvice : "");
}

class SircamCleanerTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(line()); }
  void TearDown() override {
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ(0, sim::OpenHandleCount());
  }
  sim::Line line() const { return GetParam(); }

  RunState run_ = {true, false};
};

TEST_P(SircamCleanerTest, WithoutTheMarkNothingIsTouched) {
  // Only the marker key counts: the worm's other traces alone do not.
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunServicesKey, "Driver32",
                      "C:\\RECYCLED\\SirC32.exe");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\SirCamera", "", "");
  sim::PutFile("C:\\RECYCLED\\SirC32.exe", scene::kWormBody);
  scene::PlantSircamRundll32();
  sim::PutFile("C:\\AUTOEXEC.BAT", "@win \\recycled\\sirc32.exe\r\n");
  string registryBefore = sim::RegistryDump();
  string filesBefore = sim::FileSystemDump();

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ("", sim::ConsoleOutput());
  EXPECT_EQ(registryBefore, sim::RegistryDump());
  EXPECT_EQ(filesBefore, sim::FileSystemDump());
  EXPECT_TRUE(run_.NothingToClean);
  EXPECT_FALSE(run_.RestartNeeded);
}

TEST_P(SircamCleanerTest, RemovesEveryTraceAndKeepsTheRest) {
  scene::PlantSircam(line());

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(Report(false), sim::ConsoleOutput());
  EXPECT_FALSE(run_.NothingToClean);
  EXPECT_FALSE(run_.RestartNeeded);

  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kMarkerKey));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\SirCamera"));
  EXPECT_FALSE(
      sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunServicesKey, "Driver32"));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE,
                              string(scene::kRunServicesKey) + "\\Driver32"));
  EXPECT_EQ(
      "C:\\tool.exe",
      string(sim::ValueData(HKEY_LOCAL_MACHINE, scene::kRunServicesKey, "Tool")
                 .c_str()));
  EXPECT_EQ(kStandardOpenCommand,
            string(sim::ValueData(HKEY_CLASSES_ROOT, scene::kOpenCommandKey, "")
                       .c_str()));

  EXPECT_FALSE(sim::FileExists("C:\\RECYCLED\\SirC32.exe"));
  EXPECT_FALSE(
      sim::FileExists(scene::WindowsDirectory(line()) + "\\ScMx32.exe"));
  EXPECT_FALSE(
      sim::FileExists(scene::SystemDirectory(line()) + "\\SCam32.exe"));
  EXPECT_FALSE(sim::FileExists(scene::kSircamRecycledData));
  EXPECT_TRUE(sim::FileExists("C:\\RECYCLED\\DC1.doc"));
  EXPECT_TRUE(sim::FileExists("C:\\RECYCLED\\SirCam.sys.txt"));
  for (const char* folder :
       {scene::kSircamStartupFolder, scene::kSircamCommonStartupFolder,
        scene::kSircamOtherStartupFolder}) {
    EXPECT_FALSE(
        sim::FileExists(folder + string(scene::kSircamStartupCopyName)))
        << folder;
    EXPECT_TRUE(sim::FileExists(folder + string("\\Office.lnk"))) << folder;
  }
  EXPECT_EQ("MZ notepad", sim::FileContents(scene::WindowsDirectory(line()) +
                                            "\\notepad.exe"));
  EXPECT_FALSE(sim::FileExists(scene::kSavedRundll32));
  EXPECT_EQ(scene::kSystemRundll32Body, sim::FileContents(scene::kRundll32));
  EXPECT_EQ("@echo off\r\n\r\nPATH C:\\DOS\r\n",
            sim::FileContents("C:\\AUTOEXEC.BAT"));
  EXPECT_TRUE(sim::BootTimeMoves().empty());
}

TEST_P(SircamCleanerTest, MarkerKeyWithOnlyValuesIsDeletedToo) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "sa", "x");

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kMarkerKey));
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software"));
  EXPECT_EQ(Report(false), sim::ConsoleOutput());
}

TEST_P(SircamCleanerTest, CopyInUseIsDeletedAtTheNextStart) {
  scene::PlantSircam(line());
  // The copy in the recycle folder is the running worm.
  sim::FailCall("DeleteFileA", ERROR_ACCESS_DENIED, 1);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(Report(true), sim::ConsoleOutput());
  EXPECT_TRUE(run_.RestartNeeded);
  EXPECT_TRUE(sim::FileExists("C:\\RECYCLED\\SirC32.exe"));
  std::vector<std::pair<string, string>> expectedMoves;
  if (line() == sim::Line::Nt) {
    expectedMoves.push_back({"C:\\RECYCLED\\SirC32.exe", ""});
  }
  EXPECT_EQ(expectedMoves, sim::BootTimeMoves());
  EXPECT_EQ(line() == sim::Line::Nt ? string::npos : 0u,
            sim::FileContents(scene::WindowsDirectory(line()) + "\\wininit.ini")
                .find("[rename]\r\nNUL=C:\\RECYCLED\\SirC32.exe"));

  sim::Restart();
  EXPECT_FALSE(sim::FileExists("C:\\RECYCLED\\SirC32.exe"));
}

TEST_P(SircamCleanerTest, CopyThatCannotBeDeletedIsNamed) {
  scene::PlantSircam(line());
  const DWORD kOtherFailure = ERROR_INVALID_PARAMETER;
  sim::FailCall("DeleteFileA", kOtherFailure, 4);  // the system directory's

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(
      scene::CannotDeleteText(scene::SystemDirectory(line()) + "\\SCam32.exe") +
          Report(false),
      sim::ConsoleOutput());
}

// The paths are shown by making each deletion fail in turn: the
// cannot-delete text names the path exactly as it was built.
struct PathCase {
  const char* windowsDirectory;
  const char* systemDirectory;
  const char* expectedPaths[5];
};

TEST_P(SircamCleanerTest, PathsAreBuiltFromTheReportedDirectories) {
  const PathCase cases[] = {
      {"C:\\WINDOWS",
       "C:\\WINDOWS\\SYSTEM",
       {"C:\\RECYCLED\\SirC32.exe", "C:\\RECYCLED\\SirCam.sys",
        "C:\\WINDOWS\\ScMx32.exe", "C:\\WINDOWS\\SYSTEM\\SCam32.exe",
        "C:\\Startup\\Microsoft Internet Office.exe"}},
      {"D:\\",
       "D:\\SYSTEM\\",
       {"D:\\RECYCLED\\SirC32.exe", "D:\\RECYCLED\\SirCam.sys",
        "D:\\ScMx32.exe", "D:\\SYSTEM\\SCam32.exe",
        "C:\\Startup\\Microsoft Internet Office.exe"}},
  };
  for (const PathCase& c : cases) {
    for (int failing = 0; failing < 5; ++failing) {
      SCOPED_TRACE(string(c.windowsDirectory) + " " + c.expectedPaths[failing]);
      sim::Reset(line());
      sim::AddDrive('D');
      sim::SetWindowsDirectory(c.windowsDirectory);
      sim::SetSystemDirectory(c.systemDirectory);
      sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
      sim::SetStringValue(HKEY_CURRENT_USER, scene::kShellFoldersKey, "Startup",
                          "C:\\Startup\\");
      for (const char* path : c.expectedPaths)
        sim::PutFile(path, scene::kWormBody);
      sim::FailCall("DeleteFileA", ERROR_INVALID_PARAMETER, failing + 1);
      RunState run = {true, false};

      EXPECT_TRUE(CleanSircam(run));

      EXPECT_EQ(
          scene::CannotDeleteText(c.expectedPaths[failing]) + Report(false),
          sim::ConsoleOutput());
      for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(i == failing, sim::FileExists(c.expectedPaths[i]))
            << c.expectedPaths[i];
      }
    }
  }
}

TEST_P(SircamCleanerTest, SystemProgramIsRestoredOnTheWindowsDrive) {
  // The saved program is looked for under "windows" on the Windows drive,
  // wherever Windows itself lives.
  sim::AddDrive('D');
  sim::SetWindowsDirectory("D:\\OS");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  scene::PlantSircamRundll32();
  sim::PutFile("D:\\windows\\run32.exe", scene::kSystemRundll32Body);
  sim::PutFile("D:\\windows\\rundll32.exe", scene::kWormBody);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(scene::kSystemRundll32Body,
            sim::FileContents("D:\\windows\\rundll32.exe"));
  EXPECT_FALSE(sim::FileExists("D:\\windows\\run32.exe"));
  EXPECT_EQ(scene::kWormBody, sim::FileContents(scene::kRundll32));
  EXPECT_TRUE(sim::FileExists(scene::kSavedRundll32));
}

TEST_P(SircamCleanerTest, WithoutTheSavedProgramRundll32IsLeftAlone) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  sim::PutFile(scene::kRundll32, scene::kSystemRundll32Body);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(scene::kSystemRundll32Body, sim::FileContents(scene::kRundll32));
  EXPECT_EQ(0, sim::CallCount("DeleteFileA"));
  EXPECT_EQ(0, sim::CallCount("MoveFileA"));
  EXPECT_EQ(Report(false), sim::ConsoleOutput());
}

TEST_P(SircamCleanerTest, Rundll32InUseIsReplacedAtTheNextStart) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  scene::PlantSircamRundll32();
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION, 1);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_TRUE(run_.RestartNeeded);
  EXPECT_EQ(Report(true), sim::ConsoleOutput());
  EXPECT_EQ(scene::kWormBody, sim::FileContents(scene::kRundll32));
  std::vector<std::pair<string, string>> expectedMoves;
  if (line() == sim::Line::Nt) {
    expectedMoves = {{scene::kRundll32, ""},
                     {scene::kSavedRundll32, scene::kRundll32}};
  }
  EXPECT_EQ(expectedMoves, sim::BootTimeMoves());
  string schedule =
      sim::FileContents(scene::WindowsDirectory(line()) + "\\wininit.ini");
  EXPECT_EQ(line() == sim::Line::Nt
                ? ""
                : "[rename]\r\nNUL=C:\\windows\\rundll32.exe\r\n"
                  "C:\\windows\\rundll32.exe=C:\\windows\\run32.exe\r\n",
            schedule);

  sim::Restart();
  EXPECT_EQ(scene::kSystemRundll32Body, sim::FileContents(scene::kRundll32));
  EXPECT_FALSE(sim::FileExists(scene::kSavedRundll32));
}

// Only half of the restore recorded: the deletion of the worm's rundll32.exe
// waits, the rename could not be done. The restart is still advised, and the
// user is told to copy the original only after it: a copy made before would
// go with the waiting deletion.
TEST_P(SircamCleanerTest, AWaitingDeletionAsksForARestart) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  scene::PlantSircamRundll32();
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION, 1);
  sim::FailCall("MoveFileA", ERROR_PATH_NOT_FOUND, 1);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_TRUE(run_.RestartNeeded);
  EXPECT_EQ(scene::CannotRestoreAfterRestartText(scene::kRundll32,
                                                 scene::kSavedRundll32) +
                Report(true),
            sim::ConsoleOutput());
  EXPECT_EQ(0, sim::CallCount("CopyFileA"));
}

// With the reported directory elsewhere, a file found at the usual place of
// the running line shows that the usual place was used.
struct FallbackCase {
  const char* failing;
  const char* ntPath;
  const char* otherPath;
};

// How the system fails to report a directory: the call fails (and the
// version query may need its second attempt), or the directory does not fit
// the buffer, which is then left unfilled.
enum class Unreported { Fails, FailsVersionRetried, TooLong };

TEST_P(SircamCleanerTest, UnreportedDirectoryFallsBackToTheUsualOne) {
  const FallbackCase cases[] = {
      {"GetWindowsDirectoryA", "c:\\winnt\\ScMx32.exe",
       "c:\\windows\\ScMx32.exe"},
      {"GetSystemDirectoryA", "c:\\winnt\\system32\\SCam32.exe",
       "c:\\windows\\system\\SCam32.exe"},
  };
  const string tooLong = "D:\\" + string(MAX_PATH, 'w');
  for (const FallbackCase& c : cases) {
    for (Unreported how : {Unreported::Fails, Unreported::FailsVersionRetried,
                           Unreported::TooLong}) {
      SCOPED_TRACE(string(c.failing) + " " +
                   std::to_string(static_cast<int>(how)));
      bool windowsFailed = string(c.failing) == "GetWindowsDirectoryA";
      sim::Reset(line());
      sim::AddDrive('D');
      sim::SetWindowsDirectory(
          how == Unreported::TooLong && windowsFailed ? tooLong : "D:\\OS");
      sim::SetSystemDirectory(how == Unreported::TooLong && !windowsFailed
                                  ? tooLong
                                  : "D:\\OS\\SYS");
      sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
      const char* usual = line() == sim::Line::Nt ? c.ntPath : c.otherPath;
      const char* otherLine = line() == sim::Line::Nt ? c.otherPath : c.ntPath;
      sim::PutFile(usual, scene::kWormBody);
      sim::PutFile(otherLine, scene::kWormBody);
      sim::PutFile("D:\\OS\\ScMx32.exe", scene::kWormBody);
      sim::PutFile("D:\\OS\\SYS\\SCam32.exe", scene::kWormBody);
      if (how != Unreported::TooLong) {
        sim::FailCall(c.failing, ERROR_INVALID_PARAMETER, 1);
      }
      if (how == Unreported::FailsVersionRetried) {
        sim::FailCall("GetVersionExA", ERROR_ACCESS_DENIED);
      }
      RunState run = {true, false};

      EXPECT_TRUE(CleanSircam(run));

      EXPECT_FALSE(sim::FileExists(usual));
      EXPECT_TRUE(sim::FileExists(otherLine));
      EXPECT_EQ(windowsFailed, sim::FileExists("D:\\OS\\ScMx32.exe"));
      EXPECT_EQ(!windowsFailed, sim::FileExists("D:\\OS\\SYS\\SCam32.exe"));
      EXPECT_EQ(Report(false), sim::ConsoleOutput());
    }
  }
}

TEST_P(SircamCleanerTest, FallbackDriveIsUsedForTheRecycledCopy) {
  sim::AddDrive('D');
  sim::SetWindowsDirectory("D:\\OS");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  sim::PutFile("C:\\RECYCLED\\SirC32.exe", scene::kWormBody);
  sim::PutFile("D:\\RECYCLED\\SirC32.exe", scene::kWormBody);
  sim::FailCall("GetWindowsDirectoryA", ERROR_INVALID_PARAMETER, 1);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_FALSE(sim::FileExists("C:\\RECYCLED\\SirC32.exe"));
  EXPECT_TRUE(sim::FileExists("D:\\RECYCLED\\SirC32.exe"));
}

// No directory and no line of Windows either: the run stops at once,
// silently, with the registry already cleaned and the files as far as
// they got.
TEST_P(SircamCleanerTest, StopsWhenNeitherDirectoryNorVersionIsKnown) {
  struct StopCase {
    const char* failing;
    bool firstCopiesDeleted;
  };
  const StopCase cases[] = {
      {"GetWindowsDirectoryA", false},
      {"GetSystemDirectoryA", true},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.failing);
    sim::Reset(line());
    scene::PlantSircam(line());
    sim::FailCall(c.failing, ERROR_INVALID_PARAMETER, 1);
    sim::FailCall("GetVersionExA", ERROR_ACCESS_DENIED, 1, true);
    RunState run = {true, false};

    EXPECT_FALSE(CleanSircam(run));

    EXPECT_EQ("", sim::ConsoleOutput());
    EXPECT_TRUE(run.NothingToClean);
    EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kMarkerKey));
    EXPECT_FALSE(sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunServicesKey,
                                  "Driver32"));
    EXPECT_EQ(
        kStandardOpenCommand,
        string(sim::ValueData(HKEY_CLASSES_ROOT, scene::kOpenCommandKey, "")
                   .c_str()));
    EXPECT_EQ(!c.firstCopiesDeleted,
              sim::FileExists("C:\\RECYCLED\\SirC32.exe"));
    EXPECT_EQ(
        !c.firstCopiesDeleted,
        sim::FileExists(scene::WindowsDirectory(line()) + "\\ScMx32.exe"));
    EXPECT_TRUE(
        sim::FileExists(scene::SystemDirectory(line()) + "\\SCam32.exe"));
    EXPECT_TRUE(sim::FileExists(string(scene::kSircamStartupFolder) +
                                "\\Microsoft Internet Office.exe"));
    EXPECT_EQ(scene::kWormBody, sim::FileContents(scene::kRundll32));
    EXPECT_EQ(2, sim::CallCount("GetVersionExA"));
    EXPECT_NE(string::npos, sim::FileContents("C:\\AUTOEXEC.BAT")
                                .find("@win \\recycled\\sirc32.exe"));
  }
}

TEST_P(SircamCleanerTest, StartupFolderThatCannotBeReadIsSkipped) {
  scene::PlantSircam(line());
  sim::SetRawValue(HKEY_CURRENT_USER, scene::kShellFoldersKey, "Startup",
                   REG_SZ, string(MAX_PATH, 'x'));

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_TRUE(sim::FileExists(string(scene::kSircamStartupFolder) +
                              "\\Microsoft Internet Office.exe"));
  EXPECT_EQ(Report(false), sim::ConsoleOutput());
}

TEST_P(SircamCleanerTest, StartupCopyPathTooLongIsNotLookedUp) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  // 250 characters: with the copy's name the path needs more than 259.
  string longFolder = "C:\\" + string(247, 'f');
  sim::SetStringValue(HKEY_CURRENT_USER, scene::kShellFoldersKey, "Startup",
                      longFolder);

  EXPECT_TRUE(CleanSircam(run_));

  // The three other copies, the data file and the saved system program, but
  // not the Startup copy.
  EXPECT_EQ(5, sim::CallCount("FindFirstFileA"));
  EXPECT_EQ(Report(false), sim::ConsoleOutput());
}

TEST_P(SircamCleanerTest, BatchFileLeftUnrepairedIsToldBeforeTheResult) {
  scene::PlantSircam(line());
  const DWORD kDiskFull = 112;
  sim::FailCall("WriteFile", kDiskFull);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(kCannotModifyStartupBatch + Report(false), sim::ConsoleOutput());
  EXPECT_NE(string::npos, sim::FileContents("C:\\AUTOEXEC.BAT")
                              .find("@win \\recycled\\sirc32.exe"));
}

TEST_P(SircamCleanerTest, RestartAdviceFollowsAnEarlierCleaner) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  run_.RestartNeeded = true;

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(Report(true), sim::ConsoleOutput());
}

TEST_P(SircamCleanerTest, DataFileInUseIsDeletedAtTheNextStart) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  sim::PutFile(scene::kSircamRecycledData, "worm data");
  sim::PutFile("C:\\RECYCLED\\DC1.doc", "a deleted letter");
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION, 1);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(Report(true), sim::ConsoleOutput());
  EXPECT_TRUE(sim::FileExists(scene::kSircamRecycledData));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists(scene::kSircamRecycledData));
  EXPECT_EQ("a deleted letter", sim::FileContents("C:\\RECYCLED\\DC1.doc"));
}

// One folder named in several places, spelt differently each time: its copy
// is looked up once, so a copy that cannot be deleted is named once.
TEST_P(SircamCleanerTest, AStartupFolderNamedTwiceIsLookedIntoOnce) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  sim::SetStringValue(HKEY_CURRENT_USER, scene::kShellFoldersKey, "Startup",
                      scene::kSircamStartupFolder);
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kShellFoldersKey,
                      "Common Startup",
                      "c:\\profile\\START MENU\\programs\\startup\\");
  sim::SetStringValue(HKEY_USERS, scene::ProfileShellFoldersKey(".Default"),
                      "Startup", "C:\\PROFILE\\Start Menu\\Programs\\Startup");
  sim::PutFile(
      scene::kSircamStartupFolder + string(scene::kSircamStartupCopyName),
      scene::kWormBody);
  sim::FailCall("DeleteFileA", ERROR_INVALID_PARAMETER, 1, true);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_EQ(scene::CannotDeleteText(string(scene::kSircamStartupFolder) +
                                    scene::kSircamStartupCopyName) +
                Report(false),
            sim::ConsoleOutput());
  EXPECT_EQ(1, sim::CallCount("DeleteFileA"));
}

// What a Startup value can hold that names no folder: the value is passed
// over, wherever it is, and the folders after it are still looked into.
TEST_P(SircamCleanerTest, StartupValuesThatNameNoFolderAreSkipped) {
  struct BadValue {
    const char* what;
    bool present;
    DWORD type;
    string data;
  };
  const BadValue values[] = {
      {"missing", false, REG_SZ, ""},
      {"empty", true, REG_SZ, string(1, '\0')},
      {"filling the buffer without a NUL", true, REG_SZ,
       "C:\\Bin" + string(MAX_PATH - 6, 'x')},
      {"longer than the buffer", true, REG_SZ,
       "C:\\Bin\\" + string(300, 'x') + string(1, '\0')},
      {"binary", true, REG_BINARY, string("C:\\Bin\0", 7)},
      {"a number", true, REG_DWORD, string("C:\\\0", 4)},
  };
  struct Place {
    HKEY root;
    string keyPath;
    const char* valueName;
  };
  const Place places[] = {
      {HKEY_CURRENT_USER, scene::kShellFoldersKey, "Startup"},
      {HKEY_LOCAL_MACHINE, scene::kShellFoldersKey, "Common Startup"},
      {HKEY_USERS, scene::ProfileShellFoldersKey(".Default"), "Startup"},
  };
  // Where the copy would be if the data were taken for a folder.
  const char* const kMisread[] = {"C:\\Bin", "C:", ""};
  for (const Place& place : places) {
    for (const BadValue& value : values) {
      SCOPED_TRACE(place.keyPath + " " + place.valueName + ": " + value.what);
      sim::Reset(line());
      sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
      sim::CreateKey(place.root, place.keyPath);
      if (value.present) {
        sim::SetRawValue(place.root, place.keyPath, place.valueName, value.type,
                         value.data);
      }
      for (const char* folder : kMisread) {
        sim::PutFile(folder + string(scene::kSircamStartupCopyName),
                     scene::kWormBody);
      }
      sim::SetStringValue(
          HKEY_USERS, scene::ProfileShellFoldersKey(scene::kSircamOtherProfile),
          "Startup", scene::kSircamOtherStartupFolder);
      sim::PutFile(scene::kSircamOtherStartupFolder +
                       string(scene::kSircamStartupCopyName),
                   scene::kWormBody);
      RunState run = {true, false};

      EXPECT_TRUE(CleanSircam(run));

      EXPECT_EQ(Report(false), sim::ConsoleOutput());
      for (const char* folder : kMisread) {
        EXPECT_TRUE(
            sim::FileExists(folder + string(scene::kSircamStartupCopyName)))
            << folder;
      }
      EXPECT_FALSE(sim::FileExists(scene::kSircamOtherStartupFolder +
                                   string(scene::kSircamStartupCopyName)));
    }
  }
}

// The machine's and the other users' shell folders are only read: keys that
// the user may read but not change are no obstacle.
TEST_P(SircamCleanerTest, OtherShellFoldersAreOpenedForReadingOnly) {
  scene::PlantSircam(line());
  sim::MakeKeyReadOnlyForUser(HKEY_LOCAL_MACHINE, scene::kShellFoldersKey);
  sim::MakeKeyReadOnlyForUser(
      HKEY_USERS, scene::ProfileShellFoldersKey(scene::kSircamOtherProfile));

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_FALSE(sim::FileExists(scene::kSircamCommonStartupFolder +
                               string(scene::kSircamStartupCopyName)));
  EXPECT_FALSE(sim::FileExists(scene::kSircamOtherStartupFolder +
                               string(scene::kSircamStartupCopyName)));
  EXPECT_EQ(Report(false), sim::ConsoleOutput());
}

// The current user's own key is opened for writing, which the NT line can
// refuse; the same folder is still reached as one of the loaded profiles.
TEST_P(SircamCleanerTest, CurrentUsersFolderIsReachedThroughTheLoadedProfiles) {
  scene::PlantSircam(line());
  sim::MakeKeyReadOnlyForUser(HKEY_CURRENT_USER, scene::kShellFoldersKey);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_FALSE(sim::FileExists(scene::kSircamStartupFolder +
                               string(scene::kSircamStartupCopyName)));
  EXPECT_EQ(Report(false), sim::ConsoleOutput());
}

// A terminal server with 40 users logged on has 80 keys under HKEY_USERS:
// every one is walked, and once the list of folders looked into is full, a
// folder named again (here the last user's, twice) is just looked into
// again, harmlessly.
TEST_P(SircamCleanerTest, EveryLoadedProfileIsWalked) {
  const int kUsers = 40;
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kMarkerKey, "", "");
  std::vector<string> folders;
  for (int i = 0; i < kUsers + 2; ++i) {
    string profile = "S-1-5-21-1-" + std::to_string(100 + i);
    sim::CreateKey(HKEY_USERS, profile + "_Classes");
    folders.push_back(i < kUsers ? "C:\\Users\\" + profile + "\\Startup"
                                 : "c:\\users\\S-1-5-21-1-139\\STARTUP");
    sim::SetStringValue(HKEY_USERS, scene::ProfileShellFoldersKey(profile),
                        "Startup", folders.back());
    sim::PutFile(folders.back() + scene::kSircamStartupCopyName,
                 scene::kWormBody);
  }

  EXPECT_TRUE(CleanSircam(run_));

  for (const string& folder : folders) {
    EXPECT_FALSE(sim::FileExists(folder + scene::kSircamStartupCopyName))
        << folder;
  }
  EXPECT_EQ(kUsers, sim::CallCount("DeleteFileA"));
  EXPECT_EQ(Report(false), sim::ConsoleOutput());
}

// Run without elevation on Windows Vista and later, the worm leaves its
// marker in the user's virtual store alone: found there (in either place),
// it is cleaned as the real one, and the copies in the virtual store of
// files go, for the users whose marker was found only.
TEST_P(SircamCleanerTest, MarkerInAVirtualStoreIsFoundAndGoesWithItsCopies) {
  struct Case {
    const char* what;
    bool machineMarker;
    bool otherMarker;  // in the other profile's store, below WOW6432Node
    bool ownMarker;    // in the current user's store
  } cases[] = {
      {"none", false, false, false},
      {"another user's", false, true, false},
      {"the current user's", false, false, true},
      {"everywhere", true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(line());
    if (c.machineMarker) scene::PlantSircamMarker();
    string otherMarker;
    string ownMarker;
    if (c.otherMarker) {
      otherMarker =
          scene::PlantSircamVirtualMarker(scene::kSircamOtherProfile, true);
    }
    if (c.ownMarker) {
      ownMarker =
          scene::PlantSircamVirtualMarker(sim::kCurrentUserProfile, false);
    }
    std::vector<string> otherCopies = scene::PlantSircamVirtualCopies(
        scene::kSircamOtherProfile, "C:\\Users\\Other\\AppData\\Local", line());
    std::vector<string> ownCopies = scene::PlantSircamVirtualCopies(
        sim::kCurrentUserProfile, "C:\\Users\\Own\\AppData\\Local", line());
    sim::PutFile(scene::kSircamRecycledCopy, scene::kWormBody);
    string registryBefore = sim::RegistryDump();
    RunState run = {true, false};

    EXPECT_TRUE(CleanSircam(run));

    bool found = c.machineMarker || c.otherMarker || c.ownMarker;
    EXPECT_EQ(found ? Report(false) : "", sim::ConsoleOutput());
    EXPECT_EQ(found, !sim::FileExists(scene::kSircamRecycledCopy));
    for (const string& marker : {otherMarker, ownMarker}) {
      EXPECT_TRUE(marker.empty() || !sim::KeyExists(HKEY_USERS, marker));
    }
    EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, kMarkerKey));
    for (const string& copy : otherCopies) {
      EXPECT_EQ(!c.otherMarker, sim::FileExists(copy)) << copy;
    }
    for (const string& copy : ownCopies) {
      EXPECT_EQ(!c.ownMarker, sim::FileExists(copy)) << copy;
    }
    if (!found) {
      EXPECT_EQ(registryBefore, sim::RegistryDump());
    }
  }
}

TEST_P(SircamCleanerTest, LoadedProfilesThatCannotBeListedAreSkipped) {
  scene::PlantSircam(line());
  sim::FailCall("RegEnumKeyA", ERROR_ACCESS_DENIED, 1, true);

  EXPECT_TRUE(CleanSircam(run_));

  EXPECT_FALSE(sim::FileExists(scene::kSircamStartupFolder +
                               string(scene::kSircamStartupCopyName)));
  EXPECT_FALSE(sim::FileExists(scene::kSircamCommonStartupFolder +
                               string(scene::kSircamStartupCopyName)));
  EXPECT_TRUE(sim::FileExists(scene::kSircamOtherStartupFolder +
                              string(scene::kSircamStartupCopyName)));
  EXPECT_EQ(Report(false), sim::ConsoleOutput());
}

INSTANTIATE_TEST_SUITE_P(BothLines, SircamCleanerTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
