// What a run meets before the restart that finishes an earlier cleaning:
// what already waits for it (this program's operations of a first run,
// another program's), names as the 9x line's boot-time processor reads them,
// and a line of Windows that no error code or reported version decides. Each
// case carries the restart out and looks at what it leaves.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "report/texts.h"
#include "run/cleaning_run.h"
#include "sim/sim_control.h"
#include "support/host/input_records.h"
#include "support/host/worm_scene.h"

namespace {

using std::string;

const char kWininitHeader[] = "[rename]\r\n";

string Wininit(sim::Line line) {
  string path = scene::WindowsDirectory(line) + "\\wininit.ini";
  return sim::FileExists(path) ? sim::FileContents(path) : "";
}

// One whole run; what it printed.
string WholeRun() {
  size_t before = sim::ConsoleOutput().size();
  sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));
  EXPECT_EQ(0, CleaningRun());
  return sim::ConsoleOutput().substr(before);
}

string Report(bool restart) {
  return scene::ReportBanner() + kSircamResult + kDownloadAdvice +
         (restart ? kRestartAdvice : "") + kClosingPrompt;
}

string NothingToClean() {
  return scene::ReportBanner() + kNothingToClean + kClosingPrompt;
}

void ExpectSystemRundll32() {
  EXPECT_TRUE(sim::FileExists(scene::kRundll32));
  if (sim::FileExists(scene::kRundll32)) {
    EXPECT_EQ(scene::kSystemRundll32Body, sim::FileContents(scene::kRundll32));
  }
  EXPECT_FALSE(sim::FileExists(scene::kSavedRundll32));
}

