#include <string>

#include <gtest/gtest.h>

#include "report/report.h"
#include "report/texts.h"
#include "run/cleaning_run.h"
#include "sim/sim_control.h"
#include "support/host/input_records.h"

namespace {

const char kCleanSystemReport[] =
    "Utility for cleaning infection by:\n"
    "I-Worm.BleBla.b\n"
    "I-Worm.Navidad\n"
    "I-Worm.Sircam.\n"
    " Version 1.1\n";

std::string ExpectedCleanOutput() {
  return std::string(kCleanSystemReport) + kOwnershipLine + "\n" +
         "Nothing to clean." + "\nPress any key to continue.";
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

TEST(RunTextsTest, DownloadAdviceAndOwnershipLineKeepTheirForm) {
  std::string download = kDownloadAdvice;
  EXPECT_EQ(0u, download.find("You can download free trial version of Tarnwell "
                              "Anti-Virus from\n"));
  EXPECT_EQ('\n', download.back());
  EXPECT_NE(std::string::npos, std::string(kOwnershipLine).find("Tarnwell"));
  EXPECT_EQ('\n', std::string(kOwnershipLine).back());
}

}  // namespace
