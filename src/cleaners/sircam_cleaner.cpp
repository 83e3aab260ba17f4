#include "cleaners/cleaners.h"

#include <string.h>

#include "cleaners/startup_batch.h"
#include "cleaners/worm_files.h"
#include "platform/console.h"
#include "platform/system_functions.h"
#include "platform/windows_api.h"
#include "primitives/boot_schedule.h"
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
// Windows Vista and later keep what a program without a manifest (the worm),
// run without elevation, writes to HKEY_LOCAL_MACHINE\Software in that
// user's virtual store, below the profile's <SID>_Classes key; for a 32-bit
// program on 64-bit Windows below WOW6432Node there. This program runs
// elevated and sees the real key, so a marker there would go unseen.
const char kClassesKeySuffix[] = "_Classes";
const char* const kVirtualMarkerKeys[] = {
    "VirtualStore\\MACHINE\\SOFTWARE\\SirCam",
    "VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\SirCam",
};
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
// The same key of each profile names its local application data folder,
// which holds the user's virtual store of files: what the worm, without
// elevation, writes below the Windows directory lands in
// <Local AppData>\VirtualStore\<that path without its drive>.
const char kLocalAppDataValue[] = "Local AppData";
const char kVirtualStoreFolder[] = "VirtualStore";
// A 32-bit program's system directory on 64-bit Windows.
const char kWow64SystemFolder[] = "SysWOW64";
// How many Startup folders are remembered as looked into.
const DWORD kRememberedStartupFolders = 34;

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

// Empties and deletes the marker `path` below `root`. False when it is not
// there.
bool RemoveMarker(HKEY root, const char* path) {
  HKEY marker;
  if (!OpenKeyForChange(root, path, marker)) return false;
  // Emptied first: on the NT line a mark with subkeys would stay.
  PurgeKey(marker);
  RegCloseKey(marker);
  RegDeleteKeyA(root, path);
  return true;
}

// The path below HKEY_USERS of `marker` (one of kVirtualMarkerKeys) in the
// virtual store of the loaded profile key `profile`. False when `profile` is
// no <SID>_Classes key, which alone has a virtual store, or the path does not
// fit.
bool VirtualMarkerPath(const char* profile, const char* marker,
                       PathBuffer& path) {
  size_t length = strlen(profile);
  size_t suffixLength = sizeof kClassesKeySuffix - 1;
  return length > suffixLength &&
         SameName(profile + length - suffixLength, kClassesKeySuffix) &&
         JoinPath(profile, marker, path);
}

