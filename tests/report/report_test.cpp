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
