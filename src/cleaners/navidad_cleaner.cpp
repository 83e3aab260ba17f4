#include "cleaners/navidad_cleaner.h"

#include <string.h>

#include "cleaners/cleaners.h"
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
const char kWormExtension[] = "vxd";

// Deleted through "Software", as the worm's own name below it.
void DeleteMarker(const NavidadVariant& variant) {
  HKEY software;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSoftwareKey, 0, KEY_READ, &software) ==
      ERROR_SUCCESS) {
    RegDeleteKeyA(software, variant.SoftwareSubkey);
    RegCloseKey(software);
  }
}

// Whether `path` is a full path on a drive whose file is the variant's
// program. The worm writes the name in letters of its own choosing
// (C:\Windows\System\Winsvrc.Exe).
bool NamesWormProgram(const NavidadVariant& variant, const char* path) {
  char letter = static_cast<char>(path[0] | 0x20);
  return letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\' &&
         SameName(path + FileNameOffset(path), variant.WormFileName + 1);
}

// The worm's autostart value names its program; the value goes either way.
// Another worm (LoveLetter) writes a value of the same name for a program
// of its own: a value that does not name this variant's program is not
// taken for it, so that no other file is deleted in its place.
void TakeAutostartPath(const NavidadVariant& variant, PathBuffer& wormPath) {
  HKEY run;
  if (!OpenKeyForChange(HKEY_LOCAL_MACHINE, kRunKey, run)) return;
  if (!ReadRegistryString(run, kAutostartValue, wormPath) ||
      !NamesWormProgram(variant, wormPath)) {
    wormPath[0] = '\0';
  }
  RegDeleteValueA(run, kAutostartValue);
  RegCloseKey(run);
}

// The hijacked open command starts with the worm's program: everything up to
// and including the worm's file name is taken as its path.
void TakeOpenCommandPath(HKEY openCommand, const char* wormFileName,
                         PathBuffer& wormPath) {
  PathBuffer command;
  if (!ReadRegistryText(openCommand, "", command)) return;
  char* found = strstr(command, wormFileName);
  if (found == NULL) return;
  found[strlen(wormFileName)] = '\0';
  // Always fits: a part of a text read into a buffer of the same size.
  CopyText(command, wormPath);
}

void RestoreOpenCommand(const NavidadVariant& variant, PathBuffer& wormPath) {
  HKEY openCommand;
  if (!OpenExecutableOpenCommand(openCommand)) return;
  if (wormPath[0] == '\0') {
    TakeOpenCommandPath(openCommand, variant.WormFileName, wormPath);
  }
  ResetOpenCommand(openCommand);
}

void RemoveWormFile(const NavidadVariant& variant, const PathBuffer& wormPath,
                    RunState& run) {
  if (!variant.DeletesVxd) {
    ReportRemoval(wormPath, DeleteOrDefer(wormPath), run);
    return;
  }
  PathBuffer wormFile;
  if (!WithExtension(wormPath, kWormExtension, wormFile)) {
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

void CleanNavidadVariant(const NavidadVariant& variant, RunState& run) {
  HKEY marker;
  if (!OpenKeyForChange(HKEY_CURRENT_USER, variant.MarkerKey, marker)) return;
  // Emptied first: on the NT line a mark with subkeys would stay.
  PurgeKey(marker);
  RegCloseKey(marker);
  DeleteMarker(variant);

  PathBuffer wormPath = "";
  TakeAutostartPath(variant, wormPath);
  RestoreOpenCommand(variant, wormPath);
  if (wormPath[0] != '\0') RemoveWormFile(variant, wormPath, run);

  ConsolePrint("%s", variant.ResultText);
  SectionOutcome(run, true);
}

bool CleanNavidad(RunState& run) {
  for (const NavidadVariant& variant : kNavidadVariants) {
    CleanNavidadVariant(variant, run);
  }
  return true;
}
