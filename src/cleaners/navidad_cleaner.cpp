#include "cleaners/navidad_cleaner.h"

#include <string.h>

#include "cleaners/cleaners.h"
#include "cleaners/worm_files.h"
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

const char kSoftwareKey[] = "Software";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAutostartValue[] = "Win32BaseServiceMOD";

// Empties the variant's marker below `profile` (HKEY_CURRENT_USER or an open
// profile key of HKEY_USERS) and deletes it through "Software", as the
// worm's own name below it. False when the marker is not there.
bool RemoveMarker(HKEY profile, const NavidadVariant& variant) {
  HKEY marker;
  if (!OpenKeyForChange(profile, variant.MarkerKey, marker)) return false;
  // Emptied first: on the NT line a mark with subkeys would stay.
  PurgeKey(marker);
  RegCloseKey(marker);
  HKEY software;
  if (RegOpenKeyExA(profile, kSoftwareKey, 0, KEY_READ, &software) ==
      ERROR_SUCCESS) {
    RegDeleteKeyA(software, variant.SoftwareSubkey);
    RegCloseKey(software);
  }
  return true;
}

// The infected user need not be the one who runs this program, only logged
// on: the marker is looked for in every loaded profile, the current user's
// (which is one of them) first. True when it was found in any.
bool RemoveMarkers(const NavidadVariant& variant) {
  bool found = RemoveMarker(HKEY_CURRENT_USER, variant);
  PathBuffer name;
  for (DWORD index = 0;
       RegEnumKeyA(HKEY_USERS, index, name, MAX_PATH) == ERROR_SUCCESS;
       ++index) {
    HKEY profile;
    if (RegOpenKeyExA(HKEY_USERS, name, 0, KEY_READ, &profile) ==
        ERROR_SUCCESS) {
      if (RemoveMarker(profile, variant)) found = true;
      RegCloseKey(profile);
    }
  }
  return found;
}

// Whether `path` is a full path on a drive whose file is the variant's
// program. The worm writes the name in letters of its own choosing
// (C:\Windows\System\Winsvrc.Exe).
bool NamesWormProgram(const NavidadVariant& variant, const char* path) {
  char letter = static_cast<char>(path[0] | 0x20);
  return letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\' &&
         SameName(path + FileNameOffset(path), variant.WormFileName + 1);
}

// The hijacked open command starts with the worm's program: everything up to
// and including the worm's file name, in whatever letters the worm wrote it
// (C:\Windows\System\Wintask.Exe), is taken as its path.
void TakeCommandProgram(const char* command, const char* wormFileName,
                        PathBuffer& program) {
  const char* found = FindName(command, wormFileName);
  if (found == NULL) return;
  // Always fits: a part of a text read into a buffer of the same size.
  size_t length = static_cast<size_t>(found - command) + strlen(wormFileName);
  memcpy(program, command, length);
  program[length] = '\0';
}

// The autostart value names the program when it names this variant's:
// another worm (LoveLetter) writes a value of the same name for a program of
// its own, and no other file may be deleted in its place.
void TakeWormPath(const NavidadVariant& variant, const NavidadLinks& links,
                  PathBuffer& wormPath) {
  if (NamesWormProgram(variant, links.AutostartValue)) {
    CopyText(links.AutostartValue, wormPath);
    return;
  }
  TakeCommandProgram(links.OpenCommand, variant.WormFileName, wormPath);
}

// The value goes whichever program it names.
void RemoveAutostartValue() {
  HKEY run;
  if (!OpenKeyForChange(HKEY_LOCAL_MACHINE, kRunKey, run)) return;
  RegDeleteValueA(run, kAutostartValue);
  RegCloseKey(run);
}

const char* WithoutQuote(const char* path) { return path + (path[0] == '"'); }

// When the file to delete is the program itself, it stays while the open
// command still starts it: deleted, it would leave the command starting
// nothing, and no program at all could be started.
void RemoveWormFile(const NavidadVariant& variant, const PathBuffer& wormPath,
                    const PathBuffer& startedProgram, RunState& run) {
  if (!variant.DeletesVxd) {
    if (SameName(WithoutQuote(wormPath), startedProgram)) return;
    ReportRemoval(wormPath, DeleteOrDefer(wormPath), run);
    return;
  }
  PathBuffer wormFile;
  if (!WithExtension(wormPath, kNavidadDeletedExtension, wormFile)) {
    // The file's name cannot be formed, so it cannot be deleted: the user is
    // told which program to look for rather than nothing at all.
    ReportRemoval(wormPath, RemovalResult::Failed, run);
    return;
  }
  ReportRemoval(wormFile, DeleteOrDefer(wormFile), run);
}

}  // namespace

const NavidadVariant kNavidadVariants[kNavidadVariantCount] = {
    {"Software\\Navidad", "Navidad", "\\winsvrc.exe", true, kNavidadResultA},
    {"Software\\xxxxmas", "xxxxmas", "\\winfile.exe", true, kNavidadResultB},
    {"Software\\Emanuel", "Emanuel", "\\wintask.exe", false, kNavidadResultA},
};

void ReadNavidadLinks(NavidadLinks& links) {
  ReadKeyString(HKEY_LOCAL_MACHINE, kRunKey, KEY_READ, kAutostartValue,
                links.AutostartValue);
  ReadOpenCommand(links.OpenCommand);
}

void CleanNavidadVariant(const NavidadVariant& variant,
                         const NavidadLinks& links, RunState& run) {
  if (!RemoveMarkers(variant)) return;
  PathBuffer wormPath;
  wormPath[0] = '\0';
  TakeWormPath(variant, links, wormPath);
  RemoveAutostartValue();

  PathBuffer command;
  RestoreOpenCommand(command);
  PathBuffer startedProgram;
  startedProgram[0] = '\0';
  TakeCommandProgram(WithoutQuote(command), variant.WormFileName,
                     startedProgram);
  if (wormPath[0] != '\0') {
    RemoveWormFile(variant, wormPath, startedProgram, run);
  }
  if (startedProgram[0] != '\0') ReportCommandNotRestored(startedProgram, run);

  ConsolePrint("%s", variant.ResultText);
  SectionOutcome(run, true);
}

bool CleanNavidad(RunState& run) {
  NavidadLinks links;
  ReadNavidadLinks(links);
  for (const NavidadVariant& variant : kNavidadVariants) {
    CleanNavidadVariant(variant, links, run);
  }
  return true;
}