// Whether the marker is in the virtual store of any loaded profile. Only
// Windows Vista and later make them; no version is asked, which a
// compatibility mode could make lie.
bool VirtualStoreHoldsMarker() {
  PathBuffer profile;
  for (DWORD index = 0;
       RegEnumKeyA(HKEY_USERS, index, profile, MAX_PATH) == ERROR_SUCCESS;
       ++index) {
    for (const char* marker : kVirtualMarkerKeys) {
      PathBuffer path;
      HKEY key;
      if (VirtualMarkerPath(profile, marker, path) &&
          OpenKeyForChange(HKEY_USERS, path, key)) {
        RegCloseKey(key);
        return true;
      }
    }
  }
  return false;
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

// What deleting the worm's copies needs besides their paths.
struct CopyRemoval {
  RunState* run;
  // The open command as read back after it was written: a copy that it still
  // starts stays, since deleted it would leave the command starting nothing,
  // and no program at all could be started.
  PathBuffer openCommand;
  // That copy; "" while none was left.
  PathBuffer keptCopy;
};

// Whether `command` starts the program `path`: it begins with the path,
// quoted or not, followed by its end, a space or the closing quote (letters
// compared without case).
bool CommandStarts(const char* command, const char* path) {
  PathBuffer program;
  if (!CopyText(command + (command[0] == '"'), program)) return false;
  size_t length = strlen(path);
  if (strlen(program) < length) return false;
  char next = program[length];
  program[length] = '\0';
  return (next == '\0' || next == ' ' || next == '"') &&
         SameName(program, path);
}

void DeleteCopyAt(const char* path, CopyRemoval& removal) {
  if (CommandStarts(removal.openCommand, path)) {
    CopyText(path, removal.keptCopy);
    return;
  }
  TryDeleteFile(path, *removal.run);
}

// A path that does not fit is never looked up: cut short, it could name
// another file.
void DeleteCopy(const char* directory, const char* name, CopyRemoval& removal) {
  PathBuffer path;
  if (JoinPath(directory, name, path)) DeleteCopyAt(path, removal);
}

// The Startup copies looked up so far: a Startup folder can be named in
// several places (the current user's profile is also one of the loaded
// ones), and is looked into once. A machine can have any number of loaded
// profiles; once the list is full, a folder is simply looked into again,
// which finds the copy gone, or defers or names it again.
struct StartupCopies {
  PathBuffer paths[kRememberedStartupFolders];
  DWORD count;
};

// The folder that value `valueName` of key `keyPath` below `root` names. A
// folder is only what a text value names: data of another type, read as
// text, could name any place.
bool ReadFolder(HKEY root, const char* keyPath, REGSAM access,
                const char* valueName, PathBuffer& folder) {
  return ReadKeyString(root, keyPath, access, valueName, folder) &&
         folder[0] != '\0';
}

void DeleteStartupCopyOnce(const char* folder, StartupCopies& looked,
                           CopyRemoval& removal) {
  PathBuffer path;
  if (!JoinPath(folder, kSircamStartupCopy, path)) return;
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
  DeleteCopyAt(path, removal);
}

// The Startup copy in the folder that value `valueName` of shell folders key
// `keyPath` below `root` names.
void DeleteStartupCopyNamedIn(HKEY root, const char* keyPath,
                              const char* valueName, REGSAM access,
                              StartupCopies& looked, CopyRemoval& removal) {
  PathBuffer folder;
  if (ReadFolder(root, keyPath, access, valueName, folder)) {
    DeleteStartupCopyOnce(folder, looked, removal);
  }
}

// `path` without its drive and the backslashes after it: where the virtual
// store keeps what is written there.
const char* WithoutDrive(const char* path) {
  PathBuffer drive;
  DriveOf(path, drive);
  path += strlen(drive);
  while (*path == '\\') ++path;
  return path;
}

// The copies that the worm, run by the user of the loaded profile key
// `profile` without elevation, wrote to the Windows and system directories,
// in that user's virtual store.
void DeleteVirtualStoreCopies(const char* profile, const char* windowsDirectory,
                              const char* systemDirectory,
                              CopyRemoval& removal) {
  PathBuffer keyPath;
  PathBuffer store;
  if (!JoinPath(profile, kShellFoldersKey, keyPath) ||
      !ReadFolder(HKEY_USERS, keyPath, KEY_READ, kLocalAppDataValue, store) ||
      !JoinPath(store, kVirtualStoreFolder, store)) {
    return;
  }
  PathBuffer directory;
  if (JoinPath(store, WithoutDrive(windowsDirectory), directory)) {
    DeleteCopy(directory, kSircamWindowsCopy, removal);
    if (JoinPath(directory, kWow64SystemFolder, directory)) {
      DeleteCopy(directory, kSircamSystemCopy, removal);
    }
  }
  if (JoinPath(store, WithoutDrive(systemDirectory), directory)) {
    DeleteCopy(directory, kSircamSystemCopy, removal);
  }
}

// The markers in the virtual store of the loaded profile key `profile`, when
// it is a <SID>_Classes key, and where there was one, the copies in the
// virtual store of files of the user whose key is the <SID> key.
void CleanVirtualStore(const char* profile, const char* windowsDirectory,
                       const char* systemDirectory, CopyRemoval& removal) {
  bool found = false;
  for (const char* marker : kVirtualMarkerKeys) {
    PathBuffer path;
    if (VirtualMarkerPath(profile, marker, path) &&
        RemoveMarker(HKEY_USERS, path)) {
      found = true;
    }
  }
  if (!found) return;
  PathBuffer user;
  CopyText(profile, user);
  user[strlen(user) - (sizeof kClassesKeySuffix - 1)] = '\0';
  DeleteVirtualStoreCopies(user, windowsDirectory, systemDirectory, removal);
}

// A copy left in another user's Startup folder would start the worm again
// at that user's next logon, with no marker key left to lead here; so would
// a marker left in a user's virtual store at the next run. Every loaded
// profile is walked, to the last: a terminal server has two keys for each
// user logged on.
void CleanLoadedProfiles(const char* windowsDirectory,
                         const char* systemDirectory, StartupCopies& looked,
                         CopyRemoval& removal) {
  PathBuffer profile;
  for (DWORD index = 0;
       RegEnumKeyA(HKEY_USERS, index, profile, MAX_PATH) == ERROR_SUCCESS;
       ++index) {
    PathBuffer keyPath;
    if (JoinPath(profile, kShellFoldersKey, keyPath)) {
      DeleteStartupCopyNamedIn(HKEY_USERS, keyPath, kStartupFolderValue,
                               KEY_READ, looked, removal);
    }
    CleanVirtualStore(profile, windowsDirectory, systemDirectory, removal);
  }
}

void DeleteStartupCopies(const char* windowsDirectory,
                         const char* systemDirectory, CopyRemoval& removal) {
  StartupCopies looked;
  looked.count = 0;
  DeleteStartupCopyNamedIn(HKEY_CURRENT_USER, kShellFoldersKey,
                           kStartupFolderValue, kReadWrite, looked, removal);
  DeleteStartupCopyNamedIn(HKEY_LOCAL_MACHINE, kShellFoldersKey,
                           kCommonStartupFolderValue, KEY_READ, looked,
                           removal);
  CleanLoadedProfiles(windowsDirectory, systemDirectory, looked, removal);
}

// When the saved original can take the place of rundll32.exe neither now
// nor at the restart, and nothing waits that would remove it, a copy of it
// is put there, so that Windows is never left without the program.
void KeepSystemProgram(const char* saved, const char* replaced) {
  if (!CopyFileA(saved, replaced, FALSE)) {
    ReportCannotRestore(replaced, saved);
  }
}

// An operation that names rundll32.exe already waits (recorded by an earlier
// run, or the deletion of the worm's file by another program): carried out
// at the restart, it would remove what is put back now. The original goes
// back by operations recorded after it, unless its rename there already
// waits; any copy must wait for the restart too.
void RestoreAfterWaiting(const char* saved, const char* replaced,
                         const ScheduledFate& fate, RunState& run) {
  run.RestartNeeded = true;
  if (fate.FromSource) return;
  bool cleared = !fate.Present ||
                 ScheduleAtBoot(replaced, NULL) == RemovalResult::Deferred;
  if (!cleared || ScheduleAtBoot(saved, replaced) != RemovalResult::Deferred) {
    ReportCannotRestoreAfterRestart(replaced, saved);
  }
}

// The worm's rundll32.exe is deleted before the saved original takes its
// name; when it is in use, both steps wait for the restart, in that order.
// A rename scheduled while the worm's file stays would fail at the restart,
// so it is scheduled only when that file is gone or going. Whatever of it
// waits calls for the restart.
void RestoreSystemProgram(const char* drive, RunState& run) {
  PathBuffer saved;
  PathBuffer replaced;
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
  FindClose(search);
  ScheduledFate fate =
      FollowSchedule(RunningLine(), replaced, saved,
                     GetFileAttributesA(replaced) != INVALID_FILE_ATTRIBUTES);
  if (fate.Named) {
    RestoreAfterWaiting(saved, replaced, fate, run);
    return;
  }
  RemovalResult replacedRemoval = DeleteOrDefer(replaced);
  RemovalResult rename = replacedRemoval == RemovalResult::Failed
                             ? RenameNow(saved, replaced)
                             : RenameOrDefer(saved, replaced);
  if (rename == RemovalResult::Deferred ||
      replacedRemoval == RemovalResult::Deferred) {
    run.RestartNeeded = true;
  }
  if (rename != RemovalResult::Failed) return;
  if (replacedRemoval == RemovalResult::Deferred) {
    ReportCannotRestoreAfterRestart(replaced, saved);
  } else {
    KeepSystemProgram(saved, replaced);
  }
}

}  // namespace

