// What already waits for the next system start, carried out by the system in
// order together with what other programs scheduled: the NT line's boot-time
// move list, the 9x line's [rename] section of wininit.ini. Reading it comes
// before adding to it, so that nothing is recorded twice and nothing this
// program puts back is removed by an operation that waits.
#ifndef WORMSWEEP_PRIMITIVES_BOOT_SCHEDULE_H_
#define WORMSWEEP_PRIMITIVES_BOOT_SCHEDULE_H_

#include "platform/system_functions.h"
#include "platform/windows_api.h"
#include "primitives/path_building.h"

// The 9x line's schedule: the section of wininit.ini and the key of a
// deletion in it.
extern const char kScheduleSection[];
extern const char kDeletionKey[];

// wininit.ini in the Windows directory. False when the system reports no
// Windows directory, or the path would not fit.
bool ScheduleFilePath(PathBuffer& path);

// What the waiting operations, carried out, make of one file. All false when
// nothing names it or the schedule cannot be read whole.
struct ScheduledFate {
  // Some waiting operation names the file (to remove it or to put another
  // in its place).
  bool Named;
  // A file is in its place once they are carried out.
  bool Present;
  // That file is the one renamed there from the given source.
  bool FromSource;
};

// Follows `path` through the schedule of `line`, beginning with a file in
// its place when `presentNow`; `source` (NULL for none) is the file whose
// rename onto `path` is looked for. A rename onto a file that is there
// replaces it on the 9x line and, on the NT line, only when it was recorded
// to replace. `section`, when not NULL, is the 9x line's [rename] section
// already read (by GetPrivateProfileSectionA: lines ended by a NUL, and a
// NUL after the last), which is then followed rather than the file.
ScheduledFate FollowSchedule(WindowsLine line, const char* path,
                             const char* source, bool presentNow,
                             const char* section = NULL);

// Whether the schedule of `line` holds the deletion of a file that is still
// there and whose own name `isWatched` accepts.
bool ScheduledDeletionWaits(WindowsLine line, bool (*isWatched)(const char*));

// The form of `path` that the 9x line's boot-time processor reads: the short
// name of an existing file, or the short name of its directory with its own
// name, in the OEM code page (the processor runs under MS-DOS, before
// Windows). False when there is none, or a character has no place in the OEM
// code page: an entry it could not read would be no schedule at all.
bool BootTimeName(const char* path, PathBuffer& name);

#endif  // WORMSWEEP_PRIMITIVES_BOOT_SCHEDULE_H_
