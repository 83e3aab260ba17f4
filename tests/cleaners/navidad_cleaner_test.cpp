#include "cleaners/navidad_cleaner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/run_state.h"
#include "report/texts.h"
#include "sim/sim_control.h"
#include "support/host/worm_scene.h"

namespace {

const char kAutostart[] = "Win32BaseServiceMOD";
const char kStandardCommand[] = "\"%1\" %*";

const NavidadVariant& Navidad() { return kNavidadVariants[0]; }

class NavidadCleanerTest : public ::testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override {
    sim::Reset(GetParam());
    sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Vendor", "Setting",
                        "kept");
    sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, "SystemTray",
                        "SysTray.Exe");
  }
  void TearDown() override {
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ(0, sim::OpenHandleCount());
    EXPECT_TRUE(
        sim::ValueExists(HKEY_CURRENT_USER, "Software\\Vendor", "Setting"));
    EXPECT_TRUE(
        sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunKey, "SystemTray"));
  }
  // As a run does it: the links read before the variant.
  void Clean(const NavidadVariant& variant) {
    NavidadLinks links;
    ReadNavidadLinks(links);
    CleanNavidadVariant(variant, links, run_);
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
       "C:\\WINDOWS\\SYSTEM\\winsvrc.exe", kNavidadResultA},
      {"Software\\xxxxmas", "winfile.exe", "C:\\WINDOWS\\SYSTEM\\winfile.vxd",
       "C:\\WINDOWS\\SYSTEM\\winfile.exe", kNavidadResultB},
      {"Software\\Emanuel", "wintask.exe", "C:\\WINDOWS\\SYSTEM\\wintask.exe",
       "C:\\WINDOWS\\SYSTEM\\wintask.vxd", kNavidadResultA},
  };
  for (int index = 0; index < kNavidadVariantCount; ++index) {
    const VariantCase& c = cases[index];
    SCOPED_TRACE(c.marker);
    SetUp();
    run_ = RunState{true, false};
    sim::SetStringValue(HKEY_CURRENT_USER, c.marker, "", "");
    scene::SetOpenCommand(std::string("C:\\WINDOWS\\SYSTEM\\") + c.program +
                          " \"%1\" %*");
    sim::PutFile(c.deleted, "worm");
    sim::PutFile(c.kept, "worm");

    Clean(kNavidadVariants[index]);

    EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, c.marker));
    EXPECT_FALSE(sim::FileExists(c.deleted));
    EXPECT_TRUE(sim::FileExists(c.kept));
    EXPECT_EQ(kStandardCommand, scene::OpenCommand());
    EXPECT_EQ(std::string(c.result) + kDownloadAdvice, sim::ConsoleOutput());
    EXPECT_FALSE(run_.NothingToClean);
    EXPECT_FALSE(run_.RestartNeeded);
  }
}

TEST_P(NavidadCleanerTest, AbsentVariantChangesNothingAndPrintsNothing) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\xxxxmas", "", "");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart,
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
  scene::SetOpenCommand("C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");
  std::string registryBefore = sim::RegistryDump();
  std::string filesBefore = sim::FileSystemDump();

  Clean(Navidad());

  EXPECT_EQ("", sim::ConsoleOutput());
  EXPECT_EQ(registryBefore, sim::RegistryDump());
  EXPECT_EQ(filesBefore, sim::FileSystemDump());
  EXPECT_TRUE(run_.NothingToClean);
}

TEST_P(NavidadCleanerTest, MarkerWithValuesAndSubkeysIsGoneOnBothLines) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Navidad", "Count", "3");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Navidad\\Mail\\Sent",
                      "Last", "someone@example.com");

  Clean(Navidad());

  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software"));
}

// "Software" itself is only read on the way to the marker, so the marker
// goes even where the user may not change "Software".
TEST_P(NavidadCleanerTest, MarkerGoesWhereSoftwareItselfIsReadOnly) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::MakeKeyReadOnlyForUser(HKEY_CURRENT_USER, "Software");

  Clean(Navidad());

  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
}

