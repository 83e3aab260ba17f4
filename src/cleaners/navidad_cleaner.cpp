#include "cleaners/navidad_cleaner.h"

#include <string.h>

#include "platform/console.h"
#include "platform/windows_api.h"
#include "primitives/deferred_removal.h"
#include "primitives/file_type_repair.h"
#include "primitives/key_purge.h"
#include "primitives/path_building.h"
#include "primitives/registry_text.h"
#include "run/cleaning_run.h"

namespace {

const char kResultA[] =
    "Your registry was cleaned from links to I-Worm.Navidad virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
// Without a final line feed: the download advice follows on the same line.
const char kResultB[] =
    "Your registry was complitely cleaned from links to I-Worm.Navidad virus \n"
    "but we recomend to use antivirus program to scan your hard drive.";

const char kSoftwareKey[] = "Software";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAutostartValue[] = "Win32BaseServiceMOD";
const char kWormExtension[] = "vxd";

// Deleted through "Software", as the worm's own name below it.
void DeleteMarker(const NavidadVariant& variant) {
  HKEY software;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSoftwareKey, 0, KEY_READ,
                    &software) == ERROR_SUCCESS) {
    RegDeleteKeyA(software, variant.SoftwareSubkey);
    RegCloseKey(software);
  }
}

// The worm's autostart value names its program; the value goes either way.
void TakeAutostartPath(PathBuffer& wormPath) {
  HKEY run;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ | KEY_WRITE,
                    &run) != ERROR_SUCCESS) {
    return;
  }
  ReadRegistryText(run, kAutostartValue, wormPath);
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
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, 0,
                    KEY_READ | KEY_WRITE, &openCommand) != ERROR_SUCCESS) {
    return;
  }
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
    ReportRemoval(wormPath, Failed, run);
    return;
  }
  ReportRemoval(wormFile, DeleteOrDefer(wormFile), run);
}

}  // namespace

const NavidadVariant kNavidadVariants[kNavidadVariantCount] = {
    {"Software\\Navidad", "Navidad", "\\winsvrc.exe", true, kResultA},
    {"Software\\xxxxmas", "xxxxmas", "\\winfile.exe", true, kResultB},
    {"Software\\Emanuel", "Emanuel", "\\wintask.exe", false, kResultA},
};

void CleanNavidad(const NavidadVariant& variant, RunState& run) {
  HKEY marker;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, variant.MarkerKey, 0,
                    KEY_READ | KEY_WRITE, &marker) != ERROR_SUCCESS) {
    return;
  }
  // The marker may hold subkeys, and the NT line refuses to delete a key
  // that still has some: left in place, the mark would make every later run
  // find the worm again.
  PurgeKey(marker);
  RegCloseKey(marker);
  DeleteMarker(variant);

  PathBuffer wormPath = "";
  TakeAutostartPath(wormPath);
  RestoreOpenCommand(variant, wormPath);
  if (wormPath[0] != '\0') RemoveWormFile(variant, wormPath, run);

  ConsolePrint("%s", variant.ResultText);
  SectionOutcome(run, true);
}
