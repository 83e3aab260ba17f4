#include "platform/console.h"

namespace {

// A path in the console's code page: a double-byte code page needs up to two
// bytes a character, UTF-8 (code page 65001) up to three.
const int kConsolePathSize = 3 * MAX_PATH;

// ASCII is the same in every ANSI and OEM code page.
bool IsAscii(const char* text) {
  for (; *text != '\0'; ++text) {
    if (static_cast<unsigned char>(*text) >= 0x80) return false;
  }
  return true;
}

// `path` as the console's output code page writes it, in `shown`; false when
// it needs no conversion or cannot be converted whole. Without
// WC_NO_BEST_FIT_CHARS, which Windows 95 and NT 4.0 do not know, a character
// the code page lacks may come out as a look-alike ("e" for "é", "\" for a
// full-width backslash) that names another file: whatever does not convert
// back to itself is shown as '?' instead.
bool ConvertForConsole(const char* path, char* shown, int shownSize) {
  if (IsAscii(path) || !StandardOutputIsConsole()) return false;
  UINT consoleCodePage = GetConsoleOutputCP();
  if (consoleCodePage == 0) return false;
  WCHAR wide[MAX_PATH];
  int length = MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
  if (length == 0) return false;
  if (WideCharToMultiByte(consoleCodePage, 0, wide, length, shown, shownSize,
                          NULL, NULL) == 0) {
    return false;
  }
  WCHAR back[MAX_PATH];
  if (MultiByteToWideChar(consoleCodePage, 0, shown, -1, back, MAX_PATH) !=
      length) {
    return false;
  }
  bool exact = true;
  for (int i = 0; i < length; ++i) {
    if (back[i] == wide[i]) continue;
    wide[i] = '?';
    exact = false;
  }
  return exact || WideCharToMultiByte(consoleCodePage, 0, wide, length, shown,
                                      shownSize, NULL, NULL) != 0;
}

}  // namespace

// A character device need not be a console: "> nul" gives one too, where
// nobody reads a prompt. Only a console has a console mode.
bool StandardOutputIsConsole() {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return GetFileType(output) == FILE_TYPE_CHAR &&
         GetConsoleMode(output, &mode) != FALSE;
}

void ConsolePrintPaths(const char* format, const char* path,
                       const char* secondPath) {
  char shownPath[kConsolePathSize];
  char shownSecondPath[kConsolePathSize];
  if (ConvertForConsole(path, shownPath, kConsolePathSize)) path = shownPath;
  if (secondPath != NULL &&
      ConvertForConsole(secondPath, shownSecondPath, kConsolePathSize)) {
    secondPath = shownSecondPath;
  }
  ConsolePrint(format, path, secondPath);
}
