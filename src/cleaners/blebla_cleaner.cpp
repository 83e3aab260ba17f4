#include "cleaners/blebla_cleaner.h"

#include "platform/console.h"
#include "platform/windows_api.h"
#include "primitives/deferred_removal.h"
#include "primitives/file_type_repair.h"
#include "primitives/key_purge.h"
#include "run/cleaning_run.h"

namespace {

const char kMarkerType[] = "rnjfile";

// Where the worm always puts itself, whatever the actual Windows directory.
const char kWormFile[] = "c:\\windows\\sysrnj.exe";

const char kCannotDeleteText[] =
    "This program can not delete c:\\windows\\sysrnj.exe file. \n"
    "You can try to find and delete this file manually.\n\n";
const char kResultText[] =
    "Your registry was cleaned from links to I-Worm.BleBla.b virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";

enum RepairOperation {
  LinkToType,   // RepairAssociation(Names, Types)
  ClearLink,    // ClearTypeDefault(Names)
  DeleteKey,    // one RegDeleteKeyA of Names, result ignored
};

struct RepairRow {
  RepairOperation Operation;
  const char* Names;  // a semicolon list for LinkToType, one key otherwise
  const char* Types;  // candidate file types, most preferred first
};

const RepairRow kRepairTable[] = {
    {LinkToType, ".jpg;.jpeg;.jpe;", "jpegfile;"},
    {LinkToType, ".bmp;", "Paint.Picture;"},
    {LinkToType, ".gif;", "giffile;"},
    {LinkToType, ".avi;", "avifile;"},
    {LinkToType, ".mpg;.mpeg;.mp2;", "mpegfile;"},
    {ClearLink, ".wmf", ""},
    {LinkToType, ".wma;", "wmafile;"},
    {LinkToType, ".wmv;", "wmvfile;"},
    {LinkToType, ".mp3;", "mp3file;"},
    {ClearLink, ".vqf", ""},
    {LinkToType, ".doc;", "word.document.8;wordpad.document.1;"},
    {LinkToType, ".xls;", "excel.sheet.8;"},
    {LinkToType, ".zip;", "winzip;"},
    {LinkToType, ".rar;", "winrar;"},
    {DeleteKey, ".lha", ""},
    {LinkToType, ".arj;", "archivefile;winzip;"},
    {LinkToType, ".reg;", "regfile;"},
};

void ApplyRepairTable() {
  for (const RepairRow& row : kRepairTable) {
    switch (row.Operation) {
      case LinkToType:
        RepairAssociation(row.Names, row.Types);
        break;
      case ClearLink:
        ClearTypeDefault(row.Names);
        break;
      case DeleteKey:
        RegDeleteKeyA(HKEY_CLASSES_ROOT, row.Names);
        break;
    }
  }
}

}  // namespace

void CleanBleBla(RunState& run) {
  HKEY marker;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kMarkerType, 0, KEY_READ | KEY_WRITE,
                    &marker) != ERROR_SUCCESS) {
    return;
  }
  // The worm's file type has shell\open\command below it, and the NT line
  // refuses to delete a key that still has subkeys: left in place, the mark
  // would make every later run find the worm again.
  PurgeKey(marker);
  RegCloseKey(marker);
  RegDeleteKeyA(HKEY_CLASSES_ROOT, kMarkerType);

  ApplyRepairTable();

  switch (DeleteOrDefer(kWormFile)) {
    case Deferred:
      run.RestartNeeded = true;
      break;
    case Failed:
      ConsolePrint("%s", kCannotDeleteText);
      break;
    case Done:
    case NoVersion:
      break;
  }

  ConsolePrint("%s", kResultText);
  // The restart advice is left to the cleaners that follow.
  SectionOutcome(run, false);
}
