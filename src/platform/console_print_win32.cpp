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

// msvcrt already behaves this way; saying so here keeps the prompt visible
// during the key wait whatever the runtime's defaults are.
void ConfigureOutputOnce() {
  if (g_outputConfigured) return;
  g_outputConfigured = true;
  g_outputIsConsole =
      GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR;
  if (!g_outputIsConsole) setvbuf(StandardOutput(), NULL, _IOFBF, 4096);
}

}  // namespace

void ConsolePrint(const char* format, ...) {
  ConfigureOutputOnce();
  va_list arguments;
  va_start(arguments, format);
  vprintf(format, arguments);
  va_end(arguments);
  if (g_outputIsConsole) fflush(StandardOutput());
}
