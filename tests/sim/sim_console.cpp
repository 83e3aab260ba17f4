// The simulated console: standard output, where standard output goes and the
// console's output code page, scripted input records, and the input mode of
// "CONIN$".
#include <string.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/console.h"
#include "sim/sim_control.h"
#include "sim/sim_internal.h"

using sim::internal::Fails;
using sim::internal::FailWith;

namespace {

const DWORD kDefaultInputMode =
    ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;

// Console handles live far from the file handles so that the two never meet.
const uintptr_t kFirstConsoleHandle = 0x70000;
// Below the token (0x30000 on) and file handles: what GetStdHandle gives for
// standard output.
const uintptr_t kStandardOutputHandle = 0x20004;

// A US English Windows, whose ANSI code page is 1252.
const UINT kDefaultOutputCodePage = 437;

// What the console delivers next: an input record, or a control event
// (Ctrl+Break, a closed window) that the system raises instead.
struct QueuedInput {
  bool isControlEvent;
  DWORD controlEvent;
  INPUT_RECORD record;
};

struct ConsoleState {
  bool available = true;
  bool standardOutputIsConsole = true;
  bool standardOutputIsNulDevice = false;
  UINT outputCodePage = kDefaultOutputCodePage;
  std::deque<QueuedInput> input;
  std::vector<PHANDLER_ROUTINE> controlHandlers;  // in registration order
  bool endedByControlEvent = false;
  std::vector<std::string> loadedHivesAtEnd;
  DWORD inputModeAtEnd = 0;
  DWORD inputMode = kDefaultInputMode;
  std::vector<DWORD> modeHistory;
  std::set<uintptr_t> openHandles;
  uintptr_t nextHandle = kFirstConsoleHandle;
  DWORD outputWriteLimit = 0;
  std::string output;
};

ConsoleState g_console;

bool CheckHandle(HANDLE handle) {
  if (sim::internal::IsConsoleHandle(handle)) return true;
  sim::internal::SetError(ERROR_INVALID_HANDLE);
  return false;
}

}  // namespace

namespace sim {
namespace internal {

void ResetConsole() { g_console = ConsoleState(); }

// Runs the handlers, latest first; true when one handled the event. When
// none does the process ends: what it leaves is recorded.
bool HandleControlEvent(DWORD event) {
  bool handled = false;
  for (size_t i = g_console.controlHandlers.size(); i > 0 && !handled; --i) {
    handled = g_console.controlHandlers[i - 1](event) != FALSE;
  }
  if (!handled && !g_console.endedByControlEvent) {
    g_console.endedByControlEvent = true;
    g_console.inputModeAtEnd = g_console.inputMode;
    g_console.loadedHivesAtEnd = ProgramLoadedHives();
  }
  return handled;
}

void RaiseControlEvent(DWORD event) { HandleControlEvent(event); }

HANDLE OpenConsoleInput() {
  if (!g_console.available) {
    SetError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  uintptr_t handle = g_console.nextHandle;
  g_console.nextHandle += 4;
  g_console.openHandles.insert(handle);
  return reinterpret_cast<HANDLE>(handle);
}

bool IsConsoleHandle(HANDLE handle) {
  return g_console.openHandles.count(reinterpret_cast<uintptr_t>(handle)) != 0;
}

void CloseConsoleHandle(HANDLE handle) {
  g_console.openHandles.erase(reinterpret_cast<uintptr_t>(handle));
}

void CloseAllConsoleHandles() { g_console.openHandles.clear(); }

bool IsStandardOutput(HANDLE handle) {
  return reinterpret_cast<uintptr_t>(handle) == kStandardOutputHandle;
}

BOOL WriteStandardOutput(LPCVOID buffer, DWORD bytesToWrite,
                         LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
  if (Fails("WriteFile to standard output")) return FALSE;
  if (bytesWritten == NULL || overlapped != NULL) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  *bytesWritten = 0;
  if (bytesToWrite > 0 && buffer == NULL)
    return FailWith(998);  // ERROR_NOACCESS
  DWORD taken = bytesToWrite;
  if (g_console.outputWriteLimit != 0 && taken > g_console.outputWriteLimit) {
    taken = g_console.outputWriteLimit;
  }
  g_console.output.append(static_cast<const char*>(buffer), taken);
  *bytesWritten = taken;
  return TRUE;
}

}  // namespace internal

void SetConsoleAvailable(bool available) { g_console.available = available; }

void SetStandardOutputIsConsole(bool isConsole) {
  g_console.standardOutputIsConsole = isConsole;
  g_console.standardOutputIsNulDevice = false;
}

void SetStandardOutputToNulDevice() {
  g_console.standardOutputIsConsole = false;
  g_console.standardOutputIsNulDevice = true;
}

void SetConsoleOutputCodePage(UINT codePage) {
  g_console.outputCodePage = codePage;
}

void QueueInput(const INPUT_RECORD& record) {
  QueuedInput queued = {false, 0, record};
  g_console.input.push_back(queued);
}

void QueueControlEvent(DWORD event) {
  QueuedInput queued;
  memset(&queued, 0, sizeof(queued));
  queued.isControlEvent = true;
  queued.controlEvent = event;
  g_console.input.push_back(queued);
}

bool EndedByControlEvent() { return g_console.endedByControlEvent; }

std::vector<std::string> LoadedHivesAtEnd() {
  return g_console.loadedHivesAtEnd;
}

DWORD InputModeAtEnd() { return g_console.inputModeAtEnd; }

int QueuedInputCount() { return static_cast<int>(g_console.input.size()); }

DWORD ConsoleInputMode() { return g_console.inputMode; }

std::vector<DWORD> ConsoleModeHistory() { return g_console.modeHistory; }

void LimitStandardOutputWrites(DWORD bytes) {
  g_console.outputWriteLimit = bytes;
}

std::string StandardOutputBytes() { return g_console.output; }

std::string ConsoleOutput() {
  std::string text;
  const std::string& bytes = g_console.output;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      continue;
    }
    text += bytes[i];
  }
  return text;
}

}  // namespace sim

