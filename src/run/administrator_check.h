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

// Whether the process token that MayCleanThisComputer read holds the
// INTERACTIVE group (S-1-5-4) enabled, which Windows gives to every logon of
// a person at a keyboard: at the console, through runas, elevated, and over
// Remote Desktop. Its absence proves nothing (LocalSystem on a desktop that
// a person sees lacks it). False when the token was not read: before
// MayCleanThisComputer, and on the 9x line, which has no tokens.
bool LoggedOnInteractively();

#endif  // WORMSWEEP_RUN_ADMINISTRATOR_CHECK_H_
