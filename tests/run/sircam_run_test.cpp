#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sim/sim_control.h"
#include "run/cleaning_run.h"
#include "run/run_texts.h"
#include "support/host/input_records.h"

namespace {

using std::string;

const char kSircamResult[] =
    "Your registry was cleaned from links to I-Worm.Sircam virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
const char kRestartText[] =
    "You should close all programs and restart your PC now\n"
    "to finilize removal of this virus.\n";
const char kPrompt[] = "\nPress any key to continue.";

const char kRecycledCopy[] = "C:\\RECYCLED\\SirC32.exe";
const char kStartupFolder[] = "C:\\Profile\\Start Menu\\Programs\\Startup";
const char kRunServicesKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kOpenCommandKey[] = "exefile\\shell\\open\\command";

string Banner() { return string(kBanner) + kOwnershipLine + "\n"; }

string WindowsDirectory(sim::Line line) {
  return line == sim::Line::Nt ? "C:\\WINNT" : "C:\\WINDOWS";
}

string SystemDirectory(sim::Line line) {
  return line == sim::Line::Nt ? "C:\\WINNT\\system32" : "C:\\WINDOWS\\SYSTEM";
}

// A machine on which Sircam runs: the copy in the recycle folder is the
// running program, held open, so it cannot be deleted now. Returns the
// handle that holds it.
HANDLE InfectWithSircam(sim::Line line) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\SirCam", "sa", "x");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\SirCam\\Lists", "1",
                      "a@b.example");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunServicesKey, "Driver32",
                      kRecycledCopy);
  sim::SetStringValue(HKEY_CLASSES_ROOT, kOpenCommandKey, "",
                      string(kRecycledCopy) + " \"%1\" %*");
  sim::SetStringValue(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"
                      "\\Shell Folders",
                      "Startup", kStartupFolder);
  sim::PutFile(kRecycledCopy, "MZ worm");
  sim::PutFile(WindowsDirectory(line) + "\\ScMx32.exe", "MZ worm");
  sim::PutFile(SystemDirectory(line) + "\\SCam32.exe", "MZ worm");
  sim::PutFile(string(kStartupFolder) + "\\Microsoft Internet Office.exe",
               "MZ worm");
  sim::PutFile("C:\\windows\\run32.exe", "MZ rundll32");
  sim::PutFile("C:\\windows\\rundll32.exe", "MZ worm");
  sim::PutFile("C:\\AUTOEXEC.BAT",
               "@echo off\r\n@win \\recycled\\sirc32.exe\r\nPATH C:\\DOS\r\n");
  HANDLE running =
      CreateFileA(kRecycledCopy, GENERIC_READ, FILE_SHARE_READ, NULL,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  EXPECT_NE(INVALID_HANDLE_VALUE, running);
  return running;
}

class SircamRunTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
  sim::Line line() const { return GetParam(); }
};

TEST_P(SircamRunTest, RoadOfOneInfection) {
  InfectWithSircam(line());
  sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));
  sim::QueueInput(KeyRecord(true, 'N', 'n'));

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(Banner() + kSircamResult + kDownloadAdvice + kRestartText + kPrompt,
            sim::ConsoleOutput());
  EXPECT_EQ(1, sim::QueuedInputCount()) << "exactly one key is taken";
  EXPECT_EQ(0, sim::OpenKeyCount());
  EXPECT_EQ(1, sim::OpenHandleCount()) << "only the running worm's";

  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software\\SirCam"));
  EXPECT_FALSE(
      sim::ValueExists(HKEY_LOCAL_MACHINE, kRunServicesKey, "Driver32"));
  EXPECT_EQ(
      "\"%1\" %*",
      string(sim::ValueData(HKEY_CLASSES_ROOT, kOpenCommandKey, "").c_str()));
  EXPECT_TRUE(sim::FileExists(kRecycledCopy));
  EXPECT_FALSE(sim::FileExists(WindowsDirectory(line()) + "\\ScMx32.exe"));
  EXPECT_FALSE(sim::FileExists(SystemDirectory(line()) + "\\SCam32.exe"));
  EXPECT_FALSE(sim::FileExists(string(kStartupFolder) +
                               "\\Microsoft Internet Office.exe"));
  EXPECT_EQ("MZ rundll32", sim::FileContents("C:\\windows\\rundll32.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\windows\\run32.exe"));
  EXPECT_EQ("@echo off\r\n\r\nPATH C:\\DOS\r\n",
            sim::FileContents("C:\\AUTOEXEC.BAT"));

  std::vector<std::pair<string, string>> expectedMoves;
  if (line() == sim::Line::Nt) expectedMoves.push_back({kRecycledCopy, ""});
  EXPECT_EQ(expectedMoves, sim::BootTimeMoves());
  EXPECT_NE(string::npos,
            sim::FileContents(WindowsDirectory(line()) + "\\wininit.ini")
                .find("NUL=C:\\RECYCLED\\SirC32.exe"));

  sim::Restart();
  EXPECT_FALSE(sim::FileExists(kRecycledCopy));

  sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));
  size_t firstRunOutput = sim::ConsoleOutput().size();
  EXPECT_EQ(0, CleaningRun());
  EXPECT_EQ(Banner() + "Nothing to clean." + kPrompt,
            sim::ConsoleOutput().substr(firstRunOutput));
}

