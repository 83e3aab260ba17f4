#ifndef WORMSWEEP_RUN_CLEANING_RUN_H_
#define WORMSWEEP_RUN_CLEANING_RUN_H_

// The whole program: banner, the cleaners in their fixed order, the closing
// check of the executable open command, the closing report and the key wait.
// Returns the exit status: 0 after a complete run, 3 when the Sircam cleaner
// had to stop it, 5 when the user lacks the administrator rights that
// cleaning needs (nothing is changed then; the key wait still comes).
int CleaningRun();

#endif  // WORMSWEEP_RUN_CLEANING_RUN_H_
