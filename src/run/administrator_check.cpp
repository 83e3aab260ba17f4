#include "run/administrator_check.h"

#include "platform/windows_api.h"
#include "primitives/deferred_removal.h"

bool MayCleanThisComputer() {
  // A line that cannot be determined is checked as the NT line is: on the 9x
  // line the open is never refused.
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  if (QueryPlatformId(platformId) && platformId != VER_PLATFORM_WIN32_NT) {
    return true;
  }
  HKEY software;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0,
                              KEY_READ | KEY_WRITE, &software);
  if (opened == ERROR_SUCCESS) RegCloseKey(software);
  return opened != ERROR_ACCESS_DENIED;
}
