// What the program relies on from the registry functions, checked the same
// way against every platform it runs on. Everything happens below scratch
// keys that each test starts and ends without.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "contract/contract_support.h"
#include "platform/windows_api.h"

namespace {

const char kScratch[] = "Software\\WormsweepContract";
const char kClassesScratch[] = "WormsweepContract";

// The data argument of RegSetValueExA, from a text.
const BYTE* Bytes(const char* text) {
  return reinterpret_cast<const BYTE*>(text);
}

class RegistryContract : public testing::Test {
 protected:
  void SetUp() override {
    RemoveScratchKeys();
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, NULL,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                              &scratch_, NULL));
  }

  void TearDown() override {
    if (scratch_ != NULL) RegCloseKey(scratch_);
    RemoveScratchKeys();
  }

  static void RemoveScratchKeys() {
    ASSERT_TRUE(contract::DeleteKeyTree(HKEY_CURRENT_USER, kScratch));
    ASSERT_TRUE(contract::DeleteKeyTree(HKEY_LOCAL_MACHINE, kScratch));
    ASSERT_TRUE(contract::DeleteKeyTree(HKEY_CLASSES_ROOT, kClassesScratch));
  }

  // Creates `path` below the scratch key and closes it again.
  void MakeKey(const char* path) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(scratch_, path, 0, NULL, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
  }

  void SetString(HKEY key, const char* name, const char* text) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, name, 0, REG_SZ, Bytes(text),
                             static_cast<DWORD>(strlen(text) + 1)));
  }

  LONG Open(const char* path, REGSAM access, HKEY* key) {
    return RegOpenKeyExA(scratch_, path, 0, access, key);
  }

  HKEY scratch_ = NULL;
};

// ---- Opening, creating, closing ----

TEST_F(RegistryContract, OpeningAMissingKeyFailsWithFileNotFound) {
  HKEY key = NULL;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("Missing", KEY_READ, &key));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("Missing\\Deeper", KEY_READ, &key));
}

TEST_F(RegistryContract, KeyNamesAreCaseInsensitive) {
  MakeKey("Mixed\\Case");
  const char* spellings[] = {"Mixed\\Case", "MIXED\\CASE", "mixed\\case",
                             "mIxEd\\cAsE"};
  for (const char* spelling : spellings) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, Open(spelling, KEY_READ, &key)) << spelling;
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  }
}

TEST_F(RegistryContract, CreateMakesIntermediateKeysAndReportsWhatItDid) {
  HKEY key = NULL;
  DWORD disposition = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(scratch_, "One\\Two\\Three", 0, NULL,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                            &disposition));
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  RegCloseKey(key);

  HKEY middle = NULL;
  ASSERT_EQ(ERROR_SUCCESS, Open("One\\Two", KEY_READ, &middle));
  RegCloseKey(middle);

  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(scratch_, "ONE\\two\\Three", 0, NULL,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                            &disposition));
  EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
  RegCloseKey(key);
}

TEST_F(RegistryContract, CreateKeepsTheFirstSpellingOfAName) {
  MakeKey("Spelled");
  MakeKey("SPELLED");
  char name[MAX_PATH];
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyA(scratch_, 0, name, sizeof name));
  EXPECT_STREQ("Spelled", name);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(scratch_, 1, name, sizeof name));
}

TEST_F(RegistryContract, AnEmptyOrAbsentPathOpensTheSameKeyAgain) {
  const char* paths[] = {"", NULL};
  for (const char* path : paths) {
    HKEY again = NULL;
    ASSERT_EQ(ERROR_SUCCESS, Open(path, KEY_READ | KEY_WRITE, &again));
    SetString(again, "Through", "second handle");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));
    // The first handle is still open and sees the value.
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(scratch_, "Through", NULL, NULL, NULL, NULL));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(scratch_, "Through"));
  }
}

TEST_F(RegistryContract, EmptyNamesInAPathAreSkipped) {
  MakeKey("Outer\\Inner");
  const char* spellings[] = {"Outer\\\\Inner", "Outer\\Inner\\"};
  for (const char* spelling : spellings) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, Open(spelling, KEY_READ, &key)) << spelling;
    RegCloseKey(key);
  }
}

TEST_F(RegistryContract, APathBelowAKeyMustNotStartWithABackslash) {
  const LONG badPathname = 161;  // ERROR_BAD_PATHNAME
  MakeKey("Inner");
  HKEY key = NULL;
  EXPECT_EQ(badPathname, Open("\\Inner", KEY_READ, &key));
}

