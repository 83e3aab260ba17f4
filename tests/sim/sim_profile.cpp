// The simulated file system, part three: profile files (wininit.ini among
// them), NT's boot-time move list, and the restart that carries out the
// boot-time schedule of the running line.
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

const DWORD kWin9xMaxProfileBuffer = 32767;

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
  *name = Trim(trimmed.substr(
      1, close == std::string::npos ? std::string::npos : close - 1));
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
size_t SectionInsertPoint(const std::vector<std::string>& lines, size_t header,
                          size_t end) {
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
  if (!AccountMayChange(location)) return ERROR_ACCESS_DENIED;
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

const char kNtNamePrefix[] = "\\??\\";

struct BootMove {
  std::string source;
  std::string target;  // empty: deletion
  bool replaces;
};

// The name in a move list entry: what follows "\??\", after whatever prefix
// another program put before it; the entry itself when it has none.
std::string EntryName(const std::string& entry, bool* replaces) {
  size_t at = entry.find(kNtNamePrefix);
  if (replaces != NULL) {
    *replaces = entry.find('!') < (at == std::string::npos ? 0 : at);
  }
  return at == std::string::npos ? entry
                                 : entry.substr(at + sizeof kNtNamePrefix - 1);
}

// The strings of a REG_MULTI_SZ value, the empty one of a deletion included;
// the empty string that ends the list is not one of them.
std::vector<std::string> MultiStrings(const std::string& data) {
  std::vector<std::string> strings;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    strings.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  if (strings.size() % 2 == 1 && strings.back().empty()) strings.pop_back();
  return strings;
}

std::vector<BootMove> MoveList() {
  std::vector<BootMove> moves;
  for (const char* value : {sim::kMoveListValue, sim::kSecondMoveListValue}) {
    std::vector<std::string> strings = MultiStrings(
        sim::ValueData(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey, value));
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
      BootMove move;
      move.source = EntryName(strings[i], NULL);
      move.target = strings[i + 1].empty()
                        ? std::string()
                        : EntryName(strings[i + 1], &move.replaces);
      if (strings[i + 1].empty()) move.replaces = false;
      moves.push_back(move);
    }
  }
  return moves;
}

void AppendToMoveList(LPCSTR existing, LPCSTR target, DWORD flags) {
  std::string data = sim::ValueData(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                                    sim::kMoveListValue);
  std::vector<std::string> strings = MultiStrings(data);
  strings.push_back(kNtNamePrefix + std::string(existing));
  if (target == NULL) {
    strings.push_back(std::string());
  } else {
    strings.push_back(((flags & MOVEFILE_REPLACE_EXISTING) != 0 ? "!" : "") +
                      std::string(kNtNamePrefix) + target);
  }
  std::string joined;
  for (const std::string& string : strings) joined += string + '\0';
  joined += '\0';
  sim::SetRawValue(HKEY_LOCAL_MACHINE, sim::kSessionManagerKey,
                   sim::kMoveListValue, REG_MULTI_SZ, joined);
}

void CarryOutMoveList() {
  for (const BootMove& move : MoveList()) {
    if (move.target.empty()) {
      RemoveFile(Locate(move.source.c_str()), false);
    } else {
      Move(move.source.c_str(), move.target.c_str(), move.replaces);
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
      // The processor reads the names as bytes of the OEM code page; the
      // simulated files are named in the ANSI one.
      std::string target;
      std::string source;
      if (!sim::internal::OemToAnsi(Trim(lines[i].substr(0, equals)),
                                    &target) ||
          !sim::internal::OemToAnsi(Trim(lines[i].substr(equals + 1)),
                                    &source) ||
          !IsShortFullPath(source)) {
        continue;
      }
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

}  // namespace

namespace sim {

const char kSessionManagerKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kMoveListValue[] = "PendingFileRenameOperations";
const char kSecondMoveListValue[] = "PendingFileRenameOperations2";

std::vector<std::pair<std::string, std::string>> BootTimeMoves() {
  std::vector<std::pair<std::string, std::string>> moves;
  for (const BootMove& move : MoveList()) {
    moves.push_back(std::make_pair(move.source, move.target));
  }
  return moves;
}

void Restart() {
  g_files.files.clear();
  g_files.searches.clear();
  g_files.consoles.clear();
  internal::CloseAllConsoleHandles();
  internal::CloseAllTokenHandles();
  internal::UnloadProgramHives();
  g_files.restarting = true;
  if (internal::IsNt()) {
    CarryOutMoveList();
  } else {
    CarryOutWininit();
  }
  g_files.restarting = false;
  internal::RemoveValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kMoveListValue);
  internal::RemoveValue(HKEY_LOCAL_MACHINE, kSessionManagerKey,
                        kSecondMoveListValue);
}

}  // namespace sim

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR target, DWORD flags) {
  if (Fails("MoveFileExA")) return FALSE;
  // Windows 9x exports the name but does not implement it.
  if (!sim::internal::IsNt()) return FailWith(ERROR_CALL_NOT_IMPLEMENTED);
  if (existing == NULL) return FailWith(ERROR_INVALID_PARAMETER);
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
    if (!sim::internal::IsAdministrator()) {
      return FailWith(ERROR_ACCESS_DENIED);
    }
    AppendToMoveList(existing, target, flags);
    return TRUE;
  }
  DWORD error = AccountError(existing, target == NULL ? existing : target);
  if (error == 0) {
    error = target == NULL ? RemoveFile(Locate(existing), true)
                           : Move(existing, target,
                                  (flags & MOVEFILE_REPLACE_EXISTING) != 0);
  }
  return error == 0 ? TRUE : FailWith(error);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value,
                                       LPCSTR fileName) {
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
  // The 9x line's profile functions take sizes of up to 32,767 bytes; a
  // larger one reads nothing, and says nothing either.
  if (!sim::internal::IsNt() && bufferSize > kWin9xMaxProfileBuffer) return 0;
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
      line = Trim(line.substr(0, equals)) + "=" + Trim(line.substr(equals + 1));
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
  // "does not create a file if lpFileName contains the full path and
  // filename of a file that does not exist" (its reference page).
  bool namedByFullPath = path == fileName;
  DWORD error = ReadProfile(path, !namedByFullPath, &lines);
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
