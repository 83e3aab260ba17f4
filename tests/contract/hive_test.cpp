// What the logic relies on to reach the users who are not logged on: a
// registry file loaded under HKEY_USERS and unloaded back into its file, the
// two privileges that takes on the NT line, and the expansion of the
// profile list's folders.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "contract/contract_support.h"
#include "platform/windows_api.h"

namespace {

const char kScratchKey[] = "Software\\WormsweepContract\\Hive";
const char kLoadedKey[] = "wormsweep:contract";

union PrivilegeBuffer {
  TOKEN_PRIVILEGES privileges;
  BYTE bytes[sizeof(TOKEN_PRIVILEGES) + sizeof(LUID_AND_ATTRIBUTES)];
};

// Enables or disables the backup and restore privileges of the process.
// False when the line has no privileges to enable.
bool SetHivePrivileges(bool enable) {
  PrivilegeBuffer wanted;
  wanted.privileges.PrivilegeCount = 2;
  LUID_AND_ATTRIBUTES* entries = &wanted.privileges.Privileges[0];
  if (!LookupPrivilegeValueA(NULL, "SeBackupPrivilege", &entries[0].Luid) ||
      !LookupPrivilegeValueA(NULL, "SeRestorePrivilege", &entries[1].Luid)) {
    return false;
  }
  entries[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  entries[1].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  HANDLE token = NULL;
  if (!OpenProcessToken(GetCurrentProcess(),
                        TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  BOOL adjusted =
      AdjustTokenPrivileges(token, FALSE, &wanted.privileges, 0, NULL, NULL);
  CloseHandle(token);
  return adjusted != FALSE;
}

std::string HiveFile() {
  char directory[MAX_PATH];
  UINT length = GetWindowsDirectoryA(directory, sizeof directory);
  EXPECT_TRUE(length > 0 && length < sizeof directory);
  return std::string(directory) + "\\wsctest.dat";
}

std::string ReadText(HKEY root, const std::string& path, const char* name) {
  HKEY key = NULL;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return "(no key)";
  }
  char text[MAX_PATH] = "";
  DWORD size = sizeof text;
  LONG read = RegQueryValueExA(key, name, NULL, NULL,
                               reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return read == ERROR_SUCCESS ? std::string(text) : "(no value)";
}

void SetText(HKEY root, const std::string& path, const char* name,
             const char* text) {
  HKEY key = NULL;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(root, path.c_str(), 0, NULL, 0,
                            KEY_READ | KEY_WRITE, NULL, &key, NULL));
  EXPECT_EQ(
      ERROR_SUCCESS,
      RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(strlen(text) + 1)));
  RegCloseKey(key);
}

class HiveContract : public testing::Test {
 protected:
  void SetUp() override {
    file_ = HiveFile();
    DeleteFileA(file_.c_str());
    privileges_ = SetHivePrivileges(true);
  }
  void TearDown() override {
    RegUnLoadKeyA(HKEY_USERS, kLoadedKey);
    DeleteFileA(file_.c_str());
    contract::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\WormsweepContract");
    if (privileges_) SetHivePrivileges(false);
  }

  // A scratch key saved to the file, as a logoff leaves a user's registry.
  void SaveScratchKey() {
    SetText(HKEY_CURRENT_USER, kScratchKey, "Mark", "saved");
    SetText(HKEY_CURRENT_USER, std::string(kScratchKey) + "\\Below", "Deep",
            "yes");
    HKEY scratch = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kScratchKey, 0,
                                           KEY_READ, &scratch));
    ASSERT_EQ(ERROR_SUCCESS, RegSaveKeyA(scratch, file_.c_str(), NULL));
    RegCloseKey(scratch);
  }

  std::string file_;
  bool privileges_ = false;
};

