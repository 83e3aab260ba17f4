// Functions that the program finds at run time rather than importing them:
// Windows 95 refuses to start a program that imports a function it lacks,
// and the exe imports from KERNEL32, ADVAPI32 and msvcrt only.
#ifndef WORMSWEEP_PLATFORM_SYSTEM_FUNCTIONS_H_
#define WORMSWEEP_PLATFORM_SYSTEM_FUNCTIONS_H_

#include "platform/windows_api.h"

typedef BOOL(WINAPI* OpenProcessTokenFunction)(HANDLE process,
                                               DWORD desiredAccess,
                                               PHANDLE token);
typedef BOOL(WINAPI* GetTokenInformationFunction)(
    HANDLE token, TOKEN_INFORMATION_CLASS informationClass, LPVOID information,
    DWORD length, PDWORD returnLength);

// The access token calls of advapi32 (NT 3.51 and later). The 9x line lacks
// them, or has stubs that fail with ERROR_CALL_NOT_IMPLEMENTED.
struct TokenFunctions {
  OpenProcessTokenFunction OpenProcessToken;
  GetTokenInformationFunction GetTokenInformation;
};

// False when this Windows lacks either.
bool FindTokenFunctions(TokenFunctions& found);

// The platform identifier from GetVersionExA (VER_PLATFORM_WIN32_NT is the
// NT line), asked twice before giving up. False when both attempts fail.
bool QueryPlatformId(DWORD& platformId);

enum class WindowsLine { Nt, Win9x, Unknown };

// The line of Windows that runs this program, told by what the system is:
// only the NT line has access tokens, so a process token that opens is the NT
// line, whatever version a compatibility mode makes it report. The 9x line's
// token calls are stubs that answer ERROR_CALL_NOT_IMPLEMENTED, but no
// documentation guarantees their codes: a token that does not open with
// another error is told by the platform that GetVersionExA reports (an NT
// system whose token cannot be opened still reports its own line unless a
// compatibility mode runs it). Unknown when that cannot be read either.
WindowsLine RunningLine();

typedef BOOL(WINAPI* LookupPrivilegeValueAFunction)(LPCSTR systemName,
                                                    LPCSTR name, PLUID luid);
typedef BOOL(WINAPI* AdjustTokenPrivilegesFunction)(
    HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
    DWORD bufferLength, PTOKEN_PRIVILEGES previousState, PDWORD returnLength);

// The privilege calls of advapi32 (NT 3.51 and later; stubs or missing on
// the 9x line, which has no privileges to enable).
struct PrivilegeFunctions {
  OpenProcessTokenFunction OpenProcessToken;
  LookupPrivilegeValueAFunction LookupPrivilegeValueA;
  AdjustTokenPrivilegesFunction AdjustTokenPrivileges;
};

// False when this Windows lacks any of them.
bool FindPrivilegeFunctions(PrivilegeFunctions& found);

typedef HWINSTA(WINAPI* GetProcessWindowStationFunction)(void);
typedef BOOL(WINAPI* GetUserObjectInformationAFunction)(HANDLE object,
                                                        int index,
                                                        PVOID information,
                                                        DWORD length,
                                                        LPDWORD lengthNeeded);

// The window station calls of user32 (NT 3.51 and later), loaded for them.
struct WindowStationFunctions {
  GetProcessWindowStationFunction GetProcessWindowStation;
  GetUserObjectInformationAFunction GetUserObjectInformationA;
};

// False when this Windows lacks either.
bool FindWindowStationFunctions(WindowStationFunctions& found);

#endif  // WORMSWEEP_PLATFORM_SYSTEM_FUNCTIONS_H_
