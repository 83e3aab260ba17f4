// The simulated users' registries: hive files that a logoff leaves and a
// logon loads, RegLoadKeyA and RegUnLoadKeyA as their references describe
// them, the privileges they need, and what a restart does to them.
#include <string>

#include <gtest/gtest.h>

#include "sim/sim_control.h"

namespace {

const char kUser[] = "S-1-5-21-7-7-7-1001";
const char kFolder[] = "%SystemDrive%\\Documents and Settings\\Other";
const char kHive[] = "C:\\Documents and Settings\\Other\\NTUSER.DAT";

// Enables or disables the two privileges through the token, as a program
// does.
void SetPrivileges(bool enable) {
  HANDLE token = NULL;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(),
                               TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  for (const char* name : {"SeBackupPrivilege", "SeRestorePrivilege"}) {
    TOKEN_PRIVILEGES wanted;
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    ASSERT_TRUE(LookupPrivilegeValueA(NULL, name, &wanted.Privileges[0].Luid));
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, 0, NULL, NULL));
  }
  CloseHandle(token);
}

class SimHives : public testing::Test {
 protected:
  void SetUp() override {
    sim::Reset(sim::Line::Nt);
    sim::SetStringValue(HKEY_USERS, std::string(kUser) + "\\Software\\App",
                        "Mode", "slow");
    sim::UnloadProfile(kUser, kFolder);
  }
};

TEST_F(SimHives, ALogoffLeavesAFileAndAListedProfile) {
  EXPECT_FALSE(sim::KeyExists(HKEY_USERS, kUser));
  EXPECT_TRUE(sim::FileExists(kHive));
  EXPECT_EQ(std::string(kFolder) + std::string(1, '\0'),
            sim::ValueData(HKEY_LOCAL_MACHINE,
                           std::string("SOFTWARE\\Microsoft\\Windows NT\\"
                                       "CurrentVersion\\ProfileList\\") +
                               kUser,
                           "ProfileImagePath"));
  ASSERT_TRUE(sim::LoadProfile(kUser));
  EXPECT_TRUE(sim::ValueExists(HKEY_USERS,
                               std::string(kUser) + "\\Software\\App", "Mode"));
  EXPECT_FALSE(sim::LoadProfile(kUser)) << "loaded already";
  EXPECT_TRUE(sim::LoadedHives().empty()) << "the system's, not the program's";
}

TEST_F(SimHives, NtLoadsOnlyWithBothPrivilegesEnabled) {
  EXPECT_EQ(ERROR_PRIVILEGE_NOT_HELD, RegLoadKeyA(HKEY_USERS, "x", kHive));
  SetPrivileges(true);
  ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, "x", kHive));
  SetPrivileges(false);
  EXPECT_EQ(ERROR_PRIVILEGE_NOT_HELD, RegUnLoadKeyA(HKEY_USERS, "x"));
  SetPrivileges(true);
  EXPECT_EQ(ERROR_SUCCESS, RegUnLoadKeyA(HKEY_USERS, "x"));
}

TEST_F(SimHives, ALimitedUserCannotEnableThem) {
  sim::SetAccount(sim::Account::User);
  HANDLE token = NULL;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(),
                               TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  TOKEN_PRIVILEGES wanted;
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ASSERT_TRUE(LookupPrivilegeValueA(NULL, "SeRestorePrivilege",
                                    &wanted.Privileges[0].Luid));
  EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, 0, NULL, NULL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED), GetLastError());
  CloseHandle(token);
  EXPECT_EQ(ERROR_PRIVILEGE_NOT_HELD, RegLoadKeyA(HKEY_USERS, "x", kHive));
}

TEST_F(SimHives, AMissingFileIsCreatedAsTheReferenceSays) {
  SetPrivileges(true);
  const char kMissing[] = "C:\\Documents and Settings\\Nobody\\NTUSER.DAT";
  sim::MakeDirectory("C:\\Documents and Settings\\Nobody");
  ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, "x", kMissing));
  EXPECT_TRUE(sim::FileExists(kMissing));
  EXPECT_TRUE(sim::KeyExists(HKEY_USERS, "x"));
}

