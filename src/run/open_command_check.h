#ifndef WORMSWEEP_RUN_OPEN_COMMAND_CHECK_H_
#define WORMSWEEP_RUN_OPEN_COMMAND_CHECK_H_

// The closing check of a run: repairs the executable open command when it
// differs from kStandardOpenCommand, whichever worm (if any) changed it.
// Prints nothing.
void CheckOpenCommand();

#endif  // WORMSWEEP_RUN_OPEN_COMMAND_CHECK_H_
