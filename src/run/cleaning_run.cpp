#include "run/cleaning_run.h"

#include "cleaners/cleaners.h"
#include "platform/console.h"
#include "report/run_state.h"
#include "report/texts.h"
#include "run/open_command_check.h"

int CleaningRun() {
  RunState run = {true, false};
  ConsolePrint("%s%s\n", kBanner, kOwnershipLine);
  for (Cleaner* clean : kCleaners) {
    if (!clean(run)) return 3;
  }

  CheckOpenCommand();
  if (run.NothingToClean) ConsolePrint("%s", kNothingToClean);
  ConsolePrint("%s", kClosingPrompt);
  WaitForKeyPress();
  return 0;
}
