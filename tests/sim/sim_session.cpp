// Who runs the program, and where: the system DLLs that hand out functions at
// run time, the process's access token with the groups of its account, and
// the window station the program runs on.
#include <stddef.h>
#include <string.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/sim_control.h"
#include "sim/sim_internal.h"

using sim::internal::Fails;
using sim::internal::FailWith;

namespace {

const DWORD kErrorNoAccess = 998;

// Token handles live apart from the file (0x40000 on) and console (0x70000
// on) handles.
const uintptr_t kFirstTokenHandle = 0x30000;

const char* const kModules[] = {"KERNEL32.DLL", "ADVAPI32.DLL", "USER32.DLL"};
// The DLLs that the exe imports from are loaded before it runs.
const size_t kModulesLoadedAtStart = 2;

struct ExportedFunction {
  const char* module;
  const char* name;
  FARPROC address;
  bool ntOnly;
};

// What GetProcAddress hands out for one of the simulated functions.
template <typename Function>
FARPROC Address(Function function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// The 9x line's advapi32 exports the token calls as stubs; its user32 lacks
// the window station calls.
const ExportedFunction kExports[] = {
    {"ADVAPI32.DLL", "OpenProcessToken", Address(OpenProcessToken), false},
    {"ADVAPI32.DLL", "GetTokenInformation", Address(GetTokenInformation),
     false},
    {"ADVAPI32.DLL", "LookupPrivilegeValueA", Address(LookupPrivilegeValueA),
     false},
    {"ADVAPI32.DLL", "AdjustTokenPrivileges", Address(AdjustTokenPrivileges),
     false},
    {"USER32.DLL", "GetProcessWindowStation", Address(GetProcessWindowStation),
     true},
    {"USER32.DLL", "GetUserObjectInformationA",
     Address(GetUserObjectInformationA), true},
};

struct Group {
  std::vector<BYTE> sid;
  DWORD attributes;
};

// S-1-<authority>-<subauthorities...>
std::vector<BYTE> Sid(BYTE authority, std::vector<DWORD> subauthorities) {
  std::vector<BYTE> sid = {
      1, static_cast<BYTE>(subauthorities.size()), 0, 0, 0, 0, 0, authority};
  for (DWORD subauthority : subauthorities) {
    for (int shift = 0; shift < 32; shift += 8) {
      sid.push_back(static_cast<BYTE>(subauthority >> shift));
    }
  }
  return sid;
}

const DWORD kEnabledGroup =
    SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;

std::vector<Group> AccountGroups(sim::Account account) {
  const DWORD kBuiltin = 32;
  std::vector<Group> groups = {{Sid(1, {0}), kEnabledGroup}};  // Everyone
  switch (account) {
    case sim::Account::Administrator:
      groups.push_back(
          {Sid(5, {kBuiltin, 544}), kEnabledGroup | SE_GROUP_OWNER});
      break;
    case sim::Account::PowerUser:
      groups.push_back({Sid(5, {kBuiltin, 547}), kEnabledGroup});
      break;
    case sim::Account::User:
      groups.push_back({Sid(5, {kBuiltin, 544}),
                        SE_GROUP_MANDATORY | SE_GROUP_USE_FOR_DENY_ONLY});
      break;
  }
  groups.push_back({Sid(5, {kBuiltin, 545}), kEnabledGroup});  // Users
  return groups;
}

struct SessionState {
  std::set<std::string> loadedModules;
  std::map<uintptr_t, DWORD> tokens;  // handle: the access it was opened with
  uintptr_t nextToken = kFirstTokenHandle;
  bool interactive = true;
  bool interactiveGroup = true;
  bool interactiveGroupDenyOnly = false;
  // The process token's privileges that are enabled, by LUID.
  std::set<DWORD> enabledPrivileges;
};

struct PrivilegeName {
  const char* name;
  DWORD luid;
};

const PrivilegeName kPrivileges[] = {
    {"SeBackupPrivilege", sim::internal::kBackupPrivilege},
    {"SeRestorePrivilege", sim::internal::kRestorePrivilege},
    {"SeShutdownPrivilege", 19},
};

// An administrator's token holds these privileges, disabled until a program
// enables them; a Power User's and a limited user's hold none of them.
bool AccountHolds(DWORD luid) {
  (void)luid;
  return sim::internal::CurrentAccount() == sim::Account::Administrator;
}

SessionState g_session;

// Module handles are the index of the DLL in kModules, plus one.
HMODULE ModuleHandle(const std::string& upperName) {
  for (size_t i = 0; i < sizeof kModules / sizeof kModules[0]; ++i) {
    if (upperName == kModules[i]) {
      return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(i + 1));
    }
  }
  return NULL;
}

std::string UpperName(LPCSTR name) {
  return sim::internal::UpperAscii(name == NULL ? "" : name);
}

HWINSTA ProcessWindowStation() {
  static int station;
  return reinterpret_cast<HWINSTA>(&station);
}

}  // namespace

