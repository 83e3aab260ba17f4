// Console input records as a real console delivers them, for tests that
// script the key wait.
#ifndef WORMSWEEP_TESTS_SUPPORT_HOST_INPUT_RECORDS_H_
#define WORMSWEEP_TESTS_SUPPORT_HOST_INPUT_RECORDS_H_

#include <string.h>

#include "platform/windows_api.h"

inline INPUT_RECORD KeyRecord(bool down, WORD virtualKey, char character,
                              DWORD controlKeys = 0) {
  INPUT_RECORD record;
  memset(&record, 0, sizeof(record));
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  record.Event.KeyEvent.uChar.AsciiChar = character;
  record.Event.KeyEvent.dwControlKeyState = controlKeys;
  return record;
}

inline INPUT_RECORD EventRecord(WORD eventType) {
  INPUT_RECORD record;
  memset(&record, 0, sizeof(record));
  record.EventType = eventType;
  return record;
}

#endif  // WORMSWEEP_TESTS_SUPPORT_HOST_INPUT_RECORDS_H_
