#include "report/report.h"

#include <gtest/gtest.h>

#include <string>

#include "report/texts.h"
#include "sim/sim_control.h"
#include "support/host/worm_scene.h"

namespace {

class ReportTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
};

TEST_P(ReportTest, TryDeleteFilePassesOverAMissingFile) {
  RunState run = {true, false};

  TryDeleteFile("C:\\WINDOWS\\SCam32.exe", run);

  EXPECT_EQ(0, sim::CallCount("DeleteFileA"));
  EXPECT_EQ("", sim::ConsoleOutput());
  EXPECT_FALSE(run.RestartNeeded);
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST_P(ReportTest, TryDeleteFileDeletesOrDefersAndReports) {
  sim::PutFile("C:\\free.exe", "MZ");
  sim::PutFile("C:\\busy.exe", "MZ");
  sim::PutFile("C:\\guarded.exe", "MZ");
  HANDLE running = scene::HoldRunning("C:\\busy.exe");
  RunState run = {true, false};

  TryDeleteFile("C:\\free.exe", run);
  EXPECT_FALSE(sim::FileExists("C:\\free.exe"));
  EXPECT_FALSE(run.RestartNeeded);

  TryDeleteFile("C:\\busy.exe", run);
  EXPECT_TRUE(run.RestartNeeded);
  EXPECT_EQ("", sim::ConsoleOutput());

  sim::FailCall("DeleteFileA", ERROR_FILE_NOT_FOUND);
  TryDeleteFile("C:\\guarded.exe", run);
  EXPECT_EQ(scene::CannotDeleteText("C:\\guarded.exe"), sim::ConsoleOutput());

  CloseHandle(running);
  EXPECT_EQ(0, sim::OpenHandleCount()) << "every search handle is closed";
  sim::Restart();
  EXPECT_FALSE(sim::FileExists("C:\\busy.exe"));
}

// Only "file not found" and "path not found" say that a worm file is not
// there; a lookup refused otherwise (a folder its owner made private) still
// leads to the removal, and the boot-time list, carried out by the system,
// reaches the file.
TEST_P(ReportTest, TryDeleteFilePassesOverOnlyWhatIsNotThere) {
  const std::string folder = "C:\\Profile\\Startup";
  const std::string copy = folder + "\\worm.exe";
  // The 9x line has no access lists: no folder is private there.
  const bool isNt = GetParam() == sim::Line::Nt;
  struct Case {
    const char* what;
    bool present;
    bool privateFolder;
    DWORD lookupError;  // 0: the lookup works
    bool restartNeeded;
    bool namedAsUndeletable;
  } cases[] = {
      {"missing", false, false, 0, false, false},
      {"missing folder", false, false, ERROR_PATH_NOT_FOUND, false, false},
      {"in a private folder", true, true, 0, isNt, false},
      {"lookup refused, deleted now", true, false, ERROR_ACCESS_DENIED, false,
       false},
      {"lookup refused, file missing", false, false, ERROR_ACCESS_DENIED, false,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(GetParam());
    sim::MakeDirectory(folder);
    if (c.present) sim::PutFile(copy, "MZ");
    if (c.privateFolder) sim::MakePrivate(folder);
    if (c.lookupError != 0) sim::FailCall("FindFirstFileA", c.lookupError);
    RunState run = {true, false};

    TryDeleteFile(copy.c_str(), run);

    EXPECT_EQ(c.restartNeeded, run.RestartNeeded);
    EXPECT_EQ(c.namedAsUndeletable ? scene::CannotDeleteText(copy) : "",
              sim::ConsoleOutput());
    sim::Restart();
    EXPECT_FALSE(sim::FileExists(copy));
  }
}

TEST_P(ReportTest, ReportRemovalForEachResult) {
  struct Case {
    RemovalResult result;
    bool restartNeeded;
    bool prints;
  };
  const Case cases[] = {
      {RemovalResult::Done, false, false},
      {RemovalResult::Deferred, true, false},
      {RemovalResult::Failed, false, true},
  };
  for (const Case& c : cases) {
    sim::Reset(GetParam());
    RunState run = {true, false};

    ReportRemoval("C:\\WINDOWS\\Win32.exe", c.result, run);

    EXPECT_EQ(c.restartNeeded, run.RestartNeeded) << static_cast<int>(c.result);
    EXPECT_TRUE(run.NothingToClean);
    EXPECT_EQ(c.prints ? scene::CannotDeleteText("C:\\WINDOWS\\Win32.exe") : "",
              sim::ConsoleOutput())
        << static_cast<int>(c.result);
  }
  // A restart once needed stays needed.
  RunState run = {false, true};
  ReportRemoval("C:\\x.exe", RemovalResult::Failed, run);
  EXPECT_TRUE(run.RestartNeeded);
}

TEST_P(ReportTest, PathIsPrintedAsTextNotAsFormat) {
  RunState run = {true, false};
  ReportRemoval("C:\\100%s%d.exe", RemovalResult::Failed, run);
  EXPECT_EQ(scene::CannotDeleteText("C:\\100%s%d.exe"), sim::ConsoleOutput());
}

TEST_P(ReportTest, CannotRestoreNamesTheProgramThenTheOriginal) {
  ReportCannotRestore("C:\\100%s\\rundll32.exe", "C:\\100%d\\run32.exe");
  EXPECT_EQ(scene::CannotRestoreText("C:\\100%s\\rundll32.exe",
                                     "C:\\100%d\\run32.exe"),
            sim::ConsoleOutput());
}

INSTANTIATE_TEST_SUITE_P(BothLines, ReportTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

// The paths come in the ANSI code page; the console shows its output code
// page.
struct PathCase {
  const char* what;
  UINT ansiCodePage;
  UINT consoleCodePage;
  bool toConsole;
  const char* failingCall;  // "" for none
  int failingNth;
  const char* path;
  const char* shown;
  const char* secondPath;  // NULL: the cannot-delete text, else cannot-restore
  const char* secondShown;
};

const char kGermanStartup[] =
    "C:\\Dokumente und Einstellungen\\J\xFCrgen\\Startmen\xFC\\Programme\\"
    "Autostart\\Microsoft Internet Office.exe";
const char kGermanStartupIn850[] =
    "C:\\Dokumente und Einstellungen\\J\x81rgen\\Startmen\x81\\Programme\\"
    "Autostart\\Microsoft Internet Office.exe";
const char kRussianStartup[] =
    "C:\\Documents and Settings\\\xC8\xE2\xE0\xED\\"
    "\xC3\xEB\xE0\xE2\xED\xEE\xE5 \xEC\xE5\xED\xFE\\"
    "\xC0\xE2\xF2\xEE\xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE0\\sirc32.exe";
const char kRussianStartupIn866[] =
    "C:\\Documents and Settings\\\x88\xA2\xA0\xAD\\"
    "\x83\xAB\xA0\xA2\xAD\xAE\xA5 \xAC\xA5\xAD\xEE\\"
    "\x80\xA2\xE2\xAE\xA7\xA0\xA3\xE0\xE3\xA7\xAA\xA0\\sirc32.exe";
// "C:\WINDOWS\<Start menu in katakana>\<so>.exe": the trail byte of the last
// character is a backslash.
const char kJapanesePath[] =
    "C:\\WINDOWS\\\x83X\x83^\x81[\x83g\x83\x81\x83j\x83\x85\x81[\\\x83\x5C.exe";

TEST(PathOnConsoleTest, ShownInTheConsolesCodePage) {
  const std::string euros = "C:\\" + std::string(MAX_PATH - 4, '\x80');
  const std::string eurosInUtf8 = [&] {
    std::string text = "C:\\";
    for (size_t i = 3; i < euros.size(); ++i) text += "\xE2\x82\xAC";
    return text;
  }();
  const std::string tooLong = "C:\\" + std::string(300, '\xFC');
  const PathCase cases[] = {
      {"German Startup folder", 1252, 850, true, "", 0, kGermanStartup,
       kGermanStartupIn850, NULL, NULL},
      {"French Startup folder", 1252, 850, true, "", 0,
       "C:\\Documents and Settings\\Ren\xE9"
       "e\\Menu D\xE9marrer\\Programmes\\"
       "D\xE9marrage\\Microsoft Internet Office.exe",
       "C:\\Documents and Settings\\Ren\x82"
       "e\\Menu D\x82marrer\\Programmes\\"
       "D\x82marrage\\Microsoft Internet Office.exe",
       NULL, NULL},
      {"Russian profile", 1251, 866, true, "", 0, kRussianStartup,
       kRussianStartupIn866, NULL, NULL},
      {"Japanese console of the same code page", 932, 932, true, "", 0,
       kJapanesePath, kJapanesePath, NULL, NULL},
      {"redirected to a file", 1252, 850, false, "", 0, kGermanStartup,
       kGermanStartup, NULL, NULL},
      {"letters the console lacks", 1251, 850, true, "", 0, kRussianStartup,
       "C:\\Documents and Settings\\????\\??????? ????\\????????????\\"
       "sirc32.exe",
       NULL, NULL},
      {"full-width letters, no look-alikes", 932, 437, true, "", 0,
       "C:\\\x82\x60\x82\x61\\x.exe", "C:\\??\\x.exe", NULL, NULL},
      {"the longest path in UTF-8", 1252, 65001, true, "", 0, euros.c_str(),
       eurosInUtf8.c_str(), NULL, NULL},
      {"longer than a path", 1252, 850, true, "", 0, tooLong.c_str(),
       tooLong.c_str(), NULL, NULL},
      {"no standard output", 1252, 850, true, "GetStdHandle", 1, kGermanStartup,
       kGermanStartup, NULL, NULL},
      {"output of unknown type", 1252, 850, true, "GetFileType", 1,
       kGermanStartup, kGermanStartup, NULL, NULL},
      {"no console code page", 1252, 850, true, "GetConsoleOutputCP", 1,
       kGermanStartup, kGermanStartup, NULL, NULL},
      {"no wide text", 1252, 850, true, "MultiByteToWideChar", 1,
       kGermanStartup, kGermanStartup, NULL, NULL},
      {"no console text", 1252, 850, true, "WideCharToMultiByte", 1,
       kGermanStartup, kGermanStartup, NULL, NULL},
      {"no check of the console text", 1252, 850, true, "MultiByteToWideChar",
       2, kGermanStartup, kGermanStartup, NULL, NULL},
      {"no console text with '?'", 1251, 850, true, "WideCharToMultiByte", 2,
       kRussianStartup, kRussianStartup, NULL, NULL},
      {"both files of the cannot-restore text", 1252, 850, true, "", 0,
       "C:\\WINDOWS\\rundll32.exe", "C:\\WINDOWS\\rundll32.exe", kGermanStartup,
       kGermanStartupIn850},
      {"the second file failing alone", 1251, 866, true, "WideCharToMultiByte",
       2, kRussianStartup, kRussianStartupIn866, kRussianStartup,
       kRussianStartup},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset();
    sim::SetCodePage(c.ansiCodePage);
    sim::SetConsoleOutputCodePage(c.consoleCodePage);
    sim::SetStandardOutputIsConsole(c.toConsole);
    if (c.failingNth > 0) {
      sim::FailCall(c.failingCall, ERROR_INVALID_PARAMETER, c.failingNth);
    }
    RunState run = {true, false};

    if (c.secondPath == NULL) {
      ReportRemoval(c.path, RemovalResult::Failed, run);
      EXPECT_EQ(scene::CannotDeleteText(c.shown), sim::ConsoleOutput());
    } else {
      ReportCannotRestore(c.path, c.secondPath);
      EXPECT_EQ(scene::CannotRestoreText(c.shown, c.secondShown),
                sim::ConsoleOutput());
    }
  }
}

TEST(PathOnConsoleTest, TheProgramLeftInPlaceIsShownSoToo) {
  sim::Reset();
  sim::SetConsoleOutputCodePage(850);

  RunState run = {true, false};
  ReportCommandNotRestored(kGermanStartup, run);

  std::string expected = kCommandNotRestoredFormat;
  expected.replace(expected.find("%s"), 2, kGermanStartupIn850);
  EXPECT_EQ(expected, sim::ConsoleOutput());
  EXPECT_TRUE(run.CommandNotRestoredReported);
}

TEST(SectionOutcomeTest, AdviceAndFlags) {
  struct Case {
    bool offersRestart;
    bool restartNeeded;
    bool printsRestartAdvice;
  };
  const Case cases[] = {
      {false, false, false},
      {false, true, false},
      {true, false, false},
      {true, true, true},
  };
  for (const Case& c : cases) {
    sim::Reset();
    RunState run = {true, c.restartNeeded};

    SectionOutcome(run, c.offersRestart);

    std::string expected = kDownloadAdvice;
    if (c.printsRestartAdvice) expected += kRestartAdvice;
    EXPECT_EQ(expected, sim::ConsoleOutput())
        << "offers " << c.offersRestart << " needed " << c.restartNeeded;
    EXPECT_FALSE(run.NothingToClean);
    EXPECT_EQ(c.restartNeeded, run.RestartNeeded);
  }
}

}  // namespace