TEST_P(NavidadCleanerTest, MarkerAloneStillGivesTheFullReport) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  int deletionsBefore = sim::CallCount("DeleteFileA");

  Clean(Navidad());

  EXPECT_EQ(std::string(kNavidadResultA) + kDownloadAdvice,
            sim::ConsoleOutput());
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CLASSES_ROOT, scene::kOpenCommandKey));
  EXPECT_EQ(deletionsBefore, sim::CallCount("DeleteFileA"));
  EXPECT_FALSE(run_.NothingToClean);
}

TEST_P(NavidadCleanerTest, ResultBRunsIntoTheDownloadAdvice) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\xxxxmas");

  Clean(kNavidadVariants[1]);

  EXPECT_EQ(std::string(kNavidadResultB) + kDownloadAdvice,
            sim::ConsoleOutput());
  EXPECT_NE(std::string::npos,
            sim::ConsoleOutput().find(
                "scan your hard drive.You can download free trial version"));
}

TEST_P(NavidadCleanerTest, RunValueWinsOverTheOpenCommand) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart,
                      "C:\\WORM\\winsvrc.exe");
  scene::SetOpenCommand("C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*");
  sim::PutFile("C:\\WORM\\winsvrc.vxd", "worm");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");

  Clean(Navidad());

  EXPECT_FALSE(sim::FileExists("C:\\WORM\\winsvrc.vxd"));
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  EXPECT_FALSE(
      sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart));
  EXPECT_EQ(kStandardCommand, scene::OpenCommand());
  EXPECT_EQ(std::string(kNavidadResultA) + kDownloadAdvice,
            sim::ConsoleOutput());
}

TEST_P(NavidadCleanerTest, EmptyRunValueLeavesTheOpenCommandAsSource) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart, "");
  scene::SetOpenCommand("C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");

  Clean(Navidad());

  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  EXPECT_FALSE(
      sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart));
}

struct CommandCase {
  const char* what;
  const char* command;
};

// Windows takes a name in any letters for the same file, and so do the
// worms, which write their programs' names as they like.
TEST_P(NavidadCleanerTest, ProgramNamedInOtherLettersIsFound) {
  const VariantCase cases[] = {
      {"Software\\Navidad", "WINSVRC.EXE", "C:\\WINDOWS\\SYSTEM\\WINSVRC.vxd",
       "C:\\WINDOWS\\SYSTEM\\winsvrc.exe", kNavidadResultA},
      {"Software\\xxxxmas", "WinFile.Exe", "C:\\WINDOWS\\SYSTEM\\WinFile.vxd",
       "C:\\WINDOWS\\SYSTEM\\winfile.exe", kNavidadResultB},
      {"Software\\Emanuel", "Wintask.Exe", "C:\\WINDOWS\\SYSTEM\\Wintask.Exe",
       "C:\\WINDOWS\\SYSTEM\\wintask.vxd", kNavidadResultA},
  };
  for (int index = 0; index < kNavidadVariantCount; ++index) {
    const VariantCase& c = cases[index];
    SCOPED_TRACE(c.marker);
    SetUp();
    run_ = RunState{true, false};
    sim::CreateKey(HKEY_CURRENT_USER, c.marker);
    scene::SetOpenCommand(std::string("C:\\WINDOWS\\SYSTEM\\") + c.program +
                          " \"%1\" %*");
    sim::PutFile(c.deleted, "worm");
    sim::PutFile(c.kept, "worm");

    Clean(kNavidadVariants[index]);

    EXPECT_FALSE(sim::FileExists(c.deleted));
    EXPECT_TRUE(sim::FileExists(c.kept));
    EXPECT_EQ(kStandardCommand, scene::OpenCommand());
    EXPECT_EQ(std::string(c.result) + kDownloadAdvice, sim::ConsoleOutput());
  }
}

