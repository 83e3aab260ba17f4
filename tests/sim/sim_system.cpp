// The simulated machine as a whole: reset, line of Windows, directories,
// version, code page, heap, last error and armed failures.
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "sim/sim_control.h"
#include "sim/sim_internal.h"

namespace {

struct ArmedFailure {
  std::string function;
  DWORD error;
  int callsUntilFailure;
  bool persistent;
};

// What GetVersionExA answers; a compatibility mode makes an NT system report
// the 9x line.
struct ReportedVersion {
  DWORD platformId;
  DWORD major;
  DWORD minor;
  DWORD build;
};

struct SystemState {
  sim::Line line = sim::Line::Nt;
  ReportedVersion reported = {VER_PLATFORM_WIN32_NT, 5, 1, 2600};
  std::string windowsDirectory;
  std::string systemDirectory;
  UINT codePage = 1252;
  sim::Account account = sim::Account::Administrator;
  DWORD lastError = 0;
  std::map<std::string, int> callCounts;
  std::vector<ArmedFailure> failures;
  std::vector<std::string> callLog;
};

SystemState g_system;

UINT CopyDirectory(const std::string& path, LPSTR buffer, UINT size) {
  UINT length = static_cast<UINT>(path.size());
  if (buffer == NULL || size <= length) return length + 1;
  memcpy(buffer, path.c_str(), length + 1);
  return length;
}

bool InRange(BYTE value, BYTE low, BYTE high) {
  return value >= low && value <= high;
}

}  // namespace

namespace sim {
namespace internal {

bool InjectedFailure(const char* function, DWORD* error) {
  ++g_system.callCounts[function];
  g_system.callLog.push_back(function);
  bool fails = false;
  for (size_t i = 0; i < g_system.failures.size();) {
    ArmedFailure& armed = g_system.failures[i];
    if (armed.function != function || --armed.callsUntilFailure > 0) {
      ++i;
      continue;
    }
    if (!fails) *error = armed.error;
    fails = true;
    if (armed.persistent) {
      armed.callsUntilFailure = 1;
      ++i;
    } else {
      g_system.failures.erase(g_system.failures.begin() + i);
    }
  }
  return fails;
}

void SetError(DWORD error) { g_system.lastError = error; }

bool IsNt() { return g_system.line == Line::Nt; }

Account CurrentAccount() { return g_system.account; }

bool IsAdministrator() { return g_system.account == Account::Administrator; }

std::string WindowsDirectory() { return g_system.windowsDirectory; }

std::string SystemDirectory() { return g_system.systemDirectory; }

std::string UpperAscii(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

void ResetFaults() {
  g_system.callCounts.clear();
  g_system.failures.clear();
  g_system.callLog.clear();
}

}  // namespace internal

void Reset(Line line) {
  internal::ResetFaults();
  internal::ResetRegistry();
  internal::ResetFiles();
  internal::ResetConsole();
  internal::ResetSession();
  SetLine(line);
  g_system.codePage = 1252;
  g_system.account = Account::Administrator;
  g_system.lastError = 0;
  AddDrive('C');
  if (line == Line::Nt) {
    SetWindowsDirectory("C:\\WINNT");
    SetSystemDirectory("C:\\WINNT\\system32");
  } else {
    SetWindowsDirectory("C:\\WINDOWS");
    SetSystemDirectory("C:\\WINDOWS\\SYSTEM");
  }
}

Line CurrentLine() { return g_system.line; }

void SetLine(Line line) {
  g_system.line = line;
  if (line == Line::Nt) {
    SetReportedVersion(VER_PLATFORM_WIN32_NT, 5, 1, 2600);
  } else {
    SetReportedVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222);
  }
}

void SetReportedVersion(DWORD platformId, DWORD major, DWORD minor,
                        DWORD build) {
  g_system.reported = ReportedVersion{platformId, major, minor, build};
}

void SetWindowsDirectory(const std::string& path) {
  g_system.windowsDirectory = path;
  if (!DirectoryExists(path)) MakeDirectory(path);
}

void SetSystemDirectory(const std::string& path) {
  g_system.systemDirectory = path;
  if (!DirectoryExists(path)) MakeDirectory(path);
}

void SetCodePage(UINT codePage) { g_system.codePage = codePage; }

void SetAccount(Account account) { g_system.account = account; }

void SetAdministrator(bool isAdministrator) {
  SetAccount(isAdministrator ? Account::Administrator : Account::User);
}

void FailCall(const std::string& function, DWORD error, int nth,
              bool persistent) {
  g_system.failures.push_back(ArmedFailure{function, error, nth, persistent});
}

void ClearFailures() { g_system.failures.clear(); }

int CallCount(const std::string& function) {
  std::map<std::string, int>::const_iterator found =
      g_system.callCounts.find(function);
  return found == g_system.callCounts.end() ? 0 : found->second;
}

std::vector<std::string> CallLog() { return g_system.callLog; }

void ClearCallLog() { g_system.callLog.clear(); }

}  // namespace sim

