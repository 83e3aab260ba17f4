// The worm's line in the startup batch file c:\autoexec.bat.
#ifndef WORMSWEEP_CLEANERS_STARTUP_BATCH_H_
#define WORMSWEEP_CLEANERS_STARTUP_BATCH_H_

// Removes the first "@win \recycled\sirc32.exe" (in any case of letters) from
// c:\autoexec.bat, in place, keeping every other byte. Silent when the file is
// absent, and when it holds no such line; when the file holds the line (or
// cannot be read to tell) but cannot be rewritten, for instance because it is
// read-only or held open by another program, the user is told to remove the
// line by hand, and the file keeps its original content.
void RepairStartupBatch();

#endif  // WORMSWEEP_CLEANERS_STARTUP_BATCH_H_
