#include "cleaners/navidad_cleaner.h"

#include <gtest/gtest.h>

#include <string>

#include "report/run_state.h"
#include "report/texts.h"
#include "sim/sim_control.h"

namespace {

const char kResultA[] =
    "Your registry was cleaned from links to I-Worm.Navidad virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
const char kResultB[] =
    "Your registry was complitely cleaned from links to I-Worm.Navidad virus \n"
    "but we recomend to use antivirus program to scan your hard drive.";

const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAutostart[] = "Win32BaseServiceMOD";
const char kOpenCommandKey[] = "exefile\\shell\\open\\command";
const char kStandardCommand[] = "\"%1\" %*";

const NavidadVariant& Navidad() { return kNavidadVariants[0]; }

std::string CannotDelete(const std::string& path) {
  return "This program can not delete " + path +
         " file. \nYou can try to find and delete this file manually.\n\n";
}

std::string OpenCommand() {
  std::string data = sim::ValueData(HKEY_CLASSES_ROOT, kOpenCommandKey, "");
  return data.substr(0, data.find('\0'));
}

void HijackOpenCommand(const std::string& command) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, kOpenCommandKey, "", command);
}

class NavidadCleanerTest : public ::testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override {
    sim::Reset(GetParam());
    sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Vendor", "Setting",
                        "kept");
    sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, "SystemTray",
                        "SysTray.Exe");
  }
  void TearDown() override {
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ(0, sim::OpenHandleCount());
    EXPECT_TRUE(
        sim::ValueExists(HKEY_CURRENT_USER, "Software\\Vendor", "Setting"));
    EXPECT_TRUE(sim::ValueExists(HKEY_LOCAL_MACHINE, kRunKey, "SystemTray"));
  }
  RunState run_ = {true, false};
};

struct VariantCase {
  const char* marker;
  const char* program;  // the name in the hijacked open command
  const char* deleted;
  const char* kept;
  const char* result;
};

TEST_P(NavidadCleanerTest, EachVariantFindsItsOwnProgramInTheOpenCommand) {
  const VariantCase cases[] = {
      {"Software\\Navidad", "winsvrc.exe", "C:\\WINDOWS\\SYSTEM\\winsvrc.vxd",
       "C:\\WINDOWS\\SYSTEM\\winsvrc.exe", kResultA},
      {"Software\\xxxxmas", "winfile.exe", "C:\\WINDOWS\\SYSTEM\\winfile.vxd",
       "C:\\WINDOWS\\SYSTEM\\winfile.exe", kResultB},
      {"Software\\Emanuel", "wintask.exe", "C:\\WINDOWS\\SYSTEM\\wintask.exe",
       "C:\\WINDOWS\\SYSTEM\\wintask.vxd", kResultA},
  };
  for (int index = 0; index < kNavidadVariantCount; ++index) {
    const VariantCase& c = cases[index];
    SCOPED_TRACE(c.marker);
    SetUp();
    run_ = RunState{true, false};
    sim::SetStringValue(HKEY_CURRENT_USER, c.marker, "", "");
    HijackOpenCommand(std::string("C:\\WINDOWS\\SYSTEM\\") + c.program +
                      " \"%1\" %*");
    sim::PutFile(c.deleted, "worm");
    sim::PutFile(c.kept, "worm");

    CleanNavidadVariant(kNavidadVariants[index], run_);

    EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, c.marker));
    EXPECT_FALSE(sim::FileExists(c.deleted));
    EXPECT_TRUE(sim::FileExists(c.kept));
    EXPECT_EQ(kStandardCommand, OpenCommand());
    EXPECT_EQ(std::string(c.result) + kDownloadAdvice, sim::ConsoleOutput());
    EXPECT_FALSE(run_.NothingToClean);
    EXPECT_FALSE(run_.RestartNeeded);
  }
}

TEST_P(NavidadCleanerTest, AbsentVariantChangesNothingAndPrintsNothing) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\xxxxmas", "", "");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, kAutostart,
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
  HijackOpenCommand("C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");
  std::string registryBefore = sim::RegistryDump();
  std::string filesBefore = sim::FileSystemDump();

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_EQ("", sim::ConsoleOutput());
  EXPECT_EQ(registryBefore, sim::RegistryDump());
  EXPECT_EQ(filesBefore, sim::FileSystemDump());
  EXPECT_TRUE(run_.NothingToClean);
}

TEST_P(NavidadCleanerTest, MarkerWithValuesAndSubkeysIsGoneOnBothLines) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Navidad", "Count", "3");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Navidad\\Mail\\Sent",
                      "Last", "someone@example.com");

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software"));
}

// "Software" itself is only read on the way to the marker, so the marker
// goes even where the user may not change "Software".
TEST_P(NavidadCleanerTest, MarkerGoesWhereSoftwareItselfIsReadOnly) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::MakeKeyReadOnlyForUser(HKEY_CURRENT_USER, "Software");

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
}

TEST_P(NavidadCleanerTest, MarkerAloneStillGivesTheFullReport) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  int deletionsBefore = sim::CallCount("DeleteFileA");

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_EQ(std::string(kResultA) + kDownloadAdvice, sim::ConsoleOutput());
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, kOpenCommandKey));
  EXPECT_EQ(deletionsBefore, sim::CallCount("DeleteFileA"));
  EXPECT_FALSE(run_.NothingToClean);
}

