// Sircam hides the system's rundll32.exe as run32.exe and puts itself in its
// place: whatever fails while the original is put back, Windows must not be
// left without a rundll32.exe, or the user must be told which file to copy.
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

struct RestoreCase {
  const char* name;
  Failure failures[3];
  // What rundll32.exe holds after the run and after the restart ("" for no
  // file), and whether the user is told to copy it back.
  const char* afterRun;
  const char* afterRestart;
  bool toldToCopy;
  int copies;
};

const RestoreCase kCases[] = {
    {"all goes well: deleted, then renamed",
     {},
     kOriginal,
     kOriginal,
     false,
     0},
    {"rename fails: a copy takes the place",
     {{"MoveFileA", ERROR_PATH_NOT_FOUND, 1}},
     kOriginal,
     kOriginal,
     false,
     1},
    {"rename can neither be done nor deferred: a copy",
     {{"MoveFileA", ERROR_ACCESS_DENIED, 1},
      {"MoveFileExA", ERROR_ACCESS_DENIED, 1}},
     kOriginal,
     kOriginal,
     false,
     1},
    {"rename and copy fail: the user is told",
     {{"MoveFileA", ERROR_PATH_NOT_FOUND, 1},
      {"CopyFileA", ERROR_DISK_FULL, 1}},
     "",
     "",
     true,
     1},
    {"worm's file waits for the restart, rename fails: no copy, told",
     {{"DeleteFileA", ERROR_SHARING_VIOLATION, 1},
      {"MoveFileA", ERROR_PATH_NOT_FOUND, 1}},
     kWorm,
     "",
     true,
     0},
    {"worm's file waits, its deletion cannot be scheduled: no rename waits "
     "for a restart that would fail it, the copy replaces it",
     {{"DeleteFileA", ERROR_SHARING_VIOLATION, 1},
      {"MoveFileExA", ERROR_ACCESS_DENIED, 1}},
     kOriginal,
     kOriginal,
     false,
     1},
    {"the saved original cannot be looked for: told, nothing touched",
     {{"FindFirstFileA", ERROR_ACCESS_DENIED, 5}},
     kWorm,
     kWorm,
     true,
     0},
    {"worm's file cannot be deleted, rename fails: the copy replaces it",
     {{"DeleteFileA", ERROR_INVALID_PARAMETER, 1},
      {"MoveFileA", ERROR_PATH_NOT_FOUND, 1}},
     kOriginal,
     kOriginal,
     false,
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
      if (failure.function != NULL) {
        sim::FailCall(failure.function, failure.error, failure.nth);
      }
    }
    RunState run = {true, false};

    EXPECT_TRUE(CleanSircam(run));

    string output = sim::ConsoleOutput();
    EXPECT_EQ((c.toldToCopy ? scene::CannotRestoreText(kRundll32, kRun32)
                            : string()) +
                  kSircamResult,
              output.substr(0, output.find(kDownloadAdvice)));
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