TEST_F(SimHives, UnloadingWaitsForEveryHandleBelowAndWritesTheFileBack) {
  SetPrivileges(true);
  ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, "x", kHive));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, RegLoadKeyA(HKEY_USERS, "y", kHive));
  HKEY app = NULL;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_USERS, "x\\Software\\App", 0,
                                         KEY_READ | KEY_WRITE, &app));
  RegDeleteValueA(app, "Mode");
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegUnLoadKeyA(HKEY_USERS, "x"));
  RegCloseKey(app);
  sim::HoldKeyOpen(HKEY_USERS, "x\\Software");
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegUnLoadKeyA(HKEY_USERS, "x"));
  sim::ReleaseHeldKeys();
  ASSERT_EQ(ERROR_SUCCESS, RegUnLoadKeyA(HKEY_USERS, "x"));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegUnLoadKeyA(HKEY_USERS, "x"));

  ASSERT_TRUE(sim::LoadProfile(kUser));
  EXPECT_TRUE(
      sim::KeyExists(HKEY_USERS, std::string(kUser) + "\\Software\\App"));
  EXPECT_FALSE(sim::ValueExists(
      HKEY_USERS, std::string(kUser) + "\\Software\\App", "Mode"));
}

TEST_F(SimHives, ADamagedFileDoesNotLoad) {
  SetPrivileges(true);
  sim::PutFile(kHive, "regf#999");
  EXPECT_EQ(ERROR_BADDB, RegLoadKeyA(HKEY_USERS, "x", kHive));
  sim::PutFile(kHive, "");
  EXPECT_EQ(ERROR_BADDB, RegLoadKeyA(HKEY_USERS, "x", kHive));
  EXPECT_FALSE(sim::KeyExists(HKEY_USERS, "x"));
}

TEST_F(SimHives, ARestartUnloadsWhatTheProgramLeft) {
  SetPrivileges(true);
  ASSERT_EQ(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, "x", kHive));
  EXPECT_EQ(std::vector<std::string>{"x"}, sim::LoadedHives());
  sim::Restart();
  EXPECT_TRUE(sim::LoadedHives().empty());
  EXPECT_FALSE(sim::KeyExists(HKEY_USERS, "x"));
}

// Windows 95 takes no long file name; the 9x line needs no privileges.
TEST(SimHives9x, OnlyShortNamesLoad) {
  sim::Reset(sim::Line::Win9x);
  sim::SetStringValue(HKEY_USERS, "away\\Software\\App", "Mode", "slow");
  sim::UnloadProfile("away", "C:\\WINDOWS\\Profiles\\Away From Home");
  const char kLong[] = "C:\\WINDOWS\\Profiles\\Away From Home\\USER.DAT";
  EXPECT_NE(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, "x", kLong));
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(kLong, shortPath, sizeof shortPath);
  ASSERT_TRUE(length > 0 && length < sizeof shortPath);
  EXPECT_EQ(ERROR_SUCCESS, RegLoadKeyA(HKEY_USERS, "x", shortPath));
}

TEST(SimEnvironment, ExpandsKnownNamesAndKeepsOthers) {
  sim::Reset(sim::Line::Nt);
  char text[8];
  EXPECT_EQ(4u,
            ExpandEnvironmentStringsA("%SystemDrive%\\", text, sizeof text));
  EXPECT_STREQ("C:\\", text);
  EXPECT_EQ("%a%b%c", sim::ExpandEnvironment("%a%b%c"));
  EXPECT_EQ("C:C:", sim::ExpandEnvironment("%systemdrive%%SYSTEMDRIVE%"));
  EXPECT_EQ(std::string("%Unknown%\\").size() + 1,
            ExpandEnvironmentStringsA("%Unknown%\\", text, 2));
}

}  // namespace
