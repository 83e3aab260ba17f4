#include "run/cleaning_run.h"

#include "cleaners/blebla_cleaner.h"
#include "cleaners/navidad_cleaner.h"
#include "cleaners/sircam_cleaner.h"
#include "platform/console.h"
#include "primitives/file_type_repair.h"
#include "run/run_texts.h"

void SectionOutcome(RunState& run, bool offersRestart) {
  ConsolePrint("%s", kDownloadAdvice);
  if (offersRestart && run.RestartNeeded) ConsolePrint("%s", kRestartAdvice);
  run.NothingToClean = false;
}

int CleaningRun() {
  RunState run = {true, false};
  ConsolePrint("%s%s\n", kBanner, kOwnershipLine);
  CleanBleBla(run);
  for (const NavidadVariant& variant : kNavidadVariants) {
    CleanNavidad(variant, run);
  }
  if (!CleanSircam(run)) return 3;

  CheckOpenCommand();
  if (run.NothingToClean) ConsolePrint("%s", kNothingToClean);
  ConsolePrint("%s", kClosingPrompt);
  WaitForKeyPress();
  return 0;
}
