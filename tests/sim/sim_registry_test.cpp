// The simulated registry's own surface: failures on demand, the control
// functions, the dump, handle bookkeeping and where the two lines differ.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/sim_control.h"

namespace {

const char kKey[] = "Software\\Test";

const BYTE* Bytes(const char* text) {
  return reinterpret_cast<const BYTE*>(text);
}

HKEY OpenTestKey(REGSAM access = KEY_READ | KEY_WRITE) {
  HKEY key = NULL;
  EXPECT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, access, &key));
  return key;
}

class SimRegistry : public testing::Test {
 protected:
  void SetUp() override { sim::Reset(sim::Line::Nt); }
};

// ---- Failures on demand ----

// One call of each function, on a key that holds a value and a subkey.
LONG CallOnce(const std::string& function, HKEY key) {
  char name[MAX_PATH];
  DWORD length = sizeof name;
  DWORD count = 0;
  HKEY opened = NULL;
  if (function == "RegOpenKeyExA") {
    return RegOpenKeyExA(key, "Sub", 0, KEY_READ, &opened);
  }
  if (function == "RegCreateKeyExA") {
    return RegCreateKeyExA(key, "New", 0, NULL, REG_OPTION_NON_VOLATILE,
                           KEY_READ, NULL, &opened, NULL);
  }
  if (function == "RegCloseKey") return RegCloseKey(key);
  if (function == "RegDeleteKeyA") return RegDeleteKeyA(key, "Sub");
  if (function == "RegDeleteValueA") return RegDeleteValueA(key, "Value");
  if (function == "RegQueryValueExA") {
    return RegQueryValueExA(key, "Value", NULL, NULL, NULL, &count);
  }
  if (function == "RegSetValueExA") {
    return RegSetValueExA(key, "Value", 0, REG_SZ, Bytes("changed"), 8);
  }
  if (function == "RegQueryInfoKeyA") {
    return RegQueryInfoKeyA(key, NULL, NULL, NULL, &count, NULL, NULL, NULL,
                            NULL, NULL, NULL, NULL);
  }
  if (function == "RegEnumValueA") {
    return RegEnumValueA(key, 0, name, &length, NULL, NULL, NULL, NULL);
  }
  if (function == "RegEnumKeyA") return RegEnumKeyA(key, 0, name, sizeof name);
  ADD_FAILURE() << "no call for " << function;
  return ERROR_SUCCESS;
}

const char* const kRegistryFunctions[] = {
    "RegOpenKeyExA",   "RegCreateKeyExA",  "RegCloseKey",    "RegDeleteKeyA",
    "RegDeleteValueA", "RegQueryValueExA", "RegSetValueExA", "RegQueryInfoKeyA",
    "RegEnumValueA",   "RegEnumKeyA",
};

TEST_F(SimRegistry, EveryFunctionFailsWhenToldAndChangesNothing) {
  for (const char* function : kRegistryFunctions) {
    sim::Reset(sim::Line::Nt);
    sim::SetStringValue(HKEY_CURRENT_USER, kKey, "Value", "original");
    sim::CreateKey(HKEY_CURRENT_USER, std::string(kKey) + "\\Sub");
    HKEY key = OpenTestKey();
    std::string before = sim::RegistryDump();
    int openBefore = sim::OpenKeyCount();
    int callsBefore = sim::CallCount(function);

    sim::FailCall(function, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, CallOnce(function, key)) << function;
    EXPECT_EQ(before, sim::RegistryDump()) << function;
    EXPECT_EQ(openBefore, sim::OpenKeyCount()) << function;
    EXPECT_EQ(callsBefore + 1, sim::CallCount(function)) << function;
    // Armed once: the next call goes through.
    EXPECT_EQ(ERROR_SUCCESS, CallOnce(function, key)) << function;
  }
}

TEST_F(SimRegistry, AFailureCanWaitForTheNthCall) {
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, 3);
  const LONG expected[] = {ERROR_SUCCESS, ERROR_SUCCESS, ERROR_ACCESS_DENIED,
                           ERROR_SUCCESS};
  for (LONG result : expected) {
    HKEY key = NULL;
    EXPECT_EQ(result,
              RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key));
    if (result == ERROR_SUCCESS) {
      RegCloseKey(key);
    } else {
      EXPECT_TRUE(key == NULL);
    }
  }
  EXPECT_EQ(4, sim::CallCount("RegOpenKeyExA"));
  EXPECT_EQ(0, sim::OpenKeyCount());
}

