// The simulated file system beyond what a real system can be made to show in
// a test: restarts on both lines, rights, fault injection, short-name
// spelling, handle bookkeeping and the dump.
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/windows_api.h"
#include "sim/sim_control.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Moves;

HANDLE OpenForReading(const char* path, DWORD shareMode) {
  return CreateFileA(path, GENERIC_READ, shareMode, NULL, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, NULL);
}

TEST(SimRestart, NtCarriesOutMoveListInOrderAndIgnoresWininit) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\worm.exe", "worm");
  sim::PutFile("C:\\run32.exe", "good");
  sim::PutFile("C:\\rundll32.exe", "bad");
  sim::PutFile("C:\\keep.exe", "keep");
  sim::PutFile("C:\\blocker.exe", "blocker");
  sim::PutFile("C:\\WINNT\\wininit.ini", "[rename]\r\nNUL=C:\\KEEP.EXE\r\n");

  ASSERT_TRUE(MoveFileExA("C:\\worm.exe", NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(
      MoveFileExA("C:\\rundll32.exe", NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\run32.exe", "C:\\rundll32.exe",
                          MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("C:\\keep.exe", "C:\\blocker.exe",
                          MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ((Moves{{"C:\\worm.exe", ""},
                   {"C:\\rundll32.exe", ""},
                   {"C:\\run32.exe", "C:\\rundll32.exe"},
                   {"C:\\keep.exe", "C:\\blocker.exe"}}),
            sim::BootTimeMoves());
  EXPECT_TRUE(sim::FileExists("C:\\worm.exe"));

  sim::Restart();

  EXPECT_FALSE(sim::FileExists("C:\\worm.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\run32.exe"));
  EXPECT_EQ("good", sim::FileContents("C:\\rundll32.exe"));
  // Without MOVEFILE_REPLACE_EXISTING the rename onto an existing file fails.
  EXPECT_EQ("keep", sim::FileContents("C:\\keep.exe"));
  EXPECT_EQ("blocker", sim::FileContents("C:\\blocker.exe"));
  EXPECT_TRUE(sim::FileExists("C:\\WINNT\\wininit.ini"));
  EXPECT_FALSE(sim::FileExists("C:\\WINNT\\wininit.bak"));
  EXPECT_TRUE(sim::BootTimeMoves().empty());
}

TEST(SimRestart, NtReplacesTargetWhenAsked) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\new.exe", "new");
  sim::PutFile("C:\\old.exe", "old");
  ASSERT_TRUE(
      MoveFileExA("C:\\new.exe", "C:\\old.exe",
                  MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  sim::Restart();
  EXPECT_FALSE(sim::FileExists("C:\\new.exe"));
  EXPECT_EQ("new", sim::FileContents("C:\\old.exe"));
}

TEST(SimRestart, NtDeletesFileThatWasHeldOpen) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\recycled\\sirc32.exe", "worm");
  HANDLE running = OpenForReading("C:\\recycled\\sirc32.exe", 0);
  ASSERT_NE(INVALID_HANDLE_VALUE, running);
  HANDLE console = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, console);
  EXPECT_EQ(2, sim::OpenHandleCount());
  EXPECT_FALSE(DeleteFileA("C:\\recycled\\sirc32.exe"));
  ASSERT_TRUE(MoveFileExA("C:\\recycled\\sirc32.exe", NULL,
                          MOVEFILE_DELAY_UNTIL_REBOOT));

  sim::Restart();

  EXPECT_EQ(0, sim::OpenHandleCount());
  EXPECT_FALSE(sim::FileExists("C:\\recycled\\sirc32.exe"));
  EXPECT_FALSE(CloseHandle(running));
  DWORD mode = 0;
  EXPECT_FALSE(GetConsoleMode(console, &mode));
}

TEST(SimRestart, Win9xCarriesOutWininitRenameSectionInFileOrder) {
  sim::Reset(sim::Line::Win9x);
  sim::PutFile("C:\\first.exe", "1");
  sim::PutFile("C:\\second.exe", "2");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\run32.exe", "good");
  sim::PutFile("C:\\WINDOWS\\SYSTEM\\rundll32.exe", "bad");
  sim::PutFile("C:\\Program Files\\worm.exe", "long");
  sim::PutFile("C:\\PROGRA~1\\other.exe", "x");
  sim::PutFile("C:\\WINDOWS\\wininit.bak", "old backup");
  const std::string ini =
      "; written by setup\r\n"
      "[other]\r\n"
      "NUL=C:\\OTHER.EXE\r\n"
      "[rename]\r\n"
      "NUL=C:\\first.exe\r\n"
      "NUL=C:\\SECOND.EXE\r\n"
      "NUL=C:\\Program Files\\worm.exe\r\n"
      "NUL=C:\\absent.exe\r\n"
      "C:\\WINDOWS\\SYSTEM\\RUNDLL32.EXE=C:\\WINDOWS\\SYSTEM\\RUN32.EXE\r\n";
  sim::PutFile("C:\\WINDOWS\\wininit.ini", ini);
  sim::PutFile("C:\\other.exe", "untouched");

  sim::Restart();

  EXPECT_FALSE(sim::FileExists("C:\\first.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\second.exe"));
  EXPECT_EQ("long", sim::FileContents("C:\\Program Files\\worm.exe"));
  EXPECT_EQ("good", sim::FileContents("C:\\WINDOWS\\SYSTEM\\rundll32.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM\\run32.exe"));
  EXPECT_EQ("untouched", sim::FileContents("C:\\other.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\wininit.ini"));
  EXPECT_EQ(ini, sim::FileContents("C:\\WINDOWS\\wininit.bak"));
}

TEST(SimRestart, Win9xIgnoresMoveListAndLongNamedRenames) {
  sim::Reset(sim::Line::Win9x);
  sim::PutFile("C:\\Long Name.exe", "long");
  sim::PutFile("C:\\target.exe", "target");
  sim::PutFile("C:\\listed.exe", "listed");
  sim::PutFile("C:\\WINDOWS\\wininit.ini",
               "[rename]\r\nC:\\target.exe=C:\\Long Name.exe\r\n"
               "C:\\Long Target.exe=C:\\target.exe\r\n");
  // The NT line's list, left from an earlier life of the machine.
  sim::SetLine(sim::Line::Nt);
  ASSERT_TRUE(MoveFileExA("C:\\listed.exe", NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
  sim::SetLine(sim::Line::Win9x);

  sim::Restart();

  EXPECT_EQ("long", sim::FileContents("C:\\Long Name.exe"));
  EXPECT_EQ("target", sim::FileContents("C:\\target.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\Long Target.exe"));
  EXPECT_EQ("listed", sim::FileContents("C:\\listed.exe"));
  EXPECT_TRUE(sim::BootTimeMoves().empty());
  EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\wininit.bak"));
}

// The move list is the registry's: what MoveFileExA appends comes after
// another program's entries, both values are carried out, the first first,
// whatever prefix stands before "\??\", and both are gone afterwards.
TEST(SimRestart, NtMoveListIsKeptInTheRegistry) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\a.exe", "a");
  sim::PutFile("C:\\b.exe", "b");
  sim::PutFile("C:\\c.exe", "c");
  const std::string nul(1, '\0');
  const std::string first = "*1\\??\\C:\\a.exe" + nul + nul + nul;
  sim::SetRawValue(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                   sim::kMoveListValue, REG_MULTI_SZ, first);
  sim::SetRawValue(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                   sim::kSecondMoveListValue, REG_MULTI_SZ,
                   "\\??\\C:\\c.exe" + nul + "!\\??\\C:\\b.exe" + nul + nul);
  ASSERT_TRUE(
      MoveFileExA("C:\\b.exe", "C:\\a.exe", MOVEFILE_DELAY_UNTIL_REBOOT));

  EXPECT_EQ("*1\\??\\C:\\a.exe" + nul + nul + "\\??\\C:\\b.exe" + nul +
                "\\??\\C:\\a.exe" + nul + nul,
            sim::ValueData(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                           sim::kMoveListValue));
  EXPECT_EQ(Moves({{"C:\\a.exe", ""},
                   {"C:\\b.exe", "C:\\a.exe"},
                   {"C:\\c.exe", "C:\\b.exe"}}),
            sim::BootTimeMoves());

  sim::Restart();

  EXPECT_EQ("b", sim::FileContents("C:\\a.exe"));
  EXPECT_EQ("c", sim::FileContents("C:\\b.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\c.exe"));
  EXPECT_FALSE(sim::ValueExists(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                                sim::kMoveListValue));
  EXPECT_FALSE(sim::ValueExists(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                                sim::kSecondMoveListValue));
}

// WININIT reads its names as bytes of the OEM code page: the ANSI bytes of
// an accented name name no file.
TEST(SimRestart, Win9xReadsWininitNamesInTheOemCodePage) {
  for (UINT oem : {437u, 850u}) {
    SCOPED_TRACE(oem);
    sim::Reset(sim::Line::Win9x);
    sim::SetOemCodePage(oem);
    sim::PutFile("C:\\MEN\xDA\\A.EXE", "a");  // U with acute, ANSI 1252
    sim::PutFile("C:\\MEN\xDA\\B.EXE", "b");
    // 850 has the capital U with acute (0xE9); 437 has none.
    sim::PutFile("C:\\WINDOWS\\wininit.ini",
                 "[rename]\r\nNUL=C:\\MEN\xDA\\A.EXE\r\n"
                 "NUL=C:\\MEN\xE9\\B.EXE\r\n");

    sim::Restart();

    EXPECT_TRUE(sim::FileExists("C:\\MEN\xDA\\A.EXE"));
    EXPECT_EQ(oem == 437, sim::FileExists("C:\\MEN\xDA\\B.EXE"));
  }
}

TEST(SimRestart, Win9xWithoutWininitChangesNothing) {
  sim::Reset(sim::Line::Win9x);
  sim::PutFile("C:\\autoexec.bat", "@echo off\r\n");
  std::string before = sim::FileSystemDump();
  sim::Restart();
  EXPECT_EQ(before, sim::FileSystemDump());
}

TEST(SimMoveFileEx, DelayedMoveNeedsAdministrator) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\worm.exe", "worm");
  sim::SetAdministrator(false);
  SetLastError(0);
  EXPECT_FALSE(MoveFileExA("C:\\worm.exe", NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_TRUE(sim::BootTimeMoves().empty());
}

TEST(SimMoveFileEx, Win9xDoesNotImplementIt) {
  sim::Reset(sim::Line::Win9x);
  sim::PutFile("C:\\worm.exe", "worm");
  const DWORD flags[] = {0, MOVEFILE_REPLACE_EXISTING,
                         MOVEFILE_DELAY_UNTIL_REBOOT};
  for (DWORD flag : flags) {
    SetLastError(0);
    EXPECT_FALSE(MoveFileExA("C:\\worm.exe", "C:\\moved.exe", flag)) << flag;
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
  }
  EXPECT_TRUE(sim::FileExists("C:\\worm.exe"));
  EXPECT_TRUE(sim::BootTimeMoves().empty());
}

// Each call with arguments under which it would succeed, so that only the
// armed failure can make it fail.
struct FaultCase {
  const char* function;
  bool (*callFails)();
};

bool DeleteFails() { return !DeleteFileA("C:\\a.txt"); }
bool MoveFails() { return !MoveFileA("C:\\a.txt", "C:\\b.txt"); }
bool MoveExFails() {
  return !MoveFileExA("C:\\a.txt", NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}
bool CopyFails() { return !CopyFileA("C:\\a.txt", "C:\\b.txt", FALSE); }
bool CreateDirectoryFails() { return !CreateDirectoryA("C:\\new", NULL); }
bool RemoveDirectoryFails() { return !RemoveDirectoryA("C:\\empty"); }
bool GetAttributesFails() {
  return GetFileAttributesA("C:\\a.txt") == INVALID_FILE_ATTRIBUTES;
}
bool SetAttributesFails() {
  return !SetFileAttributesA("C:\\a.txt", FILE_ATTRIBUTE_READONLY);
}
bool FindFails() {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("C:\\a.txt", &data);
  if (find == INVALID_HANDLE_VALUE) return true;
  FindClose(find);
  return false;
}
bool ShortPathFails() {
  char buffer[MAX_PATH];
  return GetShortPathNameA("C:\\a.txt", buffer, sizeof buffer) == 0;
}
bool CreateFileFails() {
  HANDLE file = OpenForReading("C:\\a.txt", FILE_SHARE_READ);
  if (file == INVALID_HANDLE_VALUE) return true;
  CloseHandle(file);
  return false;
}
bool WriteProfileStringFails() {
  return !WritePrivateProfileStringA("rename", "NUL", "C:\\X", "C:\\w.ini");
}
bool WriteProfileSectionFails() {
  return !WritePrivateProfileSectionA("rename", "NUL=C:\\X\0", "C:\\p.ini");
}
bool GetProfileSectionFails() {
  char buffer[64];
  return GetPrivateProfileSectionA("s", buffer, sizeof buffer, "C:\\p.ini") ==
         0;
}

TEST(SimFileFaults, EveryPathCallFailsWhenArmed) {
  const FaultCase cases[] = {
      {"DeleteFileA", DeleteFails},
      {"MoveFileA", MoveFails},
      {"MoveFileExA", MoveExFails},
      {"CopyFileA", CopyFails},
      {"CreateDirectoryA", CreateDirectoryFails},
      {"RemoveDirectoryA", RemoveDirectoryFails},
      {"GetFileAttributesA", GetAttributesFails},
      {"SetFileAttributesA", SetAttributesFails},
      {"FindFirstFileA", FindFails},
      {"GetShortPathNameA", ShortPathFails},
      {"CreateFileA", CreateFileFails},
      {"WritePrivateProfileStringA", WriteProfileStringFails},
      {"WritePrivateProfileSectionA", WriteProfileSectionFails},
      {"GetPrivateProfileSectionA", GetProfileSectionFails},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.function);
    sim::Reset(sim::Line::Nt);
    sim::PutFile("C:\\a.txt", "a");
    sim::MakeDirectory("C:\\empty");
    sim::PutFile("C:\\p.ini", "[s]\r\nk=v\r\n");
    std::string before = sim::FileSystemDump();
    sim::FailCall(c.function, ERROR_LOCK_VIOLATION);
    SetLastError(0);
    EXPECT_TRUE(c.callFails());
    EXPECT_EQ(static_cast<DWORD>(ERROR_LOCK_VIOLATION), GetLastError());
    EXPECT_EQ(before, sim::FileSystemDump());
    EXPECT_EQ(1, sim::CallCount(c.function));
    EXPECT_FALSE(c.callFails());
  }
}

TEST(SimFileFaults, HandleCallsFailWhenArmed) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\a.txt", "abc");
  HANDLE file = CreateFileA("C:\\a.txt", GENERIC_READ | GENERIC_WRITE, 0, NULL,
                            OPEN_EXISTING, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  char buffer[8];
  DWORD count = 77;

  sim::FailCall("GetFileSize", ERROR_INVALID_HANDLE);
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(file, NULL));
  sim::FailCall("SetFilePointer", ERROR_LOCK_VIOLATION);
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, 0, NULL, FILE_END));
  EXPECT_EQ(static_cast<DWORD>(ERROR_LOCK_VIOLATION), GetLastError());
  sim::FailCall("ReadFile", ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &count, NULL));
  sim::FailCall("WriteFile", ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(WriteFile(file, "x", 1, &count, NULL));
  EXPECT_EQ("abc", sim::FileContents("C:\\a.txt"));
  sim::FailCall("CloseHandle", ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(1, sim::OpenHandleCount());

  EXPECT_EQ(3u, GetFileSize(file, NULL));
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, NULL));
  EXPECT_EQ(3u, count);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST(SimFileFaults, NthAndPersistentFailures) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\a.txt", "a");
  sim::FailCall("GetFileAttributesA", ERROR_ACCESS_DENIED, 2);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\a.txt"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\a.txt"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\a.txt"));

  sim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION, 1, true);
  for (int i = 0; i < 3; ++i) {
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA("C:\\a.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  }
  EXPECT_TRUE(sim::FileExists("C:\\a.txt"));
  sim::ClearFailures();
  EXPECT_TRUE(DeleteFileA("C:\\a.txt"));
}

TEST(SimFileControl, ControlCallsLeaveLastErrorAndCountsAlone) {
  sim::Reset(sim::Line::Nt);
  SetLastError(1234);
  sim::PutFile("c:/dir/sub/file.txt", "abc");
  sim::MakeDirectory("C:\\other\\deep");
  sim::SetReadOnly("C:\\DIR\\SUB\\FILE.TXT", true);
  EXPECT_TRUE(sim::FileExists("C:\\dir\\sub\\file.txt"));
  EXPECT_FALSE(sim::FileExists("C:\\dir\\sub"));
  EXPECT_TRUE(sim::DirectoryExists("c:\\OTHER\\deep"));
  EXPECT_FALSE(sim::DirectoryExists("C:\\dir\\sub\\file.txt"));
  EXPECT_EQ("abc", sim::FileContents("C:\\dir\\sub\\file.txt"));
  EXPECT_EQ("", sim::FileContents("C:\\absent.txt"));
  sim::FileSystemDump();
  sim::OpenHandleCount();
  sim::BootTimeMoves();
  EXPECT_EQ(1234u, GetLastError());
  EXPECT_EQ(0, sim::CallCount("CreateFileA"));
  EXPECT_EQ(0, sim::CallCount("DeleteFileA"));
}

TEST(SimFileControl, DumpIsSortedWithSizesShortNamesAndFlags) {
  sim::Reset(sim::Line::Win9x);
  sim::AddDrive('d');
  sim::PutFile("D:\\setup.exe", "12345");
  sim::PutFile("C:\\zeta.txt", "");
  sim::PutFile("C:\\Alpha Document.txt", "abc");
  sim::SetReadOnly("C:\\zeta.txt", true);
  EXPECT_EQ(
      "C:\\\n"
      "C:\\Alpha Document.txt 3 (ALPHAD~1.TXT)\n"
      "C:\\WINDOWS\\\n"
      "C:\\WINDOWS\\SYSTEM\\\n"
      "C:\\zeta.txt 0 R\n"
      "D:\\\n"
      "D:\\setup.exe 5\n",
      sim::FileSystemDump());
}

TEST(SimShortNames, NumberedTailsAreUniqueAndResolve) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\Program Files\\Microsoft Office.exe", "one");
  sim::PutFile("C:\\Program Files\\Microsoft Outlook.exe", "two");
  sim::PutFile("C:\\Program Files\\a+b;c.text", "three");
  char shortPath[MAX_PATH];
  const struct {
    const char* longPath;
    const char* shortPath;
    const char* contents;
  } cases[] = {
      {"C:\\Program Files\\Microsoft Office.exe", "C:\\PROGRA~1\\MICROS~1.EXE",
       "one"},
      {"c:/program files/microsoft outlook.exe", "c:\\PROGRA~1\\MICROS~2.EXE",
       "two"},
      {"C:\\Program Files\\a+b;c.text", "C:\\PROGRA~1\\A_B_C~1.TEX", "three"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.longPath);
    ASSERT_EQ(strlen(c.shortPath),
              GetShortPathNameA(c.longPath, shortPath, sizeof shortPath));
    EXPECT_STREQ(c.shortPath, shortPath);
    EXPECT_EQ(c.contents, sim::FileContents(c.shortPath));
  }
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("C:\\PROGRA~1\\MICROS~2.EXE", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  EXPECT_STREQ("Microsoft Outlook.exe", data.cFileName);
  EXPECT_STREQ("MICROS~2.EXE", data.cAlternateFileName);
  FindClose(find);
}

TEST(SimShortNames, RenameGivesNewShortNameAndShortNamesStayUnique) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\Long Name One.txt", "1");
  ASSERT_TRUE(MoveFileA("C:\\LONGNA~1.TXT", "C:\\short.txt"));
  EXPECT_EQ("1", sim::FileContents("C:\\short.txt"));
  sim::PutFile("C:\\Long Name Two.txt", "2");
  sim::PutFile("C:\\Long Name Three.txt", "3");
  char shortPath[MAX_PATH];
  ASSERT_GT(
      GetShortPathNameA("C:\\Long Name Three.txt", shortPath, sizeof shortPath),
      0u);
  EXPECT_STREQ("C:\\LONGNA~2.TXT", shortPath);
  EXPECT_EQ("3", sim::FileContents(shortPath));
  EXPECT_EQ("2", sim::FileContents("C:\\LONGNA~1.TXT"));
}

TEST(SimFiles, SearchPatterns) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\dir\\Microsoft Office.exe", "");
  sim::PutFile("C:\\dir\\noext", "");
  sim::PutFile("C:\\dir\\" + std::string(200, 'a'), "");
  const struct {
    const char* pattern;
    const char* found;  // NULL: nothing found
  } cases[] = {
      {"C:\\dir\\*.exe", "Microsoft Office.exe"},
      {"C:\\dir\\MICROS~?.EXE", "Microsoft Office.exe"},
      {"C:\\dir\\no*.*", "noext"},
      {"C:\\dir\\n?ext", "noext"},
      {"C:\\dir\\*", "."},
      {"C:\\dir\\*.txt", NULL},
      {"C:\\dir\\*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", NULL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    WIN32_FIND_DATAA data;
    SetLastError(0);
    HANDLE find = FindFirstFileA(c.pattern, &data);
    if (c.found == NULL) {
      EXPECT_EQ(INVALID_HANDLE_VALUE, find);
      EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    } else {
      ASSERT_NE(INVALID_HANDLE_VALUE, find);
      EXPECT_STREQ(c.found, data.cFileName);
      FindClose(find);
    }
  }
}

TEST(SimFiles, SeekBeyondTheLargestOffsetFails) {
  sim::Reset(sim::Line::Nt);
  HANDLE file =
      CreateFileA("C:\\a.bin", GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  LONG high = 0x7FFFFFFF;
  EXPECT_EQ(0xFFFFFFFFu, SetFilePointer(file, -1, &high, FILE_BEGIN));
  EXPECT_EQ(0x7FFFFFFF, high);
  high = 0x7FFFFFFF;
  SetLastError(0);
  EXPECT_EQ(INVALID_SET_FILE_POINTER,
            SetFilePointer(file, -1, &high, FILE_CURRENT));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  CloseHandle(file);
}

TEST(SimFiles, HandlesStayApartFromConsoleHandles) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\a.txt", "a");
  HANDLE console = CreateFileA("conin$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
  HANDLE file = OpenForReading("C:\\a.txt", FILE_SHARE_READ);
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("C:\\a.txt", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, console);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  EXPECT_NE(console, file);
  EXPECT_NE(find, file);
  EXPECT_LT(reinterpret_cast<uintptr_t>(file), 0x70000u);
  EXPECT_EQ(3, sim::OpenHandleCount());

  DWORD mode = 0;
  EXPECT_TRUE(GetConsoleMode(console, &mode));
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(console, NULL));
  EXPECT_TRUE(CloseHandle(console));
  EXPECT_FALSE(GetConsoleMode(console, &mode));
  EXPECT_FALSE(CloseHandle(find));  // a search ends with FindClose
  EXPECT_TRUE(FindClose(find));
  EXPECT_FALSE(FindClose(find));
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

// Real Windows refuses this too; Wine running as root does not, which is why
// it is checked here rather than among the contract tests.
TEST(SimFiles, ReadOnlyFileRefusesOpeningForWriting) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\autoexec.bat", "@echo off\r\n");
  sim::SetReadOnly("C:\\autoexec.bat", true);
  const DWORD dispositions[] = {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS,
                                TRUNCATE_EXISTING};
  for (DWORD disposition : dispositions) {
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileA("C:\\autoexec.bat", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ, NULL, disposition,
                          FILE_ATTRIBUTE_NORMAL, NULL))
        << disposition;
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  }
  EXPECT_EQ("@echo off\r\n", sim::FileContents("C:\\autoexec.bat"));
  HANDLE reading = OpenForReading("C:\\autoexec.bat", FILE_SHARE_READ);
  EXPECT_NE(INVALID_HANDLE_VALUE, reading);
  CloseHandle(reading);
}

