// Sircam hides the system's rundll32.exe as run32.exe and puts itself in its
// place: whatever fails while the original is put back, Windows must not be
// left without a rundll32.exe, or the user must be told which file to copy.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "cleaners/cleaners.h"
#include "report/texts.h"
#include "sim/sim_control.h"
#include "support/host/worm_scene.h"

namespace {

using std::string;

using scene::kRundll32;
const char* const kRun32 = scene::kSavedRundll32;
const char* const kOriginal = scene::kSystemRundll32Body;
const char* const kWorm = scene::kWormBody;

struct Failure {
  const char* function;
  DWORD error;
  int nth;
};

// What the user is told to do about rundll32.exe.
enum class Told { Nothing, CopyNow, CopyAfterRestart };

struct RestoreCase {
  const char* name;
  // "MoveFileExA" stands for the recording for the restart, which on the 9x
  // line is the first write of wininit.ini.
  Failure failures[3];
  // What rundll32.exe holds after the run and after the restart ("" for no
  // file), and what the user is told.
  const char* afterRun;
  const char* afterRestart;
  Told told;
  int copies;
};

const RestoreCase kCases[] = {
    {"all goes well: deleted, then renamed",
     {},
     kOriginal,
     kOriginal,
     Told::Nothing,
     0},
    {"rename fails: a copy takes the place",
     {{"MoveFileA", ERROR_PATH_NOT_FOUND, 1}},
     kOriginal,
     kOriginal,
     Told::Nothing,
     1},
    {"rename can neither be done nor deferred: a copy",
     {{"MoveFileA", ERROR_ACCESS_DENIED, 1},
      {"MoveFileExA", ERROR_ACCESS_DENIED, 1}},
     kOriginal,
     kOriginal,
     Told::Nothing,
     1},
    {"rename and copy fail: the user is told",
     {{"MoveFileA", ERROR_PATH_NOT_FOUND, 1},
      {"CopyFileA", ERROR_DISK_FULL, 1}},
     "",
     "",
     Told::CopyNow,
     1},
    {"worm's file waits for the restart, rename fails: no copy, told to "
     "copy after the restart",
     {{"DeleteFileA", ERROR_SHARING_VIOLATION, 1},
      {"MoveFileA", ERROR_PATH_NOT_FOUND, 1}},
     kWorm,
     "",
     Told::CopyAfterRestart,
     0},
    {"worm's file waits for the restart, its rename cannot be recorded: no "
     "copy, told to copy after the restart",
     {{"DeleteFileA", ERROR_SHARING_VIOLATION, 1},
      {"MoveFileExA", ERROR_DISK_FULL, 2}},
     kWorm,
     "",
     Told::CopyAfterRestart,
     0},
    {"worm's file waits, its deletion cannot be scheduled: no rename waits "
     "for a restart that would fail it, the copy replaces it",
     {{"DeleteFileA", ERROR_SHARING_VIOLATION, 1},
      {"MoveFileExA", ERROR_ACCESS_DENIED, 1}},
     kOriginal,
     kOriginal,
     Told::Nothing,
     1},
    {"the saved original cannot be looked for: told, nothing touched",
     {{"FindFirstFileA", ERROR_ACCESS_DENIED, 5}},
     kWorm,
     kWorm,
     Told::CopyNow,
     0},
    {"worm's file cannot be deleted, rename fails: the copy replaces it",
     {{"DeleteFileA", ERROR_INVALID_PARAMETER, 1},
      {"MoveFileA", ERROR_PATH_NOT_FOUND, 1}},
     kOriginal,
     kOriginal,
     Told::Nothing,
     1},
};

string Contents(const char* path) {
  return sim::FileExists(path) ? sim::FileContents(path) : "";
}

class SystemProgramRestoreTest : public testing::TestWithParam<sim::Line> {};

TEST_P(SystemProgramRestoreTest, NeverLeftWithoutRundll32Unsaid) {
  for (const RestoreCase& c : kCases) {
    SCOPED_TRACE(c.name);
    sim::Reset(GetParam());
    scene::PlantSircamMarker();
    scene::PlantSircamRundll32();
    for (const Failure& failure : c.failures) {
      if (failure.function == NULL) continue;
      bool recording = strcmp(failure.function, "MoveFileExA") == 0;
      if (GetParam() == sim::Line::Win9x && recording) {
        // wininit.ini is missing: its first line is a string write, any
        // later one a section write.
        sim::FailCall(failure.nth == 1 ? "WritePrivateProfileStringA"
                                       : "WritePrivateProfileSectionA",
                      failure.error, 1);
      } else {
        sim::FailCall(failure.function, failure.error, failure.nth);
      }
    }
    RunState run = {true, false};

    EXPECT_TRUE(CleanSircam(run));

    string output = sim::ConsoleOutput();
    string told = c.told == Told::CopyNow
                      ? scene::CannotRestoreText(kRundll32, kRun32)
                  : c.told == Told::CopyAfterRestart
                      ? scene::CannotRestoreAfterRestartText(kRundll32, kRun32)
                      : string();
    EXPECT_EQ(told + kSircamResult,
              output.substr(0, output.find(kDownloadAdvice)));
    // Whatever of the restore waits calls for the restart.
    EXPECT_EQ(string(c.afterRun) != c.afterRestart, run.RestartNeeded);
    EXPECT_EQ(c.copies, sim::CallCount("CopyFileA"));
    EXPECT_EQ(c.afterRun, Contents(kRundll32));
    EXPECT_TRUE(Contents(kRun32) == kOriginal ||
                Contents(kRundll32) == kOriginal)
        << "the original is kept";
    EXPECT_EQ(0, sim::OpenHandleCount());
    sim::Restart();
    EXPECT_EQ(c.afterRestart, Contents(kRundll32));
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, SystemProgramRestoreTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
