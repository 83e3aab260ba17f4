#include "cleaners/startup_batch.h"

#include <string.h>

#include "platform/console.h"
#include "platform/windows_api.h"
#include "primitives/path_building.h"
#include "report/texts.h"

namespace {

const char kStartupBatchFile[] = "c:\\autoexec.bat";
const char kWormLine[] = "@win \\recycled\\sirc32.exe";
const DWORD kWormLineLength = sizeof(kWormLine) - 1;

HANDLE OpenStartupBatch(DWORD disposition, DWORD attributes) {
  return CreateFileA(kStartupBatchFile, GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ, NULL, disposition, attributes, NULL);
}

// What the file is created anew with: its own hidden and system attributes.
// Windows refuses to create over a hidden or system file with attributes
// that lack them (ERROR_ACCESS_DENIED), and the file keeps them.
DWORD AttributesToKeep() {
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  DWORD attributes = GetFileAttributesA(kStartupBatchFile);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kept) == 0) {
    return FILE_ATTRIBUTE_NORMAL;
  }
  return attributes & kept;
}

// Looks only up to the first NUL of `text`. The line is matched as Windows
// matches names: without case, and never from the second byte of a
// double-byte character.
bool FindWormLine(const char* text, DWORD& offset) {
  const char* at = FindName(text, kWormLine);
  if (at == NULL) return false;
  offset = static_cast<DWORD>(at - text);
  return true;
}

// The whole of the open `file` in a block from the process heap, with a NUL
// after the `length` bytes read. NULL when the size, the memory, the
// positioning or the read fails.
char* ReadWholeFile(HANDLE file, DWORD& length) {
  DWORD sizeHigh = 0;
  DWORD size = GetFileSize(file, &sizeHigh);
  if (size == INVALID_FILE_SIZE || sizeHigh != 0) return NULL;
  char* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size + 1));
  if (text == NULL) return NULL;
  length = 0;
  if (SetFilePointer(file, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !ReadFile(file, text, size, &length, NULL)) {
    HeapFree(GetProcessHeap(), 0, text);
    return NULL;
  }
  text[length] = '\0';
  return text;
}

bool WriteAll(HANDLE file, const char* bytes, DWORD length) {
  DWORD written = 0;
  return WriteFile(file, bytes, length, &written, NULL) && written == length;
}

// Puts the `length` original bytes of `text` back into `file` after a failed
// rewrite. Should that fail as well, the file is created anew once more and
// written again, so that no second failure leaves the machine with an empty
// or cut startup batch file. Closes the file.
void PutBackAndClose(HANDLE file, const char* text, DWORD length,
                     DWORD attributes) {
  bool putBack =
      SetFilePointer(file, 0, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
      WriteAll(file, text, length);
  CloseHandle(file);
  if (putBack) return;
  file = OpenStartupBatch(CREATE_ALWAYS, attributes);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteAll(file, text, length);
  CloseHandle(file);
}

// Re-creates the file, with `attributes`, from the `length` bytes of `text`
// less the worm line at `offset`. The re-created file is empty until the
// write succeeds, so a failed write puts the original bytes back rather than
// leave the machine without its startup batch file. False when the worm line
// is still there.
bool RewriteWithoutWormLine(char* text, DWORD length, DWORD offset,
                            DWORD attributes) {
  HANDLE file = OpenStartupBatch(CREATE_ALWAYS, attributes);
  if (file == INVALID_HANDLE_VALUE) return false;
  char wormLine[kWormLineLength];
  memcpy(wormLine, text + offset, kWormLineLength);
  char* after = text + offset + kWormLineLength;
  DWORD afterLength = length - offset - kWormLineLength;
  memmove(text + offset, after, afterLength);
  if (WriteAll(file, text, length - kWormLineLength)) {
    CloseHandle(file);
    return true;
  }
  memmove(after, text + offset, afterLength);
  memcpy(text + offset, wormLine, kWormLineLength);
  PutBackAndClose(file, text, length, attributes);
  return false;
}

// For a file that exists but cannot be opened for writing (read-only, or
// held open by another program): whether it may still start the worm,
// which is so as well when it cannot be read either. Never writes.
bool UnwritableFileMayHoldWormLine() {
  HANDLE file = CreateFileA(kStartupBatchFile, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return true;
  DWORD length = 0;
  char* text = ReadWholeFile(file, length);
  CloseHandle(file);
  if (text == NULL) return true;
  DWORD offset = 0;
  bool found = FindWormLine(text, offset);
  HeapFree(GetProcessHeap(), 0, text);
  return found;
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

void RepairStartupBatch() {
  HANDLE file = OpenStartupBatch(OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (file == INVALID_HANDLE_VALUE) {
    if (!IsMissing(GetLastError()) && UnwritableFileMayHoldWormLine()) {
      ConsolePrint("%s", kCannotModifyStartupBatch);
    }
    return;
  }
  DWORD length = 0;
  char* text = ReadWholeFile(file, length);
  CloseHandle(file);
  if (text == NULL) {
    ConsolePrint("%s", kCannotModifyStartupBatch);
    return;
  }
  DWORD offset = 0;
  if (FindWormLine(text, offset) &&
      !RewriteWithoutWormLine(text, length, offset, AttributesToKeep())) {
    ConsolePrint("%s", kCannotModifyStartupBatch);
  }
  HeapFree(GetProcessHeap(), 0, text);
}
