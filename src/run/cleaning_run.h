#ifndef WORMSWEEP_RUN_CLEANING_RUN_H_
#define WORMSWEEP_RUN_CLEANING_RUN_H_

#include "run/run_state.h"

// The whole program: banner, the cleaners in their fixed order, the closing
// check of the executable open command, the closing report and the key wait.
// Returns the exit status: 0 after a complete run, 3 when the Sircam cleaner
// had to stop it.
int CleaningRun();

// The block that closes every cleaner's report: the download advice, the
// restart advice when offered and needed, and the note that something was
// cleaned.
void SectionOutcome(RunState& run, bool offersRestart);

#endif  // WORMSWEEP_RUN_CLEANING_RUN_H_
