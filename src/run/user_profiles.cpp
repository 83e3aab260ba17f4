#include "run/user_profiles.h"

#include <string.h>

#include "platform/console.h"
#include "platform/system_functions.h"
#include "platform/windows_api.h"
#include "primitives/path_building.h"
#include "primitives/registry_text.h"
#include "report/texts.h"

namespace {

// Below HKEY_LOCAL_MACHINE: the NT line's, whose keys are the users' SIDs,
// and the 9x line's (with user profiles enabled), whose keys are user names.
const char kNtProfileList[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char k9xProfileList[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\ProfileList";
// REG_EXPAND_SZ on the NT line ("%SystemDrive%\Documents and Settings\x").
const char kProfileFolderValue[] = "ProfileImagePath";
const char kNtUserHive[] = "NTUSER.DAT";
const char k9xUserHive[] = "USER.DAT";
// Windows Vista and later keep a user's classes, and with them the virtual
// store that the Sircam cleaner looks into, in a hive of their own, loaded
// as <SID>_Classes at a logon.
const char kClassesHive[] = "AppData\\Local\\Microsoft\\Windows\\UsrClass.dat";
const char kClassesSuffix[] = "_Classes";
// No SID holds a colon, and no user name of the 9x line either (it names
// the user's folder and password file): no logon can want these keys.
const char kHiveKeyPrefix[] = "wormsweep:";

// The profiles of LocalSystem, LocalService and NetworkService (S-1-5-18,
// -19, -20), loaded whenever Windows runs, are the only ones whose SID is
// this short: a user's is S-1-5-21- and four numbers more. Windows Vista
// keeps a copy of a profile's key as <SID>.bak while it repairs the profile.
const size_t kLongestServiceSid = 8;
const char kBackupKeySuffix[] = ".bak";

const char kBackupPrivilege[] = "SeBackupPrivilege";
const char kRestorePrivilege[] = "SeRestorePrivilege";

// More profiles than this are named as not reached.
const DWORD kMostProfiles = 64;
// A scanner that has a key of the hive open holds it for a moment.
const int kUnloadRounds = 5;
// Windows ends the process a few seconds after a closed window's handler
// starts.
const int kUnloadRoundsBeforeTheEnd = 3;
const DWORD kUnloadPause = 200;

struct ProfileHives {
  PathBuffer folder;
  bool userLoaded;
  bool classesLoaded;
};

// Zero-initialized: they take memory at run time but no bytes of the exe.
// The control handler, which runs on a thread of its own, reads them too: an
// entry is complete before the count takes it in.
ProfileHives g_profiles[kMostProfiles];
volatile DWORD g_profileCount;

// Room for the two privileges that loading and unloading need.
union PrivilegeBuffer {
  TOKEN_PRIVILEGES privileges;
  BYTE bytes[sizeof(TOKEN_PRIVILEGES) + sizeof(LUID_AND_ATTRIBUTES)];
};

struct PrivilegeChange {
  HANDLE token;
  AdjustTokenPrivilegesFunction adjust;
  PrivilegeBuffer previous;
};

// On the NT line both privileges must be enabled to load or unload a hive;
// they are enabled only for that. False when nothing was changed (the 9x
// line, which needs neither; a token that cannot be adjusted): the loading
// then fails and says so.
bool EnablePrivileges(PrivilegeChange& change) {
  change.token = NULL;
  PrivilegeFunctions functions;
  if (!FindPrivilegeFunctions(functions)) return false;
  PrivilegeBuffer wanted;
  wanted.privileges.PrivilegeCount = 2;
  LUID_AND_ATTRIBUTES* entries = &wanted.privileges.Privileges[0];
  if (!functions.LookupPrivilegeValueA(NULL, kBackupPrivilege,
                                       &entries[0].Luid) ||
      !functions.LookupPrivilegeValueA(NULL, kRestorePrivilege,
                                       &entries[1].Luid)) {
    return false;
  }
  entries[0].Attributes = SE_PRIVILEGE_ENABLED;
  entries[1].Attributes = SE_PRIVILEGE_ENABLED;
  HANDLE token = NULL;
  if (!functions.OpenProcessToken(
          GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  DWORD length = 0;
  if (!functions.AdjustTokenPrivileges(token, FALSE, &wanted.privileges,
                                       sizeof change.previous,
                                       &change.previous.privileges, &length)) {
    CloseHandle(token);
    return false;
  }
  change.token = token;
  change.adjust = functions.AdjustTokenPrivileges;
  return true;
}

// Puts back what EnablePrivileges changed: the previous state holds only the
// privileges that were disabled before.
void RestorePrivileges(const PrivilegeChange& change) {
  if (change.token == NULL) return;
  PrivilegeBuffer previous = change.previous;
  if (previous.privileges.PrivilegeCount != 0) {
    change.adjust(change.token, FALSE, &previous.privileges, 0, NULL, NULL);
  }
  CloseHandle(change.token);
}

// The keys of profile `index`: "wormsweep:NN", and that with "_Classes".
// Always fit.
void HiveKeys(DWORD index, PathBuffer& user, PathBuffer& classes) {
  const size_t prefixLength = sizeof kHiveKeyPrefix - 1;
  memcpy(user, kHiveKeyPrefix, prefixLength);
  user[prefixLength] = static_cast<char>('0' + index / 10 % 10);
  user[prefixLength + 1] = static_cast<char>('0' + index % 10);
  user[prefixLength + 2] = '\0';
  memcpy(classes, user, prefixLength + 2);
  memcpy(classes + prefixLength + 2, kClassesSuffix, sizeof kClassesSuffix);
}

bool IsServiceOrBackupKey(const char* name) {
  size_t length = strlen(name);
  const size_t suffixLength = sizeof kBackupKeySuffix - 1;
  return length <= kLongestServiceSid ||
         SameName(name + length - suffixLength, kBackupKeySuffix);
}

bool IsFile(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Loads the hive file `name` in `folder` as key `key`. RegLoadKeyA creates
// a file that does not exist, which would give the user an empty registry
// at the next logon: a file that is not there is never loaded.
// `shortName`: Windows 95 loads no file by its long name.
bool LoadHive(const char* folder, const char* name, const char* key,
              bool shortName) {
  PathBuffer path;
  if (!JoinPath(folder, name, path) || !IsFile(path)) return false;
  PathBuffer shortPath;
  DWORD length = shortName ? GetShortPathNameA(path, shortPath, MAX_PATH) : 0;
  const char* file = length != 0 && length < MAX_PATH ? shortPath : path;
  return RegLoadKeyA(HKEY_USERS, key, file) == ERROR_SUCCESS;
}

void ReportNotReached(const char* folder) {
  ConsolePrintPaths(kProfileNotReachedFormat, folder, NULL);
}

// The profile folder as the list's value names it, its variables
// (%SystemDrive%) expanded. False when it names none; `folder` then holds
// what can be shown of it.
bool ReadProfileFolder(HKEY list, const char* name, PathBuffer& folder) {
  folder[0] = '\0';
  PathBuffer written;
  if (!ReadKeyString(list, name, KEY_READ, kProfileFolderValue, written) ||
      written[0] == '\0') {
    return false;
  }
  DWORD length = ExpandEnvironmentStringsA(written, folder, MAX_PATH);
  if (length != 0 && length <= MAX_PATH) return true;
  CopyText(written, folder);
  return false;
}

// Loads the registry of the profile in `folder` as entry `index`. False when
// it could not be loaded whole.
bool LoadHives(DWORD index, const char* folder, bool ntLine) {
  ProfileHives& hives = g_profiles[index];
  CopyText(folder, hives.folder);
  hives.classesLoaded = false;
  PathBuffer userKey;
  PathBuffer classesKey;
  HiveKeys(index, userKey, classesKey);
  hives.userLoaded =
      LoadHive(folder, ntLine ? kNtUserHive : k9xUserHive, userKey, !ntLine);
  if (!hives.userLoaded) return false;
  g_profileCount = index + 1;
  PathBuffer classes;
  if (!ntLine || !JoinPath(folder, kClassesHive, classes) || !IsFile(classes)) {
    return true;
  }
  hives.classesLoaded = LoadHive(folder, kClassesHive, classesKey, false);
  return hives.classesLoaded;
}

// One profile of the list, loaded unless it is loaded already or is a
// service's. A profile whose folder the list does not name cannot be named
// either.
void LoadProfile(HKEY list, const char* name, bool ntLine) {
  if ((ntLine && IsServiceOrBackupKey(name)) || CanOpenKey(HKEY_USERS, name)) {
    return;
  }
  PathBuffer folder;
  if (!ReadProfileFolder(list, name, folder) ||
      g_profileCount == kMostProfiles ||
      !LoadHives(g_profileCount, folder, ntLine)) {
    if (folder[0] != '\0') ReportNotReached(folder);
  }
}

// Whether the hive `key`, when `loaded`, stays loaded.
bool StaysLoaded(bool loaded, const char* key) {
  return loaded && RegUnLoadKeyA(HKEY_USERS, key) != ERROR_SUCCESS;
}

// One round over the loaded hives; true when none is left.
bool UnloadRound() {
  bool allUnloaded = true;
  for (DWORD index = 0; index < g_profileCount; ++index) {
    ProfileHives& hives = g_profiles[index];
    PathBuffer userKey;
    PathBuffer classesKey;
    HiveKeys(index, userKey, classesKey);
    // The classes first: a logon loads them after the user's own hive.
    hives.classesLoaded = StaysLoaded(hives.classesLoaded, classesKey);
    hives.userLoaded = StaysLoaded(hives.userLoaded, userKey);
    allUnloaded = allUnloaded && !hives.classesLoaded && !hives.userLoaded;
  }
  return allUnloaded;
}

void UnloadHives(int rounds) {
  // Nothing loaded, nothing to ask of the token: most runs load no hive.
  if (g_profileCount == 0) return;
  PrivilegeChange privileges;
  bool changed = EnablePrivileges(privileges);
  for (int round = 1; !UnloadRound() && round < rounds; ++round) {
    Sleep(kUnloadPause);
  }
  if (changed) RestorePrivileges(privileges);
}

// Ctrl+Break, Ctrl+C or the window closed while the registries are loaded:
// they are unloaded before the process ends, or each would give its user a
// temporary profile until the next restart. The next handler (at last the
// system's) then ends the process.
BOOL WINAPI UnloadBeforeTheEnd(DWORD controlEvent) {
  (void)controlEvent;
  UnloadHives(kUnloadRoundsBeforeTheEnd);
  return FALSE;
}

void LoadProfileList(const char* listKey, bool ntLine) {
  HKEY list;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, listKey, 0, KEY_READ, &list) !=
      ERROR_SUCCESS) {
    return;
  }
  PathBuffer name;
  for (DWORD index = 0;
       RegEnumKeyA(list, index, name, MAX_PATH) == ERROR_SUCCESS; ++index) {
    LoadProfile(list, name, ntLine);
  }
  RegCloseKey(list);
}

}  // namespace

void LoadUserProfiles() {
  g_profileCount = 0;
  SetConsoleCtrlHandler(UnloadBeforeTheEnd, TRUE);
  PrivilegeChange privileges;
  bool changed = EnablePrivileges(privileges);
  // A machine upgraded from the 9x line may keep that line's list, whose
  // profiles this Windows does not use.
  if (CanOpenKey(HKEY_LOCAL_MACHINE, kNtProfileList)) {
    LoadProfileList(kNtProfileList, true);
  } else {
    LoadProfileList(k9xProfileList, false);
  }
  if (changed) RestorePrivileges(privileges);
}

void UnloadUserProfiles() {
  UnloadHives(kUnloadRounds);
  SetConsoleCtrlHandler(UnloadBeforeTheEnd, FALSE);
  for (DWORD index = 0; index < g_profileCount; ++index) {
    const ProfileHives& hives = g_profiles[index];
    if (hives.userLoaded || hives.classesLoaded) {
      ConsolePrintPaths(kProfileLeftLoadedFormat, hives.folder, NULL);
    }
  }
  g_profileCount = 0;
}
