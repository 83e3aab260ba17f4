// The simulated file system, part one: drives, paths and names (with
// Windows' short names), directories, and the dump of the whole tree.
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
  std::string extension = dot == std::string::npos
                              ? std::string()
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

}  // namespace

namespace sim {
namespace files {

FileState g_files;

std::string Upper(const std::string& text) {
  return sim::internal::UpperAscii(text);
}

bool SameName(const std::string& a, const std::string& b) {
  return Upper(a) == Upper(b);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

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

std::string ShortOrLong(const Node& node) {
  return node.shortName.empty() ? node.name : node.shortName;
}

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
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
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

Location Locate(LPCSTR path, bool wildcardsInLast, Caller caller) {
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
    if (next->isPrivate && caller == Caller::Api && !g_files.restarting &&
        sim::internal::IsNt()) {
      location.error = ERROR_ACCESS_DENIED;
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

}  // namespace files
}  // namespace sim

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

void MakeDirectory(const std::string& path) { MakeDirectories(path); }

bool DirectoryExists(const std::string& path) {
  Location location = Locate(path.c_str(), false, Caller::Control);
  return location.error == 0 && location.entry->isDirectory;
}

std::string FileSystemDump() {
  std::string dump;
  for (const auto& drive : g_files.drives) DumpNode(*drive.second, &dump);
  return dump;
}

}  // namespace sim

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