TEST_F(RegistryContract, EveryRootTakesKeys) {
  struct {
    HKEY root;
    const char* path;
  } const cases[] = {
      {HKEY_CLASSES_ROOT, kClassesScratch},
      {HKEY_CURRENT_USER, kScratch},
      {HKEY_LOCAL_MACHINE, kScratch},
  };
  for (const auto& c : cases) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(c.root, c.path, 0, NULL, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, NULL, &key, NULL))
        << c.path;
    SetString(key, "", "root test");
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(c.root, c.path, 0, KEY_READ, &key));
    char text[MAX_PATH];
    DWORD size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, NULL, NULL, NULL,
                               reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ("root test", text);
    RegCloseKey(key);
  }
}

TEST_F(RegistryContract, ClosingARootSucceedsAndItStaysUsable) {
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
  HKEY key = NULL;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key));
  RegCloseKey(key);
}

TEST_F(RegistryContract, ClosingAHandleTwiceFailsWithInvalidHandle) {
  HKEY key = NULL;
  ASSERT_EQ(ERROR_SUCCESS, Open("", KEY_READ, &key));
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
}

// ---- Deleting keys and values ----

TEST_F(RegistryContract, DeletingAKeyRemovesItAndAMissingOneFails) {
  MakeKey("Doomed");
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch_, "DOOMED"));
  HKEY key = NULL;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("Doomed", KEY_READ, &key));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(scratch_, "Doomed"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(scratch_, "Never\\There"));
}

TEST_F(RegistryContract, DeletingAKeyByAPathBelowAnOpenKey) {
  MakeKey("Parent\\Child");
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch_, "Parent\\Child"));
  HKEY key = NULL;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("Parent\\Child", KEY_READ, &key));
  ASSERT_EQ(ERROR_SUCCESS, Open("Parent", KEY_READ, &key));
  RegCloseKey(key);
}

TEST_F(RegistryContract, DeletingAnEmptyPathDeletesTheKeyOfTheHandle) {
  MakeKey("Self");
  HKEY key = NULL;
  ASSERT_EQ(ERROR_SUCCESS, Open("Self", KEY_ALL_ACCESS, &key));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(key, NULL));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, ""));
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegQueryValueExA(key, "x", NULL, NULL, NULL, NULL));
  RegCloseKey(key);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("Self", KEY_READ, &key));
}

TEST_F(RegistryContract, DeletingAKeyWithSubkeysDependsOnTheLine) {
  MakeKey("Tree\\Branch\\Leaf");
  LONG deleted = RegDeleteKeyA(scratch_, "Tree");
  HKEY key = NULL;
  if (contract::IsNtLine()) {
    EXPECT_EQ(ERROR_ACCESS_DENIED, deleted);
    ASSERT_EQ(ERROR_SUCCESS, Open("Tree\\Branch\\Leaf", KEY_READ, &key));
    RegCloseKey(key);
  } else {
    EXPECT_EQ(ERROR_SUCCESS, deleted);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("Tree", KEY_READ, &key));
  }
}

TEST_F(RegistryContract, DeletingValues) {
  SetString(scratch_, "Kept", "1");
  SetString(scratch_, "Gone", "2");
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(scratch_, "GONE"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExA(scratch_, "Gone", NULL, NULL, NULL, NULL));
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(scratch_, "Kept", NULL, NULL, NULL, NULL));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(scratch_, "Gone"));
}

TEST_F(RegistryContract, TheDefaultValueIsTheEmptyOrAbsentName) {
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExA(scratch_, NULL, NULL, NULL, NULL, NULL));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExA(scratch_, "", NULL, NULL, NULL, NULL));
  SetString(scratch_, "", "default");
  char text[MAX_PATH];
  DWORD size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(scratch_, NULL, NULL, NULL,
                             reinterpret_cast<BYTE*>(text), &size));
  EXPECT_STREQ("default", text);
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(scratch_, NULL));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExA(scratch_, "", NULL, NULL, NULL, NULL));
}

// ---- Reading and writing values ----

TEST_F(RegistryContract, QueryWithoutABufferGivesTypeAndSize) {
  SetString(scratch_, "Text", "hello");
  DWORD type = REG_NONE;
  DWORD size = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(scratch_, "text", NULL, &type, NULL, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(6u, size);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExA(scratch_, "Other", NULL, &type, NULL, &size));
}

