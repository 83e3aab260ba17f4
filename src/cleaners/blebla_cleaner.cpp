#include "cleaners/cleaners.h"

#include "cleaners/worm_files.h"
#include "platform/console.h"
#include "platform/windows_api.h"
#include "primitives/deferred_removal.h"
#include "primitives/file_type_repair.h"
#include "primitives/key_purge.h"
#include "primitives/registry_text.h"
#include "report/report.h"
#include "report/texts.h"

namespace {

// The worm's own file type, its mark; it points every extension it takes
// over at it.
const char kMarkerType[] = "rnjfile";

// Each only where the worm took the extension over: on a machine where
// another program links it elsewhere, that link stays.
enum RepairOperation {
  LinkToType,  // RepairAssociation(Names, Types)
  ClearLink,   // ClearTypeDefault(Names)
  // One RegDeleteKeyA of Names (result ignored) when the worm's link is all
  // the key holds; otherwise ClearLink, so that what another program keeps
  // there (Content Type, ShellNew) stays, and the NT line, which refuses to
  // delete a key with subkeys, does not leave the link in place.
  DeleteKey,
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
        RepairAssociation(row.Names, row.Types, kMarkerType);
        break;
      case ClearLink:
        ClearTypeDefault(row.Names, kMarkerType);
        break;
      case DeleteKey:
        if (HoldsOnlyTheLink(row.Names, kMarkerType)) {
          RegDeleteKeyA(HKEY_CLASSES_ROOT, row.Names);
        } else {
          ClearTypeDefault(row.Names, kMarkerType);
        }
        break;
    }
  }
}

}  // namespace

bool CleanBleBla(RunState& run) {
  HKEY marker;
  if (!OpenKeyForChange(HKEY_CLASSES_ROOT, kMarkerType, marker)) return true;
  // Emptied first: on the NT line a mark with subkeys would stay.
  PurgeKey(marker);
  RegCloseKey(marker);
  RegDeleteKeyA(HKEY_CLASSES_ROOT, kMarkerType);

  ApplyRepairTable();
  ReportRemoval(kBleBlaWormFile, DeleteOrDefer(kBleBlaWormFile), run);

  ConsolePrint("%s", kBleBlaResult);
  // The restart advice is left to the cleaners that follow.
  SectionOutcome(run, false);
  return true;
}
