#include "primitives/registry_text.h"

#include <string.h>

namespace {

// `type` NULL when the type does not matter.
bool ReadText(HKEY key, const char* valueName, DWORD* type, PathBuffer& text) {
  DWORD size = MAX_PATH;
  if (RegQueryValueExA(key, valueName, NULL, type,
                       reinterpret_cast<LPBYTE>(text),
                       &size) != ERROR_SUCCESS ||
      size > MAX_PATH ||
      (type != NULL && *type != REG_SZ && *type != REG_EXPAND_SZ)) {
    text[0] = '\0';
    return false;
  }
  // Data stored without a NUL comes back without one, whatever its type.
  if (memchr(text, '\0', size) != NULL) return true;
  if (size == MAX_PATH) {
    text[0] = '\0';
    return false;
  }
  text[size] = '\0';
  return true;
}

}  // namespace

bool OpenKeyForChange(HKEY root, const char* path, HKEY& key) {
  return RegOpenKeyExA(root, path, 0, KEY_READ | KEY_WRITE, &key) ==
         ERROR_SUCCESS;
}

bool CanOpenKey(HKEY root, const char* path) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool ReadRegistryText(HKEY key, const char* valueName, PathBuffer& text) {
  return ReadText(key, valueName, NULL, text);
}

bool ReadRegistryString(HKEY key, const char* valueName, PathBuffer& text) {
  DWORD type = REG_NONE;
  return ReadText(key, valueName, &type, text);
}

bool ReadKeyString(HKEY root, const char* path, REGSAM access,
                   const char* valueName, PathBuffer& text) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, access, &key) != ERROR_SUCCESS) {
    text[0] = '\0';
    return false;
  }
  bool read = ReadRegistryString(key, valueName, text);
  RegCloseKey(key);
  return read;
}

bool WriteDefaultText(HKEY key, const char* text) {
  // The value is always written with the full buffer size; copying the text
  // into zeroed storage first keeps the write from reading past a short text.
  PathBuffer data;
  memset(data, 0, sizeof(data));
  if (!CopyText(text, data)) return false;
  return RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                        MAX_PATH) == ERROR_SUCCESS;
}