TEST_F(RegistryContract, ABufferTooSmallGivesMoreDataAndTheSizeNeeded) {
  SetString(scratch_, "Text", "hello");
  char buffer[16];
  memset(buffer, '#', sizeof buffer);
  const DWORD tooSmall[] = {0, 1, 5};
  for (DWORD given : tooSmall) {
    DWORD size = given;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegQueryValueExA(scratch_, "Text", NULL, NULL,
                               reinterpret_cast<BYTE*>(buffer), &size))
        << given;
    EXPECT_EQ(6u, size) << given;
  }
}

TEST_F(RegistryContract, ValuesComeBackAsTheBytesStored) {
  struct {
    const char* name;
    DWORD type;
    const char* data;
    DWORD size;
  } const cases[] = {
      {"WithNul", REG_SZ, "text", 5},
      {"Binary", REG_BINARY, "a\0b\xff", 4},
      {"Dword", REG_DWORD, "\x01\x02\x03\x04", 4},
      {"Empty", REG_BINARY, "", 0},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch_, c.name, 0, c.type,
                                            Bytes(c.data), c.size))
        << c.name;
    char buffer[32];
    memset(buffer, '#', sizeof buffer);
    DWORD type = REG_NONE;
    DWORD size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(scratch_, c.name, NULL, &type,
                               reinterpret_cast<BYTE*>(buffer), &size))
        << c.name;
    EXPECT_EQ(c.type, type) << c.name;
    ASSERT_EQ(c.size, size) << c.name;
    EXPECT_EQ(0, memcmp(c.data, buffer, c.size)) << c.name;
  }
}

TEST_F(RegistryContract, BinaryDataNeverGetsATerminatingNul) {
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(scratch_, "Binary", 0, REG_BINARY, Bytes("abc"), 3));
  char buffer[16];
  memset(buffer, '#', sizeof buffer);
  DWORD size = sizeof buffer;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(scratch_, "Binary", NULL, NULL,
                             reinterpret_cast<BYTE*>(buffer), &size));
  EXPECT_EQ(3u, size);
  EXPECT_EQ(std::string("abc#"), std::string(buffer, 4));
}

// The NT line stores text values with the size given, which may leave out
// the NUL: a text that fills the buffer then comes back unterminated, and a
// reader must not take the buffer for a string. (The NT line also looks at
// the byte after the size given and stores it when it is a NUL; the data here
// avoids that.) The 9x line stores a text up to its first NUL, always with it.
TEST_F(RegistryContract, TextSizeGivenWithoutTheNul) {
  char buffer[16];
  memset(buffer, '#', sizeof buffer);
  DWORD size = 4;
  if (contract::IsNtLine()) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(scratch_, "Bare", 0, REG_SZ, Bytes("abcdX"), 4));
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(scratch_, "Bare", NULL, NULL,
                               reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(std::string("abcd#"), std::string(buffer, 5));
    size = 3;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegQueryValueExA(scratch_, "Bare", NULL, NULL,
                               reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(4u, size);
  } else {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(scratch_, "Bare", 0, REG_SZ, Bytes("abcd"), 4));
    EXPECT_EQ(ERROR_MORE_DATA,
              RegQueryValueExA(scratch_, "Bare", NULL, NULL,
                               reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(5u, size);
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(scratch_, "Bare", NULL, NULL,
                               reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(std::string("abcd\0#", 6), std::string(buffer, 6));
  }
}

TEST_F(RegistryContract, TextAfterTheFirstNulIsKeptOnlyOnNt) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch_, "Padded", 0, REG_SZ,
                                          Bytes("ab\0garbage"), 11));
  char buffer[32];
  DWORD size = sizeof buffer;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(scratch_, "Padded", NULL, NULL,
                             reinterpret_cast<BYTE*>(buffer), &size));
  std::string expected = contract::IsNtLine() ? std::string("ab\0garbage", 11)
                                              : std::string("ab\0", 3);
  EXPECT_EQ(expected, std::string(buffer, size));
}

TEST_F(RegistryContract, SettingAValueAgainReplacesDataAndType) {
  SetString(scratch_, "Changing", "first");
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(scratch_, "CHANGING", 0, REG_BINARY,
                                          Bytes("\x07"), 1));
  DWORD type = REG_NONE;
  BYTE data[8] = {0};
  DWORD size = sizeof data;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(scratch_, "changing", NULL, &type, data, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(1u, size);
  EXPECT_EQ(7, data[0]);
  DWORD values = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryInfoKeyA(scratch_, NULL, NULL, NULL, NULL, NULL, NULL,
                             &values, NULL, NULL, NULL, NULL));
  EXPECT_EQ(1u, values);
}

