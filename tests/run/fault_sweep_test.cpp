// The whole run over a machine infected with every worm at once, with each
// Win32 call it makes failing in turn, then with pairs of calls failing: on
// a sick machine any call can fail, and whichever does, the run must end and
// lose nothing.
#include <stdio.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/texts.h"
#include "run/cleaning_run.h"
#include "sim/sim_control.h"
#include "support/host/infected_machine.h"
#include "support/host/input_records.h"
#include "support/host/worm_scene.h"

namespace {

using std::string;
using std::vector;

// The error a real Windows gives when the call fails on a sick machine.
struct FaultRow {
  const char* function;
  DWORD error;
};

const FaultRow kFaultTable[] = {
    {"RegOpenKeyExA", ERROR_ACCESS_DENIED},
    {"RegCreateKeyExA", ERROR_ACCESS_DENIED},
    {"RegDeleteKeyA", ERROR_ACCESS_DENIED},
    {"RegDeleteValueA", ERROR_ACCESS_DENIED},
    {"RegQueryValueExA", ERROR_ACCESS_DENIED},
    {"RegSetValueExA", ERROR_ACCESS_DENIED},
    {"RegQueryInfoKeyA", ERROR_ACCESS_DENIED},
    {"RegEnumKeyA", ERROR_ACCESS_DENIED},
    {"RegEnumValueA", ERROR_ACCESS_DENIED},
    {"RegCloseKey", ERROR_INVALID_HANDLE},
    {"DeleteFileA", ERROR_SHARING_VIOLATION},
    {"MoveFileA", ERROR_ACCESS_DENIED},
    {"MoveFileExA", ERROR_ACCESS_DENIED},
    {"CopyFileA", ERROR_DISK_FULL},
    {"CreateFileA", ERROR_SHARING_VIOLATION},
    {"GetFileSize", ERROR_ACCESS_DENIED},
    {"SetFilePointer", ERROR_ACCESS_DENIED},
    {"ReadFile", ERROR_ACCESS_DENIED},
    {"WriteFile", ERROR_DISK_FULL},
    {"WriteFile to standard output", ERROR_NO_DATA},
    {"CloseHandle", ERROR_INVALID_HANDLE},
    {"FindFirstFileA", ERROR_ACCESS_DENIED},
    {"FindClose", ERROR_INVALID_HANDLE},
    {"GetFileAttributesA", ERROR_ACCESS_DENIED},
    {"SetFileAttributesA", ERROR_ACCESS_DENIED},
    {"GetShortPathNameA", ERROR_ACCESS_DENIED},
    {"GetPrivateProfileSectionA", ERROR_ACCESS_DENIED},
    {"WritePrivateProfileSectionA", ERROR_DISK_FULL},
    {"WritePrivateProfileStringA", ERROR_DISK_FULL},
    {"GetWindowsDirectoryA", ERROR_ACCESS_DENIED},
    {"GetSystemDirectoryA", ERROR_ACCESS_DENIED},
    {"GetVersionExA", ERROR_INVALID_PARAMETER},
    {"HeapAlloc", ERROR_NOT_ENOUGH_MEMORY},
    {"GetConsoleMode", ERROR_INVALID_HANDLE},
    {"SetConsoleMode", ERROR_INVALID_HANDLE},
    {"ReadConsoleInputA", ERROR_INVALID_HANDLE},
    {"SetConsoleCtrlHandler", ERROR_NOT_ENOUGH_MEMORY},
    {"GetStdHandle", ERROR_INVALID_HANDLE},
    {"GetFileType", ERROR_INVALID_HANDLE},
    {"GetConsoleOutputCP", ERROR_INVALID_HANDLE},
    {"MultiByteToWideChar", ERROR_INVALID_PARAMETER},
    {"WideCharToMultiByte", ERROR_INSUFFICIENT_BUFFER},
    {"GetModuleHandleA", ERROR_MOD_NOT_FOUND},
    {"LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY},
    {"GetProcAddress", ERROR_PROC_NOT_FOUND},
    {"OpenProcessToken", ERROR_ACCESS_DENIED},
    {"GetTokenInformation", ERROR_NOT_ENOUGH_MEMORY},
    {"GetProcessWindowStation", ERROR_ACCESS_DENIED},
    {"GetUserObjectInformationA", ERROR_ACCESS_DENIED},
    {"LookupPrivilegeValueA", ERROR_NOT_ENOUGH_MEMORY},
    {"AdjustTokenPrivileges", ERROR_ACCESS_DENIED},
    {"RegLoadKeyA", ERROR_SHARING_VIOLATION},
    {"RegUnLoadKeyA", ERROR_ACCESS_DENIED},
    {"ExpandEnvironmentStringsA", ERROR_NOT_ENOUGH_MEMORY},
    // Cannot fail; armed, it is only counted.
    {"Sleep", ERROR_SUCCESS},
};

// A call that fails does not release what it was given: Windows does not
// fail these on a handle that is open, but the simulation can, and then the
// handle stays open whatever the program does.
bool ReleasesAHandle(const string& function) {
  return function == "CloseHandle" || function == "FindClose";
}

// The nth call (from 1) of `function` in a run.
struct Fault {
  string function;
  int nth;
};

string Describe(sim::Line line, const vector<Fault>& faults) {
  string text = line == sim::Line::Nt ? "NT" : "9x";
  for (const Fault& fault : faults) {
    text += " " + fault.function + "#" + std::to_string(fault.nth);
  }
  return text;
}

bool ArmFault(const Fault& fault) {
  for (const FaultRow& row : kFaultTable) {
    if (fault.function == row.function) {
      sim::FailCall(fault.function, row.error, fault.nth);
      return true;
    }
  }
  return false;
}

// Whether `lines` holds every line of `expected` in the same order.
bool KeepsInOrder(const vector<string>& lines, const vector<string>& expected) {
  size_t found = 0;
  for (const string& line : lines) {
    if (found < expected.size() && line == expected[found]) ++found;
  }
  return found == expected.size();
}

// The run may stop (status 3) only when the system reports no Windows or no
// system directory and neither attempt at the version query succeeds.
bool MayStopTheRun(const vector<Fault>& faults) {
  bool directoryFails = false;
  int versionFailures = 0;
  for (const Fault& fault : faults) {
    directoryFails = directoryFails ||
                     fault.function == "GetWindowsDirectoryA" ||
                     fault.function == "GetSystemDirectoryA";
    if (fault.function == "GetVersionExA") ++versionFailures;
  }
  return directoryFails && versionFailures >= 2;
}

// The run changes nothing and ends with status 5 only when a call of the
// check whether the user may clean this computer fails: the check is the
// run's first step, so its calls are those that the clean run makes before
// its first registry call.
bool MayRefuseTheRun(const vector<Fault>& faults,
                     const vector<string>& cleanRunCalls) {
  size_t checkEnd = 0;
  while (checkEnd < cleanRunCalls.size() &&
         cleanRunCalls[checkEnd].compare(0, 3, "Reg") != 0) {
    ++checkEnd;
  }
  for (const Fault& fault : faults) {
    int callsInCheck = static_cast<int>(
        std::count(cleanRunCalls.begin(), cleanRunCalls.begin() + checkEnd,
                   fault.function));
    if (fault.nth <= callsInCheck) return true;
  }
  return false;
}

// Runs the program over the infected machine with `faults` armed; returns
// what went wrong, "" when nothing did.
string RunWithFaults(sim::Line line, const vector<Fault>& faults,
                     const vector<string>& cleanRunCalls,
                     int* exitStatus = NULL) {
  InfectedMachine machine = InfectWithEverything(line);
  int releasingFaults = 0;
  int keyClosingFaults = 0;
  // A report that could not be written (a closed pipe, a full disk, no
  // standard output) is cut short: what it says can no longer be held against
  // the machine, what the run did still can.
  bool reportCut = false;
  for (const Fault& fault : faults) {
    if (!ArmFault(fault)) return "no error chosen for " + fault.function;
    if (fault.function == "WriteFile to standard output" ||
        fault.function == "GetStdHandle") {
      reportCut = true;
    }
    if (ReleasesAHandle(fault.function)) ++releasingFaults;
    if (fault.function == "RegCloseKey") ++keyClosingFaults;
  }
  sim::QueueInput(KeyRecord(true, VK_RETURN, '\r'));

  string problems;
  int status = CleaningRun();
  // Nothing left loaded, unless the user was told which registry stays.
  if (!sim::LoadedHives().empty() &&
      sim::ConsoleOutput().find(
          ProfileLeftLoadedText(machine.awayExpandedFolder)) == string::npos) {
    problems += "left loaded, untold: " + sim::LoadedHives()[0] + "\n";
  }
  sim::ReleaseLoadedHives();
  bool refused = status == 5 && MayRefuseTheRun(faults, cleanRunCalls);
  if (status != 0 && !(status == 3 && MayStopTheRun(faults)) && !refused) {
    problems += "exit status " + std::to_string(status) + "\n";
  }
  if (refused && (sim::RegistryDump() != machine.registryBefore ||
                  sim::FileSystemDump() != machine.filesBefore)) {
    problems += "a refused run changed the machine\n";
  }
  if (exitStatus != NULL) *exitStatus = status;
  sim::ClearFailures();

  string autoexec = sim::FileExists("C:\\AUTOEXEC.BAT")
                        ? sim::FileContents("C:\\AUTOEXEC.BAT")
                        : "(missing)";
  if (autoexec != machine.autoexecBefore &&
      autoexec != machine.autoexecCleaned) {
    problems += "autoexec.bat is now: " + autoexec + "\n";
  }
  if (!sim::FileExists(machine.wininitPath) ||
      !KeepsInOrder(TextLines(sim::FileContents(machine.wininitPath)),
                    TextLines(machine.wininitBefore))) {
    problems +=
        "wininit.ini lost lines: " + sim::FileContents(machine.wininitPath) +
        "\n";
  }
  if (!KeepsInOrder(MoveListLines(), machine.moveListBefore)) {
    problems += "the move list lost other programs' operations\n";
  }
  string foreign = ForeignOutput(machine, sim::ConsoleOutput());
  if (!foreign.empty() && !reportCut) problems += "printed: " + foreign + "\n";
  problems += DamageBeyondTheWorms(machine);
  // The running worm's copy is held by the test.
  int openHandles = sim::OpenHandleCount() - 1;
  if (openHandles < 0 || openHandles > releasingFaults) {
    problems += "handles open: " + std::to_string(openHandles) + "\n";
  }
  if (sim::OpenKeyCount() > keyClosingFaults) {
    problems += "keys open: " + std::to_string(sim::OpenKeyCount()) + "\n";
  }

  // Unless the user was told which file to copy back.
  bool toldToRestore = ToldToRestore(sim::ConsoleOutput());
  sim::Restart();
  if (!sim::FileExists(scene::kRundll32) && !toldToRestore && !reportCut) {
    problems += "no rundll32.exe after the restart\n";
  }
  string damageAtRestart = DamageBeyondTheWorms(machine);
  if (!damageAtRestart.empty()) problems += "at restart: " + damageAtRestart;
  bool registryFailed = false;
  for (const Fault& fault : faults) {
    registryFailed = registryFailed || fault.function.compare(0, 3, "Reg") == 0;
  }
  string broken = BrokenPromises(machine, sim::ConsoleOutput(), registryFailed);
  if (!broken.empty() && !reportCut)
    problems += "promised, not so after the restart:\n" + broken;
  return problems;
}

vector<string> CleanRunCalls(sim::Line line) {
  InfectWithEverything(line);
  sim::ClearCallLog();
  sim::QueueInput(KeyRecord(true, VK_RETURN, '\r'));
  CleaningRun();
  return sim::CallLog();
}

// The calls of a run with `fault` armed: past the fault, the run takes ways
// (putting a file back, trying once more) that the clean run never takes.
vector<string> CallsWithFault(sim::Line line, const Fault& fault) {
  InfectWithEverything(line);
  ArmFault(fault);
  sim::ClearCallLog();
  sim::QueueInput(KeyRecord(true, VK_RETURN, '\r'));
  CleaningRun();
  sim::ClearFailures();
  return sim::CallLog();
}

Fault FaultAt(const vector<string>& calls, size_t index) {
  int nth = static_cast<int>(
      std::count(calls.begin(), calls.begin() + index + 1, calls[index]));
  return Fault{calls[index], nth};
}

const int kReportedFindings = 20;

class FaultSweepTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { calls_ = CleanRunCalls(GetParam()); }

  void Check(const vector<Fault>& faults, int* exitStatus = NULL) {
    ++runs_;
    string problems = RunWithFaults(GetParam(), faults, calls_, exitStatus);
    if (problems.empty()) return;
    if (++findings_ <= kReportedFindings) {
      ADD_FAILURE() << Describe(GetParam(), faults) << ":\n" << problems;
    }
  }

  void TearDown() override {
    EXPECT_EQ(0, findings_) << "of " << runs_ << " runs";
  }

  vector<string> calls_;
  int runs_ = 0;
  int findings_ = 0;
};

TEST_P(FaultSweepTest, CleanRunLosesNothing) {
  ASSERT_GT(calls_.size(), 100u) << "the scene must reach every cleaner";
  Check({});
}

TEST_P(FaultSweepTest, EachCallFailingInTurn) {
  int refusals = 0;
  for (size_t k = 0; k < calls_.size(); ++k) {
    int status = 0;
    Check({FaultAt(calls_, k)}, &status);
    if (status == 5) ++refusals;
  }
  // A token that cannot be read refuses the run, which must then have
  // changed nothing.
  if (GetParam() == sim::Line::Nt) {
    EXPECT_LT(0, refusals);
  }
  std::printf("%s: %zu calls swept\n",
              GetParam() == sim::Line::Nt ? "NT" : "9x", calls_.size());
}

TEST_P(FaultSweepTest, PairsOfCallsFailing) {
  const int kPairs = 1000;
  // Seeded so that a finding can be run again.
  std::mt19937 random(GetParam() == sim::Line::Nt ? 20010717u : 20001224u);
  std::uniform_int_distribution<size_t> pick(0, calls_.size() - 1);
  for (int n = 0; n < kPairs; ++n) {
    size_t first = pick(random);
    size_t second = pick(random);
    while (second == first) second = pick(random);
    Check({FaultAt(calls_, std::min(first, second)),
           FaultAt(calls_, std::max(first, second))});
  }
}

// A failed write is the one failure that leaves a file half done; whatever
// the program then does to mend it must hold when any of its calls, or any
// later call of the run, fails as well.
TEST_P(FaultSweepTest, EachLaterCallFailingAfterAFailedWrite) {
  int runsBefore = runs_;
  for (size_t k = 0; k < calls_.size(); ++k) {
    if (calls_[k] != "WriteFile" &&
        calls_[k] != "WritePrivateProfileSectionA") {
      continue;
    }
    Fault write = FaultAt(calls_, k);
    vector<string> calls = CallsWithFault(GetParam(), write);
    for (size_t j = k + 1; j < calls.size(); ++j) {
      Check({write, FaultAt(calls, j)});
    }
  }
  EXPECT_LT(runsBefore, runs_) << "the run writes no file";
}

// Each directory query failing, with both attempts at the version query
// that may follow it: the run stops exactly when the Sircam cleaner asked
// for the directory (once for the Windows, once for the system directory),
// not when the schedule file's path did.
TEST_P(FaultSweepTest, DirectoryAndVersionFailing) {
  int stops = 0;
  for (size_t k = 0; k < calls_.size(); ++k) {
    if (calls_[k] != "GetWindowsDirectoryA" &&
        calls_[k] != "GetSystemDirectoryA") {
      continue;
    }
    int versionQueriesBefore = static_cast<int>(
        std::count(calls_.begin(), calls_.begin() + k, "GetVersionExA"));
    int status = 0;
    Check({FaultAt(calls_, k), Fault{"GetVersionExA", versionQueriesBefore + 1},
           Fault{"GetVersionExA", versionQueriesBefore + 2}},
          &status);
    if (status == 3) ++stops;
  }
  EXPECT_EQ(2, stops);
}

// The sweep is only as good as what it looks at: its checks must see a
// foreign or cut text, a changed bystander and a lost key.
TEST(FaultSweepChecksTest, SeeWhatMustNotHappen) {
  InfectedMachine machine = InfectWithEverything(sim::Line::Nt);
  const string cannotRestore =
      scene::CannotRestoreText(scene::kRundll32, scene::kSavedRundll32);
  const string cannotDelete = scene::CannotDeleteText("C:\\WINNT\\ScMx32.exe");
  EXPECT_EQ("", ForeignOutput(machine, cannotRestore + cannotDelete));
  string cut = cannotDelete;
  cut.erase(cut.find(".exe file"), 1);
  EXPECT_EQ(cut, ForeignOutput(machine, cannotRestore + cut));
  EXPECT_EQ("Error\n", ForeignOutput(machine, cannotDelete + "Error\n"));

  EXPECT_EQ("", DamageBeyondTheWorms(machine));
  sim::PutFile("C:\\WINNT\\notepad.exe", "MZ changed");
  EXPECT_NE(string::npos, DamageBeyondTheWorms(machine).find("notepad.exe"));
  sim::PutFile("C:\\WINNT\\notepad.exe", "MZ notepad");
  HKEY run;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, scene::kRunKey, 0,
                                         KEY_READ | KEY_WRITE, &run));
  RegDeleteValueA(run, "Tool");
  RegCloseKey(run);
  EXPECT_NE(string::npos, DamageBeyondTheWorms(machine).find("\"Tool\""));
  CloseHandle(machine.runningWorm);

  // A report's promises: the worm's files gone, the open command standard,
  // unless a text says otherwise.
  const string report = string(kSircamResult) + kDownloadAdvice;
  EXPECT_NE(string::npos,
            BrokenPromises(machine, report, false).find("ScMx32.exe"));
  string left = kCommandNotRestoredFormat;
  left.replace(left.find("%s"), 2, scene::kSircamRecycledCopy);
  for (const string& copy : scene::SircamCopies(sim::Line::Nt)) {
    DeleteFileA(copy.c_str());
  }
  EXPECT_NE(
      string::npos,
      BrokenPromises(machine, report, true).find("the open command is still"));
  EXPECT_EQ(string::npos, BrokenPromises(machine, left + report, true)
                              .find("the open command is still"));
}

INSTANTIATE_TEST_SUITE_P(BothLines, FaultSweepTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x),
                         [](const testing::TestParamInfo<sim::Line>& info) {
                           return string(info.param == sim::Line::Nt ? "Nt"
                                                                     : "Win9x");
                         });

}  // namespace
