// I-Worm.BleBla.b: takes over media, document and archive extensions with a
// file type of its own, "rnjfile", and runs as c:\windows\sysrnj.exe.
#ifndef WORMSWEEP_CLEANERS_BLEBLA_CLEANER_H_
#define WORMSWEEP_CLEANERS_BLEBLA_CLEANER_H_

#include "run/run_state.h"

// When "rnjfile" exists: deletes it, gives the hijacked extensions a standard
// file type back (or clears their link when the system has none), deletes the
// worm's file (or schedules its deletion) and reports. Silent when the worm
// is absent.
void CleanBleBla(RunState& run);

#endif  // WORMSWEEP_CLEANERS_BLEBLA_CLEANER_H_
