// Test helper: stands in for a running worm that keeps its files open.
//
//   hold_open.exe MARKER [FILE...]
//
// Opens every FILE (or folder) without sharing, so that deleting or renaming
// it fails as it does while a worm runs, then writes "ready" to MARKER and
// waits until it is killed or its standard input is closed. When a file
// cannot be opened, MARKER says which and why, and the helper exits with 1.
#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

const int kMaxHeld = 64;

// Written under another name and renamed, so that a reader never sees half a
// report.
bool WriteMarker(const char* markerPath, const char* text) {
  char partPath[MAX_PATH];
  int length = snprintf(partPath, sizeof partPath, "%s.part", markerPath);
  if (length < 0 || length >= (int)sizeof partPath) return false;
  HANDLE file = CreateFileA(partPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  DWORD size = (DWORD)strlen(text);
  bool complete =
      WriteFile(file, text, size, &written, NULL) && written == size;
  CloseHandle(file);
  return complete &&
         MoveFileExA(partPath, markerPath, MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc - 2 > kMaxHeld) {
    fprintf(stderr, "usage: hold_open MARKER [FILE...] (at most %d files)\n",
            kMaxHeld);
    return 2;
  }
  const char* markerPath = argv[1];

  HANDLE held[kMaxHeld];
  int heldCount = 0;
  for (int i = 2; i < argc; ++i) {
    // Backup semantics let a folder be opened, and so held, as well.
    HANDLE file = CreateFileA(argv[i], GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) {
      unsigned long error = GetLastError();
      char report[MAX_PATH + 64];
      int length = snprintf(report, sizeof report,
                            "cannot open %s: error %lu\n", argv[i], error);
      if (length < 0 || length >= (int)sizeof report) {
        snprintf(report, sizeof report, "cannot open file %d: error %lu\n",
                 i - 1, error);
      }
      WriteMarker(markerPath, report);
      for (int k = 0; k < heldCount; ++k) CloseHandle(held[k]);
      return 1;
    }
    held[heldCount++] = file;
  }

  if (!WriteMarker(markerPath, "ready")) {
    fprintf(stderr, "hold_open: cannot write %s\n", markerPath);
    for (int k = 0; k < heldCount; ++k) CloseHandle(held[k]);
    return 1;
  }

  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  char buffer[256];
  DWORD bytesRead = 0;
  while (ReadFile(input, buffer, sizeof buffer, &bytesRead, NULL) &&
         bytesRead > 0) {
  }

  for (int k = 0; k < heldCount; ++k) CloseHandle(held[k]);
  return 0;
}