// The 9x line has no privileges: its advapi32 has stubs that fail. Wine
// has them whatever version it reports, as an NT system in a compatibility
// mode does.
TEST_F(HiveContract, ThePrivilegesAreThereOnlyOnTheNtLine) {
  if (!contract::AgainstWine()) {
    EXPECT_EQ(contract::IsNtLine(), privileges_);
  }
  if (!privileges_) return;
  LUID backup;
  LUID restore;
  ASSERT_TRUE(LookupPrivilegeValueA(NULL, "SeBackupPrivilege", &backup));
  ASSERT_TRUE(LookupPrivilegeValueA(NULL, "SeRestorePrivilege", &restore));
  EXPECT_NE(backup.LowPart, restore.LowPart);
  SetLastError(12345);
  EXPECT_FALSE(LookupPrivilegeValueA(NULL, "SeNoSuchPrivilege", &backup));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE), GetLastError());
}

// An administrator's token holds both: the call succeeds and says that it
// assigned every one, and tells what it changed so that it can be undone.
TEST_F(HiveContract, EnablingTellsWhatItChanged) {
  if (!privileges_) return;
  ASSERT_TRUE(SetHivePrivileges(false));
  PrivilegeBuffer wanted;
  wanted.privileges.PrivilegeCount = 2;
  LUID_AND_ATTRIBUTES* entries = &wanted.privileges.Privileges[0];
  ASSERT_TRUE(
      LookupPrivilegeValueA(NULL, "SeBackupPrivilege", &entries[0].Luid));
  ASSERT_TRUE(
      LookupPrivilegeValueA(NULL, "SeRestorePrivilege", &entries[1].Luid));
  entries[0].Attributes = SE_PRIVILEGE_ENABLED;
  entries[1].Attributes = SE_PRIVILEGE_ENABLED;
  HANDLE token = NULL;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(),
                               TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  PrivilegeBuffer previous;
  DWORD length = 0;
  SetLastError(12345);
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted.privileges,
                                    sizeof previous, &previous.privileges,
                                    &length));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
  // Enabled already: nothing changes, and the previous state is empty.
  PrivilegeBuffer unchanged;
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted.privileges,
                                    sizeof unchanged, &unchanged.privileges,
                                    &length));
  CloseHandle(token);
  // Wine's previous state is not what it changed: empty the first time,
  // both privileges the second.
  if (contract::AgainstWine()) return;
  ASSERT_EQ(2u, previous.privileges.PrivilegeCount);
  EXPECT_EQ(
      0u, previous.privileges.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED);
  EXPECT_EQ(0u, unchanged.privileges.PrivilegeCount);
}

TEST_F(HiveContract, ASavedKeyLoadsUnderUsersAndUnloadsBackIntoItsFile) {
  SaveScratchKey();
  ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, kLoadedKey, file_.c_str()));
  EXPECT_EQ("saved", ReadText(HKEY_USERS, kLoadedKey, "Mark"));
  EXPECT_EQ("yes",
            ReadText(HKEY_USERS, std::string(kLoadedKey) + "\\Below", "Deep"));
  // Found as a key of HKEY_USERS, as the cleaners walk it.
  bool listed = false;
  char name[MAX_PATH];
  for (DWORD i = 0;
       RegEnumKeyA(HKEY_USERS, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
    listed = listed || strcmp(name, kLoadedKey) == 0;
  }
  EXPECT_TRUE(listed);
  // Loaded once only: the file is in use. Wine loads it twice.
  LONG again = RegLoadKeyA(HKEY_USERS, "wormsweep:again", file_.c_str());
  if (again == ERROR_SUCCESS) RegUnLoadKeyA(HKEY_USERS, "wormsweep:again");
  if (!contract::AgainstWine()) {
    EXPECT_NE(ERROR_SUCCESS, again);
  }

  SetText(HKEY_USERS, kLoadedKey, "Mark", "changed");
  ASSERT_EQ(ERROR_SUCCESS, RegUnLoadKeyA(HKEY_USERS, kLoadedKey));
  EXPECT_EQ("(no key)", ReadText(HKEY_USERS, kLoadedKey, "Mark"));

  // What changed while it was loaded is in the file; Wine does not write a
  // loaded hive back.
  ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, kLoadedKey, file_.c_str()));
  EXPECT_EQ(contract::AgainstWine() ? "saved" : "changed",
            ReadText(HKEY_USERS, kLoadedKey, "Mark"));
  EXPECT_EQ(ERROR_SUCCESS, RegUnLoadKeyA(HKEY_USERS, kLoadedKey));
}