namespace sim {
namespace internal {

void ResetSession() {
  g_session = SessionState();
  g_session.loadedModules.insert(kModules, kModules + kModulesLoadedAtStart);
}

bool IsTokenHandle(HANDLE handle) {
  return g_session.tokens.count(reinterpret_cast<uintptr_t>(handle)) != 0;
}

void CloseTokenHandle(HANDLE handle) {
  g_session.tokens.erase(reinterpret_cast<uintptr_t>(handle));
}

int OpenTokenCount() { return static_cast<int>(g_session.tokens.size()); }

bool PrivilegeEnabled(DWORD luid) {
  return IsNt() && g_session.enabledPrivileges.count(luid) != 0;
}

void CloseAllTokenHandles() { g_session.tokens.clear(); }

}  // namespace internal

void SetInteractive(bool interactive) {
  g_session.interactive = interactive;
  g_session.interactiveGroup = interactive;
}

void SetInteractiveGroup(bool present, bool denyOnly) {
  g_session.interactiveGroup = present;
  g_session.interactiveGroupDenyOnly = denyOnly;
}

}  // namespace sim

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (Fails("GetModuleHandleA")) return NULL;
  std::string name = UpperName(moduleName);
  if (g_session.loadedModules.count(name) == 0) {
    FailWith(ERROR_MOD_NOT_FOUND);
    return NULL;
  }
  return ModuleHandle(name);
}

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
  if (Fails("LoadLibraryA")) return NULL;
  std::string name = UpperName(fileName);
  HMODULE module = ModuleHandle(name);
  if (module == NULL) {
    FailWith(ERROR_MOD_NOT_FOUND);
    return NULL;
  }
  g_session.loadedModules.insert(name);
  return module;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  if (Fails("GetProcAddress")) return NULL;
  uintptr_t index = reinterpret_cast<uintptr_t>(module);
  const size_t moduleCount = sizeof kModules / sizeof kModules[0];
  if (index == 0 || index > moduleCount ||
      g_session.loadedModules.count(kModules[index - 1]) == 0) {
    FailWith(ERROR_INVALID_HANDLE);
    return NULL;
  }
  for (const ExportedFunction& exported : kExports) {
    if (strcmp(exported.module, kModules[index - 1]) == 0 && procName != NULL &&
        strcmp(exported.name, procName) == 0 &&
        (sim::internal::IsNt() || !exported.ntOnly)) {
      return exported.address;
    }
  }
  FailWith(ERROR_PROC_NOT_FOUND);
  return NULL;
}

HANDLE WINAPI GetCurrentProcess(void) {
  return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desiredAccess,
                             PHANDLE token) {
  if (Fails("OpenProcessToken")) return FALSE;
  if (!sim::internal::IsNt()) return FailWith(ERROR_CALL_NOT_IMPLEMENTED);
  if (process != GetCurrentProcess()) return FailWith(ERROR_INVALID_HANDLE);
  if (token == NULL) return FailWith(kErrorNoAccess);
  uintptr_t handle = g_session.nextToken;
  g_session.nextToken += 4;
  g_session.tokens[handle] = desiredAccess;
  *token = reinterpret_cast<HANDLE>(handle);
  return TRUE;
}

