// Purging a random key tree while random registry calls fail. The purge
// ends (a run that does not is a timeout finding), says true only when the
// key is left with no value and no subkey, only ever deletes, and touches
// nothing outside the key; with nothing failing and every name readable it
// empties the key.
//
// Input: line of Windows, the tree (counts and name choices, depth first),
// then up to three failing calls.
#include <stddef.h>
#include <stdint.h>

#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "primitives/key_purge.h"
#include "sim/sim_control.h"

namespace {

const char kTarget[] = "Software\\SirCam";
const std::string kTargetDump = "HKEY_LOCAL_MACHINE\\Software\\SirCam";
const int kMaxDepth = 3;

const char* const kPurgeCalls[] = {
    "RegQueryInfoKeyA", "RegEnumValueA", "RegDeleteValueA",
    "RegEnumKeyA",      "RegOpenKeyExA", "RegDeleteKeyA",
};
const DWORD kErrors[] = {ERROR_ACCESS_DENIED, ERROR_MORE_DATA,
                         ERROR_KEY_DELETED, ERROR_NO_MORE_ITEMS};

struct Tree {
  // Whether the purge can read every name and open every key: without
  // failures it must then empty the key.
  bool clean = true;
};

std::string Name(uint8_t choice, Tree& tree) {
  static const char* const kNames[] = {
      "",    "a",          "A",         "b",      "Key",
      "KEY", "with space", "\xe9t\xe9", "SirCam", "x.y"};
  switch (choice % 13) {
    case 10:
      return std::string(259, 'l');
    case 11:
      tree.clean = false;
      return std::string(260, 'm');
    case 12:
      tree.clean = false;
      return std::string(300, 'n');
    default:
      return std::string(kNames[choice % 13]) + std::to_string(choice >> 5);
  }
}

void Build(fuzz::InputReader& input, const std::string& path, int depth,
           Tree& tree) {
  uint8_t counts = input.Byte();
  for (int i = 0; i < counts % 4; ++i) {
    std::string name = Name(input.Byte(), tree);
    sim::SetRawValue(HKEY_LOCAL_MACHINE, path, name, REG_SZ, "v");
  }
  if (depth == kMaxDepth) return;
  for (int i = 0; i < (counts >> 2) % 4; ++i) {
    uint8_t choice = input.Byte();
    std::string name = Name(choice, tree);
    std::string subkey = path + "\\" + name;
    if ((choice & 0x10) != 0 && (counts & 0x80) != 0) {
      sim::MakeKeyReadOnlyForUser(HKEY_LOCAL_MACHINE, subkey);
      if (sim::CurrentLine() == sim::Line::Nt) tree.clean = false;
    } else {
      sim::CreateKey(HKEY_LOCAL_MACHINE, subkey);
    }
    Build(input, subkey, depth + 1, tree);
  }
}

bool IsInTarget(const std::string& line) {
  if (line.compare(0, kTargetDump.size(), kTargetDump) != 0) return false;
  std::string rest = line.substr(kTargetDump.size());
  return rest.empty() || rest[0] == '\\' || rest.compare(0, 3, " : ") == 0;
}

void SplitDump(const std::string& dump, std::vector<std::string>& target,
               std::vector<std::string>& outside) {
  size_t start = 0;
  while (start < dump.size()) {
    size_t end = dump.find('\n', start);
    if (end == std::string::npos) end = dump.size();
    std::string line = dump.substr(start, end - start);
    (IsInTarget(line) ? target : outside).push_back(line);
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader input(data, size);
  sim::Reset((input.Byte() & 1) != 0 ? sim::Line::Win9x : sim::Line::Nt);
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software", "keep", "outside");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\SirCamOther", "", "x");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam", "", "y");
  sim::CreateKey(HKEY_LOCAL_MACHINE, kTarget);
  Tree tree;
  Build(input, kTarget, 0, tree);

  std::vector<std::string> targetBefore;
  std::vector<std::string> outsideBefore;
  SplitDump(sim::RegistryDump(), targetBefore, outsideBefore);

  HKEY key;
  fuzz::Check(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTarget, 0,
                            KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS,
              "cannot open the key");
  int failures = input.Byte() % 4;
  for (int i = 0; i < failures; ++i) {
    uint8_t call = input.Byte();
    uint8_t when = input.Byte();
    sim::FailCall(kPurgeCalls[call % 6], kErrors[(call >> 3) % 4],
                  1 + when % 32, (when & 0x80) != 0);
  }

  bool emptied = PurgeKey(key);

  sim::ClearFailures();
  fuzz::Check(sim::OpenKeyCount() == 1, "a subkey was left open");
  RegCloseKey(key);
  std::vector<std::string> targetAfter;
  std::vector<std::string> outsideAfter;
  SplitDump(sim::RegistryDump(), targetAfter, outsideAfter);
  fuzz::Check(outsideAfter == outsideBefore, "touched a key outside");
  std::set<std::string> before(targetBefore.begin(), targetBefore.end());
  for (const std::string& line : targetAfter) {
    fuzz::Check(before.count(line) == 1, "changed rather than deleted");
  }
  if (emptied) {
    fuzz::Check(targetAfter.size() == 1 && targetAfter[0] == kTargetDump,
                "said empty while something is left");
  }
  if (failures == 0 && tree.clean) {
    fuzz::Check(emptied, "did not empty a key it can read whole");
  }
  return 0;
}
