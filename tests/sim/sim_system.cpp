// The simulated machine as a whole: reset, line of Windows, directories,
// version, code pages and their conversions, heap, last error and armed
// failures.
#include <iconv.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
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
  UINT oemCodePage = 437;
  sim::Account account = sim::Account::Administrator;
  DWORD lastError = 0;
  std::map<std::string, int> callCounts;
  std::vector<ArmedFailure> failures;
  std::vector<std::string> callLog;
  // By upper-cased name.
  std::map<std::string, std::string> environment;
  // A control event armed to arrive as the nth call of a function starts.
  std::string eventFunction;
  int callsUntilEvent = 0;
  DWORD controlEvent = 0;
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

// A converter between UTF-16 and a Windows code page, released when it goes
// out of scope.
class Converter {
 public:
  Converter(UINT codePage, bool toWide) {
    if (codePage == CP_ACP) codePage = g_system.codePage;
    if (codePage == CP_OEMCP) codePage = g_system.oemCodePage;
    std::string name =
        codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
    descriptor_ = toWide ? iconv_open("UTF-16LE", name.c_str())
                         : iconv_open(name.c_str(), "UTF-16LE");
  }
  ~Converter() {
    if (valid()) iconv_close(descriptor_);
  }
  bool valid() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }
  // Converts the whole of `in`, or says that it could not.
  bool Convert(std::string in, std::string& out) {
    out.assign(in.size() * 4 + 4, '\0');
    char* inAt = &in[0];
    size_t inLeft = in.size();
    char* outAt = &out[0];
    size_t outLeft = out.size();
    iconv(descriptor_, NULL, NULL, NULL, NULL);
    bool whole = iconv(descriptor_, &inAt, &inLeft, &outAt, &outLeft) !=
                 static_cast<size_t>(-1);
    out.resize(out.size() - outLeft);
    return whole;
  }

 private:
  iconv_t descriptor_;
};

// The result of a conversion into a caller's buffer of `capacity` units: the
// count needed when the capacity is 0, otherwise the count written, or 0 with
// ERROR_INSUFFICIENT_BUFFER when it does not fit.
template <typename Unit>
int Deliver(const std::vector<Unit>& units, Unit* buffer, int capacity) {
  int count = static_cast<int>(units.size());
  if (capacity == 0) return count;
  if (count > capacity) {
    g_system.lastError = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  std::copy(units.begin(), units.end(), buffer);
  return count;
}

}  // namespace

namespace sim {
namespace internal {

bool InjectedFailure(const char* function, DWORD* error) {
  ++g_system.callCounts[function];
  g_system.callLog.push_back(function);
  if (g_system.callsUntilEvent > 0 && g_system.eventFunction == function &&
      --g_system.callsUntilEvent == 0) {
    RaiseControlEvent(g_system.controlEvent);
  }
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

bool Fails(const char* function) {
  DWORD error = 0;
  if (!InjectedFailure(function, &error)) return false;
  SetError(error);
  return true;
}

BOOL FailWith(DWORD error) {
  SetError(error);
  return FALSE;
}

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
  g_system.callsUntilEvent = 0;
  g_system.callCounts.clear();
  g_system.failures.clear();
  g_system.callLog.clear();
}

bool OemToAnsi(const std::string& oem, std::string* ansi) {
  std::string wide;
  std::string bytes;
  if (!Converter(CP_OEMCP, true).Convert(oem, wide) ||
      !Converter(CP_ACP, false).Convert(wide, bytes)) {
    return false;
  }
  *ansi = bytes;
  return true;
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
  g_system.oemCodePage = 437;
  g_system.account = Account::Administrator;
  g_system.lastError = 0;
  AddDrive('C');
  if (line == Line::Nt) {
    CreateKey(HKEY_LOCAL_MACHINE, kSessionManagerKey);
    SetWindowsDirectory("C:\\WINNT");
    SetSystemDirectory("C:\\WINNT\\system32");
  } else {
    SetWindowsDirectory("C:\\WINDOWS");
    SetSystemDirectory("C:\\WINDOWS\\SYSTEM");
  }
  g_system.environment.clear();
  SetEnvironmentVariable("SystemDrive", "C:");
  SetEnvironmentVariable("SystemRoot", g_system.windowsDirectory);
  SetEnvironmentVariable("windir", g_system.windowsDirectory);
  SetEnvironmentVariable("USERPROFILE",
                         "C:\\Documents and Settings\\Administrator");
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

void SetOemCodePage(UINT codePage) { g_system.oemCodePage = codePage; }

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

void ControlEventAtCall(const std::string& function, int nth, DWORD event) {
  g_system.eventFunction = function;
  g_system.callsUntilEvent = nth;
  g_system.controlEvent = event;
}

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  g_system.environment[internal::UpperAscii(name)] = value;
}

std::string ExpandEnvironment(const std::string& text) {
  std::string expanded;
  size_t at = 0;
  while (at < text.size()) {
    size_t open = text.find('%', at);
    size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) break;
    std::map<std::string, std::string>::const_iterator found =
        g_system.environment.find(
            internal::UpperAscii(text.substr(open + 1, close - open - 1)));
    if (found == g_system.environment.end()) {
      // An unknown name stays as it is; its closing % may open the next.
      expanded += text.substr(at, close - at);
      at = close;
      continue;
    }
    expanded += text.substr(at, open - at) + found->second;
    at = close + 1;
  }
  return expanded + text.substr(at);
}

void ClearCallLog() { g_system.callLog.clear(); }

}  // namespace sim