// Only TokenGroups is modelled: the count, the array of SID pointers and
// attributes, then the SIDs themselves, all in the caller's buffer.
BOOL WINAPI GetTokenInformation(HANDLE token,
                                TOKEN_INFORMATION_CLASS informationClass,
                                LPVOID information, DWORD length,
                                PDWORD returnLength) {
  if (Fails("GetTokenInformation")) return FALSE;
  if (!sim::internal::IsNt()) return FailWith(ERROR_CALL_NOT_IMPLEMENTED);
  std::map<uintptr_t, DWORD>::const_iterator open =
      g_session.tokens.find(reinterpret_cast<uintptr_t>(token));
  if (open == g_session.tokens.end()) return FailWith(ERROR_INVALID_HANDLE);
  if ((open->second & TOKEN_QUERY) == 0) return FailWith(ERROR_ACCESS_DENIED);
  if (informationClass != TokenGroups) return FailWith(ERROR_INVALID_PARAMETER);
  if (returnLength == NULL) return FailWith(kErrorNoAccess);
  std::vector<Group> groups = AccountGroups(sim::internal::CurrentAccount());
  if (g_session.interactiveGroup) {
    DWORD attributes = g_session.interactiveGroupDenyOnly
                           ? SE_GROUP_MANDATORY | SE_GROUP_USE_FOR_DENY_ONLY
                           : kEnabledGroup;
    groups.push_back({Sid(5, {4}), attributes});  // INTERACTIVE
  }
  size_t sidsAt = offsetof(TOKEN_GROUPS, Groups) +
                  groups.size() * sizeof(SID_AND_ATTRIBUTES);
  size_t needed = sidsAt;
  for (const Group& group : groups) needed += group.sid.size();
  *returnLength = static_cast<DWORD>(needed);
  if (information == NULL || length < needed) {
    return FailWith(ERROR_INSUFFICIENT_BUFFER);
  }
  BYTE* bytes = static_cast<BYTE*>(information);
  TOKEN_GROUPS* result = static_cast<TOKEN_GROUPS*>(information);
  result->GroupCount = static_cast<DWORD>(groups.size());
  BYTE* sid = bytes + sidsAt;
  for (size_t i = 0; i < groups.size(); ++i) {
    memcpy(sid, groups[i].sid.data(), groups[i].sid.size());
    SID_AND_ATTRIBUTES* entry = &result->Groups[0] + i;
    entry->Sid = sid;
    entry->Attributes = groups[i].attributes;
    sid += groups[i].sid.size();
  }
  return TRUE;
}

HWINSTA WINAPI GetProcessWindowStation(void) {
  if (Fails("GetProcessWindowStation")) return NULL;
  if (!sim::internal::IsNt()) {
    FailWith(ERROR_CALL_NOT_IMPLEMENTED);
    return NULL;
  }
  return ProcessWindowStation();
}

