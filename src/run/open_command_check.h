#ifndef WORMSWEEP_RUN_OPEN_COMMAND_CHECK_H_
#define WORMSWEEP_RUN_OPEN_COMMAND_CHECK_H_

#include "report/run_state.h"

// The closing check of a run: repairs the executable open command when it
// differs from kStandardOpenCommand, whichever worm (if any) changed it, and
// reads it back. When it still starts a program other than the one opened
// (a command that cannot be written), the user is told which program that
// is and that it stays, unless the run has said so already, and the run has
// then found something to clean. A command that cannot be read is left as it
// is, in silence.
void CheckOpenCommand(RunState& run);

#endif  // WORMSWEEP_RUN_OPEN_COMMAND_CHECK_H_