TEST_P(NavidadCleanerTest, CommandNotNamingTheProgramIsResetOnly) {
  const CommandCase cases[] = {
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
    scene::SetOpenCommand(c.command);
    sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");
    sim::PutFile("C:\\WINDOWS\\SYSTEM\\winfile.vxd", "worm");
    int deletionsBefore = sim::CallCount("DeleteFileA");

    Clean(Navidad());

    EXPECT_EQ(kStandardCommand, scene::OpenCommand());
    EXPECT_EQ(deletionsBefore, sim::CallCount("DeleteFileA"));
    EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
    EXPECT_EQ(std::string(kNavidadResultA) + kDownloadAdvice,
              sim::ConsoleOutput());
  }
}

TEST_P(NavidadCleanerTest, QuotedCommandNamesTheRebuiltQuotedPath) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  scene::SetOpenCommand("\"C:\\WINDOWS\\SYSTEM\\winsvrc.exe\" \"%1\" %*");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");

  Clean(Navidad());

  EXPECT_EQ(scene::CannotDeleteText("\"C:\\WINDOWS\\SYSTEM\\winsvrc.vxd") +
                kNavidadResultA + kDownloadAdvice,
            sim::ConsoleOutput());
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  EXPECT_EQ(kStandardCommand, scene::OpenCommand());
  EXPECT_FALSE(run_.RestartNeeded);
}

TEST_P(NavidadCleanerTest, MissingWormFileIsReportedByName) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Emanuel");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart,
                      "C:\\WINDOWS\\wintask.exe");

  Clean(kNavidadVariants[2]);

  EXPECT_EQ(scene::CannotDeleteText("C:\\WINDOWS\\wintask.exe") +
                kNavidadResultA + kDownloadAdvice,
            sim::ConsoleOutput());
}

// The Run value is the worm's program only when it is text naming, by its
// full path, a file of the variant's name: another worm (LoveLetter) writes
// a value of the same name for a program of its own. Otherwise the open
// command is looked at, as without the value.
TEST_P(NavidadCleanerTest, RunValueIsTakenOnlyWhenItNamesTheProgram) {
  struct Case {
    const char* what;
    int variant;
    DWORD type;
    std::string value;
    const char* kept;
    const char* deleted;
  } cases[] = {
      {"LoveLetter's program", 2, REG_SZ, "C:\\WINDOWS\\SYSTEM\\WinFAT32.exe",
       "C:\\WINDOWS\\SYSTEM\\WinFAT32.exe", "C:\\CMD\\wintask.exe"},
      {"LoveLetter's program, as vxd", 0, REG_SZ,
       "C:\\WINDOWS\\SYSTEM\\WinFAT32.exe", "C:\\WINDOWS\\SYSTEM\\WinFAT32.vxd",
       "C:\\CMD\\winsvrc.vxd"},
      {"binary data", 2, REG_BINARY, "C:\\WINDOWS\\notepad.exe",
       "C:\\WINDOWS\\notepad.exe", "C:\\CMD\\wintask.exe"},
      {"binary data naming the program", 2, REG_BINARY,
       "C:\\WINDOWS\\wintask.exe", "C:\\WINDOWS\\wintask.exe",
       "C:\\CMD\\wintask.exe"},
      {"no drive", 0, REG_SZ, "\\WINDOWS\\winsvrc.exe",
       "C:\\WINDOWS\\winsvrc.vxd", "C:\\CMD\\winsvrc.vxd"},
      {"relative to the drive", 0, REG_SZ, "C:winsvrc.exe", "C:\\winsvrc.vxd",
       "C:\\CMD\\winsvrc.vxd"},
      {"a longer name", 2, REG_SZ, "C:\\WINDOWS\\mywintask.exe",
       "C:\\WINDOWS\\mywintask.exe", "C:\\CMD\\wintask.exe"},
      {"a name with arguments", 1, REG_SZ, "C:\\WINDOWS\\winfile.exe /s",
       "C:\\WINDOWS\\winfile.vxd", "C:\\CMD\\winfile.vxd"},
      {"too long for the buffer", 0, REG_SZ, "C:\\" + std::string(260, 'w'),
       "C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "C:\\CMD\\winsvrc.vxd"},
      {"the worm's own spelling", 0, REG_SZ, "C:\\Windows\\System\\Winsvrc.Exe",
       "C:\\CMD\\winsvrc.vxd", "C:\\WINDOWS\\SYSTEM\\Winsvrc.vxd"},
      {"expandable text, lower-case drive", 1, REG_EXPAND_SZ, "c:\\winfile.exe",
       "C:\\CMD\\winfile.vxd", "C:\\winfile.vxd"},
      {"the program itself", 2, REG_SZ, "C:\\WINDOWS\\WINTASK.EXE",
       "C:\\CMD\\wintask.exe", "C:\\WINDOWS\\wintask.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    run_ = RunState{true, false};
    const NavidadVariant& variant = kNavidadVariants[c.variant];
    sim::CreateKey(HKEY_CURRENT_USER, variant.MarkerKey);
    sim::SetRawValue(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart, c.type,
                     c.value);
    scene::SetOpenCommand(std::string("C:\\CMD") + variant.WormFileName +
                          " \"%1\" %*");
    sim::PutFile(c.kept, "kept");
    sim::PutFile(c.deleted, "worm");

    Clean(variant);

    EXPECT_TRUE(sim::FileExists(c.kept));
    EXPECT_FALSE(sim::FileExists(c.deleted));
    EXPECT_FALSE(
        sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart));
    EXPECT_EQ(std::string(variant.ResultText) + kDownloadAdvice,
              sim::ConsoleOutput());
  }
}

TEST_P(NavidadCleanerTest, LockedWormFileIsDeferredWithRestartAdvice) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart,
                      "C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd", "worm");
  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);

  Clean(Navidad());

  EXPECT_EQ(std::string(kNavidadResultA) + kDownloadAdvice + kRestartAdvice,
            sim::ConsoleOutput());
  EXPECT_TRUE(run_.RestartNeeded);
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\winsvrc.vxd"));
}

