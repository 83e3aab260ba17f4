// I-Worm.Sircam: marks the machine with HKEY_LOCAL_MACHINE\Software\SirCam,
// starts as a service entry, takes over the command with which executables
// are opened, leaves copies of itself (one in the Startup folder of every
// user it reaches) and a data file, hides the system's rundll32.exe as
// run32.exe in its place, and starts from c:\autoexec.bat.
#ifndef WORMSWEEP_CLEANERS_SIRCAM_CLEANER_H_
#define WORMSWEEP_CLEANERS_SIRCAM_CLEANER_H_

#include "run/run_state.h"

// When the marker key exists: empties and deletes it, removes the service
// entry, writes the standard open command back, deletes the copies and the
// data file (or schedules their deletion), looking into every Startup folder
// that the current user, the machine or a loaded profile names, puts
// rundll32.exe back, repairs the startup batch file and reports. Silent when the worm is absent.
// Returns false when the run must stop: the system reported no Windows or no
// system directory and the line of Windows could not be determined for the
// fallback either; the cleaner's report is not printed then (only a
// cannot-delete text for a copy already tried may have been).
bool CleanSircam(RunState& run);

#endif  // WORMSWEEP_CLEANERS_SIRCAM_CLEANER_H_
