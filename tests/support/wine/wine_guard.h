// The Windows test programs change HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE and
// files on C:\, so they run only under Wine, in a prefix made for them, and
// never on a real Windows machine.
#ifndef WORMSWEEP_TESTS_SUPPORT_WINE_WINE_GUARD_H_
#define WORMSWEEP_TESTS_SUPPORT_WINE_WINE_GUARD_H_

#include <stdio.h>

#include "platform/windows_api.h"

// Wine's version, or NULL on anything that is not Wine.
inline const char* WineVersion() {
  typedef const char*(__cdecl * WineVersionFunction)();
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll == NULL) return NULL;
  WineVersionFunction wineGetVersion = reinterpret_cast<WineVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
  return wineGetVersion == NULL ? NULL : wineGetVersion();
}

// False, after saying why on standard error, when not under Wine.
inline bool RefuseOutsideWine(const char* program) {
  if (WineVersion() != NULL) return true;
  fprintf(stderr,
          "%s changes HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE and C:\\ and runs "
          "only under Wine, in a prefix made for it.\n",
          program);
  return false;
}

#endif  // WORMSWEEP_TESTS_SUPPORT_WINE_WINE_GUARD_H_
