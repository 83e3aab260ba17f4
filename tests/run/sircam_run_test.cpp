#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "report/texts.h"
#include "run/cleaning_run.h"
#include "sim/sim_control.h"
#include "support/host/input_records.h"
#include "support/host/worm_scene.h"

namespace {

using std::string;

// A machine on which Sircam runs: the copy in the recycle folder is the
// running program, held open, so it cannot be deleted now. Returns the
// handle that holds it.
HANDLE InfectWithSircam(sim::Line line) {
  scene::PlantSircam(line);
  return scene::HoldRunning(scene::kSircamRecycledCopy);
}

class SircamRunTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
  sim::Line line() const { return GetParam(); }
};

TEST_P(SircamRunTest, RoadOfOneInfection) {
  InfectWithSircam(line());
  sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));
  sim::QueueInput(KeyRecord(true, 'N', 'n'));

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(scene::ReportBanner() + kSircamResult + kDownloadAdvice +
                kRestartAdvice + kClosingPrompt,
            sim::ConsoleOutput());
  EXPECT_EQ(1, sim::QueuedInputCount()) << "exactly one key is taken";
  EXPECT_EQ(0, sim::OpenKeyCount());
  EXPECT_EQ(1, sim::OpenHandleCount()) << "only the running worm's";

  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\SirCam"));
  EXPECT_FALSE(
      sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunServicesKey, "Driver32"));
  EXPECT_EQ("\"%1\" %*",
            string(sim::ValueData(HKEY_CLASSES_ROOT, scene::kOpenCommandKey, "")
                       .c_str()));
  EXPECT_TRUE(sim::FileExists(scene::kSircamRecycledCopy));
  EXPECT_FALSE(
      sim::FileExists(scene::WindowsDirectory(line()) + "\\ScMx32.exe"));
  EXPECT_FALSE(
      sim::FileExists(scene::SystemDirectory(line()) + "\\SCam32.exe"));
  EXPECT_FALSE(sim::FileExists(string(scene::kSircamStartupFolder) +
                               "\\Microsoft Internet Office.exe"));
  EXPECT_EQ(scene::kSystemRundll32Body, sim::FileContents(scene::kRundll32));
  EXPECT_FALSE(sim::FileExists(scene::kSavedRundll32));
  EXPECT_EQ("@echo off\r\n\r\nPATH C:\\DOS\r\n",
            sim::FileContents("C:\\AUTOEXEC.BAT"));

  std::vector<std::pair<string, string>> expectedMoves;
  if (line() == sim::Line::Nt)
    expectedMoves.push_back({scene::kSircamRecycledCopy, ""});
  EXPECT_EQ(expectedMoves, sim::BootTimeMoves());
  EXPECT_EQ(
      line() == sim::Line::Nt ? ""
                              : "[rename]\r\nNUL=C:\\RECYCLED\\SirC32.exe\r\n",
      sim::FileContents(scene::WindowsDirectory(line()) + "\\wininit.ini"));

  sim::Restart();
  EXPECT_FALSE(sim::FileExists(scene::kSircamRecycledCopy));

  sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));
  size_t firstRunOutput = sim::ConsoleOutput().size();
  EXPECT_EQ(0, CleaningRun());
  EXPECT_EQ(scene::ReportBanner() + kNothingToClean + kClosingPrompt,
            sim::ConsoleOutput().substr(firstRunOutput));
}

TEST_P(SircamRunTest, TwoCopiesInUseAreBothGoneAfterTheRestart) {
  InfectWithSircam(line());
  string windowsCopy = scene::WindowsDirectory(line()) + "\\ScMx32.exe";
  HANDLE second =
      CreateFileA(windowsCopy.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, second);

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(scene::ReportBanner() + kSircamResult + kDownloadAdvice +
                kRestartAdvice + kClosingPrompt,
            sim::ConsoleOutput());
  EXPECT_TRUE(sim::FileExists(scene::kSircamRecycledCopy));
  EXPECT_TRUE(sim::FileExists(windowsCopy));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists(scene::kSircamRecycledCopy));
  EXPECT_FALSE(sim::FileExists(windowsCopy));
}

// A batch file that another program holds open (or that is read-only)
// cannot be rewritten: the user is told, before Sircam's result, and the file
// stays as it is.
TEST_P(SircamRunTest, UnwritableBatchFileIsToldBeforeTheResult) {
  for (bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "read-only" : "held open");
    sim::Reset(line());
    InfectWithSircam(line());
    string before = sim::FileContents("C:\\AUTOEXEC.BAT");
    sim::SetReadOnly("C:\\AUTOEXEC.BAT", readOnly);
    HANDLE editor = INVALID_HANDLE_VALUE;
    if (!readOnly) {
      editor = CreateFileA("C:\\AUTOEXEC.BAT", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
      ASSERT_NE(INVALID_HANDLE_VALUE, editor);
    }
    sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));

    EXPECT_EQ(0, CleaningRun());

    EXPECT_EQ(scene::ReportBanner() + kCannotModifyStartupBatch +
                  kSircamResult + kDownloadAdvice + kRestartAdvice +
                  kClosingPrompt,
              sim::ConsoleOutput());
    EXPECT_EQ(before, sim::FileContents("C:\\AUTOEXEC.BAT"));
    if (editor != INVALID_HANDLE_VALUE) CloseHandle(editor);
  }
}

// The run cannot go on without the Windows directory: it ends at once with
// status 3, printing nothing more and waiting for no key.
TEST_P(SircamRunTest, StopsWithStatusThreeWithoutDirectoryOrVersion) {
  for (const char* failing : {"GetWindowsDirectoryA", "GetSystemDirectoryA"}) {
    SCOPED_TRACE(failing);
    sim::Reset(line());
    InfectWithSircam(line());
    sim::FailCall(failing, ERROR_INVALID_PARAMETER, 1, true);
    sim::FailCall("GetVersionExA", ERROR_ACCESS_DENIED, 1, true);
    sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));

    EXPECT_EQ(3, CleaningRun());

    EXPECT_EQ(scene::ReportBanner(), sim::ConsoleOutput());
    EXPECT_EQ(1, sim::QueuedInputCount());
    EXPECT_EQ(0, sim::CallCount("ReadConsoleInputA"));
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ(1, sim::OpenHandleCount()) << "only the running worm's";
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, SircamRunTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
