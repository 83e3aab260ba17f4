#include "primitives/path_building.h"

#include <string.h>

namespace {

// Directory and base name are each limited to this many characters, as the
// classic path-splitting routines are.
const size_t kMaxPartCharacters = 255;

// The length of `text`, counting no further than MAX_PATH: a text that long
// does not fit in a PathBuffer whatever its real length.
size_t BoundedLength(const char* text) {
  size_t length = 0;
  while (length < MAX_PATH && text[length] != '\0') ++length;
  return length;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The number of bytes of the character that starts at `text`: two for a
// lead byte of the ANSI code page followed by its second byte, one otherwise
// (a lead byte just before the terminating NUL stands alone).
size_t CharacterLength(const char* text) {
  if (IsDBCSLeadByte(static_cast<BYTE>(text[0])) && text[1] != '\0') return 2;
  return 1;
}

// Appends `length` bytes of `text` at `used` in `result`. False when the
// bytes and a terminating NUL would not fit.
bool AppendBytes(const char* text, size_t length, PathBuffer& result,
                 size_t& used) {
  if (length >= MAX_PATH - used) return false;
  memcpy(result + used, text, length);
  used += length;
  result[used] = '\0';
  return true;
}

// Whether the last character of `text` is a backslash. The second byte of a
// double-byte character may have the backslash's value (0x5C in Shift-JIS
// "\x95\x5C"); taking it for one would run the directory into the name.
bool EndsWithBackslash(const char* text) {
  size_t last = 0;
  size_t length = 0;
  for (size_t i = 0; text[i] != '\0'; i += length) {
    length = CharacterLength(text + i);
    last = i;
  }
  return length == 1 && text[last] == '\\';
}

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether `text` begins with `name`, compared as SameName compares. Stops at
// the first difference, so at the latest at the NUL of `text`.
bool StartsWithName(const char* text, const char* name) {
  for (size_t i = 0; name[i] != '\0'; ++i) {
    if (UpperAscii(text[i]) != UpperAscii(name[i])) return false;
    if (CharacterLength(name + i) == 2) {
      ++i;
      if (text[i] != name[i]) return false;
    }
  }
  return true;
}

}  // namespace

bool CopyText(const char* text, PathBuffer& result) {
  size_t length = BoundedLength(text);
  if (length == MAX_PATH) {
    result[0] = '\0';
    return false;
  }
  memmove(result, text, length + 1);
  return true;
}

bool JoinPath(const char* base, const char* name, PathBuffer& result) {
  // Built aside, so that `base` or `name` may be `result` itself.
  PathBuffer joined;
  size_t used = 0;
  joined[0] = '\0';
  size_t baseLength = BoundedLength(base);
  bool fits = AppendBytes(base, baseLength, joined, used);
  if (fits && !EndsWithBackslash(base)) {
    fits = AppendBytes("\\", 1, joined, used);
  }
  if (fits) fits = AppendBytes(name, BoundedLength(name), joined, used);
  if (!fits) {
    result[0] = '\0';
    return false;
  }
  memcpy(result, joined, used + 1);
  return true;
}

void DriveOf(const char* path, PathBuffer& result) {
  size_t first = path[0] == '\0' ? 0 : CharacterLength(path);
  if (first == 0 || path[first] != ':') {
    result[0] = '\0';
    return;
  }
  PathBuffer drive;
  memcpy(drive, path, first + 1);
  drive[first + 1] = '\0';
  memcpy(result, drive, first + 2);
}

size_t FileNameOffset(const char* path) {
  size_t offset = 0;
  for (size_t i = 0; path[i] != '\0'; i += CharacterLength(path + i)) {
    if (IsSeparator(path[i])) offset = i + 1;
  }
  return offset;
}

bool SameName(const char* first, const char* second) {
  for (size_t i = 0;; ++i) {
    char a = first[i];
    char b = second[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
    if (a == '\0') return true;
    if (CharacterLength(first + i) == 2) {
      ++i;
      if (first[i] != second[i]) return false;
    }
  }
}

const char* FindName(const char* text, const char* name) {
  for (const char* at = text;; at += CharacterLength(at)) {
    if (StartsWithName(at, name)) return at;
    if (*at == '\0') return NULL;
  }
}

bool WithExtension(const char* path, const char* ext, PathBuffer& result) {
  PathBuffer drive;
  DriveOf(path, drive);
  const char* rest = path + strlen(drive);

  // One pass over the characters after the drive: where the last component
  // begins, where its last dot is, and how many characters each part has.
  size_t nameStart = 0;
  size_t dot = 0;
  bool hasDot = false;
  size_t characters = 0;
  size_t directoryCharacters = 0;
  size_t dotCharacters = 0;
  size_t i = 0;
  for (; rest[i] != '\0'; i += CharacterLength(rest + i)) {
    ++characters;
    if (IsSeparator(rest[i])) {
      nameStart = i + 1;
      directoryCharacters = characters;
      hasDot = false;
    } else if (rest[i] == '.') {
      dot = i;
      dotCharacters = characters - 1;
      hasDot = true;
    }
  }
  size_t baseEnd = hasDot ? dot : i;
  size_t baseCharacters =
      (hasDot ? dotCharacters : characters) - directoryCharacters;

  PathBuffer rebuilt;
  size_t used = 0;
  rebuilt[0] = '\0';
  // A directory or base name longer than the split allows would have to be
  // cut, and a cut path may name another file.
  bool fits = directoryCharacters <= kMaxPartCharacters &&
              baseCharacters <= kMaxPartCharacters;
  if (fits) fits = AppendBytes(drive, strlen(drive), rebuilt, used);
  if (fits) fits = AppendBytes(rest, nameStart, rebuilt, used);
  if (fits)
    fits = AppendBytes(rest + nameStart, baseEnd - nameStart, rebuilt, used);
  if (fits && ext[0] != '\0' && ext[0] != '.') {
    fits = AppendBytes(".", 1, rebuilt, used);
  }
  if (fits) fits = AppendBytes(ext, BoundedLength(ext), rebuilt, used);
  if (!fits) {
    result[0] = '\0';
    return false;
  }
  memcpy(result, rebuilt, used + 1);
  return true;
}