TEST_F(SimRegistry, APersistentFailureKeepsFailingUntilCleared) {
  sim::SetStringValue(HKEY_CURRENT_USER, kKey, "Value", "x");
  HKEY key = OpenTestKey();
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED, 2, true);
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(key, "Value", NULL, NULL, NULL, &size));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegQueryValueExA(key, "Value", NULL, NULL, NULL, &size));
  }
  sim::ClearFailures();
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(key, "Value", NULL, NULL, NULL, &size));
  RegCloseKey(key);
}

TEST_F(SimRegistry, TheControlFunctionsBypassFailuresAndTheLastError) {
  for (const char* function : kRegistryFunctions) {
    sim::FailCall(function, ERROR_ACCESS_DENIED, 1, true);
  }
  SetLastError(1234);
  sim::CreateKey(HKEY_LOCAL_MACHINE, "A\\B");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "A", "Text", "hi");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, "A", "Raw", REG_BINARY, "\x01");
  EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "a\\b"));
  EXPECT_TRUE(sim::ValueExists(HKEY_LOCAL_MACHINE, "A", "TEXT"));
  EXPECT_EQ(std::string("hi\0", 3),
            sim::ValueData(HKEY_LOCAL_MACHINE, "A", "text"));
  EXPECT_FALSE(sim::RegistryDump().empty());
  EXPECT_EQ(0, sim::OpenKeyCount());
  EXPECT_EQ(1234u, GetLastError());
  for (const char* function : kRegistryFunctions) {
    EXPECT_EQ(0, sim::CallCount(function)) << function;
  }
}

// ---- Control functions ----

TEST_F(SimRegistry, StringValuesKeepTheirNulAndRawValuesDoNot) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".txt", "", "txtfile");
  sim::SetRawValue(HKEY_CLASSES_ROOT, ".txt", "Raw", REG_SZ, "bare");
  EXPECT_EQ(std::string("txtfile\0", 8),
            sim::ValueData(HKEY_CLASSES_ROOT, ".txt", ""));
  EXPECT_EQ("bare", sim::ValueData(HKEY_CLASSES_ROOT, ".txt", "Raw"));
  EXPECT_EQ("", sim::ValueData(HKEY_CLASSES_ROOT, ".txt", "Missing"));
  EXPECT_EQ("", sim::ValueData(HKEY_CLASSES_ROOT, "Missing", ""));
  EXPECT_FALSE(sim::ValueExists(HKEY_CLASSES_ROOT, ".txt", "Missing"));
  EXPECT_FALSE(sim::ValueExists(HKEY_CURRENT_USER, ".txt", ""));
  EXPECT_FALSE(sim::KeyExists(HKEY_LOCAL_MACHINE, ".txt"));

  HKEY key = NULL;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_CLASSES_ROOT, ".TXT", 0, KEY_READ, &key));
  char text[MAX_PATH];
  DWORD size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(key, NULL, NULL, NULL,
                             reinterpret_cast<BYTE*>(text), &size));
  EXPECT_EQ(8u, size);
  EXPECT_STREQ("txtfile", text);
  RegCloseKey(key);
}

TEST_F(SimRegistry, WhatTheProgramWritesShowsThroughTheControlFunctions) {
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  HKEY key = OpenTestKey();
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "Written", 0, REG_BINARY, Bytes("a\0b"), 3));
  HKEY created = NULL;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(key, "Made\\Deep", 0, NULL, 0,
                                           KEY_READ, NULL, &created, NULL));
  RegCloseKey(created);
  RegCloseKey(key);
  EXPECT_EQ(std::string("a\0b", 3),
            sim::ValueData(HKEY_CURRENT_USER, kKey, "written"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "software\\test\\made\\deep"));
}

// ---- Dump ----

TEST_F(SimRegistry, TheDumpShowsEveryKeyValueTypeAndByte) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Path", "C:\\x");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, "Software\\Vendor", "", REG_DWORD,
                   std::string("\x01\0\0\x80", 4));
  sim::CreateKey(HKEY_CLASSES_ROOT, "exefile");
  sim::CreateKey(HKEY_USERS, ".Default");
  EXPECT_EQ(
      "HKEY_CLASSES_ROOT\n"
      "HKEY_CLASSES_ROOT\\exefile\n"
      "HKEY_CURRENT_USER\n"
      "HKEY_LOCAL_MACHINE\n"
      "HKEY_LOCAL_MACHINE\\Software\n"
      "HKEY_LOCAL_MACHINE\\Software\\Vendor\n"
      "HKEY_LOCAL_MACHINE\\Software\\Vendor : \"\" = REG_DWORD "
      "\"\\x01\\x00\\x00\\x80\"\n"
      "HKEY_LOCAL_MACHINE\\Software\\Vendor : \"Path\" = REG_SZ "
      "\"C:\\x5Cx\\x00\"\n"
      "HKEY_LOCAL_MACHINE\\SYSTEM\n"
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\n"
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\n"
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session "
      "Manager\n"
      "HKEY_USERS\n"
      "HKEY_USERS\\.Default\n"
      "HKEY_USERS\\S-1-5-21-0-0-0-1000\n",
      sim::RegistryDump());
}

