// The simulated file system: drives, directories and files with their short
// names, open file and search handles with their sharing modes, and the
// boot-time schedule that a restart carries out.
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

#include "platform/sim/sim_control.h"
#include "platform/sim/sim_internal.h"

namespace {

const DWORD kErrorNegativeSeek = 131;
const DWORD kErrorNotSameDevice = 17;
const DWORD kErrorInvalidName = 123;
const DWORD kErrorFilenameTooLong = 206;
const DWORD kErrorDirectory = 267;
const DWORD kErrorDiskFull = 112;
const DWORD kErrorNoAccess = 998;

// Files stay in memory; a write or seek beyond this is a full disk rather
// than an attempt to allocate gigabytes.
const uint64_t kLargestFile = 64u * 1024u * 1024u;

// The attributes a file or directory can carry besides FILE_ATTRIBUTE_DIRECTORY.
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY |
                                  FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// File and search handles live between 0x40000 and the console's 0x70000.
const uintptr_t kFirstFileHandle = 0x40000;
const uintptr_t kLastFileHandle = 0x6FFFC;

struct Node {
  std::string name;
  std::string shortName;  // empty when the name itself is a valid 8.3 name
  bool isDirectory = false;
  DWORD attributes = 0;
  std::string contents;
  std::vector<std::shared_ptr<Node>> children;
  Node* parent = NULL;
};

struct OpenFile {
  std::shared_ptr<Node> node;
  DWORD access;
  DWORD shareMode;
  uint64_t position;
};

struct BootMove {
  std::string source;
  std::string target;  // empty: deletion
  DWORD flags;
};

struct FileState {
  std::map<char, std::shared_ptr<Node>> drives;
  std::map<uintptr_t, OpenFile> files;
  std::set<uintptr_t> searches;
  std::set<uintptr_t> consoles;
  uintptr_t nextHandle = kFirstFileHandle;
  std::vector<BootMove> bootMoves;
  // Set by ShortenNextWrite: the next write stops after this many bytes.
  bool shortenNextWrite = false;
  DWORD nextWriteLimit = 0;
};

FileState g_files;

bool Fails(const char* function) {
  DWORD error = 0;
  if (!sim::internal::InjectedFailure(function, &error)) return false;
  sim::internal::SetError(error);
  return true;
}

BOOL FailWith(DWORD error) {
  sim::internal::SetError(error);
  return FALSE;
}

std::string Upper(const std::string& text) {
  return sim::internal::UpperAscii(text);
}

bool SameName(const std::string& a, const std::string& b) {
  return Upper(a) == Upper(b);
}

// ---- Names ----

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsInvalidNameChar(char c) {
  return static_cast<unsigned char>(c) < 32 || strchr("<>:\"|?*", c) != NULL;
}

bool IsWildcard(char c) { return c == '*' || c == '?'; }

// Characters that a short name may hold besides letters and digits.
bool IsShortNameChar(char c) {
  if (static_cast<unsigned char>(c) >= 128) return true;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
      (c >= '0' && c <= '9')) {
    return true;
  }
  return strchr("$%'-_@~`!(){}^#&", c) != NULL;
}

bool IsValidShortName(const std::string& name) {
  if (name == "." || name == "..") return true;
  size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string extension =
      dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  if (dot != std::string::npos && extension.empty()) return false;
  for (char c : base + extension) {
    if (!IsShortNameChar(c)) return false;
  }
  return true;
}

bool NameTaken(const Node& directory, const std::string& name,
               const Node* except) {
  for (const std::shared_ptr<Node>& child : directory.children) {
    if (child.get() == except) continue;
    if (SameName(child->name, name) ||
        (!child->shortName.empty() && SameName(child->shortName, name))) {
      return true;
    }
  }
  return false;
}

std::string ShortNamePart(const std::string& text, size_t limit) {
  std::string part;
  for (char c : Upper(text)) {
    if (part.size() == limit) break;
    if (c == ' ' || c == '.') continue;
    part += strchr("+,;=[]", c) != NULL ? '_' : c;
  }
  return part;
}

