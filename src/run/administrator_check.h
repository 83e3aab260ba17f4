#ifndef WORMSWEEP_RUN_ADMINISTRATOR_CHECK_H_
#define WORMSWEEP_RUN_ADMINISTRATOR_CHECK_H_

// Whether this run may change what the worms changed. On the NT line that
// takes an administrator: only the Administrators group may delete the
// worms' files in the Windows and system directories and schedule those in
// use for the next start (MOVEFILE_DELAY_UNTIL_REBOOT), while Power Users,
// and under NT 4.0 everyone, may change the keys below
// HKEY_LOCAL_MACHINE\Software. A run that could delete the marker keys but
// not the files would leave the worm running where a later run finds nothing
// to clean.
//
// True when the process token holds the built-in Administrators group
// (S-1-5-32-544) enabled, as an elevated administrator and LocalSystem do,
// and where the system has no access tokens (the 9x line, told by its
// missing token calls or by RunningLine, whatever version it reports). False
// when the group is missing, there for deny only (an administrator's program
// that UAC has not elevated), or the token cannot be read. Changes nothing.
bool MayCleanThisComputer();

#endif  // WORMSWEEP_RUN_ADMINISTRATOR_CHECK_H_
