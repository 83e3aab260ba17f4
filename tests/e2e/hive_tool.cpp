// Test helper: makes and reads a user's registry file as Windows keeps it.
//
//   hive_tool.exe save KEY FILE    KEY (below HKEY_CURRENT_USER) into FILE
//   hive_tool.exe load NAME FILE   FILE as HKEY_USERS\NAME
//   hive_tool.exe unload NAME      HKEY_USERS\NAME
//
// With the backup and restore privileges enabled, as the calls need them on
// Windows. Exits with 0, or with 1 and the error on standard error.
#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

void EnablePrivilege(HANDLE token, const char* name) {
  TOKEN_PRIVILEGES wanted;
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueA(NULL, name, &wanted.Privileges[0].Luid)) {
    AdjustTokenPrivileges(token, FALSE, &wanted, 0, NULL, NULL);
  }
}

int Result(const char* what, LONG error) {
  if (error == ERROR_SUCCESS) return 0;
  fprintf(stderr, "hive_tool: %s failed with %ld\n", what, (long)error);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  HANDLE token = NULL;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
    EnablePrivilege(token, "SeBackupPrivilege");
    EnablePrivilege(token, "SeRestorePrivilege");
    CloseHandle(token);
  }
  if (argc == 4 && strcmp(argv[1], "save") == 0) {
    HKEY key = NULL;
    LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, argv[2], 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS) return Result("RegOpenKeyExA", opened);
    LONG saved = RegSaveKeyA(key, argv[3], NULL);
    RegCloseKey(key);
    return Result("RegSaveKeyA", saved);
  }
  if (argc == 4 && strcmp(argv[1], "load") == 0) {
    return Result("RegLoadKeyA", RegLoadKeyA(HKEY_USERS, argv[2], argv[3]));
  }
  if (argc == 3 && strcmp(argv[1], "unload") == 0) {
    return Result("RegUnLoadKeyA", RegUnLoadKeyA(HKEY_USERS, argv[2]));
  }
  fprintf(stderr,
          "usage: hive_tool save KEY FILE | load NAME FILE | unload NAME\n");
  return 2;
}
