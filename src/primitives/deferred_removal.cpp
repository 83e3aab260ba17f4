#include "primitives/deferred_removal.h"

#include <string.h>

#include "platform/system_functions.h"
#include "primitives/boot_schedule.h"
#include "primitives/path_building.h"

namespace {

// Room for the whole [rename] section plus one new line: the profile
// functions of Windows 95, 98 and ME take buffers of at most this size.
const DWORD kSectionBufferSize = 32767;
char g_sectionBuffer[kSectionBufferSize];

// Failures that mean the file is in use or protected, so that the system can
// still remove it at its next start.
bool IsAccessError(DWORD error) {
  switch (error) {
    case 5:    // ERROR_ACCESS_DENIED
    case 16:   // ERROR_CURRENT_DIRECTORY
    case 65:   // ERROR_NETWORK_ACCESS_DENIED
    case 82:   // ERROR_CANNOT_MAKE
    case 83:   // ERROR_FAIL_I24
    case 108:  // ERROR_DRIVE_LOCKED
    case 132:  // ERROR_SEEK_ON_DEVICE
    case 158:  // ERROR_NOT_LOCKED
    case 167:  // ERROR_LOCK_FAILED
      return true;
    default:
      // ERROR_WRITE_PROTECT (19) to ERROR_SHARING_BUFFER_EXCEEDED (36), among
      // them the sharing and lock violations.
      return error >= 19 && error <= 36;
  }
}

// The target of a rename exists (its own deletion may be waiting for the
// restart).
bool IsExistsError(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Whether the line at `line` (up to `end`) is a [rename] section header:
// at the start of the line, blanks allowed before it and inside the
// brackets, letters of any case. A header whose closing bracket is missing
// counts too: the profile functions may read it as one.
bool IsScheduleHeader(const char* line, const char* end) {
  const char* at = line;
  while (at < end && IsBlank(*at)) ++at;
  if (at == end || *at != '[') return false;
  ++at;
  while (at < end && IsBlank(*at)) ++at;
  // The section name is all lower-case letters.
  for (const char* name = kScheduleSection; *name != '\0'; ++name, ++at) {
    if (at == end || (*at | 0x20) != *name) return false;
  }
  while (at < end && IsBlank(*at)) ++at;
  return at == end || *at == ']';
}

// Whether the `length` bytes of a profile file hold an entry line in a
// [rename] section: a line that is neither blank nor a comment, below such a
// header and before the next header. "[rename]" in a comment or inside a
// value is no header.
bool HoldsScheduleEntry(const char* text, DWORD length) {
  const char* end = text + length;
  bool inSchedule = false;
  for (const char* line = text; line < end;) {
    const char* lineEnd = line;
    while (lineEnd < end && *lineEnd != '\n') ++lineEnd;
    const char* first = line;
    while (first < lineEnd && IsBlank(*first)) ++first;
    if (first < lineEnd && *first == '[') {
      inSchedule = IsScheduleHeader(line, lineEnd);
    } else if (inSchedule && first < lineEnd && *first != ';') {
      return true;
    }
    line = lineEnd < end ? lineEnd + 1 : end;
  }
  return false;
}

enum ScheduleFileState {
  ScheduleFileMissing,
  ScheduleFileWithoutEntries,  // no [rename] section, or an empty one
  ScheduleFileMayHoldEntries,  // or could not be read whole
};

// Windows 9x can also fail to read a section without an error code, so an
// empty result is checked against the file itself, read whole without a
// profile call.
ScheduleFileState ReadScheduleFileState(const char* scheduleFile) {
  HANDLE file = CreateFileA(scheduleFile, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? ScheduleFileMissing
               : ScheduleFileMayHoldEntries;
  }
  DWORD read = 0;
  bool whole = ReadFile(file, g_sectionBuffer, kSectionBufferSize, &read,
                        NULL) != FALSE &&
               read < kSectionBufferSize;
  CloseHandle(file);
  return !whole || HoldsScheduleEntry(g_sectionBuffer, read)
             ? ScheduleFileMayHoldEntries
             : ScheduleFileWithoutEntries;
}

// Some file systems report a failure without an error code; whether the
// operation happened is then read off the disk rather than assumed.
bool PathExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// Whether the deletion of `from` (`to` NULL) or its rename to `to` already
// waits for the restart: recorded once more, a deletion could come after the
// rename that puts a file back in its place. `section` is the 9x line's
// [rename] section as read, or NULL to read the schedule of `line`.
bool AlreadyWaits(WindowsLine line, const char* section, const char* from,
                  const char* to) {
  const char* path = to == NULL ? from : to;
  const char* source = to == NULL ? NULL : from;
  bool present = to == NULL || PathExists(to);
  ScheduledFate fate = FollowSchedule(line, path, source, present, section);
  return to == NULL ? fate.Named && !fate.Present : fate.FromSource;
}

// Adds the line key=value at the end of the [rename] section of wininit.ini.
// Windows 9x carries out every line of that section, duplicates included,
// so a section with entries is rewritten whole with the new line appended
// rather than written with WritePrivateProfileStringA, which would replace
// an earlier entry with the same key. Nothing is written when the section
// cannot be read whole or the line does not fit: losing the entries already
// there would be worse; nor when the operation of `from` and `to` already
// waits there, which counts as written.
bool AppendScheduleEntry(const char* key, const char* value, const char* from,
                         const char* to) {
  PathBuffer scheduleFile;
  if (!ScheduleFilePath(scheduleFile)) return false;

  // An empty result is also what a failed read gives; only the error code
  // tells a missing file or section (none, or "not found") from a read that
  // failed, and rewriting the section after a failed read would drop the
  // entries of other programs.
  SetLastError(ERROR_SUCCESS);
  DWORD used = GetPrivateProfileSectionA(kScheduleSection, g_sectionBuffer,
                                         kSectionBufferSize, scheduleFile);
  if (used == 0) {
    DWORD error = GetLastError();
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND &&
        error != ERROR_PATH_NOT_FOUND) {
      return false;
    }
    // With no entry to replace, the string write adds the line, and it is
    // the one profile write that creates a file named by a full path
    // (WININIT renames the file away at every start, so it is usually
    // missing).
    if (ReadScheduleFileState(scheduleFile) == ScheduleFileMayHoldEntries) {
      return false;
    }
    return WritePrivateProfileStringA(kScheduleSection, key, value,
                                      scheduleFile) != FALSE;
  }
  // A section that fills the buffer comes back cut, with size - 2.
  if (used >= kSectionBufferSize - 2) return false;
  if (AlreadyWaits(WindowsLine::Win9x, g_sectionBuffer, from, to)) {
    return true;
  }

  size_t keyLength = strlen(key);
  size_t valueLength = strlen(value);
  // The line, its NUL and the NUL that ends the list.
  size_t needed = keyLength + 1 + valueLength + 2;
  if (needed > kSectionBufferSize - used) return false;
  char* line = g_sectionBuffer + used;
  memcpy(line, key, keyLength);
  line[keyLength] = '=';
  memcpy(line + keyLength + 1, value, valueLength);
  line[keyLength + 1 + valueLength] = '\0';
  line[keyLength + 1 + valueLength + 1] = '\0';
  return WritePrivateProfileSectionA(kScheduleSection, g_sectionBuffer,
                                     scheduleFile) != FALSE;
}

// Windows refuses to delete a read-only file (ERROR_ACCESS_DENIED), and the
// boot-time deletion may meet the same attribute; the worm's file loses it
// first, and keeps it lost while its deletion waits for the restart.
void ClearReadOnly(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return;
  }
  attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA(path,
                     attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes);
}

