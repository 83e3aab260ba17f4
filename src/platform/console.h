// The console: the one place that prints and the one place that waits for a
// key.
#ifndef WORMSWEEP_PLATFORM_CONSOLE_H_
#define WORMSWEEP_PLATFORM_CONSOLE_H_

#include "platform/windows_api.h"

// Formatted output to standard output, written with WriteFile before the
// call returns, so that nothing holds the report back (a file keeps what was
// printed even while the program waits) and a prompt is visible during the
// wait. The only conversions are %s (a NUL-terminated text; a NULL pointer
// shows as nothing) and %%; any other is written as it stands. Each line
// feed goes out as CR LF, as text mode writes it, to a console, a file and a
// pipe alike. A text of any length is written whole; a failed write loses
// only the rest of that text.
void ConsolePrint(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

// Whether standard output is a console: a character device with a console
// mode, rather than a file, a pipe or another device (NUL, a serial port).
bool StandardOutputIsConsole();

// ConsolePrint for a text that names files: `format`'s conversions are all %s,
// for `path` and, when the text names a second file, `secondPath` (else
// NULL). The paths are in the ANSI code page, as the registry and the file
// functions give them; on a console they are shown in the console's output
// code page, so that the user reads the names the files have. A character
// that code page lacks is shown as '?', which the user can type back as the
// wildcard for one character. A path whose conversion fails (a call fails,
// or the path is longer than a path buffer) is printed as it is, never cut;
// so is every path when output is redirected.
void ConsolePrintPaths(const char* format, const char* path,
                       const char* secondPath);

// Whether one console input record ends the wait for a key: a key-down that
// carries a character, or that carries none but is a key with a PC extended
// code (cursor and editing keys, F1-F12, Alt or Ctrl combinations). Key
// releases, mouse, focus, menu and window events, and lone Shift, Ctrl, Alt,
// Windows and lock keys do not.
bool KeyEndsWait(const INPUT_RECORD& record);

// Waits for one key press on the console's own input device ("CONIN$"), so
// that it works with standard input redirected. The input mode is 0 while
// waiting (Ctrl+C is an ordinary key) and the previous mode is restored on
// every way out, Ctrl+Break and a closed window included. Returns at once,
// reading nothing, when standard output is not a console (the report went to
// a file or a pipe, and with it the prompt, so nobody sees one); when nobody
// can be at the console: `loggedOnInteractively` false (the caller found no
// INTERACTIVE group in the process token) and the process runs on a window
// station that nobody sees (WSF_VISIBLE clear: a service, a scheduled task, a
// remote shell); when the device cannot be opened or when a read fails. With
// `loggedOnInteractively` true the window station is not looked at, and
// user32.dll is not loaded. The key is discarded.
void WaitForKeyPress(bool loggedOnInteractively);

#endif  // WORMSWEEP_PLATFORM_CONSOLE_H_