// ---- Counting and enumerating ----

TEST_F(RegistryContract, QueryInfoCountsSubkeysAndValues) {
  DWORD subkeys = 99;
  DWORD values = 99;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryInfoKeyA(scratch_, NULL, NULL, NULL, &subkeys, NULL, NULL,
                             &values, NULL, NULL, NULL, NULL));
  EXPECT_EQ(0u, subkeys);
  EXPECT_EQ(0u, values);

  MakeKey("A");
  MakeKey("Longest\\NotCounted");
  SetString(scratch_, "Value", "12345678");
  SetString(scratch_, "LongerName", "1");
  DWORD maxSubkey = 0;
  DWORD maxName = 0;
  DWORD maxData = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryInfoKeyA(scratch_, NULL, NULL, NULL, &subkeys, &maxSubkey,
                             NULL, &values, &maxName, &maxData, NULL, NULL));
  EXPECT_EQ(2u, subkeys);
  EXPECT_EQ(2u, values);
  EXPECT_EQ(7u, maxSubkey);
  EXPECT_EQ(10u, maxName);
  // The NT line counts text values in its own 16-bit characters here.
  EXPECT_GE(maxData, 9u);
}

// A default value that is set counts among the key's values and is listed
// by the empty name: a file type's key that holds its link alone has one
// value, and it is the default one.
TEST_F(RegistryContract, TheDefaultValueIsCountedAndListedByTheEmptyName) {
  SetString(scratch_, "", "linked");
  DWORD subkeys = 99;
  DWORD values = 99;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryInfoKeyA(scratch_, NULL, NULL, NULL, &subkeys, NULL, NULL,
                             &values, NULL, NULL, NULL, NULL));
  EXPECT_EQ(0u, subkeys);
  EXPECT_EQ(1u, values);
  char name[MAX_PATH] = "unchanged";
  DWORD length = sizeof name;
  ASSERT_EQ(ERROR_SUCCESS,
            RegEnumValueA(scratch_, 0, name, &length, NULL, NULL, NULL, NULL));
  EXPECT_STREQ("", name);
  EXPECT_EQ(0u, length);
}

TEST_F(RegistryContract, EnumeratingValuesNamesEachOnceThenRunsOut) {
  SetString(scratch_, "First", "1");
  SetString(scratch_, "Second", "22");
  bool seenFirst = false;
  bool seenSecond = false;
  DWORD index = 0;
  for (;; ++index) {
    char name[MAX_PATH];
    DWORD length = sizeof name;
    LONG result =
        RegEnumValueA(scratch_, index, name, &length, NULL, NULL, NULL, NULL);
    if (result == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, result);
    ASSERT_EQ(strlen(name), length);
    if (strcmp(name, "First") == 0) seenFirst = true;
    if (strcmp(name, "Second") == 0) seenSecond = true;
    ASSERT_LT(index, 2u);
  }
  EXPECT_EQ(2u, index);
  EXPECT_TRUE(seenFirst);
  EXPECT_TRUE(seenSecond);
}

TEST_F(RegistryContract, EnumeratingAValueNeedsRoomForTheNameAndItsNul) {
  SetString(scratch_, "Six666", "x");
  char name[16];
  DWORD length = 6;
  EXPECT_EQ(ERROR_MORE_DATA,
            RegEnumValueA(scratch_, 0, name, &length, NULL, NULL, NULL, NULL));
  length = 7;
  ASSERT_EQ(ERROR_SUCCESS,
            RegEnumValueA(scratch_, 0, name, &length, NULL, NULL, NULL, NULL));
  EXPECT_EQ(6u, length);
  EXPECT_STREQ("Six666", name);
}

TEST_F(RegistryContract, EnumeratingAValueCanAlsoReadItsData) {
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(scratch_, "Data", 0, REG_BINARY, Bytes("xyz"), 3));
  char name[MAX_PATH];
  DWORD length = sizeof name;
  DWORD type = REG_NONE;
  BYTE data[8];
  DWORD size = sizeof data;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(scratch_, 0, name, &length, NULL,
                                         &type, data, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(3u, size);
  EXPECT_EQ(0, memcmp("xyz", data, 3));
}

