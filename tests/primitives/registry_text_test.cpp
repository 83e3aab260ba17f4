#include "primitives/registry_text.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <string>

#include "sim/sim_control.h"

namespace {

const char kKey[] = "Software\\Test";

class RegistryTextTest : public testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    sim::CreateKey(HKEY_CURRENT_USER, kKey);
  }

  // Reads the value named `name` of the test key with a result buffer full
  // of junk, so that a missing terminator shows.
  bool Read(const char* name, std::string& text,
            bool (*reader)(HKEY, const char*, PathBuffer&) = ReadRegistryText) {
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key));
    PathBuffer buffer;
    memset(buffer, '#', sizeof(buffer));
    bool read = reader(key, name, buffer);
    RegCloseKey(key);
    EXPECT_NE(nullptr, memchr(buffer, '\0', sizeof(buffer)));
    text = buffer;
    return read;
  }

  bool Write(const char* text) {
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0,
                                           KEY_READ | KEY_WRITE, &key));
    bool written = WriteDefaultText(key, text);
    RegCloseKey(key);
    return written;
  }

  DWORD DefaultValueType() {
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key));
    DWORD type = REG_NONE;
    BYTE data[400];
    DWORD size = sizeof(data);
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "", NULL, &type, data, &size));
    RegCloseKey(key);
    return type;
  }
};

TEST_F(RegistryTextTest, ReadsTextsOfEveryKindAsTerminatedText) {
  struct Case {
    DWORD type;
    std::string data;
    const char* text;
  };
  const Case cases[] = {
      {REG_SZ, std::string("\"%1\" %*\0", 8), "\"%1\" %*"},
      {REG_SZ, "no terminator", "no terminator"},
      {REG_EXPAND_SZ, "%SystemRoot%", "%SystemRoot%"},
      {REG_BINARY, "ab", "ab"},
      {REG_DWORD, std::string("\x01\0\0\0", 4), "\x01"},
      {REG_MULTI_SZ, std::string("a\0b\0\0", 5), "a"},
      {REG_SZ, "", ""},
      {REG_SZ, std::string("first\0second", 12), "first"},
  };
  for (const Case& c : cases) {
    sim::SetRawValue(HKEY_CURRENT_USER, kKey, "v", c.type, c.data);
    std::string text;
    EXPECT_TRUE(Read("v", text)) << c.text;
    EXPECT_EQ(c.text, text);

    // Only the string types count as text where the type matters.
    bool isString = c.type == REG_SZ || c.type == REG_EXPAND_SZ;
    EXPECT_EQ(isString, Read("v", text, ReadRegistryString)) << c.text;
    EXPECT_EQ(isString ? c.text : "", text);
  }
  std::string text;
  EXPECT_FALSE(Read("absent", text, ReadRegistryString));
  sim::SetRawValue(HKEY_CURRENT_USER, kKey, "v", REG_SZ, std::string(260, 'c'));
  EXPECT_FALSE(Read("v", text, ReadRegistryString));
  EXPECT_EQ("", text);
}

TEST_F(RegistryTextTest, DataThatFillsTheBufferNeedsItsNul) {
  std::string text;
  // 259 bytes without a NUL: there is room to add one.
  sim::SetRawValue(HKEY_CURRENT_USER, kKey, "v", REG_SZ, std::string(259, 'a'));
  EXPECT_TRUE(Read("v", text));
  EXPECT_EQ(std::string(259, 'a'), text);

  // 259 characters and their NUL fill the buffer exactly.
  sim::SetRawValue(HKEY_CURRENT_USER, kKey, "v", REG_SZ,
                   std::string(259, 'b') + std::string(1, '\0'));
  EXPECT_TRUE(Read("v", text));
  EXPECT_EQ(std::string(259, 'b'), text);

  // 260 bytes without a NUL: no room for one.
  sim::SetRawValue(HKEY_CURRENT_USER, kKey, "v", REG_SZ, std::string(260, 'c'));
  EXPECT_FALSE(Read("v", text));
  EXPECT_EQ("", text);
  sim::SetRawValue(HKEY_CURRENT_USER, kKey, "v", REG_BINARY,
                   std::string(260, 'd'));
  EXPECT_FALSE(Read("v", text));

  // More than the buffer holds.
  sim::SetRawValue(HKEY_CURRENT_USER, kKey, "v", REG_SZ,
                   std::string(260, 'e') + std::string(1, '\0'));
  EXPECT_FALSE(Read("v", text));
  EXPECT_EQ("", text);
}

