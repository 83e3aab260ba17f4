// Whole runs over machines where the worms have been.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "cleaners/navidad_cleaner.h"
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

// With two or three variants, the later one owns the Run value and the open
// command: every variant takes its own program from them as the worms left
// them, so the later one's goes too, under complete reports in order.
TEST_P(WormReportsTest, SeveralVariantsEachFindTheirOwnProgram) {
  const std::string kSystem = "C:\\WINDOWS\\SYSTEM\\";
  struct Case {
    std::vector<int> variants;
    const char* program;
    bool inRunKey;  // as well as in the open command
    const char* deleted;
  } cases[] = {
      {{0, 2}, "wintask.exe", true, "wintask.exe"},
      {{0, 1}, "winfile.exe", false, "winfile.vxd"},
      {{1, 2}, "wintask.exe", true, "wintask.exe"},
      {{0, 1, 2}, "wintask.exe", false, "wintask.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deleted + std::to_string(c.variants.size()));
    SetUp();
    std::string reports;
    for (int index : c.variants) {
      scene::PlantNavidadMarker(scene::kNavidadMarkers[index]);
      reports +=
          std::string(kNavidadVariants[index].ResultText) + kDownloadAdvice;
    }
    if (c.inRunKey) {
      sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey,
                          "Win32BaseServiceMOD", kSystem + c.program);
    }
    scene::SetOpenCommand(kSystem + c.program + " \"%1\" %*");
    sim::PutFile(kSystem + c.deleted, "MZ Navidad");

    EXPECT_EQ(0, CleaningRun());

    EXPECT_EQ(scene::ReportBanner() + reports + kClosingPrompt,
              sim::ConsoleOutput());
    EXPECT_FALSE(sim::FileExists(kSystem + c.deleted));
    EXPECT_EQ("\"%1\" %*", scene::OpenCommand());
    EXPECT_FALSE(sim::ValueExists(HKEY_LOCAL_MACHINE, scene::kRunKey,
                                  "Win32BaseServiceMOD"));
    for (int index : c.variants) {
      EXPECT_FALSE(
          sim::KeyExists(HKEY_CURRENT_USER, kNavidadVariants[index].MarkerKey));
    }
  }
}

// When the open command cannot be written (a key the administrator may not
// change, or a write that fails), the program it starts stays, and the user
// is told, before the worm's result text; a file that it does not start
// goes as ever.
TEST_P(WormReportsTest, ProgramThatTheUnwrittenOpenCommandStartsStays) {
  struct Case {
    const char* worm;  // a Navidad marker, or "Sircam"
    bool readOnlyKey;  // otherwise every write fails
    const char* command;
    const char* started;
    const char* deleted;  // NULL for none
    const char* result;
  } cases[] = {
      {"Emanuel", true, "C:\\WINDOWS\\SYSTEM\\wintask.exe \"%1\" %*",
       "C:\\WINDOWS\\SYSTEM\\wintask.exe", NULL, kNavidadResultA},
      {"Emanuel", false, "\"C:\\WINDOWS\\SYSTEM\\wintask.exe\" \"%1\" %*",
       "C:\\WINDOWS\\SYSTEM\\wintask.exe", NULL, kNavidadResultA},
      {"Navidad", true, "C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*",
       "C:\\WINDOWS\\SYSTEM\\winsvrc.exe", "C:\\WINDOWS\\SYSTEM\\winsvrc.vxd",
       kNavidadResultA},
      {"Emanuel", true, "C:\\Windows\\System\\Wintask.Exe \"%1\" %*",
       "C:\\Windows\\System\\Wintask.Exe", NULL, kNavidadResultA},
      {"Navidad", false, "C:\\WINDOWS\\SYSTEM\\WinSvrc.EXE \"%1\" %*",
       "C:\\WINDOWS\\SYSTEM\\WinSvrc.EXE", "C:\\WINDOWS\\SYSTEM\\winsvrc.vxd",
       kNavidadResultA},
      {"xxxxmas", true, "C:\\WINDOWS\\SYSTEM\\WINFILE.EXE \"%1\" %*",
       "C:\\WINDOWS\\SYSTEM\\WINFILE.EXE", "C:\\WINDOWS\\SYSTEM\\winfile.vxd",
       kNavidadResultB},
      {"Sircam", false, "\"c:\\recycled\\sirc32.exe\" \"%1\" %*",
       scene::kSircamRecycledCopy, scene::kSircamRecycledData, kSircamResult},
  };
  for (const Case& c : cases) {
    if (c.readOnlyKey && GetParam() == sim::Line::Win9x) continue;
    SCOPED_TRACE(std::string(c.worm) + " " + c.command);
    SetUp();
    if (std::string(c.worm) == "Sircam") {
      scene::PlantSircam(GetParam());
    } else {
      scene::PlantNavidadMarker(c.worm);
    }
    scene::SetOpenCommand(c.command);
    sim::PutFile(c.started, "MZ worm");
    if (c.deleted != NULL) sim::PutFile(c.deleted, "MZ worm");
    if (c.readOnlyKey) {
      sim::MakeKeyReadOnlyForUser(HKEY_CLASSES_ROOT, scene::kOpenCommandKey);
    } else {
      sim::FailCall("RegSetValueExA", ERROR_ACCESS_DENIED, 1, true);
    }

    EXPECT_EQ(0, CleaningRun());

    EXPECT_EQ(scene::ReportBanner() + scene::CommandNotRestoredText(c.started) +
                  c.result + kDownloadAdvice + kClosingPrompt,
              sim::ConsoleOutput());
    EXPECT_EQ(c.command, scene::OpenCommand());
    EXPECT_TRUE(sim::FileExists(c.started));
    if (c.deleted != NULL) {
      EXPECT_FALSE(sim::FileExists(c.deleted));
    }
  }
}

