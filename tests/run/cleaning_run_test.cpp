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

// A limited account of the NT line can change neither HKEY_LOCAL_MACHINE nor
// the file types: such a run changes nothing, says why and ends with status
// 5, rather than taking the worms there for absent and cleaning half of
// Navidad. On the 9x line, or with the rights, the run cleans.
TEST(AdministratorRightsTest, LimitedAccountOnTheNtLineChangesNothing) {
  struct Case {
    const char* what;
    sim::Line line;
    bool administrator;
    bool versionUnknown;
    DWORD softwareOpenError;  // armed on the run's first open
    int status;
  } cases[] = {
      {"limited, NT", sim::Line::Nt, false, false, 0, 5},
      {"limited, NT, line unknown", sim::Line::Nt, false, true, 0, 5},
      {"administrator, NT", sim::Line::Nt, true, false, 0, 0},
      {"administrator, NT, line unknown", sim::Line::Nt, true, true, 0, 0},
      {"no rights to check, 9x", sim::Line::Win9x, false, false, 0, 0},
      {"no rights to check, 9x, line unknown", sim::Line::Win9x, false, true, 0,
       0},
      {"open fails otherwise", sim::Line::Nt, true, false,
       ERROR_NOT_ENOUGH_MEMORY, 0},
      {"refused", sim::Line::Nt, true, false, ERROR_ACCESS_DENIED, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(c.line);
    scene::PlantBleBla();
    scene::PlantNavidadMarker("Navidad");
    scene::PlantNavidadAutostart("C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
    scene::PlantSircam(c.line);
    sim::SetAdministrator(c.administrator);
    if (c.versionUnknown) {
      sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 1);
      sim::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 2);
    }
    if (c.softwareOpenError != 0) {
      sim::FailCall("RegOpenKeyExA", c.softwareOpenError);
    }
    sim::QueueInput(KeyRecord(true, 'Y', 'y'));
    sim::QueueInput(KeyRecord(true, 'N', 'n'));
    std::string registryBefore = sim::RegistryDump();
    std::string filesBefore = sim::FileSystemDump();

    EXPECT_EQ(c.status, CleaningRun());

    EXPECT_EQ(1, sim::QueuedInputCount()) << "exactly one key is taken";
    EXPECT_EQ(0, sim::OpenKeyCount());
    if (c.status == 5) {
      EXPECT_EQ(scene::ReportBanner() + kNeedsAdministrator + kClosingPrompt,
                sim::ConsoleOutput());
      EXPECT_EQ(registryBefore, sim::RegistryDump());
      EXPECT_EQ(filesBefore, sim::FileSystemDump());
      EXPECT_TRUE(sim::BootTimeMoves().empty());
    } else {
      EXPECT_EQ(std::string::npos,
                sim::ConsoleOutput().find(kNeedsAdministrator));
      EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, "rnjfile"));
      EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
      EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\SirCam"));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, CleaningRunTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
