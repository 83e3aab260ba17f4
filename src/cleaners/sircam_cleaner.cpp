#include "cleaners/cleaners.h"

#include "cleaners/startup_batch.h"
#include "platform/console.h"
#include "platform/windows_api.h"
#include "primitives/deferred_removal.h"
#include "primitives/file_type_repair.h"
#include "primitives/key_purge.h"
#include "primitives/path_building.h"
#include "primitives/registry_text.h"
#include "report/report.h"
#include "report/texts.h"

namespace {

// Below HKEY_LOCAL_MACHINE.
const char kMarkerKey[] = "Software\\SirCam";
const char kRunServicesKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kServiceEntry[] = "Driver32";
// Below HKEY_CURRENT_USER.
const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kStartupFolderValue[] = "Startup";
// The same key below HKEY_LOCAL_MACHINE names the folder whose programs start
// for every user, and below each profile loaded under HKEY_USERS that
// user's own.
const char kCommonStartupFolderValue[] = "Common Startup";
// A machine has a handful of loaded profiles; the walk stops at this many
// all the same.
const DWORD kMaxLoadedProfiles = 32;

// The worm's copies, joined in turn to the Windows drive, the Windows
// directory, the system directory and the user's Startup folder.
const char kRecycledCopy[] = "RECYCLED\\SirC32.exe";
const char kWindowsCopy[] = "ScMx32.exe";
const char kSystemCopy[] = "SCam32.exe";
const char kStartupCopy[] = "Microsoft Internet Office.exe";
// The worm's data file, kept beside its copy in the recycle folder; the
// other files there are the user's.
const char kRecycledData[] = "RECYCLED\\SirCam.sys";

// The worm always hides rundll32.exe under this directory name, wherever
// Windows itself lives.
const char kSavedSystemProgram[] = "windows\\run32.exe";
const char kSystemProgram[] = "windows\\rundll32.exe";

// Where each line usually keeps Windows, for a system that reports no
// directory.
const char kNtWindowsDirectory[] = "c:\\winnt\\";
const char kOtherWindowsDirectory[] = "c:\\windows\\";
const char kNtSystemDirectory[] = "c:\\winnt\\system32\\";
const char kOtherSystemDirectory[] = "c:\\windows\\system\\";

const REGSAM kReadWrite = KEY_READ | KEY_WRITE;

// The worm writes its entry as a value; it is removed as a subkey as well,
// in case a variant wrote it that way.
void RemoveServiceEntry() {
  HKEY runServices;
  if (!OpenKeyForChange(HKEY_LOCAL_MACHINE, kRunServicesKey, runServices)) {
    return;
  }
  RegDeleteValueA(runServices, kServiceEntry);
  RegDeleteKeyA(runServices, kServiceEntry);
  RegCloseKey(runServices);
}

void RestoreOpenCommand() {
  HKEY openCommand;
  if (OpenExecutableOpenCommand(openCommand)) ResetOpenCommand(openCommand);
}

// `reportedLength` is what GetWindowsDirectoryA or GetSystemDirectoryA
// returned for `directory`. When the system reported no directory (or one
// that did not fit, leaving the buffer unfilled), `directory` becomes the
// usual one of the running line. False when the line cannot be determined.
bool ReportedOrUsualDirectory(UINT reportedLength, const char* ntDirectory,
                              const char* otherDirectory,
                              PathBuffer& directory) {
  if (reportedLength != 0 && reportedLength < MAX_PATH) return true;
  DWORD platformId = 0;
  if (!QueryPlatformId(platformId)) return false;
  return CopyText(
      platformId == VER_PLATFORM_WIN32_NT ? ntDirectory : otherDirectory,
      directory);
}

// A path that does not fit is never looked up: cut short, it could name
// another file.
void DeleteCopy(const char* directory, const char* name, RunState& run) {
  PathBuffer path = "";
  if (JoinPath(directory, name, path)) TryDeleteFile(path, run);
}

// The Startup copies looked up so far: a Startup folder can be named in
// several places (the current user's profile is also one of the loaded
// ones), and is looked into once.
struct StartupCopies {
  PathBuffer paths[2 + kMaxLoadedProfiles];  // current user, common, loaded
  DWORD count;
};

// A folder is only what a text value names: data of another type, read as
// text, could name any place.
bool ReadFolder(HKEY key, const char* valueName, PathBuffer& folder) {
  return ReadRegistryString(key, valueName, folder) && folder[0] != '\0';
}

void DeleteStartupCopyOnce(const char* folder, StartupCopies& looked,
                           RunState& run) {
  PathBuffer path = "";
  if (!JoinPath(folder, kStartupCopy, path)) return;
  for (DWORD i = 0; i < looked.count; ++i) {
    // A folder spelt once more in other letters of a double-byte code page
    // is just looked into again, which finds the copy gone, or defers or
    // names it again.
    if (SameName(looked.paths[i], path)) return;
  }
  const DWORD room = sizeof looked.paths / sizeof looked.paths[0];
  if (looked.count < room && CopyText(path, looked.paths[looked.count])) {
    ++looked.count;
  }
  TryDeleteFile(path, run);
}

// The Startup copy in the folder that value `valueName` of shell folders key
// `keyPath` below `root` names.
void DeleteStartupCopyNamedIn(HKEY root, const char* keyPath,
                              const char* valueName, REGSAM access,
                              StartupCopies& looked, RunState& run) {
  HKEY shellFolders;
  if (RegOpenKeyExA(root, keyPath, 0, access, &shellFolders) != ERROR_SUCCESS) {
    return;
  }
  PathBuffer folder = "";
  bool named = ReadFolder(shellFolders, valueName, folder);
  RegCloseKey(shellFolders);
  if (named) DeleteStartupCopyOnce(folder, looked, run);
}

// A copy left in another user's Startup folder would start the worm again
// at that user's next logon, with no marker key left to lead here.
void DeleteLoadedProfilesStartupCopies(StartupCopies& looked, RunState& run) {
  for (DWORD index = 0; index < kMaxLoadedProfiles; ++index) {
    PathBuffer profile = "";
    if (RegEnumKeyA(HKEY_USERS, index, profile, MAX_PATH) != ERROR_SUCCESS) {
      return;
    }
    PathBuffer keyPath = "";
    if (JoinPath(profile, kShellFoldersKey, keyPath)) {
      DeleteStartupCopyNamedIn(HKEY_USERS, keyPath, kStartupFolderValue,
                               KEY_READ, looked, run);
    }
  }
}

void DeleteStartupCopies(RunState& run) {
  StartupCopies looked;
  looked.count = 0;
  DeleteStartupCopyNamedIn(HKEY_CURRENT_USER, kShellFoldersKey,
                           kStartupFolderValue, kReadWrite, looked, run);
  DeleteStartupCopyNamedIn(HKEY_LOCAL_MACHINE, kShellFoldersKey,
                           kCommonStartupFolderValue, KEY_READ, looked, run);
  DeleteLoadedProfilesStartupCopies(looked, run);
}

// When the saved original can take the place of rundll32.exe neither now
// nor at the restart, a copy of it is put there, so that Windows is never
// left without the program. A copy made while the worm's file waits for its
// deletion at the restart would go with it, so none is made then.
void KeepSystemProgram(const char* saved, const char* replaced,
                       RemovalResult replacedRemoval) {
  if (replacedRemoval != RemovalResult::Deferred &&
      CopyFileA(saved, replaced, FALSE)) {
    return;
  }
  ReportCannotRestore(replaced, saved);
}

// The worm's rundll32.exe is deleted before the saved original takes its
// name; when it is in use, both steps wait for the restart, in that order,
// and the rename alone decides whether the restart is needed. A rename
// scheduled while the worm's file stays would fail at the restart, so it is
// scheduled only when that file is gone or going.
void RestoreSystemProgram(const char* drive, RunState& run) {
  PathBuffer saved = "";
  PathBuffer replaced = "";
  if (!JoinPath(drive, kSavedSystemProgram, saved) ||
      !JoinPath(drive, kSystemProgram, replaced)) {
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(saved, &found);
  if (search == INVALID_HANDLE_VALUE) {
    // Without the saved original no rundll32.exe is the worm's; one that
    // cannot be looked for may be there, and rundll32.exe may be the worm:
    // the user is told, and rundll32.exe, which may be the system's, stays.
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      ReportCannotRestore(replaced, saved);
    }
    return;
  }
  RemovalResult replacedRemoval = DeleteOrDefer(replaced);
  RemovalResult rename = replacedRemoval == RemovalResult::Failed
                             ? RenameNow(saved, replaced)
                             : RenameOrDefer(saved, replaced);
  switch (rename) {
    case RemovalResult::Done:
      break;
    case RemovalResult::Deferred:
      run.RestartNeeded = true;
      break;
    case RemovalResult::Failed:
      KeepSystemProgram(saved, replaced, replacedRemoval);
      break;
  }
  FindClose(search);
}

}  // namespace