// A file that is no registry at all.
TEST_F(HiveContract, ADamagedFileDoesNotLoad) {
  HANDLE file = CreateFileA(file_.c_str(), GENERIC_WRITE, 0, NULL,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  const char junk[] = "this is not a registry file at all";
  DWORD written = 0;
  WriteFile(file, junk, sizeof junk, &written, NULL);
  CloseHandle(file);
  EXPECT_NE(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, kLoadedKey, file_.c_str()));
  // Wine leaves an empty key behind.
  EXPECT_EQ(contract::AgainstWine() ? "(no value)" : "(no key)",
            ReadText(HKEY_USERS, kLoadedKey, "Mark"));
}

// Windows refuses to unload a hive while any key of it is open, another
// program's included (the reference of RegUnLoadKey); Wine unloads it.
TEST_F(HiveContract, UnloadingWaitsUntilNoKeyBelowIsOpen) {
  SaveScratchKey();
  ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, kLoadedKey, file_.c_str()));
  HKEY below = NULL;
  ASSERT_EQ(
      ERROR_SUCCESS,
      RegOpenKeyExA(HKEY_USERS, (std::string(kLoadedKey) + "\\Below").c_str(),
                    0, KEY_READ, &below));
  LONG unloaded = RegUnLoadKeyA(HKEY_USERS, kLoadedKey);
  if (!contract::AgainstWine()) {
    EXPECT_EQ(ERROR_ACCESS_DENIED, unloaded);
  }
  RegCloseKey(below);
  if (unloaded != ERROR_SUCCESS) {
    EXPECT_EQ(ERROR_SUCCESS, RegUnLoadKeyA(HKEY_USERS, kLoadedKey));
  }
}

// Windows needs both privileges enabled (the reference of RegLoadKey); Wine
// does not ask for them.
TEST_F(HiveContract, WithoutThePrivilegesNtLoadsNothing) {
  SaveScratchKey();
  if (!privileges_) {
    EXPECT_EQ(ERROR_SUCCESS,
              RegLoadKeyA(HKEY_USERS, kLoadedKey, file_.c_str()));
    return;
  }
  ASSERT_TRUE(SetHivePrivileges(false));
  LONG loaded = RegLoadKeyA(HKEY_USERS, kLoadedKey, file_.c_str());
  if (!contract::AgainstWine()) {
    EXPECT_EQ(ERROR_PRIVILEGE_NOT_HELD, loaded);
  }
}

TEST(EnvironmentContract, ExpandingGivesTheCountWithTheNul) {
  char expanded[MAX_PATH];
  DWORD length =
      ExpandEnvironmentStringsA("%SystemDrive%\\Users", expanded, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(strlen(expanded) + 1, length);
  EXPECT_EQ(':', expanded[1]);
  EXPECT_STREQ("\\Users", expanded + 2);

  // A name that is not set stays as it is.
  length =
      ExpandEnvironmentStringsA("%NoSuchVariableHere%\\x", expanded, MAX_PATH);
  EXPECT_STREQ("%NoSuchVariableHere%\\x", expanded);

  // Too small a buffer: the count needed, larger than the buffer.
  char small[4];
  EXPECT_GT(
      ExpandEnvironmentStringsA("%SystemDrive%\\Users", small, sizeof small),
      static_cast<DWORD>(sizeof small));
}

}  // namespace