TEST_F(RegistryTextTest, MissingOrUnreadableValueIsAFailedRead) {
  std::string text;
  EXPECT_FALSE(Read("absent", text));
  EXPECT_EQ("", text);

  sim::SetStringValue(HKEY_CURRENT_USER, kKey, "v", "text");
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Read("v", text));
  EXPECT_EQ("", text);
}

TEST_F(RegistryTextTest, ReadsTheDefaultValueByEitherName) {
  sim::SetStringValue(HKEY_CURRENT_USER, kKey, "", "default");
  std::string text;
  EXPECT_TRUE(Read(NULL, text));
  EXPECT_EQ("default", text);
  EXPECT_TRUE(Read("", text));
  EXPECT_EQ("default", text);
}

TEST_F(RegistryTextTest, CanOpenKeyClosesWhatItOpened) {
  sim::MakeKeyReadOnlyForUser(HKEY_CURRENT_USER, kKey);
  EXPECT_TRUE(CanOpenKey(HKEY_CURRENT_USER, kKey));
  EXPECT_FALSE(CanOpenKey(HKEY_CURRENT_USER, "Software\\Absent"));
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CanOpenKey(HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(0, sim::OpenKeyCount());
}

// The key is opened by its path with the access asked for, and closed again.
TEST_F(RegistryTextTest, ReadsAStringByTheKeysPath) {
  sim::SetStringValue(HKEY_CURRENT_USER, kKey, "folder", "c:\\users\\x");
  sim::SetRawValue(HKEY_CURRENT_USER, kKey, "binary", REG_BINARY,
                   std::string("c:\\x\0", 5));
  sim::MakeKeyReadOnlyForUser(HKEY_CURRENT_USER, kKey);
  struct Case {
    const char* keyPath;
    REGSAM access;
    const char* valueName;
    bool read;
    const char* text;
  };
  const Case cases[] = {
      {kKey, KEY_READ, "folder", true, "c:\\users\\x"},
      {kKey, KEY_READ, "binary", false, ""},
      {kKey, KEY_READ, "absent", false, ""},
      {"Software\\Absent", KEY_READ, "folder", false, ""},
      // The NT line refuses a read-only key to one who asks to change it.
      {kKey, KEY_READ | KEY_WRITE, "folder", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.keyPath) + " " + c.valueName);
    PathBuffer text;
    memset(text, '#', sizeof(text));
    bool read = ReadKeyString(HKEY_CURRENT_USER, c.keyPath, c.access,
                              c.valueName, text);
    EXPECT_EQ(c.read, read);
    EXPECT_STREQ(c.text, text);
    EXPECT_EQ(0, sim::OpenKeyCount());
  }
}

TEST_F(RegistryTextTest, WritesTheTextPaddedWithZerosTo260Bytes) {
  // Exactly as long as the text: reading past it would show under the
  // address sanitizer.
  std::unique_ptr<char[]> shortText(new char[3]);
  memcpy(shortText.get(), "ab", 3);
  ASSERT_TRUE(Write(shortText.get()));
  EXPECT_EQ(std::string("ab") + std::string(258, '\0'),
            sim::ValueData(HKEY_CURRENT_USER, kKey, ""));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), DefaultValueType());

  ASSERT_TRUE(Write(""));
  EXPECT_EQ(std::string(260, '\0'),
            sim::ValueData(HKEY_CURRENT_USER, kKey, ""));
}

TEST_F(RegistryTextTest, WritesATextThatFillsTheBufferAndNoLonger) {
  std::string longest(259, 'x');
  ASSERT_TRUE(Write(longest.c_str()));
  EXPECT_EQ(longest + std::string(1, '\0'),
            sim::ValueData(HKEY_CURRENT_USER, kKey, ""));

  std::string before = sim::RegistryDump();
  EXPECT_FALSE(Write((longest + "y").c_str()));
  EXPECT_EQ(before, sim::RegistryDump());
}

TEST_F(RegistryTextTest, FailedWriteIsReported) {
  sim::FailCall("RegSetValueExA", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Write("text"));
  EXPECT_FALSE(sim::ValueExists(HKEY_CURRENT_USER, kKey, ""));
}

}  // namespace