// Windows' numbered tail: the first six usable characters of the base, "~n",
// and the first three of the last extension, unique in the directory.
std::string MakeShortName(const Node& directory, const std::string& longName,
                          const Node* self) {
  size_t dot = longName.rfind('.');
  if (dot == 0) dot = std::string::npos;
  std::string base = ShortNamePart(longName.substr(0, dot), 8);
  std::string extension =
      dot == std::string::npos ? std::string()
                               : ShortNamePart(longName.substr(dot + 1), 3);
  if (base.empty()) base = "_";
  for (int number = 1;; ++number) {
    std::string tail = "~" + std::to_string(number);
    std::string candidate = base.substr(0, 8 - tail.size()) + tail;
    if (!extension.empty()) candidate += "." + extension;
    if (!NameTaken(directory, candidate, self)) return candidate;
  }
}

void Name(Node* node, Node& directory, const std::string& longName) {
  node->name = longName;
  node->shortName = IsValidShortName(longName)
                        ? std::string()
                        : MakeShortName(directory, longName, node);
}

std::string ShortOrLong(const Node& node) {
  return node.shortName.empty() ? node.name : node.shortName;
}

// ---- Paths ----

struct ParsedPath {
  char drive = 0;
  std::vector<std::string> components;
};

// A full path ("C:\dir\file", either separator), a path on the current drive
// ("\dir\file") or one relative to the current directory, which is the root
// of C:. Returns 0 or the error that Windows reports for the text itself.
// The API's ANSI calls take at most MAX_PATH - 1 characters; the control
// functions may set up deeper paths.
enum class Caller { Api, Control };

DWORD ParsePath(LPCSTR text, bool wildcardsInLast, Caller caller,
                ParsedPath* parsed) {
  if (text == NULL || text[0] == '\0') return ERROR_PATH_NOT_FOUND;
  if (caller == Caller::Api && strlen(text) >= MAX_PATH) {
    return kErrorFilenameTooLong;
  }
  std::string path = text;
  size_t start = 0;
  parsed->drive = 'C';
  if (path.size() >= 2 && path[1] == ':') {
    char letter = Upper(path.substr(0, 1))[0];
    if (letter < 'A' || letter > 'Z') return kErrorInvalidName;
    parsed->drive = letter;
    start = 2;
  } else if (path.size() >= 2 && IsSeparator(path[0]) &&
             IsSeparator(path[1])) {
    return ERROR_PATH_NOT_FOUND;  // network paths: no network here
  }
  parsed->components.clear();
  std::vector<std::string> raw;
  std::string current;
  for (size_t i = start; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (!current.empty()) raw.push_back(current);
      current.clear();
    } else {
      current += path[i];
    }
  }
  for (size_t i = 0; i < raw.size(); ++i) {
    const std::string& component = raw[i];
    if (component == ".") continue;
    if (component == "..") {
      if (!parsed->components.empty()) parsed->components.pop_back();
      continue;
    }
    bool last = i + 1 == raw.size();
    for (char c : component) {
      if (last && wildcardsInLast && IsWildcard(c)) continue;
      if (IsInvalidNameChar(c)) return kErrorInvalidName;
    }
    parsed->components.push_back(component);
  }
  return 0;
}

Node* FindChild(const Node& directory, const std::string& name) {
  for (const std::shared_ptr<Node>& child : directory.children) {
    if (SameName(child->name, name)) return child.get();
  }
  for (const std::shared_ptr<Node>& child : directory.children) {
    if (!child->shortName.empty() && SameName(child->shortName, name)) {
      return child.get();
    }
  }
  return NULL;
}

std::shared_ptr<Node> Owning(Node* node) {
  if (node->parent == NULL) {
    for (const auto& drive : g_files.drives) {
      if (drive.second.get() == node) return drive.second;
    }
    return std::shared_ptr<Node>();
  }
  for (const std::shared_ptr<Node>& child : node->parent->children) {
    if (child.get() == node) return child;
  }
  return std::shared_ptr<Node>();
}

// Where a path leads: its directory (NULL when that is missing, with error
// ERROR_PATH_NOT_FOUND) and the entry itself (NULL when missing; error
// ERROR_FILE_NOT_FOUND). A path that names a root has the root as its entry
// and no directory.
struct Location {
  DWORD error = 0;
  Node* directory = NULL;
  Node* entry = NULL;
  std::string leaf;
  ParsedPath parsed;
};

