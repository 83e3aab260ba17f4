#include "platform/system_functions.h"

#include <string.h>

namespace {

// Any function's address, as GetProcAddress gives it: GCC lets a pointer to
// a function without parameters be cast to every other function type.
typedef void (*FunctionAddress)();

// A DLL of the system, loaded if the process has not loaded it yet. It stays
// loaded for the rest of the run: the process ends soon after.
HMODULE FindModule(const char* name) {
  HMODULE module = GetModuleHandleA(name);
  return module != NULL ? module : LoadLibraryA(name);
}

FunctionAddress FindFunction(HMODULE module, const char* name) {
  return reinterpret_cast<FunctionAddress>(GetProcAddress(module, name));
}

}  // namespace

bool FindTokenFunctions(TokenFunctions& found) {
  HMODULE advapi32 = FindModule("advapi32.dll");
  if (advapi32 == NULL) return false;
  found.OpenProcessToken = reinterpret_cast<OpenProcessTokenFunction>(
      FindFunction(advapi32, "OpenProcessToken"));
  if (found.OpenProcessToken == NULL) return false;
  found.GetTokenInformation = reinterpret_cast<GetTokenInformationFunction>(
      FindFunction(advapi32, "GetTokenInformation"));
  return found.GetTokenInformation != NULL;
}

bool QueryPlatformId(DWORD& platformId) {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) {
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) return false;
  }
  platformId = version.dwPlatformId;
  return true;
}

WindowsLine RunningLine() {
  TokenFunctions token;
  HANDLE processToken = NULL;
  if (FindTokenFunctions(token) &&
      token.OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &processToken)) {
    CloseHandle(processToken);
    return WindowsLine::Nt;
  }
  if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) return WindowsLine::Win9x;
  DWORD platformId = 0;
  if (!QueryPlatformId(platformId)) return WindowsLine::Unknown;
  return platformId == VER_PLATFORM_WIN32_NT ? WindowsLine::Nt
                                             : WindowsLine::Win9x;
}

bool FindPrivilegeFunctions(PrivilegeFunctions& found) {
  HMODULE advapi32 = FindModule("advapi32.dll");
  if (advapi32 == NULL) return false;
  found.OpenProcessToken = reinterpret_cast<OpenProcessTokenFunction>(
      FindFunction(advapi32, "OpenProcessToken"));
  found.LookupPrivilegeValueA = reinterpret_cast<LookupPrivilegeValueAFunction>(
      FindFunction(advapi32, "LookupPrivilegeValueA"));
  found.AdjustTokenPrivileges = reinterpret_cast<AdjustTokenPrivilegesFunction>(
      FindFunction(advapi32, "AdjustTokenPrivileges"));
  return found.OpenProcessToken != NULL &&
         found.LookupPrivilegeValueA != NULL &&
         found.AdjustTokenPrivileges != NULL;
}

bool FindWindowStationFunctions(WindowStationFunctions& found) {
  HMODULE user32 = FindModule("user32.dll");
  if (user32 == NULL) return false;
  found.GetProcessWindowStation =
      reinterpret_cast<GetProcessWindowStationFunction>(
          FindFunction(user32, "GetProcessWindowStation"));
  if (found.GetProcessWindowStation == NULL) return false;
  found.GetUserObjectInformationA =
      reinterpret_cast<GetUserObjectInformationAFunction>(
          FindFunction(user32, "GetUserObjectInformationA"));
  return found.GetUserObjectInformationA != NULL;
}
