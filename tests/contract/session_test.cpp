// What the logic relies on from the calls it finds at run time: the system
// DLLs and their functions by name, the process's access token, and the
// window station the process runs on.
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

#include "contract/contract_support.h"
#include "platform/windows_api.h"

namespace {

TEST(SessionContract, FunctionsAreFoundByName) {
  HMODULE advapi32 = GetModuleHandleA("advapi32.dll");
  ASSERT_TRUE(advapi32 != NULL) << "the registry calls come from it";
  EXPECT_TRUE(GetProcAddress(advapi32, "OpenProcessToken") != NULL);
  EXPECT_TRUE(GetProcAddress(advapi32, "NoSuchFunctionAnywhere") == NULL);

  // Only NULL is relied on: the error differs between the lines (Wine set to
  // Windows 98 gives ERROR_DLL_NOT_FOUND, as the 9x line does).
  EXPECT_TRUE(GetModuleHandleA("no_such_module.dll") == NULL);
  EXPECT_TRUE(LoadLibraryA("no_such_module.dll") == NULL);

  HMODULE user32 = LoadLibraryA("user32.dll");
  ASSERT_TRUE(user32 != NULL);
  EXPECT_EQ(user32, GetModuleHandleA("user32.dll")) << "loaded now";
}

// On the 9x line the token calls are stubs that fail with
// ERROR_CALL_NOT_IMPLEMENTED; an NT system that reports the 9x line (Wine
// set to Windows 98, a compatibility mode) has them.
TEST(SessionContract, ProcessTokenTellsItsGroups) {
  HANDLE token = NULL;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
    EXPECT_FALSE(contract::IsNtLine());
    return;
  }
  DWORD needed = 0;
  BYTE tooSmall[8];
  SetLastError(0);
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, tooSmall,
                                   sizeof tooSmall, &needed));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  ASSERT_GT(needed, sizeof tooSmall);

  // Pointer-aligned, as TOKEN_GROUPS needs.
  std::vector<void*> buffer(needed / sizeof(void*) + 1);
  DWORD length = 0;
  ASSERT_TRUE(GetTokenInformation(
      token, TokenGroups, buffer.data(),
      static_cast<DWORD>(buffer.size() * sizeof(void*)), &length));
  EXPECT_EQ(needed, length);
  EXPECT_TRUE(CloseHandle(token));

  // Wine gives every process the Administrators group enabled, with or
  // without a manifest that asks for it; so does the simulation's default
  // account. Windows gives it only to an elevated administrator and to
  // LocalSystem.
  const BYTE kAdministrators[] = {1,  2, 0, 0, 0,    0,    0, 5,
                                  32, 0, 0, 0, 0x20, 0x02, 0, 0};
  const TOKEN_GROUPS* groups =
      static_cast<const TOKEN_GROUPS*>(static_cast<const void*>(buffer.data()));
  int administrators = 0;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    const SID_AND_ATTRIBUTES& group = (&groups->Groups[0])[i];
    const BYTE* sid = static_cast<const BYTE*>(group.Sid);
    if (sid[1] != 2 || memcmp(sid, kAdministrators, sizeof kAdministrators)) {
      continue;
    }
    ++administrators;
    EXPECT_NE(0u, group.Attributes & SE_GROUP_ENABLED);
    EXPECT_EQ(0u, group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
  }
  EXPECT_EQ(1, administrators);

  // A program that a person started holds INTERACTIVE (S-1-5-4), by which
  // the key wait knows without user32 that someone is there.
  const BYTE kInteractive[] = {1, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0};
  int interactive = 0;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    const BYTE* sid = static_cast<const BYTE*>((&groups->Groups[0])[i].Sid);
    if (sid[1] == 1 && memcmp(sid, kInteractive, sizeof kInteractive) == 0) {
      ++interactive;
    }
  }
  EXPECT_EQ(1, interactive);
}

// The 9x line has no window stations: its user32 lacks the calls.
TEST(SessionContract, WindowStationTellsWhetherItIsSeen) {
  HMODULE user32 = LoadLibraryA("user32.dll");
  ASSERT_TRUE(user32 != NULL);
  if (GetProcAddress(user32, "GetProcessWindowStation") == NULL) {
    EXPECT_FALSE(contract::IsNtLine());
    return;
  }
  HWINSTA station = GetProcessWindowStation();
  ASSERT_TRUE(station != NULL);
  USEROBJECTFLAGS flags;
  DWORD needed = 0;
  ASSERT_TRUE(GetUserObjectInformationA(station, UOI_FLAGS, &flags,
                                        sizeof flags, &needed));
  // The tests run on the window station of the logged-on user (Wine's
  // WinSta0, with or without a display).
  EXPECT_NE(0u, flags.dwFlags & WSF_VISIBLE);
}

}  // namespace
