// The simulated file system, part two: files and the handles open on them,
// with their sharing modes, searches, deletion and renaming.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim_control.h"
#include "sim/sim_file_system.h"
#include "sim/sim_internal.h"

using namespace sim::files;

namespace {

uintptr_t NewHandle() {
  for (;;) {
    uintptr_t handle = g_files.nextHandle;
    g_files.nextHandle =
        handle >= kLastFileHandle ? kFirstFileHandle : handle + 4;
    if (g_files.files.count(handle) == 0 &&
        g_files.searches.count(handle) == 0) {
      return handle;
    }
  }
}

uintptr_t HandleValue(HANDLE handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

OpenFile* FindOpenFile(HANDLE handle) {
  std::map<uintptr_t, OpenFile>::iterator found =
      g_files.files.find(HandleValue(handle));
  return found == g_files.files.end() ? NULL : &found->second;
}

// What reading and writing begin with: an armed failure, the handle, the
// count pointer (cleared) and no overlapped I/O, then the right the handle
// needs. Returns the open file, or NULL with the last error set.
OpenFile* StartTransfer(const char* function, HANDLE file, LPDWORD count,
                        LPOVERLAPPED overlapped, DWORD right) {
  if (Fails(function)) return NULL;
  OpenFile* open = FindOpenFile(file);
  if (open == NULL) {
    FailWith(ERROR_INVALID_HANDLE);
    return NULL;
  }
  if (count == NULL || overlapped != NULL) {
    FailWith(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  *count = 0;
  if (!(open->access & right)) {
    FailWith(ERROR_ACCESS_DENIED);
    return NULL;
  }
  return open;
}

char UpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// '*' and '?' without backtracking blow-up: on a mismatch only the last star
// takes one more character.
bool WildcardMatch(const std::string& pattern, const std::string& name) {
  size_t p = 0;
  size_t n = 0;
  size_t star = std::string::npos;
  size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || UpperChar(pattern[p]) == UpperChar(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      starName = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// "*.*" and "name.*" also match names without a dot, as on Windows.
bool PatternMatches(const std::string& pattern, const std::string& name) {
  if (WildcardMatch(pattern, name)) return true;
  if (pattern.size() >= 2 &&
      pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos) {
    return WildcardMatch(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

void FillFindData(const Node& node, const std::string& name, bool withShortName,
                  LPWIN32_FIND_DATAA data) {
  memset(data, 0, sizeof(*data));
  data->dwFileAttributes =
      node.attributes | (node.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : 0);
  if (data->dwFileAttributes == 0) {
    data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  }
  data->nFileSizeLow = static_cast<DWORD>(node.contents.size());
  snprintf(data->cFileName, sizeof(data->cFileName), "%s", name.c_str());
  if (withShortName) {
    snprintf(data->cAlternateFileName, sizeof(data->cAlternateFileName), "%s",
             node.shortName.c_str());
  }
}

}  // namespace

namespace sim {
namespace files {

// Whether a new opening with `access` and `shareMode` can coexist with every
// handle already open on `node`, both ways.
bool SharingAllows(const Node* node, DWORD access, DWORD shareMode) {
  for (const auto& entry : g_files.files) {
    const OpenFile& open = entry.second;
    if (open.node.get() != node) continue;
    if ((access & GENERIC_READ) && !(open.shareMode & FILE_SHARE_READ)) {
      return false;
    }
    if ((access & GENERIC_WRITE) && !(open.shareMode & FILE_SHARE_WRITE)) {
      return false;
    }
    if ((open.access & GENERIC_READ) && !(shareMode & FILE_SHARE_READ)) {
      return false;
    }
    if ((open.access & GENERIC_WRITE) && !(shareMode & FILE_SHARE_WRITE)) {
      return false;
    }
  }
  return true;
}

// Deleting or renaming needs every open handle to share deletion.
bool DeletionShared(const Node* node) {
  for (const auto& entry : g_files.files) {
    if (entry.second.node.get() == node &&
        !(entry.second.shareMode & FILE_SHARE_DELETE)) {
      return false;
    }
  }
  return true;
}

bool HasOpenFileWithin(const Node* directory) {
  for (const auto& entry : g_files.files) {
    if (IsWithin(entry.second.node.get(), directory)) return true;
  }
  return false;
}

bool AccountMayChange(const Location& location) {
  if (!sim::internal::IsNt() ||
      sim::internal::CurrentAccount() != sim::Account::PowerUser ||
      location.directory == NULL) {
    return true;
  }
  for (const std::string& path :
       {sim::internal::WindowsDirectory(), sim::internal::SystemDirectory()}) {
    Location directory = Locate(path.c_str(), false, Caller::Control);
    if (directory.error == 0 && IsWithin(location.directory, directory.entry)) {
      return false;
    }
  }
  return true;
}

DWORD AccountError(LPCSTR existing, LPCSTR target) {
  Location from = Locate(existing);
  if (from.error != 0) return 0;
  return AccountMayChange(from) && AccountMayChange(Locate(target))
             ? 0
             : ERROR_ACCESS_DENIED;
}

DWORD RemoveFile(const Location& location, bool honourReadOnly) {
  if (location.error != 0) return location.error;
  Node* node = location.entry;
  if (node->isDirectory || location.directory == NULL) {
    return ERROR_ACCESS_DENIED;
  }
  if (honourReadOnly && (node->attributes & FILE_ATTRIBUTE_READONLY)) {
    return ERROR_ACCESS_DENIED;
  }
  if (!DeletionShared(node)) return ERROR_SHARING_VIOLATION;
  Detach(node);
  return 0;
}

DWORD Move(LPCSTR existing, LPCSTR target, bool replaceExisting) {
  Location from = Locate(existing);
  if (from.error != 0) return from.error;
  if (from.directory == NULL) return ERROR_ACCESS_DENIED;
  Location to = Locate(target);
  if (to.error != 0 && to.error != ERROR_FILE_NOT_FOUND) return to.error;
  if (to.directory == NULL) return ERROR_ACCESS_DENIED;
  Node* node = from.entry;
  if (!DeletionShared(node)) return ERROR_SHARING_VIOLATION;
  if (node->isDirectory) {
    if (from.parsed.drive != to.parsed.drive) return kErrorNotSameDevice;
    if (IsWithin(to.directory, node)) return ERROR_INVALID_PARAMETER;
    if (HasOpenFileWithin(node)) return ERROR_ACCESS_DENIED;
  }
  if (to.entry != NULL && to.entry != node) {
    if (!replaceExisting || to.entry->isDirectory || node->isDirectory) {
      return ERROR_ALREADY_EXISTS;
    }
    if (to.entry->attributes & FILE_ATTRIBUTE_READONLY) {
      return ERROR_ACCESS_DENIED;
    }
    if (!DeletionShared(to.entry)) return ERROR_SHARING_VIOLATION;
    Detach(to.entry);
  }
  std::shared_ptr<Node> moved = Detach(node);
  Attach(moved, to.directory, to.leaf);
  return 0;
}

}  // namespace files
}  // namespace sim

namespace sim {

void PutFile(const std::string& path, const std::string& contents) {
  ParsedPath parsed;
  if (ParsePath(path.c_str(), false, Caller::Control, &parsed) != 0 ||
      parsed.components.empty()) {
    SetupError("invalid file path", path);
  }
  std::string parent = std::string(1, parsed.drive) + ":";
  for (size_t i = 0; i + 1 < parsed.components.size(); ++i) {
    parent += "\\" + parsed.components[i];
  }
  Node* directory = MakeDirectories(parent);
  Node* node = FindChild(*directory, parsed.components.back());
  if (node == NULL) {
    node = AddChild(directory, parsed.components.back(), false);
  }
  if (node->isDirectory) SetupError("a directory is in the way", path);
  node->contents = contents;
}

bool FileExists(const std::string& path) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  return location.error == 0 && !location.entry->isDirectory;
}

std::string FileContents(const std::string& path) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  if (location.error != 0 || location.entry->isDirectory) return std::string();
  return location.entry->contents;
}

void ShortenNextWrite(DWORD bytes) {
  g_files.shortenNextWrite = true;
  g_files.nextWriteLimit = bytes;
}

void SetFileAttributes(const std::string& path, DWORD attributes) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  if (location.error != 0) SetupError("no such file", path);
  location.entry->attributes = attributes & kSettableAttributes;
}

void MakePrivate(const std::string& path) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  if (location.error != 0 || !location.entry->isDirectory) {
    SetupError("no such directory", path);
  }
  location.entry->isPrivate = true;
}

void SetReadOnly(const std::string& path, bool readOnly) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  if (location.error != 0) SetupError("no such file", path);
  if (readOnly) {
    location.entry->attributes |= FILE_ATTRIBUTE_READONLY;
  } else {
    location.entry->attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  }
}

void SetReportedFileSize(const std::string& path, uint64_t size) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  if (location.error != 0 || location.entry->isDirectory) {
    SetupError("no such file", path);
  }
  g_files.reportedSizes[Upper(FullPath(location.entry))] = size;
}

int OpenHandleCount() {
  return static_cast<int>(g_files.files.size() + g_files.searches.size() +
                          g_files.consoles.size()) +
         sim::internal::OpenTokenCount();
}

}  // namespace sim

BOOL WINAPI DeleteFileA(LPCSTR path) {
  if (Fails("DeleteFileA")) return FALSE;
  DWORD error = AccountError(path, path);
  if (error == 0) error = RemoveFile(Locate(path), true);
  return error == 0 ? TRUE : FailWith(error);
}

BOOL WINAPI MoveFileA(LPCSTR existing, LPCSTR target) {
  if (Fails("MoveFileA")) return FALSE;
  DWORD error = AccountError(existing, target);
  if (error == 0) error = Move(existing, target, false);
  return error == 0 ? TRUE : FailWith(error);
}

// As Windows does it: the source opened for reading, sharing reading and
// writing; the target created anew (or overwritten) for writing, sharing
// nothing; the target takes the source's attributes.
BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  if (Fails("CopyFileA")) return FALSE;
  Location from = Locate(existing);
  if (from.error != 0) return FailWith(from.error);
  if (from.entry->isDirectory || from.directory == NULL) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  if (!SharingAllows(from.entry, GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE)) {
    return FailWith(ERROR_SHARING_VIOLATION);
  }
  Location to = Locate(target);
  if (to.error != 0 && to.error != ERROR_FILE_NOT_FOUND) {
    return FailWith(to.error);
  }
  if (to.directory == NULL || !AccountMayChange(to)) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  Node* node = to.entry;
  if (node != NULL) {
    if (failIfExists) return FailWith(ERROR_FILE_EXISTS);
    if (node->isDirectory || (node->attributes & FILE_ATTRIBUTE_READONLY)) {
      return FailWith(ERROR_ACCESS_DENIED);
    }
    if (node == from.entry || !SharingAllows(node, GENERIC_WRITE, 0)) {
      return FailWith(ERROR_SHARING_VIOLATION);
    }
  } else {
    node = AddChild(to.directory, to.leaf, false);
  }
  node->contents = from.entry->contents;
  node->attributes = from.entry->attributes | FILE_ATTRIBUTE_ARCHIVE;
  return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR path, LPWIN32_FIND_DATAA data) {
  if (Fails("FindFirstFileA")) return INVALID_HANDLE_VALUE;
  if (data == NULL) {
    sim::internal::SetError(kErrorNoAccess);
    return INVALID_HANDLE_VALUE;
  }
  Location location = Locate(path, true);
  // A root is not an entry, and a trailing separator names none either.
  size_t length = path == NULL ? 0 : strlen(path);
  if (location.error == 0 &&
      (location.directory == NULL || IsSeparator(path[length - 1]))) {
    location.error = ERROR_FILE_NOT_FOUND;
    location.entry = NULL;
  }
  if (location.error != 0 && location.error != ERROR_FILE_NOT_FOUND) {
    sim::internal::SetError(location.error);
    return INVALID_HANDLE_VALUE;
  }
  const std::string& pattern = location.leaf;
  bool wildcards = pattern.find_first_of("*?") != std::string::npos;
  bool found = false;
  if (!wildcards) {
    if (location.entry != NULL) {
      FillFindData(*location.entry, location.entry->name, true, data);
      found = true;
    }
  } else {
    const Node& directory = *location.directory;
    if (directory.parent != NULL) {
      static const char* const kDotEntries[] = {".", ".."};
      for (const char* dots : kDotEntries) {
        if (!found && PatternMatches(pattern, dots)) {
          FillFindData(directory, dots, false, data);
          found = true;
        }
      }
    }
    for (const Node* child : SortedChildren(directory)) {
      if (found) break;
      if (PatternMatches(pattern, child->name) ||
          (!child->shortName.empty() &&
           PatternMatches(pattern, child->shortName))) {
        FillFindData(*child, child->name, true, data);
        found = true;
      }
    }
  }
  if (!found) {
    sim::internal::SetError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  uintptr_t handle = NewHandle();
  g_files.searches.insert(handle);
  return reinterpret_cast<HANDLE>(handle);
}

BOOL WINAPI FindClose(HANDLE find) {
  if (Fails("FindClose")) return FALSE;
  if (g_files.searches.erase(HandleValue(find)) == 0) {
    return FailWith(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
  (void)security;
  (void)templateFile;
  if (Fails("CreateFileA")) return INVALID_HANDLE_VALUE;
  if (path != NULL && SameName(path, "CONIN$")) {
    HANDLE console = sim::internal::OpenConsoleInput();
    if (console != INVALID_HANDLE_VALUE) {
      g_files.consoles.insert(HandleValue(console));
    }
    return console;
  }
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
      (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))) {
    sim::internal::SetError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Location location = Locate(path);
  if (location.error != 0 && location.error != ERROR_FILE_NOT_FOUND) {
    sim::internal::SetError(location.error);
    return INVALID_HANDLE_VALUE;
  }
  Node* node = location.entry;
  bool existed = node != NULL;
  // "name\" names a directory: never a file to open or to create.
  bool namesDirectory = IsSeparator(path[strlen(path) - 1]);
  if (namesDirectory && (existed ? !node->isDirectory
                                 : disposition != OPEN_EXISTING &&
                                       disposition != TRUNCATE_EXISTING)) {
    sim::internal::SetError(kErrorInvalidName);
    return INVALID_HANDLE_VALUE;
  }
  bool writes = (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS ||
                (!existed && disposition != OPEN_EXISTING);
  if (writes && !AccountMayChange(location)) {
    sim::internal::SetError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (existed) {
    if (node->isDirectory) {
      sim::internal::SetError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    if (disposition == CREATE_NEW) {
      sim::internal::SetError(ERROR_FILE_EXISTS);
      return INVALID_HANDLE_VALUE;
    }
    bool writes = (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS;
    if (writes && (node->attributes & FILE_ATTRIBUTE_READONLY)) {
      sim::internal::SetError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    // "If CREATE_ALWAYS and FILE_ATTRIBUTE_NORMAL are specified, CreateFile
    // fails ... if the file exists and has the FILE_ATTRIBUTE_HIDDEN or
    // FILE_ATTRIBUTE_SYSTEM attribute" (its reference page).
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (disposition == CREATE_ALWAYS &&
        (node->attributes & kept & ~flagsAndAttributes) != 0) {
      sim::internal::SetError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    if (!SharingAllows(node, access, shareMode)) {
      sim::internal::SetError(ERROR_SHARING_VIOLATION);
      return INVALID_HANDLE_VALUE;
    }
    if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) {
      node->contents.clear();
    }
  } else {
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
      sim::internal::SetError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    node = AddChild(location.directory, location.leaf, false);
    node->attributes |= flagsAndAttributes & kSettableAttributes;
  }
  if (disposition == CREATE_ALWAYS) {
    node->attributes =
        (flagsAndAttributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
  }
  uintptr_t handle = NewHandle();
  OpenFile open;
  open.node = Owning(node);
  open.access = access;
  open.shareMode = shareMode;
  open.position = 0;
  g_files.files[handle] = open;
  bool reportsExisting =
      existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  sim::internal::SetError(reportsExisting ? ERROR_ALREADY_EXISTS : 0);
  return reinterpret_cast<HANDLE>(handle);
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  if (Fails("GetFileSize")) return INVALID_FILE_SIZE;
  OpenFile* open = FindOpenFile(file);
  if (open == NULL) {
    sim::internal::SetError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  uint64_t size = open->node->contents.size();
  std::map<std::string, uint64_t>::const_iterator reported =
      g_files.reportedSizes.find(Upper(FullPath(open->node.get())));
  if (reported != g_files.reportedSizes.end()) size = reported->second;
  if (sizeHigh != NULL) *sizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh,
                            DWORD moveMethod) {
  if (Fails("SetFilePointer")) return INVALID_SET_FILE_POINTER;
  OpenFile* open = FindOpenFile(file);
  if (open == NULL) {
    sim::internal::SetError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t offset =
      distanceHigh == NULL
          ? static_cast<int64_t>(distance)
          : static_cast<int64_t>(
                (static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh))
                 << 32) |
                static_cast<uint32_t>(distance));
  int64_t base = 0;
  switch (moveMethod) {
    case FILE_BEGIN:
      break;
    case FILE_CURRENT:
      base = static_cast<int64_t>(open->position);
      break;
    case FILE_END:
      base = static_cast<int64_t>(open->node->contents.size());
      break;
    default:
      sim::internal::SetError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  if (offset > 0 && base > INT64_MAX - offset) {
    sim::internal::SetError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t position = base + offset;
  if (position < 0) {
    sim::internal::SetError(kErrorNegativeSeek);
    return INVALID_SET_FILE_POINTER;
  }
  open->position = static_cast<uint64_t>(position);
  if (distanceHigh != NULL) {
    *distanceHigh = static_cast<LONG>(open->position >> 32);
  }
  DWORD low = static_cast<DWORD>(open->position);
  // A position whose low part looks like the failure value is told apart by
  // a last error of 0.
  if (low == INVALID_SET_FILE_POINTER) sim::internal::SetError(0);
  return low;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead,
                     LPDWORD bytesRead, LPOVERLAPPED overlapped) {
  OpenFile* open =
      StartTransfer("ReadFile", file, bytesRead, overlapped, GENERIC_READ);
  if (open == NULL) return FALSE;
  if (buffer == NULL && bytesToRead > 0) return FailWith(kErrorNoAccess);
  const std::string& contents = open->node->contents;
  if (open->position >= contents.size()) return TRUE;
  size_t available = contents.size() - static_cast<size_t>(open->position);
  size_t count = std::min(available, static_cast<size_t>(bytesToRead));
  memcpy(buffer, contents.data() + open->position, count);
  open->position += count;
  *bytesRead = static_cast<DWORD>(count);
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite,
                      LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
  if (sim::internal::IsStandardOutput(file)) {
    return sim::internal::WriteStandardOutput(buffer, bytesToWrite,
                                              bytesWritten, overlapped);
  }
  OpenFile* open =
      StartTransfer("WriteFile", file, bytesWritten, overlapped, GENERIC_WRITE);
  if (open == NULL) return FALSE;
  if (bytesToWrite == 0) return TRUE;
  if (buffer == NULL) return FailWith(kErrorNoAccess);
  if (open->position + bytesToWrite > kLargestFile) {
    return FailWith(kErrorDiskFull);
  }
  if (g_files.shortenNextWrite) {
    g_files.shortenNextWrite = false;
    if (g_files.nextWriteLimit < bytesToWrite) {
      bytesToWrite = g_files.nextWriteLimit;
    }
  }
  std::string& contents = open->node->contents;
  size_t end = static_cast<size_t>(open->position) + bytesToWrite;
  if (contents.size() < end) contents.resize(end, '\0');
  memcpy(&contents[static_cast<size_t>(open->position)], buffer, bytesToWrite);
  open->position = end;
  *bytesWritten = bytesToWrite;
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  if (Fails("CloseHandle")) return FALSE;
  if (sim::internal::IsConsoleHandle(handle)) {
    sim::internal::CloseConsoleHandle(handle);
    g_files.consoles.erase(HandleValue(handle));
    return TRUE;
  }
  if (sim::internal::IsTokenHandle(handle)) {
    sim::internal::CloseTokenHandle(handle);
    return TRUE;
  }
  if (g_files.files.erase(HandleValue(handle)) == 0) {
    return FailWith(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}
