// Helpers shared by the platform contract tests, which run against the
// simulated Windows on the host and against real Win32 under Wine: they use
// nothing but the Win32 API.
#ifndef WORMSWEEP_TESTS_CONTRACT_CONTRACT_SUPPORT_H_
#define WORMSWEEP_TESTS_CONTRACT_CONTRACT_SUPPORT_H_

#include <string.h>

#include <string>

#include "platform/windows_api.h"

namespace contract {

// True on the NT line, false on the 9x line, as the system reports it.
inline bool IsNtLine() {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) &&
         version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Whether the tests run against Wine (the Windows build) rather than the
// simulated Windows, which keeps Windows' documented rules where Wine is
// kinder. A test that branches on it pins what only Wine does, and says so.
inline bool AgainstWine() {
#ifdef _WIN32
  return true;
#else
  return false;
#endif
}

// Deletes a key with everything below it, children first, since the NT line
// refuses to delete a key that still has subkeys. A missing key is success.
inline bool DeleteKeyTree(HKEY parent, const std::string& path) {
  HKEY key = NULL;
  LONG opened = RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key);
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  bool cleared = true;
  char name[MAX_PATH];
  // Deleting at index 0 again and again empties the key whatever order the
  // system enumerates in.
  while (RegEnumKeyA(key, 0, name, sizeof name) == ERROR_SUCCESS) {
    if (!DeleteKeyTree(key, name)) {
      cleared = false;
      break;
    }
  }
  RegCloseKey(key);
  return cleared && RegDeleteKeyA(parent, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace contract

#endif  // WORMSWEEP_TESTS_CONTRACT_CONTRACT_SUPPORT_H_
