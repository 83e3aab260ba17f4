#include "primitives/file_type_repair.h"

#include <string.h>

#include "primitives/path_building.h"
#include "primitives/registry_text.h"

const char kStandardOpenCommand[] = "\"%1\" %*";
const char kExecutableOpenCommandKey[] = "exefile\\shell\\open\\command";

namespace {

const size_t kMaxExtensionLength = 7;
const size_t kMaxTypeLength = MAX_PATH - 1;

// Takes the next item of the semicolon list at `cursor` into `item` and moves
// `cursor` past it and its ';'. An item that is empty or longer than
// `maxLength` is passed over: the empty name would open the root itself and a
// cut name may be another key. False at the end of the list.
bool NextListItem(const char*& cursor, size_t maxLength, PathBuffer& item) {
  while (*cursor != '\0') {
    const char* end = strchr(cursor, ';');
    size_t length =
        end != NULL ? static_cast<size_t>(end - cursor) : strlen(cursor);
    const char* start = cursor;
    cursor += length;
    if (*cursor == ';') ++cursor;
    if (length > 0 && length <= maxLength) {
      memcpy(item, start, length);
      item[length] = '\0';
      return true;
    }
  }
  return false;
}

bool DefaultIs(HKEY key, const char* text) {
  PathBuffer current;
  return ReadRegistryString(key, "", current) && SameName(current, text);
}

void WriteDefaultIfTaken(const char* name, const char* text,
                         const char* takenType) {
  HKEY key;
  if (!OpenKeyForChange(HKEY_CLASSES_ROOT, name, key)) return;
  if (DefaultIs(key, takenType)) WriteDefaultText(key, text);
  RegCloseKey(key);
}

}  // namespace

void RepairAssociation(const char* extensions, const char* types,
                       const char* takenType) {
  PathBuffer chosenType;
  chosenType[0] = '\0';
  PathBuffer type;
  for (const char* cursor = types;
       NextListItem(cursor, kMaxTypeLength, type);) {
    if (CanOpenKey(HKEY_CLASSES_ROOT, type)) {
      CopyText(type, chosenType);
      break;
    }
  }

  // With no type found the extensions are unlinked (empty default value)
  // rather than left pointing at the worm's type.
  PathBuffer extension;
  for (const char* cursor = extensions;
       NextListItem(cursor, kMaxExtensionLength, extension);) {
    WriteDefaultIfTaken(extension, chosenType, takenType);
  }
}

void ClearTypeDefault(const char* name, const char* takenType) {
  if (name[0] == '\0') return;
  WriteDefaultIfTaken(name, "", takenType);
}

bool HoldsOnlyTheLink(const char* name, const char* takenType) {
  HKEY key;
  if (name[0] == '\0' || RegOpenKeyExA(HKEY_CLASSES_ROOT, name, 0, KEY_READ,
                                       &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD subkeys = 0;
  DWORD values = 0;
  PathBuffer firstValue;
  DWORD nameLength = MAX_PATH;
  // The 9x line gives every key a default value, and does not document
  // whether it counts it: the one value counted must be seen to be the
  // default one.
  bool onlyTheLink =
      DefaultIs(key, takenType) &&
      RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values,
                       NULL, NULL, NULL, NULL) == ERROR_SUCCESS &&
      subkeys == 0 && values == 1 &&
      RegEnumValueA(key, 0, firstValue, &nameLength, NULL, NULL, NULL, NULL) ==
          ERROR_SUCCESS &&
      firstValue[0] == '\0';
  RegCloseKey(key);
  return onlyTheLink;
}

void ResetOpenCommand(HKEY key) {
  WriteDefaultText(key, kStandardOpenCommand);
  RegCloseKey(key);
}

bool ReadOpenCommand(PathBuffer& command) {
  command[0] = '\0';
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  bool read = ReadRegistryText(key, NULL, command);
  RegCloseKey(key);
  return read;
}

bool RestoreOpenCommand(PathBuffer& command) {
  HKEY key;
  if (OpenKeyForChange(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, key)) {
    ResetOpenCommand(key);
  }
  return ReadOpenCommand(command);
}
