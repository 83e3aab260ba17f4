// Building the full paths of worm files. Every result lives in a PathBuffer;
// a result that would not fit is reported as a failure and left empty, never
// cut short, because a truncated path may name another file.
#ifndef WORMSWEEP_PRIMITIVES_PATH_BUILDING_H_
#define WORMSWEEP_PRIMITIVES_PATH_BUILDING_H_

#include <stddef.h>

#include "platform/windows_api.h"

// A path or registry text in the system's ANSI code page, NUL-terminated:
// at most MAX_PATH - 1 characters.
typedef char PathBuffer[MAX_PATH];

// Copies `text` into `result`. False (and `result` empty) when it does not
// fit.
bool CopyText(const char* text, PathBuffer& result);

// `base`, a backslash unless `base` already ends in one, then `name`. An
// empty base gives "\" followed by `name`. A base ending in '/' gets a
// backslash too. False (and `result` empty) when the result would not fit.
bool JoinPath(const char* base, const char* name, PathBuffer& result);

// The drive ("C:") of a path whose second character is a colon, otherwise the
// empty text. Always fits.
void DriveOf(const char* path, PathBuffer& result);

// Where the last component of `path` begins: just after its last separator
// ('\\' or '/'), or 0 when it has none.
size_t FileNameOffset(const char* path);

// Whether two names (paths, file names, registry names) are the same to
// Windows, which ignores the case of letters. Only ASCII letters are folded,
// and a double-byte character is compared byte for byte: a name spelt once
// more in other letters is then taken for another.
bool SameName(const char* first, const char* second);

// Where `name` first occurs in `text`, compared as SameName compares: letters
// without case, a double-byte character byte for byte, and only at the start
// of a character of `text` (never at the second byte of a double-byte
// character). NULL when it does not occur; `text` itself for an empty name.
// Reads `text` no further than its NUL, however long it is.
const char* FindName(const char* text, const char* name);

// `path` with its extension replaced by `ext` (a leading '.' in `ext` is
// optional; an empty `ext` drops the extension). Both separators are
// recognised in `path`; only the backslash is written. False also when the
// directory or the base name is longer than 255 characters.
//
// JoinPath, DriveOf, FileNameOffset, SameName, FindName and WithExtension
// read a lead
// byte of a double-byte code page together with the byte after it, so that byte
// is never taken for a separator, a colon or a dot.
bool WithExtension(const char* path, const char* ext, PathBuffer& result);

#endif  // WORMSWEEP_PRIMITIVES_PATH_BUILDING_H_
