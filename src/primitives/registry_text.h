// Opening a key to change it, and reading and writing registry texts safely.
// RegQueryValueExA does not terminate data that was stored without a NUL, and a
// value may be of any type; these calls always leave a terminated text or
// report failure.
#ifndef WORMSWEEP_PRIMITIVES_REGISTRY_TEXT_H_
#define WORMSWEEP_PRIMITIVES_REGISTRY_TEXT_H_

#include "platform/windows_api.h"
#include "primitives/path_building.h"

// Opens `path` below `root` (a root or an open key) with KEY_READ |
// KEY_WRITE, the rights needed to change, purge or delete what is in it.
// False when it cannot be opened.
bool OpenKeyForChange(HKEY root, const char* path, HKEY& key);

// Whether `path` below `root` can be opened with KEY_READ; it is closed
// again.
bool CanOpenKey(HKEY root, const char* path);

// Reads value `valueName` (NULL or "" for the default value) of the open
// `key` into `text`, with a 260-byte buffer. True with a NUL-terminated text;
// false (and `text` empty) when the read fails or the data fills the buffer
// without a NUL.
bool ReadRegistryText(HKEY key, const char* valueName, PathBuffer& text);

// As ReadRegistryText, for a value that must be text: false (and `text`
// empty) also when its type is neither REG_SZ nor REG_EXPAND_SZ. Data of
// another type, read as text, could name any file or place.
bool ReadRegistryString(HKEY key, const char* valueName, PathBuffer& text);

// Opens `path` below `root` with `access`, reads value `valueName` as
// ReadRegistryString does and closes the key again. False (and `text` empty)
// also when the key cannot be opened.
bool ReadKeyString(HKEY root, const char* path, REGSAM access,
                   const char* valueName, PathBuffer& text);

// Writes `text` as the default value of the open `key`, type REG_SZ, with a
// data size of 260 bytes: the text, its NUL, then zero bytes. False when the
// text does not fit or the write fails.
bool WriteDefaultText(HKEY key, const char* text);

#endif  // WORMSWEEP_PRIMITIVES_REGISTRY_TEXT_H_
