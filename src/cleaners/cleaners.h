// The worm cleaners, in the order in which a run calls them. Each looks for
// its worm's marker key and, only when it is there, undoes the worm's
// changes and prints its report; a worm that is absent is passed over in
// silence. Each returns whether the run goes on.
#ifndef WORMSWEEP_CLEANERS_CLEANERS_H_
#define WORMSWEEP_CLEANERS_CLEANERS_H_

#include "report/run_state.h"

typedef bool Cleaner(RunState& run);

// I-Worm.BleBla.b: takes over media, document and archive extensions with a
// file type of its own, "rnjfile", and runs as c:\windows\sysrnj.exe.
// Deletes "rnjfile", gives the hijacked extensions a standard file type back
// (or clears their link when the system has none), deletes the worm's file
// (or schedules its deletion) and reports. Always goes on.
bool CleanBleBla(RunState& run);

// I-Worm.Navidad, each of its three variants in turn (see
// navidad_cleaner.h), all looking for their programs in the autostart value
// and the open command as the worms left them. Always goes on.
bool CleanNavidad(RunState& run);

// I-Worm.Sircam: marks the machine with HKEY_LOCAL_MACHINE\Software\SirCam
// (or, run without elevation on Windows Vista and later, the same key in the
// user's virtual store, with its copies there too), starts as a service
// entry, takes over the command with which executables are opened, leaves
// copies of itself (one in the Startup folder of every user it reaches) and
// a data file, hides the system's rundll32.exe as run32.exe in its place,
// and starts from c:\autoexec.bat.
// Empties and deletes the marker key wherever it is, removes the service
// entry, writes the standard open command back, deletes the copies and the
// data file (or schedules their deletion; the copy that the open command
// still starts, when it cannot be written, stays and is named), looking into
// every Startup folder that the current user, the machine or a loaded
// profile names, puts rundll32.exe back, repairs the startup batch file and
// reports.
// Returns false when the run must stop: the system reported no Windows or no
// system directory and the line of Windows could not be determined for the
// fallback either; the cleaner's report is not printed then (only a
// cannot-delete text for a copy already tried may have been).
bool CleanSircam(RunState& run);

Cleaner* const kCleaners[] = {CleanBleBla, CleanNavidad, CleanSircam};

#endif  // WORMSWEEP_CLEANERS_CLEANERS_H_
