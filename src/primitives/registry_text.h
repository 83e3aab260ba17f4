// Reading and writing registry texts safely. RegQueryValueExA does not
// terminate data that was stored without a NUL, and a value may be of any
// type; these calls always leave a terminated text or report failure.
#ifndef WORMSWEEP_PRIMITIVES_REGISTRY_TEXT_H_
#define WORMSWEEP_PRIMITIVES_REGISTRY_TEXT_H_

#include "platform/windows_api.h"
#include "primitives/path_building.h"

// Reads value `valueName` (NULL or "" for the default value) of the open
// `key` into `text`, with a 260-byte buffer. True with a NUL-terminated text;
// false (and `text` empty) when the read fails or the data fills the buffer
// without a NUL.
bool ReadRegistryText(HKEY key, const char* valueName, PathBuffer& text);

// Writes `text` as the default value of the open `key`, type REG_SZ, with a
// data size of 260 bytes: the text, its NUL, then zero bytes. False when the
// text does not fit or the write fails.
bool WriteDefaultText(HKEY key, const char* text);

#endif  // WORMSWEEP_PRIMITIVES_REGISTRY_TEXT_H_
