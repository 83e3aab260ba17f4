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

// Only an administrator of the NT line can clean: a Power User may change
// the worms' keys but neither delete their files in the Windows directory nor
// schedule them for the next start, and a limited user may change neither.
// Such a run changes nothing, says why and ends with status 5, rather than
// deleting the marks and leaving the worms running. The line is told by
// what the system does: an NT system that reports the 9x line (a
// compatibility mode) is checked, and the 9x line, which has no accounts,
// always cleans. A token that cannot be read refuses the run; token calls
// that are missing or not implemented are the 9x line's.
TEST(AdministratorRightsTest, OnlyAnAdministratorOfTheNtLineCleans) {
  const sim::Account kAdministrator = sim::Account::Administrator;
  const sim::Account kPowerUser = sim::Account::PowerUser;
  const sim::Account kUser = sim::Account::User;
  const DWORD kNt = VER_PLATFORM_WIN32_NT;
  const DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
  struct Case {
    const char* what;
    sim::Account account;
    sim::Line line;
    DWORD reportedPlatform;
    const char* failingCall;
    DWORD error;
    int status;
  } cases[] = {
      {"administrator, NT", kAdministrator, sim::Line::Nt, kNt, "", 0, 0},
      {"power user, NT", kPowerUser, sim::Line::Nt, kNt, "", 0, 5},
      {"user, NT", kUser, sim::Line::Nt, kNt, "", 0, 5},
      {"administrator, NT reporting 9x", kAdministrator, sim::Line::Nt, k9x, "",
       0, 0},
      {"power user, NT reporting 9x", kPowerUser, sim::Line::Nt, k9x, "", 0, 5},
      {"user, NT reporting 9x", kUser, sim::Line::Nt, k9x, "", 0, 5},
      {"administrator, 9x", kAdministrator, sim::Line::Win9x, k9x, "", 0, 0},
      {"power user, 9x", kPowerUser, sim::Line::Win9x, k9x, "", 0, 0},
      {"user, 9x", kUser, sim::Line::Win9x, k9x, "", 0, 0},
      {"user, 9x reporting NT", kUser, sim::Line::Win9x, kNt, "", 0, 0},
      {"token cannot be opened", kAdministrator, sim::Line::Nt, kNt,
       "OpenProcessToken", ERROR_ACCESS_DENIED, 5},
      {"groups cannot be read", kAdministrator, sim::Line::Nt, kNt,
       "GetTokenInformation", ERROR_NOT_ENOUGH_MEMORY, 5},
      {"token calls not implemented", kAdministrator, sim::Line::Nt, kNt,
       "OpenProcessToken", ERROR_CALL_NOT_IMPLEMENTED, 0},
      {"token calls missing", kAdministrator, sim::Line::Nt, kNt,
       "GetProcAddress", ERROR_PROC_NOT_FOUND, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(c.line);
    scene::PlantBleBla();
    scene::PlantNavidadMarker("Navidad");
    scene::PlantNavidadAutostart("C:\\WINDOWS\\SYSTEM\\winsvrc.exe");
    scene::PlantSircam(c.line);
    sim::SetAccount(c.account);
    sim::SetReportedVersion(c.reportedPlatform,
                            c.reportedPlatform == kNt ? 5 : 4, 10, 2222);
    // A system's stub or broken call fails each time it is made.
    if (c.error != 0) sim::FailCall(c.failingCall, c.error, 1, true);
    sim::QueueInput(KeyRecord(true, 'Y', 'y'));
    sim::QueueInput(KeyRecord(true, 'N', 'n'));
    std::string registryBefore = sim::RegistryDump();
    std::string filesBefore = sim::FileSystemDump();

    EXPECT_EQ(c.status, CleaningRun());

    EXPECT_EQ(1, sim::QueuedInputCount()) << "exactly one key is taken";
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ(0, sim::OpenHandleCount());
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
      EXPECT_FALSE(sim::FileExists(c.line == sim::Line::Nt
                                       ? "C:\\WINNT\\ScMx32.exe"
                                       : "C:\\WINDOWS\\ScMx32.exe"));
    }
  }
}

