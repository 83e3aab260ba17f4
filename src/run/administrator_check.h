#ifndef WORMSWEEP_RUN_ADMINISTRATOR_CHECK_H_
#define WORMSWEEP_RUN_ADMINISTRATOR_CHECK_H_

// Whether this run may change what the worms changed. On the NT line a user
// without administrator rights cannot change HKEY_LOCAL_MACHINE or the file
// types of HKEY_CLASSES_ROOT: the cleaners would take the worms there for
// absent, and remove only the current user's part of another, so that a later
// run by an administrator would no longer find it. False only when opening
// HKEY_LOCAL_MACHINE\Software for writing is refused (ERROR_ACCESS_DENIED);
// the 9x line has no such rights. Changes nothing.
bool MayCleanThisComputer();

#endif  // WORMSWEEP_RUN_ADMINISTRATOR_CHECK_H_
