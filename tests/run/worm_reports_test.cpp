// Whole runs over machines where BleBla.b and Navidad have been.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "report/texts.h"
#include "run/cleaning_run.h"
#include "sim/sim_control.h"
#include "support/host/input_records.h"
#include "support/host/worm_scene.h"

namespace {

class WormReportsTest : public ::testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override {
    sim::Reset(GetParam());
    sim::QueueInput(KeyRecord(true, VK_RETURN, '\r'));
  }
  void TearDown() override {
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ(0, sim::OpenHandleCount());
  }
};

TEST_P(WormReportsTest, BleBlaDeferredThenNavidadAdvisesRestartOnlyOnce) {
  scene::PlantBleBla();
  sim::CreateKey(HKEY_CLASSES_ROOT, "jpegfile");
  scene::PlantNavidadMarker("Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, "Win32BaseServiceMOD",
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "MZ Navidad");
  // BleBla.b's file is the first that the run deletes.
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(scene::ReportBanner() + kBleBlaResult + kDownloadAdvice +
                kNavidadResultA + kDownloadAdvice + kRestartAdvice +
                std::string(kClosingPrompt),
            sim::ConsoleOutput());
  EXPECT_EQ(0, sim::QueuedInputCount());
  EXPECT_TRUE(sim::FileExists(scene::kBleBlaFile));
  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists(scene::kBleBlaFile));
}

TEST_P(WormReportsTest, TwoVariantsAtOnceGiveTwoCompleteReportsInOrder) {
  scene::PlantNavidadMarker("xxxxmas");
  scene::PlantNavidadMarker("Navidad");
  sim::SetStringValue(HKEY_CLASSES_ROOT, scene::kOpenCommandKey, "",
                      "C:\\WINDOWS\\SYSTEM\\winfile.exe \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winfile.vxd", "MZ xxxxmas");

  EXPECT_EQ(0, CleaningRun());

  // The second variant's result text ends without a line feed, so its
  // download advice follows on the same line.
  EXPECT_EQ(scene::ReportBanner() + kNavidadResultA + kDownloadAdvice +
                kNavidadResultB + kDownloadAdvice + std::string(kClosingPrompt),
            sim::ConsoleOutput());
  // The first variant resets the command the second one would have read.
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winfile.vxd"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\xxxxmas"));
}

TEST_P(WormReportsTest, SecondRunOnTheCleanedSystemFindsNothing) {
  scene::PlantBleBla();
  sim::CreateKey(HKEY_CLASSES_ROOT, "jpegfile");
  scene::PlantNavidadMarker("Navidad");
  scene::PlantNavidadMarker("xxxxmas");
  scene::PlantNavidadMarker("Emanuel");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, "Win32BaseServiceMOD",
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
  sim::SetStringValue(HKEY_CLASSES_ROOT, scene::kOpenCommandKey, "",
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "MZ Navidad");
  ASSERT_EQ(0, CleaningRun());
  std::string firstRun = sim::ConsoleOutput();
  ASSERT_NE(std::string::npos, firstRun.find(kBleBlaResult));
  ASSERT_EQ(std::string(kClosingPrompt),
            firstRun.substr(firstRun.size() - strlen(kClosingPrompt)));

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(
      scene::ReportBanner() + kNothingToClean + std::string(kClosingPrompt),
      sim::ConsoleOutput().substr(firstRun.size()));
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, "rnjfile"));
}

INSTANTIATE_TEST_SUITE_P(BothLines, WormReportsTest,
                         ::testing::Values(sim::Line::Nt, sim::Line::Win9x),
                         [](const ::testing::TestParamInfo<sim::Line>& info) {
                           return std::string(
                               info.param == sim::Line::Nt ? "Nt" : "Win9x");
                         });

}  // namespace