TEST_P(SircamRunTest, TwoCopiesInUseAreBothGoneAfterTheRestart) {
  InfectWithSircam(line());
  string windowsCopy = WindowsDirectory(line()) + "\\ScMx32.exe";
  HANDLE second =
      CreateFileA(windowsCopy.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, second);

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(Banner() + kSircamResult + kDownloadAdvice + kRestartText + kPrompt,
            sim::ConsoleOutput());
  EXPECT_TRUE(sim::FileExists(kRecycledCopy));
  EXPECT_TRUE(sim::FileExists(windowsCopy));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists(kRecycledCopy));
  EXPECT_FALSE(sim::FileExists(windowsCopy));
}

// A batch file that another program holds open (or that is read-only)
// cannot be rewritten: the user is told, before Sircam's result, and the file
// stays as it is.
TEST_P(SircamRunTest, UnwritableBatchFileIsToldBeforeTheResult) {
  const string cannotModify =
      "This program can not modify c:\\autoexec.bat file. \n"
      "You can try to find and delete \"@win \\recycled\\sirc32.exe\" "
      "string from this file manually.\n\n";
  for (bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "read-only" : "held open");
    sim::Reset(line());
    InfectWithSircam(line());
    string before = sim::FileContents("C:\\AUTOEXEC.BAT");
    sim::SetReadOnly("C:\\AUTOEXEC.BAT", readOnly);
    HANDLE editor = INVALID_HANDLE_VALUE;
    if (!readOnly) {
      editor = CreateFileA("C:\\AUTOEXEC.BAT", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
      ASSERT_NE(INVALID_HANDLE_VALUE, editor);
    }
    sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));

    EXPECT_EQ(0, CleaningRun());

    EXPECT_EQ(Banner() + cannotModify + kSircamResult + kDownloadAdvice +
                  kRestartText + kPrompt,
              sim::ConsoleOutput());
    EXPECT_EQ(before, sim::FileContents("C:\\AUTOEXEC.BAT"));
    if (editor != INVALID_HANDLE_VALUE) CloseHandle(editor);
  }
}

// The run cannot go on without the Windows directory: it ends at once with
// status 3, printing nothing more and waiting for no key.
TEST_P(SircamRunTest, StopsWithStatusThreeWithoutDirectoryOrVersion) {
  for (const char* failing : {"GetWindowsDirectoryA", "GetSystemDirectoryA"}) {
    SCOPED_TRACE(failing);
    sim::Reset(line());
    InfectWithSircam(line());
    sim::FailCall(failing, ERROR_INVALID_PARAMETER, 1);
    sim::FailCall("GetVersionExA", ERROR_ACCESS_DENIED, 1, true);
    sim::QueueInput(KeyRecord(true, VK_SPACE, ' '));

    EXPECT_EQ(3, CleaningRun());

    EXPECT_EQ(Banner(), sim::ConsoleOutput());
    EXPECT_EQ(1, sim::QueuedInputCount());
    EXPECT_EQ(0, sim::CallCount("ReadConsoleInputA"));
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ(1, sim::OpenHandleCount()) << "only the running worm's";
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, SircamRunTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace
