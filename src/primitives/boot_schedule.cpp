#include "primitives/boot_schedule.h"

#include <string.h>

namespace {

// Below HKEY_LOCAL_MACHINE: the NT line's move list, REG_MULTI_SZ pairs of
// source and target. The session manager carries out the first value, then
// the second.
const char kSessionManagerKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char* const kMoveListValues[] = {"PendingFileRenameOperations",
                                       "PendingFileRenameOperations2"};
// Each name of the move list follows this; whatever another program put
// before it is no part of the name, and a '!' there asks the rename to
// replace the target.
const char kNtNamePrefix[] = "\\??\\";
const char kScheduleFileName[] = "\\wininit.ini";
// A 32-bit program's system directory as the native boot-time processor
// names it on 64-bit Windows.
const char kWow64SystemFolder[] = "SysWOW64";

// A value of the move list, or the [rename] section, read whole. The 9x
// line's profile functions take at most 32,767 bytes.
const DWORD kScheduleBufferSize = 65536;
const DWORD kWin9xProfileBufferSize = 32767;
char g_scheduleBuffer[kScheduleBufferSize];

struct BootOperation {
  PathBuffer Source;
  PathBuffer Target;  // "" for a deletion
  // Whether a rename replaces a file in its place: always on the 9x line,
  // only when recorded so on the NT line.
  bool Replaces;
  // Both names were read whole, and neither holds a character that the code
  // page lacks: RegQueryValueExA writes such a one as '?', which a name never
  // holds, so such an entry is never taken for a match.
  bool Legible;
};

typedef void OperationVisitor(const BootOperation& operation, void* context);

// Converts `text` from code page `from` to code page `to` through Unicode,
// and back again to check that no character was replaced by the default one
// or fitted best.
bool ConvertCodePage(UINT from, UINT to, const char* text, PathBuffer& result) {
  WCHAR wide[MAX_PATH];
  WCHAR back[MAX_PATH];
  int wideLength = MultiByteToWideChar(from, 0, text, -1, wide, MAX_PATH);
  if (wideLength == 0 ||
      WideCharToMultiByte(to, 0, wide, -1, result, MAX_PATH, NULL, NULL) == 0) {
    return false;
  }
  return MultiByteToWideChar(to, 0, result, -1, back, MAX_PATH) == wideLength &&
         memcmp(wide, back, wideLength * sizeof(WCHAR)) == 0;
}

// The characters a DOS (8.3) name may not hold besides the blank and the
// control characters.
bool IsForbiddenInShortName(char c) {
  return c == '"' || c == '*' || c == '+' || c == ',' || c == '/' || c == ':' ||
         c == ';' || c == '<' || c == '=' || c == '>' || c == '?' || c == '[' ||
         c == ']' || c == '|';
}

// Whether `path` is a full path that the Windows 9x boot-time processor
// can act on: it runs before long file names exist, so it ignores an entry
// unless the drive letter, colon and root are followed by 8.3 names only.
// Lengths are in bytes, as the FAT directory entry counts them; the second
// byte of a double-byte character is never taken for a separator or a dot.
bool IsBootTimeReadable(const char* path) {
  char letter = static_cast<char>(path[0] | 0x20);
  if (letter < 'a' || letter > 'z' || path[1] != ':' || path[2] != '\\') {
    return false;
  }
  size_t baseLength = 0;
  size_t extensionLength = 0;
  bool inExtension = false;
  for (const char* at = path + 3;; ++at) {
    char c = *at;
    if (c == '\\' || c == '\0') {
      if (baseLength == 0 || (inExtension && extensionLength == 0)) {
        return false;
      }
      if (c == '\0') return true;
      baseLength = 0;
      extensionLength = 0;
      inExtension = false;
      continue;
    }
    size_t bytes = 1;
    if (c == '.') {
      if (inExtension) return false;
      inExtension = true;
      continue;
    }
    if (static_cast<unsigned char>(c) <= ' ' || IsForbiddenInShortName(c)) {
      return false;
    }
    if (IsDBCSLeadByte(static_cast<BYTE>(c)) && at[1] != '\0') {
      bytes = 2;
      ++at;
    }
    size_t& length = inExtension ? extensionLength : baseLength;
    length += bytes;
    if (length > (inExtension ? 3u : 8u)) return false;
  }
}

// BootTimeName in the ANSI code page: a file that exists is named by its
// short form; a file that does not exist yet (the target of a rename) gets
// the short form of its directory and keeps its own name.
bool AnsiShortName(const char* path, PathBuffer& name) {
  DWORD length = GetShortPathNameA(path, name, MAX_PATH);
  if (length > 0 && length < MAX_PATH && IsBootTimeReadable(name)) {
    return true;
  }
  size_t nameOffset = FileNameOffset(path);
  // The directory without its closing separator; a root ("C:\") is short
  // already.
  size_t directoryLength = nameOffset > 0 ? nameOffset - 1 : 0;
  PathBuffer directory;
  if (directoryLength > 0 && path[directoryLength - 1] != ':' &&
      directoryLength < MAX_PATH) {
    memcpy(directory, path, directoryLength);
    directory[directoryLength] = '\0';
    PathBuffer shortDirectory;
    length = GetShortPathNameA(directory, shortDirectory, MAX_PATH);
    if (length > 0 && length < MAX_PATH &&
        JoinPath(shortDirectory, path + nameOffset, name) &&
        IsBootTimeReadable(name)) {
      return true;
    }
  }
  return CopyText(path, name) && IsBootTimeReadable(name);
}

// `path` as the NT line's boot-time processor, a native program, names it: a
// 32-bit program's system directory on 64-bit Windows is SysWOW64 (the file
// system redirector), and an entry that names the native system directory
// names another file.
bool NativeName(const char* path, PathBuffer& name) {
  PathBuffer wow64;
  UINT length = GetSystemDirectoryA(wow64, MAX_PATH);
  if (!CopyText(path, name)) return false;
  size_t parent = FileNameOffset(wow64);
  if (length == 0 || length >= MAX_PATH || strlen(path) <= length ||
      path[length] != '\\' || parent + sizeof kWow64SystemFolder > MAX_PATH) {
    return true;
  }
  name[length] = '\0';
  if (!SameName(name, wow64)) return CopyText(path, name);
  memcpy(wow64 + parent, kWow64SystemFolder, sizeof kWow64SystemFolder);
  DWORD attributes = GetFileAttributesA(wow64);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return CopyText(path, name);
  }
  return JoinPath(wow64, path + length + 1, name);
}

