// Runs the contract tests against real Win32 calls. They create and delete
// keys under HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE and files on C:\, so
// the program refuses to run anywhere but in a throw-away Wine prefix.
//
// --line=nt or --line=9x names the line of Windows the prefix was set up to
// report; the run stops before any test when the system reports the other.
#include <stdio.h>
#include <string.h>

#include <gtest/gtest.h>

#include "platform/windows_api.h"
#include "support/wine/wine_guard.h"

namespace {

// The platform identifier the line reports: 1 for Windows 95, 98 and ME,
// 2 for the NT line.
bool ExpectedPlatform(const char* lineName, DWORD* platform) {
  if (strcmp(lineName, "nt") == 0) {
    *platform = VER_PLATFORM_WIN32_NT;
    return true;
  }
  if (strcmp(lineName, "9x") == 0) {
    *platform = VER_PLATFORM_WIN32_WINDOWS;
    return true;
  }
  return false;
}

const char kLinePrefix[] = "--line=";

}  // namespace

int main(int argc, char** argv) {
  if (!RefuseOutsideWine("contract_tests")) return 2;
  const char* wineVersion = WineVersion();

  testing::InitGoogleTest(&argc, argv);

  const char* lineName = NULL;
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], kLinePrefix, sizeof kLinePrefix - 1) == 0) {
      lineName = argv[i] + sizeof kLinePrefix - 1;
    }
  }
  if (lineName != NULL) {
    DWORD expectedPlatform = 0;
    if (!ExpectedPlatform(lineName, &expectedPlatform)) {
      fprintf(stderr, "Unknown line '%s': use --line=nt or --line=9x.\n",
              lineName);
      return 2;
    }
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwPlatformId != expectedPlatform) {
      fprintf(stderr,
              "Wine %s reports platform %lu, version %lu.%lu; the %s line "
              "was asked for.\n",
              wineVersion, static_cast<unsigned long>(version.dwPlatformId),
              static_cast<unsigned long>(version.dwMajorVersion),
              static_cast<unsigned long>(version.dwMinorVersion), lineName);
      return 2;
    }
  }

  printf("Wine %s\n", wineVersion);
  return RUN_ALL_TESTS();
}