Location Locate(LPCSTR path, bool wildcardsInLast = false,
                Caller caller = Caller::Api) {
  Location location;
  location.error = ParsePath(path, wildcardsInLast, caller, &location.parsed);
  if (location.error != 0) return location;
  std::map<char, std::shared_ptr<Node>>::iterator drive =
      g_files.drives.find(location.parsed.drive);
  if (drive == g_files.drives.end()) {
    location.error = ERROR_PATH_NOT_FOUND;
    return location;
  }
  Node* directory = drive->second.get();
  const std::vector<std::string>& components = location.parsed.components;
  if (components.empty()) {
    location.entry = directory;
    return location;
  }
  for (size_t i = 0; i + 1 < components.size(); ++i) {
    Node* next = FindChild(*directory, components[i]);
    if (next == NULL || !next->isDirectory) {
      location.error = ERROR_PATH_NOT_FOUND;
      return location;
    }
    directory = next;
  }
  location.directory = directory;
  location.leaf = components.back();
  location.entry = FindChild(*directory, location.leaf);
  if (location.entry == NULL) location.error = ERROR_FILE_NOT_FOUND;
  return location;
}

bool IsWithin(const Node* node, const Node* ancestor) {
  for (const Node* at = node; at != NULL; at = at->parent) {
    if (at == ancestor) return true;
  }
  return false;
}

Node* AddChild(Node* directory, const std::string& name, bool isDirectory) {
  std::shared_ptr<Node> child = std::make_shared<Node>();
  child->isDirectory = isDirectory;
  child->attributes = isDirectory ? 0 : FILE_ATTRIBUTE_ARCHIVE;
  child->parent = directory;
  Name(child.get(), *directory, name);
  directory->children.push_back(child);
  return child.get();
}

std::shared_ptr<Node> Detach(Node* node) {
  Node* parent = node->parent;
  std::vector<std::shared_ptr<Node>>& siblings = parent->children;
  for (size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i].get() == node) {
      std::shared_ptr<Node> kept = siblings[i];
      siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(i));
      kept->parent = NULL;
      return kept;
    }
  }
  return std::shared_ptr<Node>();
}

void Attach(const std::shared_ptr<Node>& node, Node* directory,
            const std::string& name) {
  node->parent = directory;
  Name(node.get(), *directory, name);
  directory->children.push_back(node);
}

// ---- Handles ----

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

// ---- Operations shared by the API and the restart ----

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

// ---- Profile files ----

// A path without a directory names a file in the Windows directory.
std::string ProfilePath(LPCSTR fileName) {
  std::string name = fileName;
  if (name.find_first_of("\\/:") != std::string::npos) return name;
  std::string directory = sim::internal::WindowsDirectory();
  if (!directory.empty() && !IsSeparator(directory.back())) directory += '\\';
  return directory + name;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

bool IsSectionHeader(const std::string& line, std::string* name) {
  std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] != '[') return false;
  size_t close = trimmed.find(']');
  *name = Trim(trimmed.substr(1, close == std::string::npos
                                     ? std::string::npos
                                     : close - 1));
  return true;
}

bool IsComment(const std::string& line) {
  std::string trimmed = Trim(line);
  return !trimmed.empty() && trimmed[0] == ';';
}

std::string LineKey(const std::string& line) {
  size_t equals = line.find('=');
  return Trim(equals == std::string::npos ? line : line.substr(0, equals));
}

// The lines [begin, end) that follow the header of the first section called
// `section`; false when the section is missing.
bool FindSection(const std::vector<std::string>& lines,
                 const std::string& section, size_t* header, size_t* end) {
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!IsSectionHeader(lines[i], &name) || !SameName(name, section)) {
      continue;
    }
    *header = i;
    size_t j = i + 1;
    while (j < lines.size() && !IsSectionHeader(lines[j], &name)) ++j;
    *end = j;
    return true;
  }
  return false;
}

// Where new lines go at the end of a section: after its last line that is not
// blank, so the blank line before the next section stays there.
size_t SectionInsertPoint(const std::vector<std::string>& lines,
                          size_t header, size_t end) {
  size_t point = end;
  while (point > header + 1 && Trim(lines[point - 1]).empty()) --point;
  return point;
}

// The profile file's lines, or the error that prevents reading it; a missing
// file (in an existing directory) reads as empty when `mayCreate`.
DWORD ReadProfile(const std::string& path, bool mayCreate,
                  std::vector<std::string>* lines) {
  Location location = Locate(path.c_str());
  if (location.error == ERROR_FILE_NOT_FOUND && mayCreate) return 0;
  if (location.error != 0) return location.error;
  if (location.entry->isDirectory) return ERROR_ACCESS_DENIED;
  if (!SharingAllows(location.entry, GENERIC_READ, FILE_SHARE_READ)) {
    return ERROR_SHARING_VIOLATION;
  }
  *lines = SplitLines(location.entry->contents);
  return 0;
}

