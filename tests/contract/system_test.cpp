// What the logic relies on from the version and directory queries.
#include <ctype.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/windows_api.h"

namespace {

TEST(SystemContract, VersionWithRecordSize148) {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = 148;
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_TRUE(version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ||
              version.dwPlatformId == VER_PLATFORM_WIN32_NT)
      << version.dwPlatformId;
  EXPECT_GE(version.dwMajorVersion, 4u);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    EXPECT_EQ(4u, version.dwMajorVersion);
  }
}

TEST(SystemContract, VersionRefusesWrongRecordSize) {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = 100;
  SetLastError(0);
  EXPECT_FALSE(GetVersionExA(&version));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

typedef UINT(WINAPI* DirectoryQuery)(LPSTR, UINT);

struct DirectoryCase {
  const char* name;
  DirectoryQuery query;
};

TEST(SystemContract, DirectoriesReportLengthOrNeededSize) {
  const DirectoryCase cases[] = {
      {"GetWindowsDirectoryA", GetWindowsDirectoryA},
      {"GetSystemDirectoryA", GetSystemDirectoryA},
  };
  for (const DirectoryCase& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[MAX_PATH];
    UINT length = c.query(buffer, sizeof buffer);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(strlen(buffer), length);
    EXPECT_EQ(':', buffer[1]);
    DWORD attributes = GetFileAttributesA(buffer);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_DIRECTORY);

    char tooSmall[3];
    EXPECT_EQ(length + 1, c.query(tooSmall, sizeof tooSmall));
  }
}

TEST(SystemContract, SystemDirectoryLiesInWindowsDirectory) {
  char windows[MAX_PATH];
  char system[MAX_PATH];
  UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
  ASSERT_GT(windowsLength, 0u);
  ASSERT_GT(GetSystemDirectoryA(system, sizeof system), windowsLength);
  std::string prefix(system, windowsLength);
  for (UINT i = 0; i < windowsLength; ++i) {
    EXPECT_EQ(toupper(static_cast<unsigned char>(windows[i])),
              toupper(static_cast<unsigned char>(prefix[i])))
        << system;
  }
  EXPECT_EQ('\\', system[windowsLength]);
}

BOOL WINAPI HandleNothing(DWORD) { return FALSE; }

TEST(SystemContract, ControlHandlerIsRemovedOnceOnly) {
  ASSERT_TRUE(SetConsoleCtrlHandler(HandleNothing, TRUE));
  EXPECT_TRUE(SetConsoleCtrlHandler(HandleNothing, FALSE));
  SetLastError(0);
  EXPECT_FALSE(SetConsoleCtrlHandler(HandleNothing, FALSE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

// The report goes out with WriteFile on standard output, and the key wait
// takes place only when that is a console: a file or a pipe has no console
// mode. A write of nothing succeeds and counts nothing.
TEST(SystemContract, StandardOutputIsAConsoleOnlyWithAConsoleMode) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  ASSERT_TRUE(output != NULL && output != INVALID_HANDLE_VALUE);
  DWORD type = GetFileType(output);
  DWORD mode = 0;
  BOOL hasMode = GetConsoleMode(output, &mode);
  if (type != FILE_TYPE_CHAR) {
    EXPECT_FALSE(hasMode) << "file type " << type;
  }
  DWORD written = 1;
  EXPECT_TRUE(WriteFile(output, "", 0, &written, NULL));
  EXPECT_EQ(0u, written);
}

}  // namespace
