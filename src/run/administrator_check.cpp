#include "run/administrator_check.h"

#include <string.h>

#include "platform/system_functions.h"
#include "platform/windows_api.h"

namespace {

// S-1-5-32-544: revision 1, two subauthorities, the NT authority (5), then
// the builtin domain (32) and the Administrators alias (544, 0x220) as
// little-endian DWORDs.
const BYTE kAdministratorsSid[] = {1,  2, 0, 0, 0,    0,    0, 5,
                                   32, 0, 0, 0, 0x20, 0x02, 0, 0};

// S-1-5-4: revision 1, one subauthority, the NT authority (5), then
// SECURITY_INTERACTIVE_RID (4).
const BYTE kInteractiveSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0};

// A token holds at most 1,024 groups (KB 328889), and a SID takes at most
// 68 bytes (15 subauthorities).
const size_t kMostTokenGroups = 1024;
const size_t kLargestSid = 68;

union TokenGroupsBuffer {
  TOKEN_GROUPS groups;
  BYTE bytes[sizeof(TOKEN_GROUPS) +
             kMostTokenGroups * (sizeof(SID_AND_ATTRIBUTES) + kLargestSid)];
};

// Zero-initialized: it takes memory at run time but no bytes of the exe.
TokenGroupsBuffer g_tokenGroups;
bool g_tokenGroupsRead = false;

// Only a SID of two subauthorities is 16 bytes long: with the count checked
// first, the comparison reads no further than the SID.
bool IsAdministratorsGroup(PSID sid) {
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  return bytes[1] == kAdministratorsSid[1] &&
         memcmp(bytes, kAdministratorsSid, sizeof kAdministratorsSid) == 0;
}

bool AdministratorsGroupEnabled(const TOKEN_GROUPS& groups) {
  const DWORD kEnabledOrDenyOnly =
      SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY;
  for (DWORD i = 0; i < groups.GroupCount; ++i) {
    const SID_AND_ATTRIBUTES& group = (&groups.Groups[0])[i];
    if (IsAdministratorsGroup(group.Sid)) {
      return (group.Attributes & kEnabledOrDenyOnly) == SE_GROUP_ENABLED;
    }
  }
  return false;
}

// Enabled, as a membership check counts it: a token restricted to deny it
// (as a test stands in for a service's token with) does not hold it. Only a
// SID of one subauthority is 12 bytes long.
bool HoldsInteractiveGroup(const TOKEN_GROUPS& groups) {
  const DWORD kEnabledOrDenyOnly =
      SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY;
  for (DWORD i = 0; i < groups.GroupCount; ++i) {
    const SID_AND_ATTRIBUTES& group = (&groups.Groups[0])[i];
    const BYTE* sid = static_cast<const BYTE*>(group.Sid);
    if (sid[1] == kInteractiveSid[1] &&
        memcmp(sid, kInteractiveSid, sizeof kInteractiveSid) == 0) {
      return (group.Attributes & kEnabledOrDenyOnly) == SE_GROUP_ENABLED;
    }
  }
  return false;
}

}  // namespace

bool MayCleanThisComputer() {
  g_tokenGroupsRead = false;
  TokenFunctions token;
  if (!FindTokenFunctions(token)) return true;
  HANDLE processToken = NULL;
  if (!token.OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY,
                              &processToken)) {
    return RunningLine() == WindowsLine::Win9x;
  }
  DWORD length = 0;
  bool read =
      token.GetTokenInformation(processToken, TokenGroups, &g_tokenGroups,
                                sizeof g_tokenGroups, &length) != FALSE;
  CloseHandle(processToken);
  g_tokenGroupsRead = read;
  return read && AdministratorsGroupEnabled(g_tokenGroups.groups);
}

bool LoggedOnInteractively() {
  return g_tokenGroupsRead && HoldsInteractiveGroup(g_tokenGroups.groups);
}