DWORD WriteProfile(const std::string& path,
                   const std::vector<std::string>& lines) {
  Location location = Locate(path.c_str());
  if (location.error != 0 && location.error != ERROR_FILE_NOT_FOUND) {
    return location.error;
  }
  Node* node = location.entry;
  if (node == NULL) node = AddChild(location.directory, location.leaf, false);
  if (node->isDirectory || (node->attributes & FILE_ATTRIBUTE_READONLY)) {
    return ERROR_ACCESS_DENIED;
  }
  if (!SharingAllows(node, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ)) {
    return ERROR_SHARING_VIOLATION;
  }
  node->contents = JoinLines(lines);
  return 0;
}

// ---- Restart ----

// The real-mode processor of wininit.ini knows only drive-letter paths made
// of 8.3 names.
bool IsShortFullPath(const std::string& path) {
  if (path.size() < 3 || path[1] != ':' || !IsSeparator(path[2])) {
    return false;
  }
  ParsedPath parsed;
  if (ParsePath(path.c_str(), false, Caller::Api, &parsed) != 0) return false;
  for (const std::string& component : parsed.components) {
    if (!IsValidShortName(component)) return false;
  }
  return true;
}

void CarryOutMoveList() {
  for (const BootMove& move : g_files.bootMoves) {
    if (move.target.empty()) {
      RemoveFile(Locate(move.source.c_str()), false);
    } else {
      Move(move.source.c_str(), move.target.c_str(),
           (move.flags & MOVEFILE_REPLACE_EXISTING) != 0);
    }
  }
}

void CarryOutWininit() {
  std::string directory = sim::internal::WindowsDirectory();
  std::string ini = directory + "\\wininit.ini";
  Location location = Locate(ini.c_str());
  if (location.error != 0 || location.entry->isDirectory) return;
  std::vector<std::string> lines = SplitLines(location.entry->contents);
  size_t header = 0;
  size_t end = 0;
  if (FindSection(lines, "rename", &header, &end)) {
    for (size_t i = header + 1; i < end; ++i) {
      size_t equals = lines[i].find('=');
      if (equals == std::string::npos || IsComment(lines[i])) continue;
      std::string target = Trim(lines[i].substr(0, equals));
      std::string source = Trim(lines[i].substr(equals + 1));
      if (!IsShortFullPath(source)) continue;
      if (SameName(target, "NUL")) {
        RemoveFile(Locate(source.c_str()), false);
      } else if (IsShortFullPath(target)) {
        Location to = Locate(target.c_str());
        if (to.entry != NULL && !to.entry->isDirectory) {
          Location from = Locate(source.c_str());
          if (from.entry != NULL && from.entry != to.entry) {
            RemoveFile(to, false);
          }
        }
        Move(source.c_str(), target.c_str(), false);
      }
    }
  }
  std::string backup = directory + "\\wininit.bak";
  Move(ini.c_str(), backup.c_str(), true);
}

// ---- Control helpers ----

[[noreturn]] void SetupError(const char* what, const std::string& path) {
  fprintf(stderr, "simulated file system: %s: %s\n", what, path.c_str());
  abort();
}

Node* MakeDirectories(const std::string& path) {
  ParsedPath parsed;
  if (ParsePath(path.c_str(), false, Caller::Control, &parsed) != 0) {
    SetupError("invalid path", path);
  }
  std::map<char, std::shared_ptr<Node>>::iterator drive =
      g_files.drives.find(parsed.drive);
  if (drive == g_files.drives.end()) SetupError("no such drive", path);
  Node* directory = drive->second.get();
  for (const std::string& component : parsed.components) {
    Node* next = FindChild(*directory, component);
    if (next == NULL) next = AddChild(directory, component, true);
    if (!next->isDirectory) SetupError("a file is in the way", path);
    directory = next;
  }
  return directory;
}

std::string FullPath(const Node* node) {
  if (node->parent == NULL) return node->name;
  std::string parent = FullPath(node->parent);
  if (!IsSeparator(parent.back())) parent += '\\';
  return parent + node->name;
}