TEST(SimFiles, TrailingSeparatorNeverNamesAFile) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\file.txt", "x");
  const struct {
    const char* path;
    DWORD disposition;
    DWORD error;
  } cases[] = {
      {"C:\\new\\", CREATE_ALWAYS, 123},
      {"C:\\new\\", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {"C:\\file.txt\\", OPEN_EXISTING, 123},
      {"C:\\WINNT\\", OPEN_ALWAYS, ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(c.path, GENERIC_READ, 0, NULL,
                                                c.disposition, 0, NULL));
    EXPECT_EQ(c.error, GetLastError());
  }
  EXPECT_FALSE(sim::FileExists("C:\\new"));
  EXPECT_FALSE(sim::DirectoryExists("C:\\new"));
}

TEST(SimFiles, UnavailableConsoleCannotBeOpened) {
  sim::Reset(sim::Line::Nt);
  sim::SetConsoleAvailable(false);
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileA("CONIN$", GENERIC_READ, FILE_SHARE_READ, NULL,
                        OPEN_EXISTING, 0, NULL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST(SimFiles, DirectoryCannotMoveIntoItself) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\outer\\inner\\file.txt", "x");
  SetLastError(0);
  EXPECT_FALSE(MoveFileA("C:\\outer", "C:\\outer\\inner\\outer"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ("x", sim::FileContents("C:\\outer\\inner\\file.txt"));
  EXPECT_TRUE(MoveFileA("C:\\outer", "C:\\moved"));
  EXPECT_EQ("x", sim::FileContents("C:\\moved\\inner\\file.txt"));
}

TEST(SimFiles, OverlongPathsAndHugeWritesAreRefused) {
  sim::Reset(sim::Line::Nt);
  std::string overlong = "C:\\" + std::string(MAX_PATH, 'a');
  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(overlong.c_str()));
  EXPECT_EQ(206u, GetLastError());  // ERROR_FILENAME_EXCED_RANGE
  // A scene may still hold such a path; only the ANSI calls cannot reach it.
  sim::PutFile(overlong, "deep");
  EXPECT_TRUE(sim::FileExists(overlong));
  EXPECT_FALSE(DeleteFileA(overlong.c_str()));
  EXPECT_EQ("deep", sim::FileContents(overlong));

  HANDLE file = CreateFileA("C:\\big.bin", GENERIC_WRITE, 0, NULL,
                            CREATE_ALWAYS, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0x7FFFFFF0u, SetFilePointer(file, 0x7FFFFFF0, NULL, FILE_BEGIN));
  DWORD written = 5;
  EXPECT_FALSE(WriteFile(file, "x", 1, &written, NULL));
  EXPECT_EQ(0u, written);
  EXPECT_EQ(0u, GetFileSize(file, NULL));
  CloseHandle(file);
}

TEST(SimFiles, ReportedSizeCanReachBeyondFourGiB) {
  sim::Reset();
  sim::PutFile("C:\\big.bat", "small");
  sim::SetReportedFileSize("C:\\BIG.BAT", 0x100000005ull);
  HANDLE file = OpenForReading("C:\\big.bat", FILE_SHARE_READ);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);

  DWORD high = 0;
  EXPECT_EQ(5u, GetFileSize(file, &high));
  EXPECT_EQ(1u, high);
  EXPECT_EQ(5u, GetFileSize(file, NULL));
  char buffer[16];
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, NULL));
  EXPECT_EQ(5u, read);
  CloseHandle(file);
}