// `path` as the schedule of `line` names it, in the ANSI code page.
bool ScheduleName(WindowsLine line, const char* path, PathBuffer& name) {
  return line == WindowsLine::Win9x ? AnsiShortName(path, name)
                                    : NativeName(path, name);
}

// The name in a move list entry; `replaces` tells whether a '!' came before
// it. False when it does not fit or holds a '?'.
bool MoveListName(const char* entry, PathBuffer& name, bool& replaces) {
  const char* start = strstr(entry, kNtNamePrefix);
  replaces = false;
  if (start == NULL) {
    start = entry;
  } else {
    for (const char* at = entry; at < start; ++at) replaces |= *at == '!';
    start += sizeof kNtNamePrefix - 1;
  }
  return strchr(start, '?') == NULL && CopyText(start, name);
}

// The string after the one at `at`, or `end`.
const char* NextString(const char* at, const char* end) {
  const void* stop = memchr(at, '\0', static_cast<size_t>(end - at));
  return stop == NULL ? end : static_cast<const char*>(stop) + 1;
}

// The `used` bytes of a move list value: strings in pairs, an empty target
// for a deletion, an empty string after the last pair.
void VisitMoveList(const char* data, DWORD used, OperationVisitor* visit,
                   void* context) {
  const char* end = data + used;
  for (const char* at = data; at < end;) {
    const char* source = at;
    at = NextString(at, end);
    if (at >= end) return;
    const char* target = at;
    at = NextString(at, end);
    if (*source == '\0') continue;
    BootOperation operation;
    operation.Target[0] = '\0';
    operation.Legible =
        MoveListName(source, operation.Source, operation.Replaces) &&
        (*target == '\0' ||
         MoveListName(target, operation.Target, operation.Replaces));
    visit(operation, context);
  }
}

bool ReadMoveList(OperationVisitor* visit, void* context) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  bool whole = true;
  for (const char* value : kMoveListValues) {
    DWORD type = REG_NONE;
    // Room for a NUL after the data, which need not end with one.
    DWORD used = kScheduleBufferSize - 1;
    LONG result =
        RegQueryValueExA(key, value, NULL, &type,
                         reinterpret_cast<BYTE*>(g_scheduleBuffer), &used);
    if (result == ERROR_FILE_NOT_FOUND) continue;
    if (result != ERROR_SUCCESS || type != REG_MULTI_SZ ||
        used >= kScheduleBufferSize) {
      whole = false;
      break;
    }
    g_scheduleBuffer[used] = '\0';
    VisitMoveList(g_scheduleBuffer, used, visit, context);
  }
  RegCloseKey(key);
  return whole;
}

const char* SkipBlanks(const char* at) {
  while (*at == ' ' || *at == '\t') ++at;
  return at;
}

// One name of a wininit.ini line (up to `end`, blanks around it dropped),
// from the OEM code page into the ANSI one.
bool WininitName(const char* start, const char* end, PathBuffer& name) {
  start = SkipBlanks(start);
  while (end > start && (end[-1] == ' ' || end[-1] == '\t')) --end;
  PathBuffer oem;
  size_t length = static_cast<size_t>(end - start);
  if (length >= MAX_PATH) return false;
  memcpy(oem, start, length);
  oem[length] = '\0';
  return ConvertCodePage(CP_OEMCP, CP_ACP, oem, name);
}