bool CleanSircam(RunState& run) {
  if (!RemoveMarker(HKEY_LOCAL_MACHINE, kMarkerKey) &&
      !VirtualStoreHoldsMarker()) {
    return true;
  }
  RemoveServiceEntry();
  CopyRemoval removal;
  removal.run = &run;
  removal.keptCopy[0] = '\0';
  RestoreOpenCommand(removal.openCommand);

  PathBuffer windowsDirectory;
  if (!ReportedOrUsualDirectory(
          GetWindowsDirectoryA(windowsDirectory, MAX_PATH), kNtWindowsDirectory,
          kOtherWindowsDirectory, windowsDirectory)) {
    return false;
  }
  PathBuffer drive;
  DriveOf(windowsDirectory, drive);
  DeleteCopy(drive, kSircamRecycledCopy, removal);
  DeleteCopy(drive, kSircamRecycledData, removal);
  DeleteCopy(windowsDirectory, kSircamWindowsCopy, removal);

  PathBuffer systemDirectory;
  if (!ReportedOrUsualDirectory(GetSystemDirectoryA(systemDirectory, MAX_PATH),
                                kNtSystemDirectory, kOtherSystemDirectory,
                                systemDirectory)) {
    return false;
  }
  DeleteCopy(systemDirectory, kSircamSystemCopy, removal);

  DeleteStartupCopies(windowsDirectory, systemDirectory, removal);
  RestoreSystemProgram(drive, run);
  RepairStartupBatch();

  if (removal.keptCopy[0] != '\0')
    ReportCommandNotRestored(removal.keptCopy, run);
  ConsolePrint("%s", kSircamResult);
  SectionOutcome(run, true);
  return true;
}
