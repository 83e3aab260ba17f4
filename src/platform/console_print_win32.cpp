#include <stdarg.h>
#include <stdio.h>

#include "platform/console.h"

namespace {

// msvcrt's own table of streams. The stdout of MinGW-w64's headers calls a
// wrapper of theirs, which brings a data and an unwind section of its own: a
// KiB of exe for one pointer.
FILE* StandardOutput() { return &_iob[1]; }

bool g_outputConfigured = false;
bool g_outputIsConsole = false;
HANDLE g_console = NULL;
// Room for the longest text: one that names two files, each converted to
// the console's code page.
char g_consoleText[4096];

// Redirected output is buffered as msvcrt already does; saying so here keeps
// it so whatever the runtime's defaults are. A console gets each text at once,
// so that the prompt is visible during the key wait.
void ConfigureOutputOnce() {
  if (g_outputConfigured) return;
  g_outputConfigured = true;
  g_outputIsConsole = StandardOutputIsConsole();
  if (g_outputIsConsole) {
    g_console = GetStdHandle(STD_OUTPUT_HANDLE);
  } else {
    setvbuf(StandardOutput(), NULL, _IOFBF, 4096);
  }
}

// A console shows the bytes written to it in its output code page, which is
// what the paths have been converted to. A C runtime may instead re-encode
// text it writes to a console (Wine's msvcrt does, through its own locale),
// so the text goes to the console directly, each line feed as CR LF, as text
// mode writes it.
void WriteToConsole(const char* text, int length) {
  DWORD written = 0;
  int start = 0;
  for (int at = 0; at <= length; ++at) {
    if (at < length && text[at] != '\n') continue;
    if (at > start)
      WriteFile(g_console, text + start, at - start, &written, NULL);
    if (at < length) WriteFile(g_console, "\r\n", 2, &written, NULL);
    start = at + 1;
  }
}

}  // namespace

void ConsolePrint(const char* format, ...) {
  ConfigureOutputOnce();
  va_list arguments;
  if (g_outputIsConsole) {
    va_start(arguments, format);
    int length =
        _vsnprintf(g_consoleText, sizeof g_consoleText, format, arguments);
    va_end(arguments);
    if (length >= 0 && length < static_cast<int>(sizeof g_consoleText)) {
      WriteToConsole(g_consoleText, length);
      return;
    }
  }
  // Redirected, or too long for the buffer: through the runtime, whole.
  va_start(arguments, format);
  vprintf(format, arguments);
  va_end(arguments);
  if (g_outputIsConsole) fflush(StandardOutput());
}
