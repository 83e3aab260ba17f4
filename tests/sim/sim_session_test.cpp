// What each simulated account may change.
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

bool MayRename(const std::string& path) {
  sim::PutFile(path, "MZ");
  return MoveFileA(path.c_str(), (path + ".old").c_str()) != FALSE;
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
    EXPECT_EQ(c.windowsFile, MayRename(windows + "\\rundll32.exe"));
    EXPECT_EQ(c.systemFile, MayDelete(system + "\\SCam32.exe"));
    EXPECT_EQ(c.otherFile, MayDelete("C:\\RECYCLED\\SirC32.exe"));
    // The 9x line does not implement MoveFileExA at all.
    EXPECT_EQ(c.schedule, MaySchedule());
  }
}

}  // namespace