// A service, a task that runs whether or not a user is logged on, or a remote
// shell runs the program on a window station that nobody sees, where the
// wait for a key would never end: there the program does not wait. The
// report and the exit status stay as they are. The 9x line has no window
// stations, and where the system cannot tell, the wait stays.
TEST(UnattendedRunTest, WaitsForTheKeyOnlyWhereSomeoneSeesTheConsole) {
  struct Case {
    const char* what;
    sim::Line line;
    bool interactive;
    sim::Account account;
    const char* failingCall;
    DWORD error;
    bool waits;
  } cases[] = {
      {"seen, NT", sim::Line::Nt, true, sim::Account::Administrator, "", 0,
       true},
      {"unseen, NT", sim::Line::Nt, false, sim::Account::Administrator, "", 0,
       false},
      {"unseen, NT, refused", sim::Line::Nt, false, sim::Account::User, "", 0,
       false},
      {"seen, 9x", sim::Line::Win9x, true, sim::Account::Administrator, "", 0,
       true},
      {"unseen, 9x", sim::Line::Win9x, false, sim::Account::Administrator, "",
       0, true},
      {"user32 not loaded", sim::Line::Nt, false, sim::Account::Administrator,
       "LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY, true},
      {"functions missing", sim::Line::Nt, false, sim::Account::Administrator,
       "GetProcAddress", ERROR_PROC_NOT_FOUND, true},
      {"no window station", sim::Line::Nt, false, sim::Account::Administrator,
       "GetProcessWindowStation", ERROR_ACCESS_DENIED, true},
      {"flags unknown", sim::Line::Nt, false, sim::Account::Administrator,
       "GetUserObjectInformationA", ERROR_ACCESS_DENIED, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(c.line);
    sim::SetInteractive(c.interactive);
    sim::SetAccount(c.account);
    // The run's only module lookups before the wait are the rights check's,
    // the privilege lookups for the loading of the users' registries (three;
    // with nothing loaded, the unloading asks for none) and the closing look
    // at the boot-time schedule's (which line it is), all finding advapi32
    // loaded: the failure reaches the wait's lookup.
    if (c.error != 0) {
      int earlierCalls = std::string(c.failingCall) == "GetProcAddress" ? 7 : 0;
      sim::FailCall(c.failingCall, c.error, earlierCalls + 1);
    }
    sim::QueueInput(KeyRecord(true, 'Y', 'y'));
    bool refused = c.account != sim::Account::Administrator;

    EXPECT_EQ(refused ? 5 : 0, CleaningRun());

    EXPECT_EQ(scene::ReportBanner() +
                  (refused ? kNeedsAdministrator : kNothingToClean) +
                  kClosingPrompt,
              sim::ConsoleOutput());
    EXPECT_EQ(c.waits ? 0 : 1, sim::QueuedInputCount());
    EXPECT_EQ(c.waits, !sim::ConsoleModeHistory().empty());
    EXPECT_EQ(0, sim::OpenHandleCount());
  }
}

// A person at the keyboard has the INTERACTIVE group in the token, which the
// run has read already: then the wait needs no user32.dll. Only without the
// group is the window station looked at. A report that goes to a file or a
// pipe ends without a wait: the prompt went there too.
struct KeyWaitCase {
  const char* what;
  sim::Line line;
  bool outputIsConsole;
  bool interactiveGroup;
  bool visibleStation;
  bool waits;
  bool looksAtTheStation;
};

// A run over a clean machine with a key queued, after the scene is set.
void CheckKeyWait(const KeyWaitCase& c) {
  sim::SetInteractive(c.visibleStation);
  sim::SetInteractiveGroup(c.interactiveGroup);
  sim::QueueInput(KeyRecord(true, 'Y', 'y'));

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(scene::ReportBanner() + kNothingToClean + kClosingPrompt,
            sim::ConsoleOutput());
  EXPECT_EQ(c.waits ? 0 : 1, sim::QueuedInputCount());
  EXPECT_EQ(c.waits, !sim::ConsoleModeHistory().empty());
  EXPECT_EQ(c.looksAtTheStation ? 1 : 0, sim::CallCount("LoadLibraryA"));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST(KeyWaitTest, WaitsWhereSomeoneSeesThePromptAndLoadsNoMoreThanItMust) {
  typedef KeyWaitCase Case;
  const Case cases[] = {
      {"console, interactive logon", sim::Line::Nt, true, true, true, true,
       false},
      {"console, interactive logon, station unseen", sim::Line::Nt, true, true,
       false, true, false},
      {"console, LocalSystem on a seen desktop", sim::Line::Nt, true, false,
       true, true, true},
      {"console, service", sim::Line::Nt, true, false, false, false, true},
      {"console, 9x", sim::Line::Win9x, true, false, true, true, true},
      {"file, interactive logon", sim::Line::Nt, false, true, true, false,
       false},
      {"file, LocalSystem on a seen desktop", sim::Line::Nt, false, false, true,
       false, false},
      {"file, service", sim::Line::Nt, false, false, false, false, false},
      {"file, 9x", sim::Line::Win9x, false, false, true, false, false},
  };
  const Case toNul[] = {
      {"> nul, interactive logon", sim::Line::Nt, false, true, true, false,
       false},
      {"> nul, 9x", sim::Line::Win9x, false, false, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(c.line);
    sim::SetStandardOutputIsConsole(c.outputIsConsole);
    CheckKeyWait(c);
  }
  // A group there for deny only is no membership: as without it.
  const Case denied[] = {
      {"deny only, seen", sim::Line::Nt, true, false, true, true, true},
      {"deny only, unseen", sim::Line::Nt, true, false, false, false, true},
  };
  for (const Case& c : denied) {
    SCOPED_TRACE(c.what);
    sim::Reset(c.line);
    sim::SetInteractive(c.visibleStation);
    sim::SetInteractiveGroup(true, true);
    sim::QueueInput(KeyRecord(true, 'Y', 'y'));
    EXPECT_EQ(0, CleaningRun());
    EXPECT_EQ(c.waits ? 0 : 1, sim::QueuedInputCount());
    EXPECT_EQ(1, sim::CallCount("LoadLibraryA"));
  }
  // NUL is a character device too, but no console: nobody sees the prompt.
  for (const Case& c : toNul) {
    SCOPED_TRACE(c.what);
    sim::Reset(c.line);
    sim::SetStandardOutputToNulDevice();
    CheckKeyWait(c);
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, CleaningRunTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
