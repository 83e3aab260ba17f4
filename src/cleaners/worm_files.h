// The files that the cleaners delete, by the names they know them by: one
// list for the cleaners themselves and for a run that finds no marker but
// the deletion of such a file still waiting for the restart.
#ifndef WORMSWEEP_CLEANERS_WORM_FILES_H_
#define WORMSWEEP_CLEANERS_WORM_FILES_H_

// I-Worm.BleBla.b's program: where the worm always puts itself, whatever
// the actual Windows directory.
extern const char kBleBlaWormFile[];

// I-Worm.Sircam's copies, joined in turn to the Windows drive, the Windows
// directory, the system directory and each Startup folder, and its data
// file, kept beside its copy in the recycle folder (the other files there
// are the user's).
extern const char kSircamRecycledCopy[];
extern const char kSircamWindowsCopy[];
extern const char kSircamSystemCopy[];
extern const char kSircamStartupCopy[];
extern const char kSircamRecycledData[];

// The extension that I-Worm.Navidad's variants that delete a file beside
// their program give that file in place of the program's.
extern const char kNavidadDeletedExtension[];

// Whether `name`, a file's own name without its directory, is that of a
// file a cleaner deletes (letters compared without case). The system's
// rundll32.exe, which the Sircam cleaner replaces, is not one of them.
bool IsWormFileName(const char* name);

#endif  // WORMSWEEP_CLEANERS_WORM_FILES_H_
