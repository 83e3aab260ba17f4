// Deleting or renaming a file now, or, when it is in use or protected,
// scheduling the operation for the next system start on both lines of
// Windows: NT's boot-time move list and the [rename] section of wininit.ini.
#ifndef WORMSWEEP_PRIMITIVES_DEFERRED_REMOVAL_H_
#define WORMSWEEP_PRIMITIVES_DEFERRED_REMOVAL_H_

#include "platform/windows_api.h"

enum class RemovalResult {
  Done = 0,       // deleted (or renamed) now
  Deferred = 1,   // scheduled for the next system start
  Failed = 2,     // failed; nothing scheduled
  NoVersion = 3,  // could be deferred, but the platform is unknown
};

// The platform identifier from GetVersionExA (VER_PLATFORM_WIN32_NT is the
// NT line), asked twice before giving up. False when both attempts fail.
bool QueryPlatformId(DWORD& platformId);

RemovalResult DeleteOrDefer(const char* path);
RemovalResult RenameOrDefer(const char* from, const char* to);

#endif  // WORMSWEEP_PRIMITIVES_DEFERRED_REMOVAL_H_