bool CleanSircam(RunState& run) {
  HKEY marker;
  if (!OpenKeyForChange(HKEY_LOCAL_MACHINE, kMarkerKey, marker)) return true;
  // Emptied first: on the NT line a mark with subkeys would stay.
  PurgeKey(marker);
  RegCloseKey(marker);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMarkerKey);
  RemoveServiceEntry();
  RestoreOpenCommand();

  PathBuffer windowsDirectory = "";
  if (!ReportedOrUsualDirectory(
          GetWindowsDirectoryA(windowsDirectory, MAX_PATH), kNtWindowsDirectory,
          kOtherWindowsDirectory, windowsDirectory)) {
    return false;
  }
  PathBuffer drive = "";
  DriveOf(windowsDirectory, drive);
  DeleteCopy(drive, kRecycledCopy, run);
  DeleteCopy(drive, kRecycledData, run);
  DeleteCopy(windowsDirectory, kWindowsCopy, run);

  PathBuffer systemDirectory = "";
  if (!ReportedOrUsualDirectory(GetSystemDirectoryA(systemDirectory, MAX_PATH),
                                kNtSystemDirectory, kOtherSystemDirectory,
                                systemDirectory)) {
    return false;
  }
  DeleteCopy(systemDirectory, kSystemCopy, run);

  DeleteStartupCopies(run);
  RestoreSystemProgram(drive, run);
  RepairStartupBatch();

  ConsolePrint("%s", kSircamResult);
  SectionOutcome(run, true);
  return true;
}