TEST_P(NavidadCleanerTest, EarlierRestartNeedGivesRestartAdvice) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\Navidad");
  run_.RestartNeeded = true;

  Clean(Navidad());

  EXPECT_EQ(std::string(kNavidadResultA) + kDownloadAdvice + kRestartAdvice,
            sim::ConsoleOutput());
}

// The infected user need not be the one who runs the program, only logged
// on: a marker in any loaded profile counts, and goes from every profile
// that holds it, with one report.
TEST_P(NavidadCleanerTest, MarkerInAnyLoadedProfileIsFoundAndGoes) {
  const std::string kOther = scene::kSircamOtherProfile;
  const std::string kThird = "S-1-5-21-0-0-0-1002";
  struct Case {
    const char* what;
    bool currentUser;
    std::vector<std::string> others;
  } cases[] = {
      {"another user's", false, {kOther}},
      {"two other users'", false, {kOther, kThird}},
      {"the current and another user's", true, {kOther}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    run_ = RunState{true, false};
    if (c.currentUser) scene::PlantNavidadMarker("Navidad");
    for (const std::string& profile : c.others) {
      scene::PlantNavidadMarker("Navidad", profile);
    }
    std::string wormFile =
        scene::PlantNavidadAutostart("C:\\WINDOWS\\SYSTEM\\winsvrc.exe");

    Clean(Navidad());

    EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\Navidad"));
    for (const std::string& profile : c.others) {
      EXPECT_FALSE(sim::KeyExists(HKEY_USERS, profile + "\\Software\\Navidad"));
    }
    EXPECT_FALSE(sim::FileExists(wormFile));
    EXPECT_FALSE(
        sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunKey, kAutostart));
    EXPECT_EQ(std::string(kNavidadResultA) + kDownloadAdvice,
              sim::ConsoleOutput());
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, NavidadCleanerTest,
                         ::testing::Values(sim::Line::Nt, sim::Line::Win9x),
                         [](const ::testing::TestParamInfo<sim::Line>& info) {
                           return std::string(
                               info.param == sim::Line::Nt ? "Nt" : "Win9x");
                         });

}  // namespace