TEST_F(SimRegistry, TheCurrentUsersProfileIsDumpedOnce) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Vendor", "Mode", "1");
  std::string dump = sim::RegistryDump();
  EXPECT_NE(std::string::npos,
            dump.find("HKEY_CURRENT_USER\\Software\\Vendor : \"Mode\""));
  EXPECT_NE(std::string::npos, dump.find(std::string("HKEY_USERS\\") +
                                         sim::kCurrentUserProfile + "\n"));
  EXPECT_EQ(std::string::npos, dump.find(std::string("HKEY_USERS\\") +
                                         sim::kCurrentUserProfile + "\\"));
}

TEST_F(SimRegistry, AnyChangeShowsInTheDump) {
  struct Change {
    const char* what;
    void (*make)();
  };
  const Change changes[] = {
      {"one byte of data",
       [] { sim::SetRawValue(HKEY_CURRENT_USER, kKey, "V", REG_SZ, "abd"); }},
      {"a trailing NUL",
       [] { sim::SetStringValue(HKEY_CURRENT_USER, kKey, "V", "abc"); }},
      {"the type",
       [] {
         sim::SetRawValue(HKEY_CURRENT_USER, kKey, "V", REG_EXPAND_SZ, "abc");
       }},
      {"an unusual type",
       [] { sim::SetRawValue(HKEY_CURRENT_USER, kKey, "V", 11, "abc"); }},
      {"a new empty key", [] { sim::CreateKey(HKEY_CLASSES_ROOT, "Other"); }},
      {"an empty default value",
       [] { sim::SetRawValue(HKEY_CURRENT_USER, kKey, "", REG_SZ, ""); }},
  };
  for (const Change& change : changes) {
    sim::Reset(sim::Line::Nt);
    sim::SetRawValue(HKEY_CURRENT_USER, kKey, "V", REG_SZ, "abc");
    std::string before = sim::RegistryDump();
    change.make();
    EXPECT_NE(before, sim::RegistryDump()) << change.what;
  }
}

TEST_F(SimRegistry, TheDumpDoesNotDependOnTheOrderOfCreation) {
  sim::SetStringValue(HKEY_CURRENT_USER, "B", "y", "2");
  sim::SetStringValue(HKEY_CURRENT_USER, "a", "x", "1");
  sim::SetStringValue(HKEY_CURRENT_USER, "B", "X", "3");
  std::string first = sim::RegistryDump();
  sim::Reset(sim::Line::Nt);
  sim::SetStringValue(HKEY_CURRENT_USER, "B", "X", "3");
  sim::SetStringValue(HKEY_CURRENT_USER, "a", "x", "1");
  sim::SetStringValue(HKEY_CURRENT_USER, "B", "y", "2");
  EXPECT_EQ(first, sim::RegistryDump());
}

// ---- Handles ----

TEST_F(SimRegistry, OpenKeysAreCountedUntilClosed) {
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  HKEY first = OpenTestKey();
  HKEY second = OpenTestKey();
  EXPECT_NE(first, second);
  EXPECT_EQ(2, sim::OpenKeyCount());
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(first));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(first));
  EXPECT_EQ(1, sim::OpenKeyCount());
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
  EXPECT_EQ(1, sim::OpenKeyCount());
  // A handle to a deleted key is still open until it is closed.
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(1, sim::OpenKeyCount());
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(second));
  EXPECT_EQ(0, sim::OpenKeyCount());
}

TEST_F(SimRegistry, AClosedHandleIsNeverHandedOutAgain) {
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  HKEY closed = OpenTestKey();
  RegCloseKey(closed);
  HKEY next = OpenTestKey();
  EXPECT_NE(closed, next);
  char name[MAX_PATH];
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyA(closed, 0, name, sizeof name));
  RegCloseKey(next);
}

