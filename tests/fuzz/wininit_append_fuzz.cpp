// Scheduling a held-open file for the next start, over arbitrary existing
// contents of wininit.ini. Every line the file held is still there, in
// order: lines outside the [rename] section byte for byte, the section's
// entries in the form the profile calls give them (key=value, trimmed),
// with the new entry after them; or, when nothing was scheduled there, the
// file is untouched.
//
// Input: which operation and line of Windows, fault choice, then the file's
// bytes.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "primitives/deferred_removal.h"
#include "sim/sim_control.h"

namespace {

typedef std::vector<std::string> Lines;

struct Scene {
  const char* held;    // the file the operation is about, held open
  const char* target;  // the rename's target, NULL for a deletion
};

const Scene kScenes[] = {
    {"C:\\WINDOWS\\SYSTEM\\SCam32.exe", NULL},
    {"C:\\RECYCLED\\SirC32.exe", NULL},
    {"C:\\Program Files\\Long Name Worm.exe", NULL},
    {"C:\\WINDOWS\\run32.exe", "C:\\WINDOWS\\rundll32.exe"},
    {"C:\\WINDOWS\\run32.exe", "C:\\Long Target Directory\\rundll32.exe"},
};

enum Fault {
  kNoFault,
  kSectionReadFails,
  kSectionWriteFails,
  kScheduleReadOnly,
  kScheduleHeldOpen,
  kFaultCount
};

// The line splitting and section rules of the profile calls.
Lines SplitLines(const std::string& text) {
  Lines lines;
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

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool IsHeader(const std::string& line) {
  std::string trimmed = Trim(line);
  return !trimmed.empty() && trimmed[0] == '[';
}

bool IsRenameHeader(const std::string& line) {
  if (!IsHeader(line)) return false;
  std::string trimmed = Trim(line);
  size_t close = trimmed.find(']');
  std::string name = Trim(trimmed.substr(
      1, close == std::string::npos ? std::string::npos : close - 1));
  return UpperAscii(name) == "RENAME";
}

// An entry as the profile calls hand it back; empty for a blank line or a
// comment, which they do not hand back.
std::string Entry(const std::string& line) {
  std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] == ';') return std::string();
  size_t equals = trimmed.find('=');
  if (equals == std::string::npos) return trimmed;
  return Trim(trimmed.substr(0, equals)) + "=" +
         Trim(trimmed.substr(equals + 1));
}

// The file's lines once `entry` is appended to its first [rename] section
// (a new section at the end when it has none); `at` is the entry's line. A
// section with entries is written back whole, in the form the profile calls
// give its entries; into one without, the entry alone is added.
Lines WithEntryAppended(const Lines& before, const std::string& entry,
                        size_t& at) {
  size_t header = 0;
  while (header < before.size() && !IsRenameHeader(before[header])) ++header;
  Lines after;
  if (header == before.size()) {
    after = before;
    after.push_back("[rename]");
    at = after.size();
    after.push_back(entry);
    return after;
  }
  size_t end = header + 1;
  while (end < before.size() && !IsHeader(before[end])) ++end;
  // Blank lines that close the section stay after the new entry.
  size_t insert = end;
  while (insert > header + 1 && Trim(before[insert - 1]).empty()) --insert;
  bool hasEntries = false;
  for (size_t i = header + 1; i < insert; ++i) {
    hasEntries = hasEntries || !Entry(before[i]).empty();
  }
  after.assign(before.begin(), before.begin() + header + 1);
  for (size_t i = header + 1; i < insert; ++i) {
    std::string kept = hasEntries ? Entry(before[i]) : before[i];
    if (!kept.empty() || !hasEntries) after.push_back(kept);
  }
  at = after.size();
  after.push_back(entry);
  after.insert(after.end(), before.begin() + insert, before.end());
  return after;
}

