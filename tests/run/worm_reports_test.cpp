// Whole runs over machines where BleBla.b and Navidad have been.
#include <gtest/gtest.h>

#include <string>

#include "report/texts.h"
#include "run/cleaning_run.h"
#include "sim/sim_control.h"
#include "support/host/input_records.h"

namespace {

const char kBleBlaResult[] =
    "Your registry was cleaned from links to I-Worm.BleBla.b virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
const char kNavidadResultA[] =
    "Your registry was cleaned from links to I-Worm.Navidad virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
const char kNavidadResultB[] =
    "Your registry was complitely cleaned from links to I-Worm.Navidad virus \n"
    "but we recomend to use antivirus program to scan your hard drive.";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kOpenCommandKey[] = "exefile\\shell\\open\\command";

std::string Banner() { return std::string(kBanner) + kOwnershipLine + "\n"; }

std::string Closing() { return "\nPress any key to continue."; }

void PlantBleBla() {
  sim::SetStringValue(HKEY_CLASSES_ROOT, "rnjfile\\shell\\open\\command", "",
                      "C:\\WINDOWS\\sysrnj.exe \"%1\"");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".jpg", "", "rnjfile");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".lha", "", "rnjfile");
  sim::CreateKey(HKEY_CLASSES_ROOT, "jpegfile");
  sim::PutFile("C:\\WINDOWS\\sysrnj.exe", "MZ BleBla");
}

void PlantNavidadMarker(const std::string& name) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\" + name, "", "");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\" + name + "\\Mail", "Sent",
                      "1");
}

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
  PlantBleBla();
  PlantNavidadMarker("Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, "Win32BaseServiceMOD",
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "MZ Navidad");
  // BleBla.b's file is the first that the run deletes.
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(Banner() + kBleBlaResult + kDownloadAdvice + kNavidadResultA +
                kDownloadAdvice + kRestartAdvice + Closing(),
            sim::ConsoleOutput());
  EXPECT_EQ(0, sim::QueuedInputCount());
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\sysrnj.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\sysrnj.exe"));
}

TEST_P(WormReportsTest, TwoVariantsAtOnceGiveTwoCompleteReportsInOrder) {
  PlantNavidadMarker("xxxxmas");
  PlantNavidadMarker("Navidad");
  sim::SetStringValue(HKEY_CLASSES_ROOT, kOpenCommandKey, "",
                      "C:\\WINDOWS\\SYSTEM\\winfile.exe \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winfile.vxd", "MZ xxxxmas");

  EXPECT_EQ(0, CleaningRun());

  // The second variant's result text ends without a line feed, so its
  // download advice follows on the same line.
  EXPECT_EQ(Banner() + kNavidadResultA + kDownloadAdvice + kNavidadResultB +
                kDownloadAdvice + Closing(),
            sim::ConsoleOutput());
  // The first variant resets the command the second one would have read.
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winfile.vxd"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\xxxxmas"));
}

TEST_P(WormReportsTest, SecondRunOnTheCleanedSystemFindsNothing) {
  PlantBleBla();
  PlantNavidadMarker("Navidad");
  PlantNavidadMarker("xxxxmas");
  PlantNavidadMarker("Emanuel");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, "Win32BaseServiceMOD",
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
  sim::SetStringValue(HKEY_CLASSES_ROOT, kOpenCommandKey, "",
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "MZ Navidad");
  ASSERT_EQ(0, CleaningRun());
  std::string firstRun = sim::ConsoleOutput();
  ASSERT_NE(std::string::npos, firstRun.find(kBleBlaResult));
  ASSERT_EQ(Closing(), firstRun.substr(firstRun.size() - Closing().size()));

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(Banner() + kNothingToClean + Closing(),
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