TEST_F(SimRegistry, HandlesDoNotSurviveAReset) {
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  HKEY key = OpenTestKey();
  sim::Reset(sim::Line::Nt);
  EXPECT_EQ(0, sim::OpenKeyCount());
  DWORD size = 0;
  EXPECT_EQ(ERROR_INVALID_HANDLE,
            RegQueryValueExA(key, "", NULL, NULL, NULL, &size));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
}

TEST_F(SimRegistry, HandlesThatAreNoKeysAreRefused) {
  const HKEY notKeys[] = {NULL, reinterpret_cast<HKEY>(uintptr_t{0x80000004}),
                          reinterpret_cast<HKEY>(uintptr_t{0x12345})};
  for (HKEY handle : notKeys) {
    HKEY key = NULL;
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegOpenKeyExA(handle, "x", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegSetValueExA(handle, "v", 0, REG_SZ, Bytes("x"), 2));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyA(handle, "x"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(handle));
  }
}

TEST_F(SimRegistry, AKeyMadeAgainUnderTheSameNameIsANewKey) {
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  HKEY old = OpenTestKey();
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, kKey));
  sim::SetStringValue(HKEY_CURRENT_USER, kKey, "Fresh", "1");
  DWORD size = 0;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegQueryValueExA(old, "Fresh", NULL, NULL, NULL, &size));
  HKEY fresh = OpenTestKey();
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(fresh, "Fresh", NULL, NULL, NULL, &size));
  RegCloseKey(fresh);
  RegCloseKey(old);
}

// ---- Buffers ----

TEST_F(SimRegistry, NothingIsWrittenPastTheSizeGiven) {
  sim::SetStringValue(HKEY_CURRENT_USER, kKey, "Long", "0123456789");
  sim::CreateKey(HKEY_CURRENT_USER, std::string(kKey) + "\\Subkey");
  HKEY key = OpenTestKey();
  char buffer[32];
  memset(buffer, '#', sizeof buffer);
  DWORD size = 5;
  EXPECT_EQ(ERROR_MORE_DATA,
            RegQueryValueExA(key, "Long", NULL, NULL,
                             reinterpret_cast<BYTE*>(buffer), &size));
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(key, 0, buffer, 6));
  DWORD length = 4;
  EXPECT_EQ(ERROR_MORE_DATA,
            RegEnumValueA(key, 0, buffer, &length, NULL, NULL, NULL, NULL));
  EXPECT_EQ(4u, length);
  EXPECT_EQ(std::string(sizeof buffer, '#'),
            std::string(buffer, sizeof buffer));
  RegCloseKey(key);
}

TEST_F(SimRegistry, ClassAndSizesAreReportedOnlyWhereAsked) {
  sim::SetStringValue(HKEY_CURRENT_USER, kKey, "Value", "x");
  HKEY key = OpenTestKey();
  char keyClass[4] = "###";
  DWORD classLength = sizeof keyClass;
  DWORD values = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryInfoKeyA(key, keyClass, &classLength, NULL, NULL, NULL,
                             NULL, &values, NULL, NULL, NULL, NULL));
  EXPECT_STREQ("", keyClass);
  EXPECT_EQ(0u, classLength);
  EXPECT_EQ(1u, values);
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
                             NULL, NULL, NULL, NULL));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            RegQueryInfoKeyA(key, keyClass, NULL, NULL, NULL, NULL, NULL, NULL,
                             NULL, NULL, NULL, NULL));
  RegCloseKey(key);
}

// ---- The two lines ----

TEST_F(SimRegistry, NineXDeletesAWholeSubtreeAndItsOpenKeys) {
  sim::Reset(sim::Line::Win9x);
  sim::SetStringValue(HKEY_CURRENT_USER, "Tree\\Branch\\Leaf", "V", "x");
  sim::SetStringValue(HKEY_CURRENT_USER, "Treetop", "V", "kept");
  HKEY leaf = NULL;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_CURRENT_USER, "Tree\\Branch\\Leaf", 0, KEY_READ,
                          &leaf));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, "tree"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Tree"));
  EXPECT_FALSE(sim::KeyExists(HKEY_CURRENT_USER, "Tree\\Branch"));
  EXPECT_TRUE(sim::ValueExists(HKEY_CURRENT_USER, "Treetop", "V"));
  DWORD size = 0;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegQueryValueExA(leaf, "V", NULL, NULL, NULL, &size));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(leaf));
}

TEST_F(SimRegistry, NtRefusesAKeyWithSubkeysAndKeepsItWhole) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Tree\\Branch", "V", "x");
  std::string before = sim::RegistryDump();
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_USER, "Tree"));
  EXPECT_EQ(before, sim::RegistryDump());
}

