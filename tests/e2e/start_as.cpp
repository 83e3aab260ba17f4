// Starts a program the way Windows starts it where a test cannot otherwise
// put it, with this program's console and standard handles, and exits with
// the program's exit status (100 and more: this program failed).
//
//   start_as.exe unseen PROGRAM
//     on a window station that nobody sees, with the INTERACTIVE group in
//     its token for deny only, as Windows runs a service, a task that runs
//     whether or not a user is logged on, or a remote shell, whose tokens
//     lack that group
//   start_as.exe seen-without-interactive PROGRAM
//     on this console's window station, with the INTERACTIVE group for deny
//     only, as LocalSystem runs on a desktop that a person sees
//   start_as.exe not-elevated PROGRAM
//     with the Administrators group in its token for deny only, as UAC
//     starts the programs of an administrator that are not elevated
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

const int kUsage = 100;
const int kFailed = 101;

int Fail(const char* what) {
  fprintf(stderr, "start_as: %s failed: error %lu\n", what,
          static_cast<unsigned long>(GetLastError()));
  return kFailed;
}

// A window station of its own (not visible: only WinSta0 is) with a desktop
// on it, named as STARTUPINFO.lpDesktop wants it.
bool MakeUnseenDesktop(char* name, size_t size) {
  const char kStation[] = "wormsweep-unseen";
  HWINSTA station = CreateWindowStationA(kStation, 0, WINSTA_ALL_ACCESS, NULL);
  if (station == NULL) return false;
  HWINSTA own = GetProcessWindowStation();
  if (!SetProcessWindowStation(station)) return false;
  HDESK desktop = CreateDesktopA("Default", NULL, NULL, 0, GENERIC_ALL, NULL);
  SetProcessWindowStation(own);
  snprintf(name, size, "%s\\Default", kStation);
  return desktop != NULL;
}

// This process's token with the group of the NT authority made of
// `subauthorities` for deny only.
bool MakeTokenDenying(BYTE count, DWORD first, DWORD second,
                      HANDLE* restricted) {
  HANDLE own = NULL;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own)) {
    return false;
  }
  SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
  PSID group = NULL;
  if (!AllocateAndInitializeSid(&ntAuthority, count, first, second, 0, 0, 0, 0,
                                0, 0, &group)) {
    return false;
  }
  SID_AND_ATTRIBUTES denyOnly = {group, 0};
  return CreateRestrictedToken(own, 0, 1, &denyOnly, 0, NULL, 0, NULL,
                               restricted) != FALSE;
}

bool MakeNotElevatedToken(HANDLE* restricted) {
  return MakeTokenDenying(2, SECURITY_BUILTIN_DOMAIN_RID,
                          DOMAIN_ALIAS_RID_ADMINS, restricted);
}

bool MakeNotInteractiveToken(HANDLE* restricted) {
  return MakeTokenDenying(1, SECURITY_INTERACTIVE_RID, 0, restricted);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr,
            "usage: start_as.exe unseen|seen-without-interactive|"
            "not-elevated PROGRAM\n");
    return kUsage;
  }
  char command[MAX_PATH + 3];
  snprintf(command, sizeof command, "\"%s\"", argv[2]);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  BOOL started = FALSE;
  if (strcmp(argv[1], "unseen") == 0) {
    char desktop[64];
    if (!MakeUnseenDesktop(desktop, sizeof desktop)) {
      return Fail("making a window station");
    }
    startup.lpDesktop = desktop;
    HANDLE token = NULL;
    if (!MakeNotInteractiveToken(&token)) return Fail("making the token");
    started = CreateProcessAsUserA(token, NULL, command, NULL, NULL, TRUE, 0,
                                   NULL, NULL, &startup, &process);
  } else if (strcmp(argv[1], "seen-without-interactive") == 0) {
    HANDLE token = NULL;
    if (!MakeNotInteractiveToken(&token)) return Fail("making the token");
    started = CreateProcessAsUserA(token, NULL, command, NULL, NULL, TRUE, 0,
                                   NULL, NULL, &startup, &process);
  } else if (strcmp(argv[1], "not-elevated") == 0) {
    HANDLE token = NULL;
    if (!MakeNotElevatedToken(&token)) return Fail("making the token");
    started = CreateProcessAsUserA(token, NULL, command, NULL, NULL, TRUE, 0,
                                   NULL, NULL, &startup, &process);
  } else {
    fprintf(stderr, "start_as: unknown way '%s'\n", argv[1]);
    return kUsage;
  }
  if (!started) return Fail("starting the program");
  DWORD status = kFailed;
  if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &status)) {
    return Fail("waiting for the program");
  }
  return static_cast<int>(status);
}
