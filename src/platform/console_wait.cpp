#include "platform/console.h"

#include "platform/system_functions.h"

namespace {

// A service, a task that runs whether or not a user is logged on, and a
// remote shell get a console on a window station that nobody sees: there the
// wait would never end. The 9x line has no window stations; where the system
// cannot tell, someone may be there.
bool SomeoneCanPressAKey() {
  WindowStationFunctions station;
  if (!FindWindowStationFunctions(station)) return true;
  // The handle belongs to the process and must not be closed.
  HWINSTA current = station.GetProcessWindowStation();
  if (current == NULL) return true;
  USEROBJECTFLAGS flags;
  DWORD lengthNeeded = 0;
  if (!station.GetUserObjectInformationA(current, UOI_FLAGS, &flags,
                                         sizeof flags, &lengthNeeded)) {
    return true;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

bool IsModifierOrLockKey(WORD virtualKey) {
  switch (virtualKey) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
      return true;
    default:
      return false;
  }
}

// The keys for which a DOS-style getch() returns a two-byte code (0 or 0xE0
// followed by the scan code) instead of a character.
bool HasExtendedKeyCode(const KEY_EVENT_RECORD& key) {
  WORD virtualKey = key.wVirtualKeyCode;
  if (virtualKey >= VK_PRIOR && virtualKey <= VK_DOWN) return true;
  if (virtualKey == VK_INSERT || virtualKey == VK_DELETE) return true;
  if (virtualKey == VK_CLEAR) return true;
  if (virtualKey >= VK_F1 && virtualKey <= VK_F12) return true;
  const DWORD altOrCtrl = LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED |
                          LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED;
  if ((key.dwControlKeyState & altOrCtrl) != 0) return true;
  // A real console gives Esc its character 27; Wine's console fed by a
  // terminal delivers it without one. Either way it is a key the user meant.
  return virtualKey == VK_ESCAPE;
}

// Ctrl+Break and closing the console window end the process from a thread
// of the system's while the wait reads; the input mode must be given back on
// that way out as well. Ctrl+C needs nothing here: with mode 0 it arrives as
// an ordinary key. NULL while no wait has changed the mode: no handle that
// CreateFileA gives is NULL, and a zero global costs the exe no data section.
HANDLE g_waitingInput = NULL;
DWORD g_modeToRestore = 0;

BOOL WINAPI RestoreModeBeforeTheEnd(DWORD controlEvent) {
  (void)controlEvent;
  if (g_waitingInput != NULL) {
    SetConsoleMode(g_waitingInput, g_modeToRestore);
  }
  return FALSE;  // the system then ends the process as it always does
}

}  // namespace

bool KeyEndsWait(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT) return false;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  if (!key.bKeyDown) return false;
  if (IsModifierOrLockKey(key.wVirtualKeyCode)) return false;
  if (key.uChar.AsciiChar != 0) return true;
  return HasExtendedKeyCode(key);
}

void WaitForKeyPress(bool loggedOnInteractively) {
  if (!StandardOutputIsConsole()) return;
  if (!loggedOnInteractively && !SomeoneCanPressAKey()) return;
  HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
  if (input == INVALID_HANDLE_VALUE) return;

  // Without the previous mode it could not be restored afterwards; a device
  // that will not tell its mode is no console to wait on.
  DWORD previousMode = 0;
  if (!GetConsoleMode(input, &previousMode)) {
    CloseHandle(input);
    return;
  }
  // A console that refuses mode 0 still delivers its key records; the user
  // still gets the time to read the report.
  bool modeChanged = SetConsoleMode(input, 0) != FALSE;
  bool handlerSet = false;
  if (modeChanged) {
    g_waitingInput = input;
    g_modeToRestore = previousMode;
    handlerSet = SetConsoleCtrlHandler(RestoreModeBeforeTheEnd, TRUE) != FALSE;
  }
  for (;;) {
    INPUT_RECORD record;
    DWORD recordsRead = 0;
    if (!ReadConsoleInputA(input, &record, 1, &recordsRead) ||
        recordsRead != 1) {
      break;
    }
    if (KeyEndsWait(record)) break;
  }
  if (handlerSet) SetConsoleCtrlHandler(RestoreModeBeforeTheEnd, FALSE);
  g_waitingInput = NULL;
  if (modeChanged) SetConsoleMode(input, previousMode);
  CloseHandle(input);
}
