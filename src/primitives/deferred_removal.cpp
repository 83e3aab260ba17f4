#include "primitives/deferred_removal.h"

#include <string.h>

#include "primitives/path_building.h"

namespace {

const char kScheduleFileName[] = "\\wininit.ini";
const char kScheduleSection[] = "rename";
const char kDeletionKey[] = "NUL";

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

bool ScheduleFilePath(PathBuffer& path) {
  UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  if (length + sizeof(kScheduleFileName) > MAX_PATH) return false;
  memcpy(path + length, kScheduleFileName, sizeof(kScheduleFileName));
  return true;
}

// The form of `path` that the Windows 9x boot-time processor can see: it runs
// before long file names are available and ignores entries with long names.
// A file that exists is named by its short form; a file that does not exist
// yet (the target of a rename) gets the short form of its directory and keeps
// its own name; anything without a short form is written as it is.
bool BootTimeName(const char* path, PathBuffer& name) {
  DWORD length = GetShortPathNameA(path, name, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return true;

  size_t nameOffset = FileNameOffset(path);
  // The directory without its closing separator; a root ("C:\", "\") is
  // short already.
  size_t directoryLength = nameOffset > 0 ? nameOffset - 1 : 0;
  PathBuffer directory;
  if (directoryLength > 0 && path[directoryLength - 1] != ':' &&
      directoryLength < MAX_PATH) {
    memcpy(directory, path, directoryLength);
    directory[directoryLength] = '\0';
    PathBuffer shortDirectory;
    length = GetShortPathNameA(directory, shortDirectory, MAX_PATH);
    if (length > 0 && length < MAX_PATH &&
        JoinPath(shortDirectory, path + nameOffset, name)) {
      return true;
    }
  }
  return CopyText(path, name);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the `length` bytes of `text` hold a [rename] section header, in
// letters of any case, blanks inside the brackets allowed.
bool HoldsScheduleHeader(const char* text, DWORD length) {
  const DWORD nameLength = sizeof(kScheduleSection) - 1;
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] != '[') continue;
    DWORD at = i + 1;
    while (at < length && IsBlank(text[at])) ++at;
    DWORD matched = 0;
    // The section name is all lower-case letters.
    while (matched < nameLength && at < length &&
           (text[at] | 0x20) == kScheduleSection[matched]) {
      ++at;
      ++matched;
    }
    if (matched < nameLength) continue;
    while (at < length && IsBlank(text[at])) ++at;
    if (at < length && text[at] == ']') return true;
  }
  return false;
}

// Windows 9x can also fail to read a section without an error code, so an
// empty result from an existing file is checked against the file itself
// (read whole, without a profile call). True when the file is there and may
// hold a [rename] section: it holds the header, or it cannot be read whole.
bool ScheduleSectionMayBeUnread(const char* scheduleFile) {
  HANDLE file = CreateFileA(scheduleFile, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  }
  DWORD read = 0;
  bool whole = ReadFile(file, g_sectionBuffer, kSectionBufferSize, &read,
                        NULL) != FALSE &&
               read < kSectionBufferSize;
  CloseHandle(file);
  return !whole || HoldsScheduleHeader(g_sectionBuffer, read);
}

// Adds the line key=value at the end of the [rename] section of wininit.ini.
// Windows 9x carries out every line of that section, duplicates included,
// so the section is rewritten whole with the new line appended rather than
// written with WritePrivateProfileStringA, which would replace an earlier
// entry with the same key. Nothing is written when the section cannot be
// read whole or the line does not fit: losing the entries already there
// would be worse.
bool AppendScheduleEntry(const char* key, const char* value) {
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
    if (ScheduleSectionMayBeUnread(scheduleFile)) return false;
  }
  // A section that fills the buffer comes back cut, with size - 2.
  if (used >= kSectionBufferSize - 2) return false;

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

// Records the operation for the next system start on every line: on the NT
// line in the boot-time move list, and everywhere in wininit.ini (which the
// NT line ignores). Says whether it was recorded for the line that is
// running.
RemovalResult ScheduleAtBoot(DWORD platformId, const char* from,
                             const char* to) {
  bool recorded = false;
  if (platformId == VER_PLATFORM_WIN32_NT) {
    recorded = MoveFileExA(from, to, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  }

  PathBuffer bootFrom;
  bool written = BootTimeName(from, bootFrom);
  if (written) {
    if (to == NULL) {
      written = AppendScheduleEntry(kDeletionKey, bootFrom);
    } else {
      PathBuffer bootTo;
      written =
          BootTimeName(to, bootTo) && AppendScheduleEntry(bootTo, bootFrom);
    }
  }
  if (platformId != VER_PLATFORM_WIN32_NT) recorded = written;
  return recorded ? RemovalResult::Deferred : RemovalResult::Failed;
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

}  // namespace

bool QueryPlatformId(DWORD& platformId) {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) {
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) return false;
  }
  platformId = version.dwPlatformId;
  return true;
}

RemovalResult DeleteOrDefer(const char* path) {
  if (DeleteFileA(path)) return RemovalResult::Done;
  DWORD error = GetLastError();
  if (error == ERROR_SUCCESS) {
    return PathExists(path) ? RemovalResult::Failed : RemovalResult::Done;
  }
  if (!IsAccessError(error)) return RemovalResult::Failed;
  DWORD platformId = 0;
  if (!QueryPlatformId(platformId)) return RemovalResult::NoVersion;
  return ScheduleAtBoot(platformId, path, NULL);
}

RemovalResult RenameOrDefer(const char* from, const char* to) {
  if (MoveFileA(from, to)) return RemovalResult::Done;
  DWORD error = GetLastError();
  if (error == ERROR_SUCCESS) {
    return !PathExists(from) && PathExists(to) ? RemovalResult::Done
                                               : RemovalResult::Failed;
  }
  if (!IsAccessError(error) && !IsExistsError(error)) {
    return RemovalResult::Failed;
  }
  DWORD platformId = 0;
  if (!QueryPlatformId(platformId)) return RemovalResult::NoVersion;
  return ScheduleAtBoot(platformId, from, to);
}
