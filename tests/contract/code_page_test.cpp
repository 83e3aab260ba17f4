// What the console's paths rely on from the code page conversions: a path
// goes from the ANSI code page through UTF-16 to the console's, and a
// character that the console's code page lacks does not come back as itself.

#include <string>

#include <gtest/gtest.h>

#include "platform/windows_api.h"

namespace {

// `text` from one code page to another through UTF-16, "" when a step fails.
std::string Convert(UINT from, UINT to, const char* text) {
  WCHAR wide[MAX_PATH];
  if (MultiByteToWideChar(from, 0, text, -1, wide, MAX_PATH) == 0) return "";
  char converted[MAX_PATH];
  if (WideCharToMultiByte(to, 0, wide, -1, converted, sizeof converted, NULL,
                          NULL) == 0) {
    return "";
  }
  return converted;
}

TEST(CodePageContract, PathsReachTheConsolesCodePage) {
  EXPECT_EQ("Startmen\x81", Convert(1252, 850, "Startmen\xFC"));
  EXPECT_EQ("D\x82marrage", Convert(1252, 850, "D\xE9marrage"));
  EXPECT_EQ("\x88\xA2\xA0\xAD", Convert(1251, 866, "\xC8\xE2\xE0\xED"));
  // A double-byte character whose trail byte is a backslash stays whole.
  EXPECT_EQ("\x83\x5C.exe", Convert(932, 932, "\x83\x5C.exe"));
}

TEST(CodePageContract, CountsIncludeTheNul) {
  WCHAR wide[MAX_PATH];
  EXPECT_EQ(4,
            MultiByteToWideChar(1252, 0, "\xFC\xE9\xE0", -1, wide, MAX_PATH));
  char bytes[MAX_PATH];
  EXPECT_EQ(4, WideCharToMultiByte(850, 0, wide, -1, bytes, sizeof bytes, NULL,
                                   NULL));
  EXPECT_EQ(3, MultiByteToWideChar(932, 0, "\x83\x5C\x41", -1, wide, MAX_PATH));
}

// A single-byte code page gives every byte a character: one it leaves
// undefined becomes the control character of the same number.
TEST(CodePageContract, EveryByteOfCodePage1252HasACharacter) {
  WCHAR wide[4];
  ASSERT_EQ(3, MultiByteToWideChar(1252, 0, "\x81\x8D", -1, wide, 4));
  EXPECT_EQ(0x81, wide[0]);
  EXPECT_EQ(0x8D, wide[1]);
}

struct LackingCase {
  const char* what;
  WCHAR character;
  char written;
  BOOL usedDefault;
};

// Without WC_NO_BEST_FIT_CHARS a look-alike may stand in, unannounced; only
// converting back tells.
TEST(CodePageContract, CharacterTheCodePageLacks) {
  const LackingCase cases[] = {
      {"Cyrillic Zhe", 0x0416, '?', TRUE},
      {"full-width A", 0xFF21, 'A', FALSE},
      {"full-width backslash", 0xFF3C, '\\', FALSE},
  };
  for (const LackingCase& c : cases) {
    SCOPED_TRACE(c.what);
    const WCHAR wide[] = {c.character, 0};
    char bytes[4];
    BOOL usedDefault = 2;
    ASSERT_EQ(2, WideCharToMultiByte(850, 0, wide, -1, bytes, sizeof bytes,
                                     NULL, &usedDefault));
    EXPECT_EQ(c.written, bytes[0]);
    EXPECT_EQ(c.usedDefault, usedDefault);
    WCHAR back[4];
    ASSERT_EQ(2, MultiByteToWideChar(850, 0, bytes, -1, back, 4));
    EXPECT_NE(c.character, back[0]);
  }
}

TEST(CodePageContract, TooSmallABufferFails) {
  WCHAR wide[2];
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(1252, 0, "abc", -1, wide, 2));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());

  const WCHAR text[] = {'a', 0xFC, 'c', 0};
  char bytes[3];
  SetLastError(0);
  EXPECT_EQ(0, WideCharToMultiByte(850, 0, text, -1, bytes, sizeof bytes, NULL,
                                   NULL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

}  // namespace