DWORD WINAPI GetLastError(void) { return g_system.lastError; }

void WINAPI SetLastError(DWORD error) { g_system.lastError = error; }

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  DWORD error = 0;
  if (sim::internal::InjectedFailure("GetWindowsDirectoryA", &error)) {
    g_system.lastError = error;
    return 0;
  }
  return CopyDirectory(g_system.windowsDirectory, buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
  DWORD error = 0;
  if (sim::internal::InjectedFailure("GetSystemDirectoryA", &error)) {
    g_system.lastError = error;
    return 0;
  }
  return CopyDirectory(g_system.systemDirectory, buffer, size);
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
  DWORD error = 0;
  if (sim::internal::InjectedFailure("GetVersionExA", &error)) {
    g_system.lastError = error;
    return FALSE;
  }
  // 156 is the size of OSVERSIONINFOEXA, which the call also accepts.
  if (info == NULL || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                       info->dwOSVersionInfoSize != 156)) {
    g_system.lastError = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
  const ReportedVersion& reported = g_system.reported;
  info->dwMajorVersion = reported.major;
  info->dwMinorVersion = reported.minor;
  info->dwPlatformId = reported.platformId;
  if (reported.platformId == VER_PLATFORM_WIN32_NT) {
    info->dwBuildNumber = reported.build;
    strcpy(info->szCSDVersion, "Service Pack 3");
  } else {
    // The 9x line keeps the version in the build number's high word.
    info->dwBuildNumber = (reported.major << 24) | (reported.minor << 16) |
                          (reported.build & 0xFFFF);
    strcpy(info->szCSDVersion, " A ");
  }
  return TRUE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE testChar) {
  switch (g_system.codePage) {
    case 932:
      return InRange(testChar, 0x81, 0x9F) || InRange(testChar, 0xE0, 0xFC);
    case 936:
    case 949:
    case 950:
      return InRange(testChar, 0x81, 0xFE);
    case 1361:
      return InRange(testChar, 0x84, 0xD3) || InRange(testChar, 0xD8, 0xDE) ||
             InRange(testChar, 0xE0, 0xF9);
    default:
      return FALSE;
  }
}

HANDLE WINAPI GetProcessHeap(void) {
  static int processHeap;
  return &processHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  DWORD error = 0;
  if (heap == NULL || sim::internal::InjectedFailure("HeapAlloc", &error)) {
    return NULL;
  }
  // At least one byte, so that a zero-byte block is still a distinct block.
  void* block = (flags & HEAP_ZERO_MEMORY) != 0 ? calloc(1, bytes ? bytes : 1)
                                                : malloc(bytes ? bytes : 1);
  return block;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID memory) {
  (void)flags;
  if (heap == NULL) return FALSE;
  free(memory);
  return TRUE;
}