BOOL WINAPI GetUserObjectInformationA(HANDLE object, int index,
                                      PVOID information, DWORD length,
                                      LPDWORD lengthNeeded) {
  if (Fails("GetUserObjectInformationA")) return FALSE;
  if (!sim::internal::IsNt()) return FailWith(ERROR_CALL_NOT_IMPLEMENTED);
  if (object != ProcessWindowStation()) return FailWith(ERROR_INVALID_HANDLE);
  if (index != UOI_FLAGS) return FailWith(ERROR_INVALID_PARAMETER);
  if (lengthNeeded != NULL) *lengthNeeded = sizeof(USEROBJECTFLAGS);
  if (information == NULL || length < sizeof(USEROBJECTFLAGS)) {
    return FailWith(ERROR_INSUFFICIENT_BUFFER);
  }
  USEROBJECTFLAGS* flags = static_cast<USEROBJECTFLAGS*>(information);
  flags->fInherit = FALSE;
  flags->fReserved = FALSE;
  flags->dwFlags = g_session.interactive ? WSF_VISIBLE : 0;
  return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid) {
  if (Fails("LookupPrivilegeValueA")) return FALSE;
  if (!sim::internal::IsNt()) return FailWith(ERROR_CALL_NOT_IMPLEMENTED);
  if (systemName != NULL && systemName[0] != '\0') {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  if (name == NULL || luid == NULL) return FailWith(kErrorNoAccess);
  for (const PrivilegeName& privilege : kPrivileges) {
    if (UpperName(name) == UpperName(privilege.name)) {
      luid->LowPart = privilege.luid;
      luid->HighPart = 0;
      return TRUE;
    }
  }
  return FailWith(ERROR_NO_SUCH_PRIVILEGE);
}

// As documented: the token needs TOKEN_ADJUST_PRIVILEGES (and TOKEN_QUERY
// for the previous state); a previous-state buffer too small fails the call
// before anything changes; a privilege the token does not hold is passed
// over, and the call still succeeds with ERROR_NOT_ALL_ASSIGNED as the last
// error, ERROR_SUCCESS otherwise.
BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll,
                                  PTOKEN_PRIVILEGES newState,
                                  DWORD bufferLength,
                                  PTOKEN_PRIVILEGES previousState,
                                  PDWORD returnLength) {
  if (Fails("AdjustTokenPrivileges")) return FALSE;
  if (!sim::internal::IsNt()) return FailWith(ERROR_CALL_NOT_IMPLEMENTED);
  std::map<uintptr_t, DWORD>::const_iterator open =
      g_session.tokens.find(reinterpret_cast<uintptr_t>(token));
  if (open == g_session.tokens.end()) return FailWith(ERROR_INVALID_HANDLE);
  DWORD needed =
      TOKEN_ADJUST_PRIVILEGES | (previousState != NULL ? TOKEN_QUERY : 0);
  if ((open->second & needed) != needed) return FailWith(ERROR_ACCESS_DENIED);
  if (!disableAll && newState == NULL) return FailWith(ERROR_INVALID_PARAMETER);

  std::vector<LUID_AND_ATTRIBUTES> requests;
  if (disableAll) {
    for (DWORD luid : g_session.enabledPrivileges) {
      requests.push_back(LUID_AND_ATTRIBUTES{LUID{luid, 0}, 0});
    }
  } else {
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
      requests.push_back((&newState->Privileges[0])[i]);
    }
  }
  std::vector<LUID_AND_ATTRIBUTES> changed;
  bool allAssigned = true;
  for (const LUID_AND_ATTRIBUTES& request : requests) {
    DWORD luid = request.Luid.LowPart;
    if (request.Luid.HighPart != 0 || !AccountHolds(luid)) {
      allAssigned = false;
      continue;
    }
    bool enable = (request.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    bool enabled = g_session.enabledPrivileges.count(luid) != 0;
    if (enable != enabled) {
      changed.push_back(LUID_AND_ATTRIBUTES{
          LUID{luid, 0},
          enabled ? static_cast<DWORD>(SE_PRIVILEGE_ENABLED) : 0});
    }
  }
  if (previousState != NULL) {
    size_t size = offsetof(TOKEN_PRIVILEGES, Privileges) +
                  changed.size() * sizeof(LUID_AND_ATTRIBUTES);
    if (returnLength == NULL) return FailWith(kErrorNoAccess);
    *returnLength = static_cast<DWORD>(size);
    if (bufferLength < size) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    previousState->PrivilegeCount = static_cast<DWORD>(changed.size());
    for (size_t i = 0; i < changed.size(); ++i) {
      (&previousState->Privileges[0])[i] = changed[i];
    }
  }
  for (const LUID_AND_ATTRIBUTES& change : changed) {
    if (change.Attributes & SE_PRIVILEGE_ENABLED) {
      g_session.enabledPrivileges.erase(change.Luid.LowPart);
    } else {
      g_session.enabledPrivileges.insert(change.Luid.LowPart);
    }
  }
  sim::internal::SetError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}