// The lines of a [rename] section as GetPrivateProfileSectionA gives them.
void VisitSection(const char* section, OperationVisitor* visit, void* context) {
  for (const char* line = section; *line != '\0'; line += strlen(line) + 1) {
    const char* equals = strchr(line, '=');
    if (equals == NULL) continue;
    BootOperation operation;
    PathBuffer target;
    operation.Target[0] = '\0';
    operation.Replaces = true;
    operation.Legible = WininitName(line, equals, target) &&
                        WininitName(equals + 1, equals + 1 + strlen(equals + 1),
                                    operation.Source);
    if (operation.Legible && !SameName(target, kDeletionKey)) {
      CopyText(target, operation.Target);
    }
    visit(operation, context);
  }
}

bool ReadWininit(OperationVisitor* visit, void* context) {
  PathBuffer scheduleFile;
  if (!ScheduleFilePath(scheduleFile)) return false;
  SetLastError(ERROR_SUCCESS);
  DWORD used = GetPrivateProfileSectionA(kScheduleSection, g_scheduleBuffer,
                                         kWin9xProfileBufferSize, scheduleFile);
  if (used == 0) {
    DWORD error = GetLastError();
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND ||
           error == ERROR_PATH_NOT_FOUND;
  }
  if (used >= kWin9xProfileBufferSize - 2) return false;
  VisitSection(g_scheduleBuffer, visit, context);
  return true;
}

// Visits each operation that waits in the schedule of `line`, in the order
// the system carries them out. False when it cannot be read whole.
bool ReadSchedule(WindowsLine line, OperationVisitor* visit, void* context) {
  if (line == WindowsLine::Nt) return ReadMoveList(visit, context);
  if (line == WindowsLine::Win9x) return ReadWininit(visit, context);
  return false;
}

struct FateFollowing {
  PathBuffer Path;
  PathBuffer Source;  // "" for none
  ScheduledFate Fate;
};

void FollowOperation(const BootOperation& operation, void* context) {
  FateFollowing& following = *static_cast<FateFollowing*>(context);
  ScheduledFate& fate = following.Fate;
  if (!operation.Legible) return;
  if (SameName(operation.Target, following.Path)) {
    fate.Named = true;
    if (!fate.Present || operation.Replaces) {
      fate.Present = true;
      fate.FromSource = SameName(operation.Source, following.Source);
    }
  } else if (SameName(operation.Source, following.Path)) {
    fate.Named = true;
    fate.Present = false;
    fate.FromSource = false;
  }
}

struct DeletionSearch {
  bool (*IsWatched)(const char*);
  bool Found;
};

void FindWatchedDeletion(const BootOperation& operation, void* context) {
  DeletionSearch& search = *static_cast<DeletionSearch*>(context);
  if (search.Found || !operation.Legible || operation.Target[0] != '\0') {
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE file = FindFirstFileA(operation.Source, &found);
  if (file == INVALID_HANDLE_VALUE) return;
  FindClose(file);
  search.Found = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                 search.IsWatched(found.cFileName);
}

}  // namespace

const char kScheduleSection[] = "rename";
const char kDeletionKey[] = "NUL";

bool ScheduleFilePath(PathBuffer& path) {
  UINT length = GetWindowsDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  if (length + sizeof(kScheduleFileName) > MAX_PATH) return false;
  memcpy(path + length, kScheduleFileName, sizeof(kScheduleFileName));
  return true;
}

ScheduledFate FollowSchedule(WindowsLine line, const char* path,
                             const char* source, bool presentNow,
                             const char* section) {
  FateFollowing following;
  following.Source[0] = '\0';
  following.Fate.Named = false;
  following.Fate.Present = presentNow;
  following.Fate.FromSource = false;
  ScheduledFate nothing = {false, false, false};
  if (!ScheduleName(line, path, following.Path) ||
      (source != NULL && !ScheduleName(line, source, following.Source))) {
    return nothing;
  }
  if (section != NULL) {
    VisitSection(section, FollowOperation, &following);
  } else if (!ReadSchedule(line, FollowOperation, &following)) {
    return nothing;
  }
  return following.Fate.Named ? following.Fate : nothing;
}

bool ScheduledDeletionWaits(WindowsLine line, bool (*isWatched)(const char*)) {
  DeletionSearch search = {isWatched, false};
  return ReadSchedule(line, FindWatchedDeletion, &search) && search.Found;
}

bool BootTimeName(const char* path, PathBuffer& name) {
  PathBuffer ansi;
  return AnsiShortName(path, ansi) &&
         ConvertCodePage(CP_ACP, CP_OEMCP, ansi, name);
}
