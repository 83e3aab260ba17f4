// What the user is told about the cleaning, apart from each cleaner's own
// result text: the outcome of a removal and the block that closes every
// cleaner's report.
#ifndef WORMSWEEP_REPORT_REPORT_H_
#define WORMSWEEP_REPORT_REPORT_H_

#include "primitives/deferred_removal.h"
#include "report/run_state.h"

// Deferred sets RestartNeeded; Failed prints the cannot-delete text naming
// `path`; Done does nothing.
void ReportRemoval(const char* path, RemovalResult result, RunState& run);

// Tells the user that `program` could not be put back and that `original`
// is the file to copy into its place.
void ReportCannotRestore(const char* program, const char* original);

// Tells the user that `program` could not be put back yet, as its deletion
// waits for the restart, and that `original` is the file to copy into its
// place after the restart: a copy made before would go with it.
void ReportCannotRestoreAfterRestart(const char* program, const char* original);

// Tells the user that the open command still starts `program`, which was
// therefore left in place, and notes in `run` that the user was told.
void ReportCommandNotRestored(const char* program, RunState& run);

// DeleteOrDefer and ReportRemoval for a file that exists, or that may exist
// for all the lookup can tell; a file that is not found (ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND) is passed over silently.
void TryDeleteFile(const char* path, RunState& run);

// What a run that found no worm's marker closes with: the restart advice
// when the deletion of a worm's file still waits for the restart, else the
// note that there was nothing to clean.
void ReportNothingFound(bool removalWaits);

// The block that closes every cleaner's report: the download advice, the
// restart advice when offered and needed, and the note that something was
// cleaned.
void SectionOutcome(RunState& run, bool offersRestart);

#endif  // WORMSWEEP_REPORT_REPORT_H_