TEST_F(RegistryContract, EnumeratingSubkeys) {
  MakeKey("Alpha");
  MakeKey("Beta\\Below");
  char name[MAX_PATH];
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(scratch_, 2, name, sizeof name));
  bool seenAlpha = false;
  bool seenBeta = false;
  for (DWORD index = 0; index < 2; ++index) {
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyA(scratch_, index, name, sizeof name));
    if (strcmp(name, "Alpha") == 0) seenAlpha = true;
    if (strcmp(name, "Beta") == 0) seenBeta = true;
  }
  EXPECT_TRUE(seenAlpha);
  EXPECT_TRUE(seenBeta);
}

TEST_F(RegistryContract, EnumeratingASubkeyNeedsRoomForTheNameAndItsNul) {
  MakeKey("Five5");
  char name[16];
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(scratch_, 0, name, 5));
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyA(scratch_, 0, name, 6));
  EXPECT_STREQ("Five5", name);
}

TEST_F(RegistryContract, DeletingAtIndexZeroEmptiesAKey) {
  MakeKey("b");
  MakeKey("A");
  MakeKey("c");
  char name[MAX_PATH];
  int deleted = 0;
  while (RegEnumKeyA(scratch_, 0, name, sizeof name) == ERROR_SUCCESS) {
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch_, name));
    ASSERT_LE(++deleted, 3);
  }
  EXPECT_EQ(3, deleted);
}

// ---- Handles of deleted keys, access rights ----

TEST_F(RegistryContract, AHandleToADeletedKeyFailsWithKeyDeleted) {
  MakeKey("Vanishing");
  HKEY key = NULL;
  ASSERT_EQ(ERROR_SUCCESS, Open("Vanishing", KEY_READ | KEY_WRITE, &key));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch_, "Vanishing"));

  char buffer[MAX_PATH];
  DWORD size = sizeof buffer;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegQueryValueExA(key, "x", NULL, NULL,
                             reinterpret_cast<BYTE*>(buffer), &size));
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegSetValueExA(key, "x", 0, REG_SZ, Bytes("y"), 2));
  DWORD count = 0;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegQueryInfoKeyA(key, NULL, NULL, NULL, &count, NULL, NULL, NULL,
                             NULL, NULL, NULL, NULL));
  EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyA(key, 0, buffer, sizeof buffer));
  DWORD length = sizeof buffer;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegEnumValueA(key, 0, buffer, &length, NULL, NULL, NULL, NULL));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

  HKEY reopened = NULL;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open("Vanishing", KEY_READ, &reopened));
}

TEST_F(RegistryContract, OnNtAReadHandleCannotWrite) {
  if (!contract::IsNtLine()) return;
  SetString(scratch_, "Guarded", "1");
  HKEY key = NULL;
  ASSERT_EQ(ERROR_SUCCESS, Open("", KEY_READ, &key));
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegSetValueExA(key, "Guarded", 0, REG_SZ, Bytes("2"), 2));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(key, "Guarded"));
  RegCloseKey(key);

  ASSERT_EQ(ERROR_SUCCESS, Open("", KEY_WRITE, &key));
  DWORD size = 0;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegQueryValueExA(key, "Guarded", NULL, NULL, NULL, &size));
  RegCloseKey(key);
}

// Loaded profiles are listed by RegEnumKeyA on the predefined HKEY_USERS
// handle, and HKEY_CURRENT_USER is one of them: what is written through the
// one shows, read-only, through exactly one of the others.
TEST_F(RegistryContract, TheCurrentUserIsOneOfTheLoadedProfiles) {
  SetString(scratch_, "Mark", "here");
  const DWORD kEnoughProfiles = 64;
  int found = 0;
  DWORD index = 0;
  for (; index < kEnoughProfiles; ++index) {
    char profile[MAX_PATH];
    LONG listed = RegEnumKeyA(HKEY_USERS, index, profile, sizeof profile);
    if (listed == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, listed);
    std::string path = std::string(profile) + "\\" + kScratch;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_USERS, path.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
      continue;
    }
    char text[MAX_PATH] = "";
    DWORD size = sizeof text;
    if (RegQueryValueExA(key, "Mark", NULL, NULL, reinterpret_cast<BYTE*>(text),
                         &size) == ERROR_SUCCESS &&
        strcmp(text, "here") == 0) {
      ++found;
    }
    RegCloseKey(key);
  }
  EXPECT_LT(index, kEnoughProfiles);
  EXPECT_EQ(1, found);
}

}  // namespace
