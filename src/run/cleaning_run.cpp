#include "run/cleaning_run.h"

#include "platform/console.h"
#include "run/run_texts.h"

void SectionOutcome(RunState& run, bool offersRestart) {
  ConsolePrint("%s", kDownloadAdvice);
  if (offersRestart && run.RestartNeeded) ConsolePrint("%s", kRestartAdvice);
  run.NothingToClean = false;
}

int CleaningRun() {
  RunState run = {true, false};
  ConsolePrint("%s%s\n", kBanner, kOwnershipLine);

  if (run.NothingToClean) ConsolePrint("%s", kNothingToClean);
  ConsolePrint("%s", kClosingPrompt);
  WaitForKeyPress();
  return 0;
}