std::vector<const Node*> SortedChildren(const Node& directory) {
  std::vector<const Node*> sorted;
  for (const std::shared_ptr<Node>& child : directory.children) {
    sorted.push_back(child.get());
  }
  std::sort(sorted.begin(), sorted.end(), [](const Node* a, const Node* b) {
    return Upper(a->name) < Upper(b->name);
  });
  return sorted;
}

void DumpNode(const Node& node, std::string* dump) {
  std::string line = FullPath(&node);
  if (node.isDirectory) {
    if (!IsSeparator(line.back())) line += '\\';
  } else {
    line += " " + std::to_string(node.contents.size());
  }
  if (!node.shortName.empty()) line += " (" + node.shortName + ")";
  if (node.attributes & FILE_ATTRIBUTE_READONLY) line += " R";
  if (node.attributes & FILE_ATTRIBUTE_HIDDEN) line += " H";
  if (node.attributes & FILE_ATTRIBUTE_SYSTEM) line += " S";
  *dump += line + "\n";
  for (const Node* child : SortedChildren(node)) DumpNode(*child, dump);
}

// ---- Search ----

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

void FillFindData(const Node& node, const std::string& name,
                  bool withShortName, LPWIN32_FIND_DATAA data) {
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
namespace internal {

void ResetFiles() { g_files = FileState(); }

}  // namespace internal

void AddDrive(char letter) {
  char upper = Upper(std::string(1, letter))[0];
  if (g_files.drives.count(upper) != 0) return;
  std::shared_ptr<Node> root = std::make_shared<Node>();
  root->name = std::string(1, upper) + ":\\";
  root->isDirectory = true;
  g_files.drives[upper] = root;
}

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

void MakeDirectory(const std::string& path) { MakeDirectories(path); }

bool FileExists(const std::string& path) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  return location.error == 0 && !location.entry->isDirectory;
}

bool DirectoryExists(const std::string& path) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  return location.error == 0 && location.entry->isDirectory;
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

void SetReadOnly(const std::string& path, bool readOnly) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  if (location.error != 0) SetupError("no such file", path);
  if (readOnly) {
    location.entry->attributes |= FILE_ATTRIBUTE_READONLY;
  } else {
    location.entry->attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  }
}

std::string FileSystemDump() {
  std::string dump;
  for (const auto& drive : g_files.drives) DumpNode(*drive.second, &dump);
  return dump;
}

int OpenHandleCount() {
  return static_cast<int>(g_files.files.size() + g_files.searches.size() +
                          g_files.consoles.size());
}

std::vector<std::pair<std::string, std::string>> BootTimeMoves() {
  std::vector<std::pair<std::string, std::string>> moves;
  for (const BootMove& move : g_files.bootMoves) {
    moves.push_back(std::make_pair(move.source, move.target));
  }
  return moves;
}

void Restart() {
  g_files.files.clear();
  g_files.searches.clear();
  g_files.consoles.clear();
  internal::CloseAllConsoleHandles();
  if (internal::IsNt()) {
    CarryOutMoveList();
  } else {
    CarryOutWininit();
  }
  g_files.bootMoves.clear();
}

}  // namespace sim

BOOL WINAPI DeleteFileA(LPCSTR path) {
  if (Fails("DeleteFileA")) return FALSE;
  DWORD error = RemoveFile(Locate(path), true);
  return error == 0 ? TRUE : FailWith(error);
}

BOOL WINAPI MoveFileA(LPCSTR existing, LPCSTR target) {
  if (Fails("MoveFileA")) return FALSE;
  DWORD error = Move(existing, target, false);
  return error == 0 ? TRUE : FailWith(error);
}

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags) {
  if (Fails("MoveFileExA")) return FALSE;
  // Windows 9x exports the name but does not implement it.
  if (!sim::internal::IsNt()) return FailWith(ERROR_CALL_NOT_IMPLEMENTED);
  if (existing == NULL) return FailWith(ERROR_INVALID_PARAMETER);
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
    if (!sim::internal::IsAdministrator()) {
      return FailWith(ERROR_ACCESS_DENIED);
    }
    BootMove move;
    move.source = existing;
    move.target = target == NULL ? std::string() : std::string(target);
    move.flags = flags;
    g_files.bootMoves.push_back(move);
    return TRUE;
  }
  DWORD error =
      target == NULL
          ? RemoveFile(Locate(existing), true)
          : Move(existing, target, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
  return error == 0 ? TRUE : FailWith(error);
}

BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  (void)security;
  if (Fails("CreateDirectoryA")) return FALSE;
  Location location = Locate(path);
  if (location.error == 0) return FailWith(ERROR_ALREADY_EXISTS);
  if (location.error != ERROR_FILE_NOT_FOUND) return FailWith(location.error);
  AddChild(location.directory, location.leaf, true);
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR path) {
  if (Fails("RemoveDirectoryA")) return FALSE;
  Location location = Locate(path);
  if (location.error != 0) return FailWith(location.error);
  Node* node = location.entry;
  if (!node->isDirectory) return FailWith(kErrorDirectory);
  if (location.directory == NULL ||
      (node->attributes & FILE_ATTRIBUTE_READONLY)) {
    return FailWith(ERROR_ACCESS_DENIED);
  }
  if (!node->children.empty()) return FailWith(ERROR_DIR_NOT_EMPTY);
  Detach(node);
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
  if (Fails("GetFileAttributesA")) return INVALID_FILE_ATTRIBUTES;
  Location location = Locate(path);
  if (location.error != 0) {
    sim::internal::SetError(location.error);
    return INVALID_FILE_ATTRIBUTES;
  }
  const Node* node = location.entry;
  DWORD attributes =
      node->attributes | (node->isDirectory ? FILE_ATTRIBUTE_DIRECTORY : 0);
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
  if (Fails("SetFileAttributesA")) return FALSE;
  Location location = Locate(path);
  if (location.error != 0) return FailWith(location.error);
  location.entry->attributes = attributes & kSettableAttributes;
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

DWORD WINAPI GetShortPathNameA(LPCSTR longPath, LPSTR shortPath,
                               DWORD bufferSize) {
  if (Fails("GetShortPathNameA")) return 0;
  Location location = Locate(longPath);
  if (location.error != 0) {
    sim::internal::SetError(location.error);
    return 0;
  }
  // The drive part as given, then each component: kept when it already is a
  // valid 8.3 name, else the entry's short name.
  std::string text = longPath;
  std::string result;
  if (text.size() >= 2 && text[1] == ':') result = text.substr(0, 2);
  if (text.size() > result.size() && IsSeparator(text[result.size()])) {
    result += '\\';
  }
  ParsedPath& parsed = location.parsed;
  Node* directory = g_files.drives[parsed.drive].get();
  for (size_t i = 0; i < parsed.components.size(); ++i) {
    Node* node = FindChild(*directory, parsed.components[i]);
    if (i > 0) result += '\\';
    result += IsValidShortName(parsed.components[i]) ? parsed.components[i]
                                                     : ShortOrLong(*node);
    directory = node;
  }
  if (!text.empty() && IsSeparator(text.back()) && !result.empty() &&
      !IsSeparator(result.back())) {
    result += '\\';
  }
  DWORD length = static_cast<DWORD>(result.size());
  if (shortPath == NULL || bufferSize <= length) return length + 1;
  memcpy(shortPath, result.c_str(), length + 1);
  return length;
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
    node->attributes = (flagsAndAttributes & kSettableAttributes) |
                       FILE_ATTRIBUTE_ARCHIVE;
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
  if (sizeHigh != NULL) *sizeHigh = 0;
  return static_cast<DWORD>(open->node->contents.size());
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh,
                            DWORD moveMethod) {
  if (Fails("SetFilePointer")) return INVALID_SET_FILE_POINTER;
  OpenFile* open = FindOpenFile(file);
  if (open == NULL) {
    sim::internal::SetError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  int64_t offset = distanceHigh == NULL
                       ? static_cast<int64_t>(distance)
                       : static_cast<int64_t>(
                             (static_cast<uint64_t>(
                                  static_cast<uint32_t>(*distanceHigh))
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
  OpenFile* open = StartTransfer("WriteFile", file, bytesWritten, overlapped,
                                 GENERIC_WRITE);
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
  if (g_files.files.erase(HandleValue(handle)) == 0) {
    return FailWith(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key,
                                       LPCSTR value, LPCSTR fileName) {
  if (Fails("WritePrivateProfileStringA")) return FALSE;
  if (fileName == NULL) return FailWith(ERROR_INVALID_PARAMETER);
  // All three missing only flushes the cache, of which there is none.
  if (section == NULL) {
    return key == NULL && value == NULL ? TRUE
                                        : FailWith(ERROR_INVALID_PARAMETER);
  }
  std::string path = ProfilePath(fileName);
  std::vector<std::string> lines;
  DWORD error = ReadProfile(path, true, &lines);
  if (error != 0) return FailWith(error);
  size_t header = 0;
  size_t end = 0;
  bool hasSection = FindSection(lines, section, &header, &end);
  if (key == NULL) {
    if (!hasSection) return TRUE;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header),
                lines.begin() + static_cast<std::ptrdiff_t>(end));
  } else {
    size_t found = end;
    if (hasSection) {
      for (size_t i = header + 1; i < end; ++i) {
        if (!IsComment(lines[i]) && lines[i].find('=') != std::string::npos &&
            SameName(LineKey(lines[i]), Trim(key))) {
          found = i;
          break;
        }
      }
    }
    std::string line = std::string(key) + "=" + (value ? value : "");
    if (found != end) {
      if (value == NULL) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(found));
      } else {
        lines[found] = line;
      }
    } else if (value != NULL) {
      if (!hasSection) {
        lines.push_back(std::string("[") + section + "]");
        lines.push_back(line);
      } else {
        size_t point = SectionInsertPoint(lines, header, end);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(point), line);
      }
    } else {
      return TRUE;
    }
  }
  error = WriteProfile(path, lines);
  return error == 0 ? TRUE : FailWith(error);
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer,
                                       DWORD bufferSize, LPCSTR fileName) {
  if (Fails("GetPrivateProfileSectionA")) return 0;
  if (buffer == NULL || bufferSize == 0) return 0;
  buffer[0] = '\0';
  if (bufferSize == 1) return 0;
  buffer[1] = '\0';
  if (section == NULL || fileName == NULL) return 0;
  std::vector<std::string> lines;
  // As on Windows and Wine, a file that cannot be read reads as empty, with
  // the error of its opening (ERROR_FILE_NOT_FOUND when it is missing).
  DWORD error = ReadProfile(ProfilePath(fileName), false, &lines);
  if (error != 0) {
    sim::internal::SetError(error);
    return 0;
  }
  size_t header = 0;
  size_t end = 0;
  if (!FindSection(lines, section, &header, &end)) return 0;
  std::string entries;
  for (size_t i = header + 1; i < end; ++i) {
    std::string line = Trim(lines[i]);
    if (line.empty() || IsComment(line)) continue;
    size_t equals = line.find('=');
    if (equals != std::string::npos) {
      line = Trim(line.substr(0, equals)) + "=" +
             Trim(line.substr(equals + 1));
    }
    entries += line;
    entries += '\0';
  }
  if (entries.empty()) return 0;
  // Too small: as much as fits, cut off, with two NULs; bufferSize - 2.
  if (entries.size() + 1 > bufferSize) {
    memcpy(buffer, entries.data(), bufferSize - 2);
    buffer[bufferSize - 2] = '\0';
    buffer[bufferSize - 1] = '\0';
    return bufferSize - 2;
  }
  memcpy(buffer, entries.data(), entries.size());
  buffer[entries.size()] = '\0';
  return static_cast<DWORD>(entries.size());
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR section, LPCSTR keysAndValues,
                                        LPCSTR fileName) {
  if (Fails("WritePrivateProfileSectionA")) return FALSE;
  if (section == NULL || fileName == NULL) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  std::string path = ProfilePath(fileName);
  std::vector<std::string> lines;
  DWORD error = ReadProfile(path, true, &lines);
  if (error != 0) return FailWith(error);
  size_t header = 0;
  size_t end = 0;
  bool hasSection = FindSection(lines, section, &header, &end);
  if (keysAndValues == NULL) {
    if (!hasSection) return TRUE;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header),
                lines.begin() + static_cast<std::ptrdiff_t>(end));
  } else {
    std::vector<std::string> entries;
    for (LPCSTR entry = keysAndValues; *entry != '\0';
         entry += strlen(entry) + 1) {
      entries.push_back(entry);
    }
    if (!hasSection) {
      lines.push_back(std::string("[") + section + "]");
      lines.insert(lines.end(), entries.begin(), entries.end());
    } else {
      size_t point = SectionInsertPoint(lines, header, end);
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(header + 1),
                  lines.begin() + static_cast<std::ptrdiff_t>(point));
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(header + 1),
                   entries.begin(), entries.end());
    }
  }
  error = WriteProfile(path, lines);
  return error == 0 ? TRUE : FailWith(error);
}