std::string ShortPath(const std::string& path) {
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(shortPath) : path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader input(data, size);
  uint8_t choice = input.Byte();
  const Scene& scene = kScenes[choice % (sizeof(kScenes) / sizeof(kScenes[0]))];
  bool nt = (choice & 0x80) != 0;
  Fault fault = static_cast<Fault>(input.Byte() % kFaultCount);
  // wininit.ini is a text file: a NUL inside a line cannot pass through the
  // NUL-separated entry list of the profile calls, on Windows either.
  std::string original;
  for (char c : input.Rest()) {
    if (c != '\0') original += c;
  }

  sim::Reset(nt ? sim::Line::Nt : sim::Line::Win9x);
  sim::SetWindowsDirectory("C:\\WINDOWS");
  const std::string wininit = "C:\\WINDOWS\\wininit.ini";
  bool existed = !original.empty() || (choice & 0x40) != 0;
  if (existed) sim::PutFile(wininit, original);
  sim::PutFile(scene.held, "worm");
  if (scene.target != NULL) sim::PutFile(scene.target, "system program");
  HANDLE holder = CreateFileA(scene.held, GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
  HANDLE scheduleHolder = INVALID_HANDLE_VALUE;
  switch (fault) {
    case kSectionReadFails:
      sim::FailCall("GetPrivateProfileSectionA", ERROR_SHARING_VIOLATION);
      break;
    case kSectionWriteFails:
      sim::FailCall("WritePrivateProfileSectionA", ERROR_SHARING_VIOLATION);
      break;
    case kScheduleReadOnly:
      if (existed) sim::SetReadOnly(wininit, true);
      break;
    case kScheduleHeldOpen:
      if (existed) {
        scheduleHolder =
            CreateFileA(wininit.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, NULL);
      }
      break;
    default:
      break;
  }

  RemovalResult result = scene.target == NULL
                             ? DeleteOrDefer(scene.held)
                             : RenameOrDefer(scene.held, scene.target);

  CloseHandle(holder);
  if (scheduleHolder != INVALID_HANDLE_VALUE) CloseHandle(scheduleHolder);
  fuzz::Check(sim::OpenHandleCount() == 0, "a handle was left open");
  fuzz::Check(sim::FileExists(scene.held), "the held file went at once");
  fuzz::Check(
      result == RemovalResult::Deferred || result == RemovalResult::Failed,
      "a held-open file was neither deferred nor refused");

  if (!sim::FileExists(wininit)) {
    fuzz::Check(!existed, "wininit.ini is gone");
    fuzz::Check(nt || result == RemovalResult::Failed,
                "deferred without a schedule entry");
    return 0;
  }
  std::string after = sim::FileContents(wininit);
  if (after == original) {
    fuzz::Check(nt || result == RemovalResult::Failed,
                "deferred without a schedule entry");
    return 0;
  }
  fuzz::Check(result == RemovalResult::Deferred,
              "scheduled but reported as failed");
  std::string entry = scene.target == NULL ? "NUL=" + ShortPath(scene.held)
                                           : "=" + ShortPath(scene.held);
  Lines afterLines = SplitLines(after);
  Lines beforeLines = SplitLines(original);
  fuzz::Check(afterLines.size() >= 1, "wininit.ini lost its lines");
  // The rename's key is the boot-time name of the target, which the model
  // does not rebuild: it is taken from the file and its value checked.
  size_t at = 0;
  Lines expected = WithEntryAppended(beforeLines, entry, at);
  if (scene.target != NULL) {
    fuzz::Check(at < afterLines.size(), "the rename entry is missing");
    const std::string& written = afterLines[at];
    fuzz::Check(written.size() > entry.size() &&
                    written.compare(written.size() - entry.size(), entry.size(),
                                    entry) == 0,
                "the rename entry names another source");
    expected[at] = written;
  }
  fuzz::Check(afterLines == expected,
              "wininit.ini lost, changed or reordered a line it held");
  return 0;
}