DWORD WINAPI GetLastError(void) { return g_system.lastError; }

void WINAPI SetLastError(DWORD error) { g_system.lastError = error; }

// Past `size`, the count needed, with the buffer holding the first `size`
// characters and no NUL: a caller that does not look at the count reads on.
DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR source, LPSTR destination,
                                       DWORD size) {
  DWORD error = 0;
  if (sim::internal::InjectedFailure("ExpandEnvironmentStringsA", &error)) {
    g_system.lastError = error;
    return 0;
  }
  if (source == NULL) {
    g_system.lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  std::string expanded = sim::ExpandEnvironment(source);
  DWORD needed = static_cast<DWORD>(expanded.size() + 1);
  if (destination != NULL) {
    memcpy(destination, expanded.c_str(), std::min(needed, size));
  }
  return needed;
}

// Nothing waits: a test's time passes at once.
void WINAPI Sleep(DWORD milliseconds) {
  (void)milliseconds;
  DWORD error = 0;
  sim::internal::InjectedFailure("Sleep", &error);
}

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

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte,
                               int multiByteLength, LPWSTR wide,
                               int wideLength) {
  (void)flags;
  DWORD error = 0;
  if (sim::internal::InjectedFailure("MultiByteToWideChar", &error)) {
    g_system.lastError = error;
    return 0;
  }
  Converter converter(codePage, true);
  if (!converter.valid() || multiByte == NULL || wideLength < 0) {
    g_system.lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  size_t length = multiByteLength < 0 ? strlen(multiByte) + 1
                                      : static_cast<size_t>(multiByteLength);
  std::vector<WCHAR> units;
  for (size_t at = 0; at < length;) {
    // A double-byte character is converted with its trail byte.
    size_t size = 1;
    std::string out;
    while (!converter.Convert(std::string(multiByte + at, size), out) &&
           size < 4 && at + size < length) {
      ++size;
    }
    if (out.empty()) {
      units.push_back(static_cast<BYTE>(multiByte[at]));
      size = 1;
    }
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
      units.push_back(static_cast<WCHAR>(static_cast<BYTE>(out[i]) |
                                         static_cast<BYTE>(out[i + 1]) << 8));
    }
    at += size;
  }
  return Deliver(units, wide, wideLength);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide,
                               int wideLength, LPSTR multiByte,
                               int multiByteLength, LPCSTR defaultChar,
                               LPBOOL usedDefaultChar) {
  (void)flags;
  DWORD error = 0;
  if (sim::internal::InjectedFailure("WideCharToMultiByte", &error)) {
    g_system.lastError = error;
    return 0;
  }
  Converter converter(codePage, false);
  if (!converter.valid() || wide == NULL || multiByteLength < 0) {
    g_system.lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  size_t length = static_cast<size_t>(wideLength);
  if (wideLength < 0) {
    for (length = 0; wide[length] != 0; ++length) {
    }
    ++length;
  }
  if (usedDefaultChar != NULL) *usedDefaultChar = FALSE;
  std::vector<char> bytes;
  for (size_t at = 0; at < length; ++at) {
    WCHAR unit = wide[at];
    std::string out;
    if (converter.Convert(std::string{static_cast<char>(unit & 0xFF),
                                      static_cast<char>(unit >> 8)},
                          out)) {
      bytes.insert(bytes.end(), out.begin(), out.end());
    } else if (unit >= 0xFF01 && unit <= 0xFF5E) {
      bytes.push_back(static_cast<char>(unit - 0xFEE0));
    } else {
      bytes.push_back(defaultChar != NULL ? *defaultChar : '?');
      if (usedDefaultChar != NULL) *usedDefaultChar = TRUE;
    }
  }
  return Deliver(bytes, multiByte, multiByteLength);
}