// After the restart the user runs the program again, as told: the marker is
// gone, and the command still cannot be written. The closing check says so
// and keeps the program; nothing is "Nothing to clean." while it stays.
TEST_P(WormReportsTest, SecondRunWithTheCommandStillUnwrittenSaysSo) {
  struct Case {
    const char* what;
    bool readOnlyKey;  // otherwise every write fails
    const char* command;
    const char* started;  // NULL: the standard program with other arguments
  } cases[] = {
      {"locked key", true, "C:\\Windows\\System\\Wintask.Exe \"%1\" %*",
       "C:\\Windows\\System\\Wintask.Exe"},
      {"failing write", false, "C:\\WINDOWS\\SYSTEM\\winsvrc.exe \"%1\" %*",
       "C:\\WINDOWS\\SYSTEM\\winsvrc.exe"},
      {"quoted program", false,
       "\"C:\\Program Files\\Tool\\start.exe\" \"%1\" %*",
       "C:\\Program Files\\Tool\\start.exe"},
      {"unclosed quote", false, "\"C:\\WINDOWS\\x.exe %1",
       "C:\\WINDOWS\\x.exe %1"},
      {"standard program, other arguments", false, "\"%1\"%*", NULL},
      {"unquoted standard program", false, "%1 %*", NULL},
  };
  for (const Case& c : cases) {
    if (c.readOnlyKey && GetParam() == sim::Line::Win9x) continue;
    SCOPED_TRACE(c.what);
    SetUp();
    scene::SetOpenCommand(c.command);
    if (c.started != NULL) sim::PutFile(c.started, "MZ worm");
    if (c.readOnlyKey) {
      sim::MakeKeyReadOnlyForUser(HKEY_CLASSES_ROOT, scene::kOpenCommandKey);
    } else {
      sim::FailCall("RegSetValueExA", ERROR_ACCESS_DENIED, 1, true);
    }

    EXPECT_EQ(0, CleaningRun());

    std::string told = c.started != NULL
                           ? scene::CommandNotRestoredText(c.started)
                           : std::string(kNothingToClean);
    EXPECT_EQ(scene::ReportBanner() + told + kClosingPrompt,
              sim::ConsoleOutput());
    EXPECT_EQ(c.command, scene::OpenCommand());
    if (c.started != NULL) {
      EXPECT_TRUE(sim::FileExists(c.started));
    }
  }
}

TEST_P(WormReportsTest, RunAgainAfterTheRestartAsToldKeepsTelling) {
  const char kStarted[] = "C:\\Windows\\System\\Wintask.Exe";
  scene::PlantNavidadMarker("Emanuel");
  scene::SetOpenCommand(std::string(kStarted) + " \"%1\" %*");
  sim::PutFile(kStarted, "MZ worm");
  sim::FailCall("RegSetValueExA", ERROR_ACCESS_DENIED, 1, true);
  ASSERT_EQ(0, CleaningRun());
  std::string firstRun = sim::ConsoleOutput();
  ASSERT_NE(std::string::npos,
            firstRun.find(scene::CommandNotRestoredText(kStarted)));
  sim::Restart();
  sim::QueueInput(KeyRecord(true, VK_RETURN, '\r'));

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(scene::ReportBanner() + scene::CommandNotRestoredText(kStarted) +
                kClosingPrompt,
            sim::ConsoleOutput().substr(firstRun.size()));
  EXPECT_TRUE(sim::FileExists(kStarted));
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