// Renames now or fails; `error` is the code of a failure that carries one,
// ERROR_SUCCESS otherwise.
RemovalResult MoveNow(const char* from, const char* to, DWORD& error) {
  if (MoveFileA(from, to)) return RemovalResult::Done;
  error = GetLastError();
  if (error != ERROR_SUCCESS) return RemovalResult::Failed;
  return !PathExists(from) && PathExists(to) ? RemovalResult::Done
                                             : RemovalResult::Failed;
}

}  // namespace

// The line is told by what the system is (RunningLine), not by the version it
// reports: a compatibility mode makes NT report the 9x line. The NT line
// keeps a boot-time move list, whose registration is all it reads; the 9x
// line's MoveFileExA is a stub, and its schedule is wininit.ini.
RemovalResult ScheduleAtBoot(const char* from, const char* to) {
  WindowsLine line = RunningLine();
  if (line != WindowsLine::Win9x) {
    if (AlreadyWaits(line, NULL, from, to)) return RemovalResult::Deferred;
    return MoveFileExA(from, to, MOVEFILE_DELAY_UNTIL_REBOOT)
               ? RemovalResult::Deferred
               : RemovalResult::Failed;
  }
  PathBuffer bootFrom;
  if (!BootTimeName(from, bootFrom)) return RemovalResult::Failed;
  bool written;
  if (to == NULL) {
    written = AppendScheduleEntry(kDeletionKey, bootFrom, from, to);
  } else {
    PathBuffer bootTo;
    written = BootTimeName(to, bootTo) &&
              AppendScheduleEntry(bootTo, bootFrom, from, to);
  }
  return written ? RemovalResult::Deferred : RemovalResult::Failed;
}

RemovalResult DeleteOrDefer(const char* path) {
  ClearReadOnly(path);
  if (DeleteFileA(path)) return RemovalResult::Done;
  DWORD error = GetLastError();
  if (error == ERROR_SUCCESS) {
    return PathExists(path) ? RemovalResult::Failed : RemovalResult::Done;
  }
  if (!IsAccessError(error)) return RemovalResult::Failed;
  return ScheduleAtBoot(path, NULL);
}

RemovalResult RenameNow(const char* from, const char* to) {
  DWORD error = ERROR_SUCCESS;
  return MoveNow(from, to, error);
}

RemovalResult RenameOrDefer(const char* from, const char* to) {
  DWORD error = ERROR_SUCCESS;
  RemovalResult now = MoveNow(from, to, error);
  if (now == RemovalResult::Done ||
      (!IsAccessError(error) && !IsExistsError(error))) {
    return now;
  }
  return ScheduleAtBoot(from, to);
}