TEST_F(SimRegistry, RootsCannotBeDeleted) {
  const sim::Line lines[] = {sim::Line::Nt, sim::Line::Win9x};
  for (sim::Line line : lines) {
    sim::Reset(line);
    sim::CreateKey(HKEY_CLASSES_ROOT, "Kept");
    std::string before = sim::RegistryDump();
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CLASSES_ROOT, ""));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(HKEY_CLASSES_ROOT, NULL));
    EXPECT_EQ(before, sim::RegistryDump());
  }
}

TEST_F(SimRegistry, NineXIgnoresAccessRights) {
  sim::Reset(sim::Line::Win9x);
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  HKEY key = OpenTestKey(KEY_READ);
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "V", 0, REG_SZ, Bytes("x"), 2));
  RegCloseKey(key);
  key = OpenTestKey(KEY_SET_VALUE);
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "V", NULL, NULL, NULL, &size));
  char name[MAX_PATH];
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 0, name, sizeof name));
  RegCloseKey(key);
}

TEST_F(SimRegistry, NtChecksEachOperationAgainstTheRightsAskedFor) {
  sim::SetStringValue(HKEY_CURRENT_USER, kKey, "V", "x");
  HKEY key = OpenTestKey(KEY_QUERY_VALUE);
  char name[MAX_PATH];
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyA(key, 0, name, sizeof name));
  DWORD length = sizeof name;
  EXPECT_EQ(ERROR_SUCCESS,
            RegEnumValueA(key, 0, name, &length, NULL, NULL, NULL, NULL));
  RegCloseKey(key);
  key = OpenTestKey(KEY_ENUMERATE_SUB_KEYS);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 0, name, sizeof name));
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
                             NULL, NULL, NULL, NULL));
  RegCloseKey(key);
}

TEST_F(SimRegistry, KeyTheUserCannotChangeOpensOnlyForReadingOnNt) {
  const struct {
    sim::Line line;
    LONG openForWriting;
    LONG deletion;
  } cases[] = {
      {sim::Line::Nt, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {sim::Line::Win9x, ERROR_SUCCESS, ERROR_SUCCESS},
  };
  for (const auto& c : cases) {
    sim::Reset(c.line);
    sim::MakeKeyReadOnlyForUser(HKEY_CURRENT_USER, kKey);
    HKEY key = NULL;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key));
    RegCloseKey(key);
    EXPECT_EQ(c.openForWriting, RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0,
                                              KEY_READ | KEY_WRITE, &key));
    if (key != NULL) RegCloseKey(key);
    EXPECT_EQ(c.openForWriting,
              RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, NULL, 0,
                              KEY_SET_VALUE, NULL, &key, NULL));
    if (key != NULL) RegCloseKey(key);
    EXPECT_EQ(c.deletion, RegDeleteKeyA(HKEY_CURRENT_USER, kKey));
    EXPECT_EQ(0, sim::OpenKeyCount());
  }
}

// 9x stores a text value up to its first NUL; with no NUL inside the size
// given the simulation adds one rather than read past the caller's data.
TEST_F(SimRegistry, NineXTextStopsAtTheFirstNul) {
  sim::Reset(sim::Line::Win9x);
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  HKEY key = OpenTestKey();
  std::vector<BYTE> unterminated = {'a', 'b', 'c', 'd'};
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "Bare", 0, REG_SZ, unterminated.data(), 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Binary", 0, REG_BINARY,
                                          unterminated.data(), 4));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "Expand", 0, REG_EXPAND_SZ, Bytes("a\0b"), 3));
  RegCloseKey(key);
  EXPECT_EQ(std::string("abcd\0", 5),
            sim::ValueData(HKEY_CURRENT_USER, kKey, "Bare"));
  EXPECT_EQ("abcd", sim::ValueData(HKEY_CURRENT_USER, kKey, "Binary"));
  EXPECT_EQ(std::string("a\0b", 3),
            sim::ValueData(HKEY_CURRENT_USER, kKey, "Expand"));
}

TEST_F(SimRegistry, NtStoresTextExactlyAsGiven) {
  sim::CreateKey(HKEY_CURRENT_USER, kKey);
  HKEY key = OpenTestKey();
  std::vector<BYTE> unterminated = {'a', 'b', 'c', 'd'};
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "Bare", 0, REG_SZ, unterminated.data(), 4));
  RegCloseKey(key);
  EXPECT_EQ("abcd", sim::ValueData(HKEY_CURRENT_USER, kKey, "Bare"));
}

}  // namespace