// Letters compared without case, as Windows compares names.
string Upper(string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

int Count(string text, const string& part) {
  text = Upper(text);
  int count = 0;
  for (size_t at = text.find(part); at != string::npos;
       at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

class BeforeRestartTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(line()); }
  sim::Line line() const { return GetParam(); }
};

// Users run the program twice "to make sure". The worm's rundll32.exe runs,
// and so does Sircam's copy, which writes its marker again. The second run
// records nothing twice (a second deletion of rundll32.exe would remove the
// system's program that the first run's rename puts back), still advises
// the restart, and after it the machine is clean.
TEST_P(BeforeRestartTest, SecondRunBeforeTheRestart) {
  scene::PlantSircam(line());
  scene::HoldRunning(scene::kSircamRecycledCopy);
  scene::HoldRunning(scene::kRundll32);
  EXPECT_EQ(Report(true), WholeRun());
  std::vector<std::pair<string, string>> moves = sim::BootTimeMoves();
  string wininit = Wininit(line());

  scene::PlantSircamMarker();
  EXPECT_EQ(Report(true), WholeRun());
  EXPECT_EQ(moves, sim::BootTimeMoves()) << "nothing recorded twice";
  EXPECT_EQ(wininit, Wininit(line())) << "nothing recorded twice";

  sim::Restart();
  ExpectSystemRundll32();
  EXPECT_FALSE(sim::FileExists(scene::kSircamRecycledCopy));
  EXPECT_EQ(NothingToClean(), WholeRun());
}

// The second run finds no marker (the worm has not run again), but Sircam's
// copy still runs and its deletion waits: the report advises the restart
// rather than saying that there is nothing to clean. After the restart,
// there is nothing to clean.
TEST_P(BeforeRestartTest, RunWithoutMarkerWhileADeletionWaits) {
  scene::PlantSircam(line());
  scene::HoldRunning(scene::kSircamRecycledCopy);
  EXPECT_EQ(Report(true), WholeRun());

  EXPECT_EQ(scene::ReportBanner() + kRestartAdvice + kClosingPrompt,
            WholeRun());

  sim::Restart();
  EXPECT_FALSE(sim::FileExists(scene::kSircamRecycledCopy));
  EXPECT_EQ(NothingToClean(), WholeRun());
}

// Only a waiting deletion of a file that a cleaner deletes, and that is still
// there, calls for the restart.
TEST_P(BeforeRestartTest, OnlyAWaitingDeletionOfAWormFileThatIsThereCounts) {
  struct Case {
    const char* what;
    const char* file;  // planted; NULL for none
    const char* scheduled;
    bool restart;
  } cases[] = {
      {"Sircam's copy", scene::kSircamRecycledCopy, scene::kSircamRecycledCopy,
       true},
      {"BleBla.b's program", scene::kBleBlaFile, scene::kBleBlaFile, true},
      {"a worm's file already gone", NULL, scene::kSircamRecycledCopy, false},
      {"another program's file", "C:\\TEMP\\SETUP1.TMP", "C:\\TEMP\\SETUP1.TMP",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(line());
    if (c.file != NULL) sim::PutFile(c.file, "MZ");
    if (line() == sim::Line::Nt) {
      sim::SetRawValue(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                       sim::kMoveListValue, REG_MULTI_SZ,
                       "\\??\\" + string(c.scheduled) + string(3, '\0'));
    } else {
      sim::PutFile(scene::WindowsDirectory(line()) + "\\wininit.ini",
                   kWininitHeader + string("NUL=") + c.scheduled + "\r\n");
    }

    EXPECT_EQ(c.restart
                  ? scene::ReportBanner() + kRestartAdvice + kClosingPrompt
                  : NothingToClean(),
              WholeRun());
  }
}

// A virus scanner scheduled the deletion of the worm's rundll32.exe, and the
// worm has stopped since. The system's program goes back by a rename that
// waits behind that deletion: put back now, the deletion would remove it.
// The scanner's entry stays as it was, first.
TEST_P(BeforeRestartTest, AnotherProgramsDeletionOfRundll32Waits) {
  // The forms other programs write: the move list's, with and without a
  // prefix before the name; wininit.ini's, in other letters.
  for (const char* prefix : {"\\??\\", "*1\\??\\"}) {
    SCOPED_TRACE(prefix);
    sim::Reset(line());
    scene::PlantSircam(line());
    string scanners;
    if (line() == sim::Line::Nt) {
      scanners = prefix + string(scene::kRundll32) + string(3, '\0');
      sim::SetRawValue(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                       sim::kMoveListValue, REG_MULTI_SZ, scanners);
    } else {
      scanners = kWininitHeader + string("NUL=C:\\WINDOWS\\RUNDLL32.EXE\r\n");
      sim::PutFile(scene::WindowsDirectory(line()) + "\\wininit.ini", scanners);
    }

    EXPECT_EQ(Report(true), WholeRun());
    EXPECT_EQ(scene::kWormBody, sim::FileContents(scene::kRundll32))
        << "nothing put back before the restart";
    if (line() == sim::Line::Nt) {
      string list = sim::ValueData(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                                   sim::kMoveListValue);
      EXPECT_EQ(0u, list.find(scanners.substr(0, scanners.size() - 1)));
    } else {
      EXPECT_EQ(0u, Wininit(line()).find(scanners));
    }

    sim::Restart();
    ExpectSystemRundll32();
  }
}

// The worm's rundll32.exe runs; the deletion is recorded, the rename is not
// (the system refuses the second record; a full disk on the 9x line). The
// restart is advised, no copy is made that the deletion would remove, and
// the user is told to copy the original after the restart.
TEST_P(BeforeRestartTest, HalfOfTheRestoreRecorded) {
  scene::PlantSircam(line());
  scene::HoldRunning(scene::kRundll32);
  // The recycle folder's copy, whose deletion is recorded first, is not
  // running: only rundll32.exe's deletion and rename are recorded.
  if (line() == sim::Line::Nt) {
    sim::FailCall("MoveFileExA", ERROR_NOT_ENOUGH_MEMORY, 2);
  } else {
    sim::FailCall("WritePrivateProfileSectionA", ERROR_DISK_FULL, 1);
  }

  string output = WholeRun();

  EXPECT_NE(string::npos, output.find(scene::CannotRestoreAfterRestartText(
                              scene::kRundll32, scene::kSavedRundll32)));
  EXPECT_NE(string::npos, output.find(kRestartAdvice));
  EXPECT_EQ(0, sim::CallCount("CopyFileA"));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists(scene::kRundll32));
  EXPECT_EQ(scene::kSystemRundll32Body,
            sim::FileContents(scene::kSavedRundll32))
      << "the original to copy is kept";
}

INSTANTIATE_TEST_SUITE_P(BothLines, BeforeRestartTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

// On a French or Spanish Windows 98 the Startup folder's short name holds an
// accented letter. wininit.ini is read under MS-DOS, in the OEM code page:
// the entry names the file in that code page, and the restart removes the
// running copy. A name that the OEM code page cannot hold is not recorded,
// and the user is told which file to delete.
TEST(BootTimeNamesTest, StartupFolderWithAnAccentedShortName) {
  const string kStartup = "C:\\WINDOWS\\Men\xFA Inicio\\Programas\\Inicio";
  struct Case {
    const char* what;
    string folder;  // in the ANSI code page, 1252
    UINT oemCodePage;
    const char* recordedFolder;  // in the OEM code page; NULL: not recorded
  } cases[] = {
      {"u acute, code page 850", kStartup, 850,
       "C:\\WINDOWS\\MEN\xA3IN~1\\PROGRA~1\\INICIO"},
      {"u acute, code page 437", kStartup, 437,
       "C:\\WINDOWS\\MEN\xA3IN~1\\PROGRA~1\\INICIO"},
      {"a letter code page 850 lacks", "C:\\WINDOWS\\Men\x80 Inicio", 850,
       NULL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(sim::Line::Win9x);
    sim::SetOemCodePage(c.oemCodePage);
    sim::SetConsoleOutputCodePage(1252);
    scene::PlantSircam(sim::Line::Win9x);
    sim::SetStringValue(HKEY_CURRENT_USER, scene::kShellFoldersKey, "Startup",
                        c.folder);
    string copy = c.folder + scene::kSircamStartupCopyName;
    sim::PutFile(copy, scene::kWormBody);
    scene::HoldRunning(copy);

    string output = WholeRun();

    bool recorded = c.recordedFolder != NULL;
    EXPECT_EQ(recorded ? 1 : 0,
              Count(Wininit(sim::Line::Win9x),
                    string("NUL=") + (recorded ? c.recordedFolder : "") +
                        "\\MICROS~1.EXE\r\n"));
    EXPECT_EQ(!recorded,
              output.find(scene::CannotDeleteText(copy)) != string::npos);
    sim::Restart();
    EXPECT_EQ(!recorded, sim::FileExists(copy));
  }
}

// The line is what the system is: a 9x system whose token stub and
// MoveFileExA answer another error than ERROR_CALL_NOT_IMPLEMENTED still
// cleans and schedules through wininit.ini; an NT system in a 9x
// compatibility mode records in its move list only.
TEST(BootTimeNamesTest, TheLineIsWhatTheSystemIs) {
  for (sim::Line line : {sim::Line::Win9x, sim::Line::Nt}) {
    SCOPED_TRACE(line == sim::Line::Nt ? "NT reporting 9x" : "9x, odd codes");
    sim::Reset(line);
    if (line == sim::Line::Nt) {
      sim::SetReportedVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222);
    } else {
      sim::FailCall("OpenProcessToken", ERROR_INVALID_FUNCTION, 1, true);
      sim::FailCall("MoveFileExA", ERROR_INVALID_FUNCTION, 1, true);
    }
    scene::PlantSircam(line);
    scene::HoldRunning(scene::kSircamRecycledCopy);

    EXPECT_EQ(Report(true), WholeRun());

    string wininit = Wininit(line);
    EXPECT_EQ(line == sim::Line::Win9x ? 1 : 0,
              Count(wininit, "NUL=C:\\RECYCLED\\SIRC32.EXE"));
    EXPECT_EQ(line == sim::Line::Nt ? 1u : 0u, sim::BootTimeMoves().size());
    sim::Restart();
    EXPECT_FALSE(sim::FileExists(scene::kSircamRecycledCopy));
  }
}

}  // namespace
