// Path building over arbitrary bytes, on a single-byte and on double-byte
// code pages. Each result is checked against a plain model of the rules:
// the call either reports failure and leaves an empty result, or its result
// fits the buffer and is exactly what the rules build.
//
// Input: code page choice, padding choice, then the first text (a base or a
// path), a NUL, and the second text (a name or an extension).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "fuzz/fuzz_support.h"
#include "primitives/path_building.h"
#include "sim/sim_control.h"

namespace {

const UINT kCodePages[] = {1252, 932, 936, 1361};
const size_t kMaxPartCharacters = 255;

// Long texts reach the limits sooner with padding: plain letters,
// or Shift-JIS characters whose second byte is a backslash.
std::string Padding(uint8_t choice) {
  static const size_t kCounts[] = {0, 126, 128, 250};
  size_t count = kCounts[choice & 3];
  std::string unit = (choice & 4) != 0 ? std::string("\x95\x5C") : "x";
  std::string padding;
  for (size_t i = 0; i < count; ++i) padding += unit;
  return padding;
}

// Where the characters of `text` start: a lead byte of the current code page
// and the byte after it are one character.
size_t CharacterLength(const std::string& text, size_t at) {
  if (at + 1 < text.size() && IsDBCSLeadByte(static_cast<BYTE>(text[at]))) {
    return 2;
  }
  return 1;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool EndsWithSingleByteBackslash(const std::string& text) {
  size_t last = text.size();
  size_t length = 0;
  for (size_t i = 0; i < text.size(); i += length) {
    length = CharacterLength(text, i);
    last = i;
  }
  return last < text.size() && length == 1 && text[last] == '\\';
}

std::string ModelDrive(const std::string& path) {
  if (path.empty()) return "";
  size_t first = CharacterLength(path, 0);
  if (first < path.size() && path[first] == ':')
    return path.substr(0, first + 1);
  return "";
}

size_t ModelFileNameOffset(const std::string& path) {
  size_t offset = 0;
  for (size_t i = 0; i < path.size(); i += CharacterLength(path, i)) {
    if (IsSeparator(path[i])) offset = i + 1;
  }
  return offset;
}

// The rebuilt path, or false when a part is too long or it does not fit.
bool ModelWithExtension(const std::string& path, const std::string& ext,
                        std::string& rebuilt) {
  std::string drive = ModelDrive(path);
  std::string rest = path.substr(drive.size());
  size_t nameStart = 0;
  size_t directoryCharacters = 0;
  size_t characters = 0;
  for (size_t i = 0; i < rest.size(); i += CharacterLength(rest, i)) {
    ++characters;
    if (IsSeparator(rest[i])) {
      nameStart = i + 1;
      directoryCharacters = characters;
    }
  }
  std::string name = rest.substr(nameStart);
  size_t dot = std::string::npos;
  size_t baseCharacters = 0;
  size_t nameCharacters = 0;
  for (size_t i = 0; i < name.size(); i += CharacterLength(name, i)) {
    if (name[i] == '.') {
      dot = i;
      baseCharacters = nameCharacters;
    }
    ++nameCharacters;
  }
  if (dot == std::string::npos) baseCharacters = nameCharacters;
  if (directoryCharacters > kMaxPartCharacters ||
      baseCharacters > kMaxPartCharacters) {
    return false;
  }
  rebuilt = drive + rest.substr(0, nameStart) + name.substr(0, dot);
  if (!ext.empty() && ext[0] != '.') rebuilt += '.';
  rebuilt += ext;
  return rebuilt.size() < MAX_PATH;
}

// A call's result against the model: built and equal, or refused and empty.
void CheckResult(bool built, bool modelBuilt, const std::string& expected,
                 fuzz::GuardedBuffer<MAX_PATH>& result, const char* call) {
  std::string what = std::string(call) + ": ";
  fuzz::Check(result.Terminated(), (what + "result not terminated").c_str());
  fuzz::Check(built == modelBuilt,
              (what + (built ? "built a path that cannot fit"
                             : "refused a path that fits"))
                  .c_str());
  if (built) {
    fuzz::Check(expected == result.get(), (what + "wrong result").c_str());
  } else {
    fuzz::Check(result.get()[0] == '\0', (what + "refusal not empty").c_str());
  }
}

void CheckJoinPath(const std::string& base, const std::string& name) {
  std::string expected =
      base + (EndsWithSingleByteBackslash(base) ? "" : "\\") + name;
  bool fits = expected.size() < MAX_PATH;
  fuzz::GuardedText baseText(base);
  fuzz::GuardedText nameText(name);
  fuzz::GuardedBuffer<MAX_PATH> result;
  bool built = JoinPath(baseText.get(), nameText.get(), result.get());
  CheckResult(built, fits, expected, result, "JoinPath");

  // The cleaners join onto a directory already in the result buffer.
  if (base.size() >= MAX_PATH) return;
  fuzz::GuardedBuffer<MAX_PATH> inPlace;
  memcpy(inPlace.get(), base.c_str(), base.size() + 1);
  built = JoinPath(inPlace.get(), nameText.get(), inPlace.get());
  CheckResult(built, fits, expected, inPlace, "JoinPath in place");
}

void CheckDriveOf(const std::string& path) {
  fuzz::GuardedText pathText(path);
  fuzz::GuardedBuffer<MAX_PATH> result;
  DriveOf(pathText.get(), result.get());
  CheckResult(true, true, ModelDrive(path), result, "DriveOf");
}

void CheckFileNameOffset(const std::string& path) {
  fuzz::GuardedText pathText(path);
  fuzz::Check(FileNameOffset(pathText.get()) == ModelFileNameOffset(path),
              "FileNameOffset: wrong offset");
}

void CheckWithExtension(const std::string& path, const std::string& ext) {
  std::string expected;
  bool modelBuilt = ModelWithExtension(path, ext, expected);
  fuzz::GuardedText pathText(path);
  fuzz::GuardedText extText(ext);
  fuzz::GuardedBuffer<MAX_PATH> result;
  bool built = WithExtension(pathText.get(), extText.get(), result.get());
  CheckResult(built, modelBuilt, expected, result, "WithExtension");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader input(data, size);
  uint8_t codePage = input.Byte();
  uint8_t padding = input.Byte();
  // The padding goes after what may be a drive and its backslash.
  std::string first = input.Text();
  first.insert(first.size() < 3 ? first.size() : 3, Padding(padding));
  std::string second = Padding(padding >> 3) + input.Text();

  sim::SetCodePage(kCodePages[codePage % 4]);
  CheckJoinPath(first, second);
  CheckDriveOf(first);
  CheckFileNameOffset(first);
  CheckWithExtension(first, second);
  return 0;
}
