// Building the full paths of worm files. Every result lives in a PathBuffer;
// a result that would not fit is reported as a failure and left empty, never
// cut short, because a truncated path may name another file.
#ifndef WORMSWEEP_PRIMITIVES_PATH_BUILDING_H_
#define WORMSWEEP_PRIMITIVES_PATH_BUILDING_H_

#include "platform/windows_api.h"

// A path or registry text in the system's ANSI code page, NUL-terminated:
// at most MAX_PATH - 1 characters.
typedef char PathBuffer[MAX_PATH];

// Copies `text` into `result`. False (and `result` empty) when it does not
// fit.
bool CopyText(const char* text, PathBuffer& result);

// `base`, a backslash unless `base` already ends in one, then `name`. An
// empty base gives "\" followed by `name`. Only the last byte of `base` is
// looked at.
bool JoinPath(const char* base, const char* name, PathBuffer& result);

// The drive ("C:") of a path whose second character is a colon, otherwise the
// empty text. Always fits.
void DriveOf(const char* path, PathBuffer& result);

// `path` with its extension replaced by `ext` (a leading '.' in `ext` is
// optional; an empty `ext` drops the extension). Both separators are
// recognised in `path`; only the backslash is written.
bool WithExtension(const char* path, const char* ext, PathBuffer& result);

#endif  // WORMSWEEP_PRIMITIVES_PATH_BUILDING_H_