TEST(SimFiles, WriteAfterSeekPastEndFillsWithZeros) {
  sim::Reset(sim::Line::Nt);
  HANDLE file =
      CreateFileA("C:\\gap.bin", GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  SetFilePointer(file, 3, NULL, FILE_BEGIN);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "z", 1, &written, NULL));
  CloseHandle(file);
  EXPECT_EQ(std::string("\0\0\0z", 4), sim::FileContents("C:\\gap.bin"));
}

TEST(SimProfile, EditsKeepCommentsAndUnrelatedLines) {
  sim::Reset(sim::Line::Win9x);
  sim::PutFile("C:\\WINDOWS\\wininit.ini",
               "; keep me\r\n[rename]\r\nNUL=C:\\A.EXE\r\n; inside\r\n\r\n"
               "[other]\r\nx=1");
  ASSERT_TRUE(
      WritePrivateProfileStringA("rename", "NUL", "C:\\B.EXE", "wininit.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Rename", "C:\\T.EXE", "C:\\S.EXE",
                                         "C:\\WINDOWS\\WININIT.INI"));
  ASSERT_TRUE(WritePrivateProfileStringA("other", "y", "2",
                                         "C:\\WINDOWS\\wininit.ini"));
  EXPECT_EQ(
      "; keep me\r\n[rename]\r\nNUL=C:\\B.EXE\r\n; inside\r\n"
      "C:\\T.EXE=C:\\S.EXE\r\n\r\n[other]\r\nx=1\r\ny=2\r\n",
      sim::FileContents("C:\\WINDOWS\\wininit.ini"));

  char buffer[128];
  DWORD length =
      GetPrivateProfileSectionA("RENAME", buffer, sizeof buffer, "wininit.ini");
  EXPECT_EQ(std::string("NUL=C:\\B.EXE\0C:\\T.EXE=C:\\S.EXE\0\0", 32),
            std::string(buffer, length + 1));
}

