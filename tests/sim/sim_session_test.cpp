// The simulated accounts and what each may change, and the modules that hand
// out the functions that the program finds at run time.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "sim/sim_control.h"

namespace {

bool MayOpenForWriting(HKEY root, const char* path) {
  sim::CreateKey(root, path);
  HKEY key = NULL;
  LONG opened = RegOpenKeyExA(root, path, 0, KEY_READ | KEY_WRITE, &key);
  if (opened == ERROR_SUCCESS) RegCloseKey(key);
  return opened == ERROR_SUCCESS;
}

bool MayDelete(const std::string& path) {
  sim::PutFile(path, "MZ");
  return DeleteFileA(path.c_str()) != FALSE;
}

bool MayWriteProfile(const std::string& path) {
  return WritePrivateProfileStringA("rename", "NUL", "C:\\worm.exe",
                                    path.c_str()) != FALSE;
}

bool MaySchedule() {
  sim::PutFile("C:\\worm.exe", "MZ");
  return MoveFileExA("C:\\worm.exe", NULL, MOVEFILE_DELAY_UNTIL_REBOOT) !=
         FALSE;
}

// Administrators may change everything; Power Users the keys of
// HKEY_LOCAL_MACHINE\Software and HKEY_CLASSES_ROOT only, and none of the
// files of the Windows and system directories; limited users no key of the
// machine. Neither may schedule a file for the next start. The 9x line has
// no accounts.
TEST(SimAccounts, WhatEachAccountMayChange) {
  struct Case {
    const char* what;
    sim::Line line;
    sim::Account account;
    bool software, system, classes, windowsFile, systemFile, otherFile,
        schedule;
  } cases[] = {
      {"administrator", sim::Line::Nt, sim::Account::Administrator, true, true,
       true, true, true, true, true},
      {"power user", sim::Line::Nt, sim::Account::PowerUser, true, false, true,
       false, false, true, false},
      {"user", sim::Line::Nt, sim::Account::User, false, false, false, true,
       true, true, false},
      {"power user, 9x", sim::Line::Win9x, sim::Account::PowerUser, true, true,
       true, true, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset(c.line);
    std::string windows = c.line == sim::Line::Nt ? "C:\\WINNT" : "C:\\WINDOWS";
    std::string system =
        windows + (c.line == sim::Line::Nt ? "\\system32" : "\\SYSTEM");
    sim::SetAccount(c.account);
    EXPECT_EQ(c.software, MayOpenForWriting(HKEY_LOCAL_MACHINE,
                                            "Software\\Microsoft\\Run"));
    EXPECT_EQ(c.system, MayOpenForWriting(HKEY_LOCAL_MACHINE,
                                          "System\\CurrentControlSet"));
    EXPECT_EQ(c.classes, MayOpenForWriting(HKEY_CLASSES_ROOT, ".jpg"));
    EXPECT_TRUE(MayOpenForWriting(HKEY_CURRENT_USER, "Software\\Navidad"));
    EXPECT_EQ(c.windowsFile, MayDelete(windows + "\\ScMx32.exe"));
    EXPECT_EQ(c.windowsFile, MayWriteProfile(windows + "\\wininit.ini"));
    EXPECT_EQ(c.systemFile, MayDelete(system + "\\SCam32.exe"));
    EXPECT_EQ(c.otherFile, MayDelete("C:\\RECYCLED\\SirC32.exe"));
    // The 9x line does not implement MoveFileExA at all.
    EXPECT_EQ(c.schedule, MaySchedule());
  }
}

TEST(SimAccounts, PowerUserCanNeitherRenameNorWriteSystemFiles) {
  sim::Reset(sim::Line::Nt);
  sim::SetAccount(sim::Account::PowerUser);
  sim::PutFile("C:\\WINNT\\rundll32.exe", "MZ worm");
  sim::PutFile("C:\\WINNT\\run32.exe", "MZ rundll32");
  SetLastError(0);

  EXPECT_FALSE(MoveFileA("C:\\WINNT\\run32.exe", "C:\\WINNT\\r.exe"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_FALSE(MoveFileExA("C:\\WINNT\\run32.exe", "C:\\WINNT\\rundll32.exe",
                           MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(CopyFileA("C:\\WINNT\\run32.exe", "C:\\WINNT\\copy.exe", TRUE));
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileA("C:\\WINNT\\run32.exe", GENERIC_WRITE, 0, NULL,
                        OPEN_EXISTING, 0, NULL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  HANDLE reading = CreateFileA("C:\\WINNT\\run32.exe", GENERIC_READ, 0, NULL,
                               OPEN_EXISTING, 0, NULL);
  EXPECT_NE(INVALID_HANDLE_VALUE, reading) << "reading is allowed";
  CloseHandle(reading);
  EXPECT_EQ("MZ worm", sim::FileContents("C:\\WINNT\\rundll32.exe"));
  EXPECT_FALSE(sim::FileExists("C:\\WINNT\\copy.exe"));
}

// The token holds the account's groups; Administrators enabled only for an
// administrator, for deny only for a limited user.
TEST(SimAccounts, TokenGroupsFollowTheAccount) {
  const BYTE kAdministrators[] = {1,  2, 0, 0, 0,    0,    0, 5,
                                  32, 0, 0, 0, 0x20, 0x02, 0, 0};
  struct Case {
    sim::Account account;
    DWORD administratorsAttributes;  // 0: not a member
  } cases[] = {
      {sim::Account::Administrator, SE_GROUP_ENABLED},
      {sim::Account::PowerUser, 0},
      {sim::Account::User, SE_GROUP_USE_FOR_DENY_ONLY},
  };
  for (const Case& c : cases) {
    sim::Reset(sim::Line::Nt);
    sim::SetAccount(c.account);
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    void* buffer[64];
    DWORD length = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer, sizeof buffer,
                                    &length));
    EXPECT_EQ(1, sim::OpenHandleCount());
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_EQ(0, sim::OpenHandleCount());
    const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);
    DWORD found = 0;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
      const SID_AND_ATTRIBUTES& group = (&groups->Groups[0])[i];
      if (memcmp(group.Sid, kAdministrators, sizeof kAdministrators) == 0) {
        found =
            group.Attributes & (SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY);
      }
    }
    EXPECT_EQ(c.administratorsAttributes, found) << static_cast<int>(c.account);
  }
}

// The 9x line's advapi32 has the token calls as stubs; its user32 lacks the
// window station calls. A module the exe does not import must be loaded
// first.
TEST(SimModules, WhatEachLineHandsOut) {
  for (sim::Line line : {sim::Line::Nt, sim::Line::Win9x}) {
    sim::Reset(line);
    bool nt = line == sim::Line::Nt;
    HMODULE advapi32 = GetModuleHandleA("ADVAPI32.dll");
    ASSERT_TRUE(advapi32 != NULL);
    EXPECT_TRUE(GetProcAddress(advapi32, "OpenProcessToken") != NULL);
    HANDLE token = NULL;
    SetLastError(0);
    EXPECT_EQ(nt, OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) !=
                      FALSE);
    if (nt) {
      CloseHandle(token);
    } else {
      EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
    }

    EXPECT_TRUE(GetModuleHandleA("user32.dll") == NULL);
    HMODULE user32 = LoadLibraryA("user32.dll");
    ASSERT_TRUE(user32 != NULL);
    EXPECT_EQ(user32, GetModuleHandleA("USER32.DLL"));
    EXPECT_EQ(nt, GetProcAddress(user32, "GetProcessWindowStation") != NULL);
    EXPECT_TRUE(GetProcAddress(user32, "OpenProcessToken") == NULL);
    EXPECT_TRUE(LoadLibraryA("shell32.dll") == NULL);
  }
}

TEST(SimSession, WindowStationIsSeenUnlessToldOtherwise) {
  for (bool interactive : {true, false}) {
    sim::Reset(sim::Line::Nt);
    sim::SetInteractive(interactive);
    USEROBJECTFLAGS flags;
    DWORD needed = 0;
    ASSERT_TRUE(GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS,
                                          &flags, sizeof flags, &needed));
    EXPECT_EQ(interactive ? static_cast<DWORD>(WSF_VISIBLE) : 0u,
              flags.dwFlags);
  }
}

TEST(SimSession, EveryCallFailsWhenTold) {
  sim::Reset(sim::Line::Nt);
  const char* const kCalls[] = {
      "GetModuleHandleA",         "LoadLibraryA",
      "GetProcAddress",           "OpenProcessToken",
      "GetTokenInformation",      "GetProcessWindowStation",
      "GetUserObjectInformationA"};
  for (const char* call : kCalls) sim::FailCall(call, ERROR_ACCESS_DENIED);
  HANDLE token = NULL;
  void* buffer[64];
  DWORD length = 0;
  USEROBJECTFLAGS flags;
  EXPECT_TRUE(GetModuleHandleA("advapi32.dll") == NULL);
  EXPECT_TRUE(LoadLibraryA("user32.dll") == NULL);
  EXPECT_TRUE(GetProcAddress(GetModuleHandleA("advapi32.dll"),
                             "OpenProcessToken") == NULL);
  EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  EXPECT_FALSE(
      GetTokenInformation(token, TokenGroups, buffer, sizeof buffer, &length));
  EXPECT_TRUE(GetProcessWindowStation() == NULL);
  EXPECT_FALSE(GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS,
                                         &flags, sizeof flags, &length));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  CloseHandle(token);
}

}  // namespace
