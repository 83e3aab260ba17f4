#ifndef WORMSWEEP_REPORT_RUN_STATE_H_
#define WORMSWEEP_REPORT_RUN_STATE_H_

// What the cleaners tell the end of the run. Owned by CleaningRun for the
// whole run and handed to each cleaner by reference.
struct RunState {
  // Still true when no cleaner has found its worm.
  bool NothingToClean;
  // Set when a removal was scheduled for the next system start; never reset,
  // so every later cleaner's report advises the restart.
  bool RestartNeeded;
  // Set when the user has been told that the open command could not be put
  // back, and which program it still starts: the run says so once.
  bool CommandNotRestoredReported = false;
};

#endif  // WORMSWEEP_REPORT_RUN_STATE_H_