TEST(SimProfile, SectionRewriteKeepsSeparatorBeforeNextSection) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\w.ini", "[rename]\r\nold=1\r\n\r\n[next]\r\nk=v\r\n");
  ASSERT_TRUE(
      WritePrivateProfileSectionA("rename", "NUL=a\0NUL=b\0", "C:\\w.ini"));
  EXPECT_EQ("[rename]\r\nNUL=a\r\nNUL=b\r\n\r\n[next]\r\nk=v\r\n",
            sim::FileContents("C:\\w.ini"));
}

TEST(SimProfile, WritesFailLikeFileWrites) {
  sim::Reset(sim::Line::Nt);
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "C:\\nodir\\w.ini"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

  sim::PutFile("C:\\ro.ini", "[s]\r\n");
  sim::SetReadOnly("C:\\ro.ini", true);
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", "C:\\ro.ini"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_EQ("[s]\r\n", sim::FileContents("C:\\ro.ini"));

  sim::PutFile("C:\\held.ini", "[s]\r\n");
  HANDLE held = OpenForReading("C:\\held.ini", FILE_SHARE_READ);
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileSectionA("s", "k=v\0", "C:\\held.ini"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  CloseHandle(held);
}

TEST(SimProfile, TinyBuffers) {
  sim::Reset(sim::Line::Nt);
  sim::PutFile("C:\\w.ini", "[s]\r\nkey=value\r\n");
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(0u, GetPrivateProfileSectionA("s", buffer, 0, "C:\\w.ini"));
  EXPECT_EQ('x', buffer[0]);
  EXPECT_EQ(0u, GetPrivateProfileSectionA("s", buffer, 1, "C:\\w.ini"));
  EXPECT_EQ('\0', buffer[0]);
  EXPECT_EQ('x', buffer[1]);
  EXPECT_EQ(2u, GetPrivateProfileSectionA("s", buffer, 4, "C:\\w.ini"));
  EXPECT_EQ(std::string("ke\0\0", 4), std::string(buffer, 4));
}

}  // namespace
