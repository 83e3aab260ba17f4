#include <string>

#include <gtest/gtest.h>

#include "report/texts.h"
#include "run/cleaning_run.h"
#include "sim/sim_control.h"
#include "support/host/input_records.h"
#include "support/host/worm_scene.h"

namespace {

std::string ExpectedCleanOutput() {
  return scene::ReportBanner() + kNothingToClean + kClosingPrompt;
}

class CleaningRunTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override {
    sim::Reset(GetParam());
    // A machine with the usual things the cleaners look at, all healthy.
    sim::SetStringValue(HKEY_CLASSES_ROOT, "exefile\\shell\\open\\command", "",
                        "\"%1\" %*");
    sim::SetStringValue(HKEY_CLASSES_ROOT, ".jpg", "", "jpegfile");
    sim::SetStringValue(HKEY_LOCAL_MACHINE,
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                        "Tool", "C:\\tool.exe");
    sim::PutFile("C:\\autoexec.bat", "@echo off\r\nPATH C:\\DOS\r\n");
  }
};

TEST_P(CleaningRunTest, CleanSystemReportsNothingAndChangesNothing) {
  std::string registryBefore = sim::RegistryDump();
  std::string filesBefore = sim::FileSystemDump();
  sim::QueueInput(KeyRecord(true, 'Y', 'y'));
  sim::QueueInput(KeyRecord(true, 'N', 'n'));

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(ExpectedCleanOutput(), sim::ConsoleOutput());
  EXPECT_EQ(registryBefore, sim::RegistryDump());
  EXPECT_EQ(filesBefore, sim::FileSystemDump());
  EXPECT_EQ(1, sim::QueuedInputCount()) << "exactly one key is taken";
  EXPECT_EQ(0, sim::OpenKeyCount());
  EXPECT_EQ(0, sim::OpenHandleCount());
  EXPECT_TRUE(sim::BootTimeMoves().empty());
}

TEST_P(CleaningRunTest, WithoutAConsoleTheRunStillEnds) {
  sim::SetConsoleAvailable(false);

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(ExpectedCleanOutput(), sim::ConsoleOutput());
}

INSTANTIATE_TEST_SUITE_P(BothLines, CleaningRunTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