HANDLE WINAPI GetStdHandle(DWORD which) {
  if (Fails("GetStdHandle")) return INVALID_HANDLE_VALUE;
  if (which != STD_OUTPUT_HANDLE) {
    sim::internal::SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(kStandardOutputHandle);
}

// Only standard output has a type here: the program asks for no other.
DWORD WINAPI GetFileType(HANDLE file) {
  if (Fails("GetFileType")) return FILE_TYPE_UNKNOWN;
  if (reinterpret_cast<uintptr_t>(file) != kStandardOutputHandle) {
    sim::internal::SetError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
  }
  bool character =
      g_console.standardOutputIsConsole || g_console.standardOutputIsNulDevice;
  return character ? FILE_TYPE_CHAR : FILE_TYPE_DISK;
}

UINT WINAPI GetConsoleOutputCP(void) {
  if (Fails("GetConsoleOutputCP")) return 0;
  return g_console.outputCodePage;
}

// Standard output has the mode of a screen buffer while it is a console.
BOOL WINAPI GetConsoleMode(HANDLE console, LPDWORD mode) {
  if (Fails("GetConsoleMode")) return FALSE;
  if (sim::internal::IsStandardOutput(console) &&
      g_console.standardOutputIsConsole) {
    *mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    return TRUE;
  }
  if (!CheckHandle(console)) return FALSE;
  *mode = g_console.inputMode;
  return TRUE;
}

BOOL WINAPI SetConsoleMode(HANDLE console, DWORD mode) {
  if (Fails("SetConsoleMode") || !CheckHandle(console)) return FALSE;
  g_console.inputMode = mode;
  g_console.modeHistory.push_back(mode);
  return TRUE;
}

BOOL WINAPI ReadConsoleInputA(HANDLE console, PINPUT_RECORD buffer,
                              DWORD length, LPDWORD eventsRead) {
  if (Fails("ReadConsoleInputA") || !CheckHandle(console)) return FALSE;
  if (length == 0 || buffer == NULL || eventsRead == NULL) {
    sim::internal::SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The system runs the control handlers, latest first, on a thread of its
  // own while the program waits here; when none of them handles the event
  // the process ends. A test cannot end, so the read fails instead and the
  // moment of the end is recorded.
  while (!g_console.input.empty() && g_console.input.front().isControlEvent) {
    DWORD event = g_console.input.front().controlEvent;
    g_console.input.pop_front();
    if (!sim::internal::HandleControlEvent(event)) {
      sim::internal::SetError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  // A real console blocks here until input arrives; a test that has queued
  // nothing more gets a failed read instead of a hang.
  if (g_console.input.empty()) {
    sim::internal::SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD count = 0;
  while (count < length && !g_console.input.empty() &&
         !g_console.input.front().isControlEvent) {
    buffer[count++] = g_console.input.front().record;
    g_console.input.pop_front();
  }
  *eventsRead = count;
  return TRUE;
}

BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
  if (Fails("SetConsoleCtrlHandler")) return FALSE;
  if (handler == NULL) {
    sim::internal::SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<PHANDLER_ROUTINE>& handlers = g_console.controlHandlers;
  if (add) {
    handlers.push_back(handler);
    return TRUE;
  }
  for (size_t i = handlers.size(); i > 0; --i) {
    if (handlers[i - 1] == handler) {
      handlers.erase(handlers.begin() + static_cast<long>(i - 1));
      return TRUE;
    }
  }
  sim::internal::SetError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

namespace sim {
int ControlHandlerCount() {
  return static_cast<int>(g_console.controlHandlers.size());
}
}  // namespace sim
