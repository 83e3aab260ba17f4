#include "primitives/key_purge.h"

#include "primitives/path_building.h"

namespace {

bool CountSubkeysAndValues(HKEY key, DWORD& subkeys, DWORD& values) {
  return RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values,
                          NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
}

}  // namespace

bool PurgeKey(HKEY key) {
  DWORD subkeys = 0;
  DWORD values = 0;
  if (!CountSubkeysAndValues(key, subkeys, values)) return false;

  // Always index 0: each deletion moves the next value there.
  while (values > 0) {
    PathBuffer name;
    DWORD nameLength = MAX_PATH;
    if (RegEnumValueA(key, 0, name, &nameLength, NULL, NULL, NULL, NULL) !=
        ERROR_SUCCESS) {
      return false;
    }
    if (RegDeleteValueA(key, name) != ERROR_SUCCESS) return false;
    DWORD unusedSubkeys = 0;
    DWORD remaining = 0;
    // A count that does not go down would keep the purge going for ever.
    if (!CountSubkeysAndValues(key, unusedSubkeys, remaining) ||
        remaining >= values) {
      return false;
    }
    values = remaining;
  }

  DWORD subkeysLeft = subkeys;
  for (DWORD i = 0; i < subkeys; ++i) {
    PathBuffer name;
    if (RegEnumKeyA(key, 0, name, MAX_PATH) != ERROR_SUCCESS) return false;
    HKEY subkey;
    if (RegOpenKeyExA(key, name, 0, KEY_READ | KEY_WRITE, &subkey) ==
        ERROR_SUCCESS) {
      bool purged = PurgeKey(subkey);
      RegCloseKey(subkey);
      if (!purged) return false;
    }
    // The NT line refuses to delete a key that still has subkeys, so one that
    // could not be opened and purged ends the purge here.
    if (RegDeleteKeyA(key, name) != ERROR_SUCCESS) return false;
    // A deletion that reports success but leaves the subkey would have the
    // next round take the same subkey again, and the purge end with another
    // one never visited.
    DWORD remaining = 0;
    DWORD unusedValues = 0;
    if (!CountSubkeysAndValues(key, remaining, unusedValues) ||
        remaining >= subkeysLeft) {
      return false;
    }
    subkeysLeft = remaining;
  }
  return true;
}