TEST_P(NavidadCleanerTest, ResultBRunsIntoTheDownloadAdvice) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\xxxxmas");

  CleanNavidadVariant(kNavidadVariants[1], run_);

  EXPECT_EQ(std::string(kResultB) + kDownloadAdvice, sim::ConsoleOutput());
  EXPECT_NE(std::string::npos,
            sim::ConsoleOutput().find(
                "scan your hard drive.You can download free trial version"));
}

TEST_P(NavidadCleanerTest, RunValueWinsOverTheOpenCommand) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, kAutostart,
                      "C:\\WORM\\svc.exe");
  HijackOpenCommand("C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*");
  sim::PutFile("C:\\WORM\\svc.vxd", "worm");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_FALSE(sim::FileExists("C:\\WORM\\svc.vxd"));
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  EXPECT_FALSE(sim::ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kAutostart));
  EXPECT_EQ(kStandardCommand, OpenCommand());
  EXPECT_EQ(std::string(kResultA) + kDownloadAdvice, sim::ConsoleOutput());
}

TEST_P(NavidadCleanerTest, EmptyRunValueLeavesTheOpenCommandAsSource) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, kAutostart, "");
  HijackOpenCommand("C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  EXPECT_FALSE(sim::ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kAutostart));
}

struct CommandCase {
  const char* what;
  const char* command;
};

TEST_P(NavidadCleanerTest, CommandNotNamingTheProgramExactlyIsResetOnly) {
  const CommandCase cases[] = {
      {"in capitals", "C:\\WINDOWS\\SYSTEM\\WINSVRC.EXE \"%1\" %*"},
      {"another variant's program",
       "C:\\WINDOWS\\SYSTEM\\winfile.exe \"%1\" %*"},
      {"without a path", "winsvrc.exe \"%1\" %*"},
      {"standard without its space", "\"%1\"%*"},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    run_ = RunState{true, false};
    sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
    HijackOpenCommand(c.command);
    sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");
    sim::PutFile("C:\\WINDOWS\\SYSTEM\\winfile.vxd", "worm");
    int deletionsBefore = sim::CallCount("DeleteFileA");

    CleanNavidadVariant(Navidad(), run_);

    EXPECT_EQ(kStandardCommand, OpenCommand());
    EXPECT_EQ(deletionsBefore, sim::CallCount("DeleteFileA"));
    EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
    EXPECT_EQ(std::string(kResultA) + kDownloadAdvice, sim::ConsoleOutput());
  }
}

TEST_P(NavidadCleanerTest, QuotedCommandNamesTheRebuiltQuotedPath) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  HijackOpenCommand("\"C:\\WINDOWS\\SYSTEM\\winsvrc.exe\" \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_EQ(CannotDelete("\"C:\\WINDOWS\\SYSTEM\\winsvrc.vxd") + kResultA +
                kDownloadAdvice,
            sim::ConsoleOutput());
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  EXPECT_EQ(kStandardCommand, OpenCommand());
  EXPECT_FALSE(run_.RestartNeeded);
}

TEST_P(NavidadCleanerTest, MissingWormFileIsReportedByName) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Emanuel");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, kAutostart,
                      "C:\\WINDOWS\\wintask.exe");

  CleanNavidadVariant(kNavidadVariants[2], run_);

  EXPECT_EQ(
      CannotDelete("C:\\WINDOWS\\wintask.exe") + kResultA + kDownloadAdvice,
      sim::ConsoleOutput());
}

TEST_P(NavidadCleanerTest, WormPathWithoutRoomForTheNewExtensionIsReported) {
  // 258 characters without an extension: with ".vxd" it would not fit.
  std::string wormPath = "C:\\" + std::string(255, 'w');
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, kAutostart, wormPath);
  int deletionsBefore = sim::CallCount("DeleteFileA");

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_EQ(deletionsBefore, sim::CallCount("DeleteFileA"));
  EXPECT_EQ(CannotDelete(wormPath) + kResultA + kDownloadAdvice,
            sim::ConsoleOutput());
}

TEST_P(NavidadCleanerTest, LockedWormFileIsDeferredWithRestartAdvice) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, kAutostart,
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_EQ(std::string(kResultA) + kDownloadAdvice + kRestartAdvice,
            sim::ConsoleOutput());
  EXPECT_TRUE(run_.RestartNeeded);
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
}

TEST_P(NavidadCleanerTest, EarlierRestartNeedGivesRestartAdvice) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  run_.RestartNeeded = true;

  CleanNavidadVariant(Navidad(), run_);

  EXPECT_EQ(std::string(kResultA) + kDownloadAdvice + kRestartAdvice,
            sim::ConsoleOutput());
}

INSTANTIATE_TEST_SUITE_P(BothLines, NavidadCleanerTest,
                         ::testing::Values(sim::Line::Nt, sim::Line::Win9x),
                         [](const ::testing::TestParamInfo<sim::Line>& info) {
                           return std::string(
                               info.param == sim::Line::Nt ? "Nt" : "Win9x");
                         });

}  // namespace
