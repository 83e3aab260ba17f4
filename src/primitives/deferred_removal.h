// Deleting or renaming a file now, or, when it is in use or protected,
// scheduling the operation for the next system start: in the boot-time move
// list where the system keeps one (the NT line), in the [rename] section of
// wininit.ini where it does not (the 9x line).
#ifndef WORMSWEEP_PRIMITIVES_DEFERRED_REMOVAL_H_
#define WORMSWEEP_PRIMITIVES_DEFERRED_REMOVAL_H_

#include "platform/system_functions.h"
#include "platform/windows_api.h"

enum class RemovalResult {
  Done = 0,      // deleted (or renamed) now
  Deferred = 1,  // scheduled for the next system start
  Failed = 2,    // failed; nothing scheduled
};

// A read-only file loses that attribute first (the worm's files only come
// here), and stays without it while its deletion waits for the restart.
RemovalResult DeleteOrDefer(const char* path);
RemovalResult RenameOrDefer(const char* from, const char* to);
// The rename now, never scheduled: Done or Failed.
RemovalResult RenameNow(const char* from, const char* to);
// The deletion (`to` NULL) or rename recorded for the next system start,
// never carried out now: Deferred, also when it already waits, or Failed. On
// the 9x line a name that the boot-time processor could not read is not
// recorded.
RemovalResult ScheduleAtBoot(const char* from, const char* to);

#endif  // WORMSWEEP_PRIMITIVES_DEFERRED_REMOVAL_H_
