#include "run/cleaning_run.h"

#include "cleaners/cleaners.h"
#include "cleaners/worm_files.h"
#include "platform/console.h"
#include "platform/system_functions.h"
#include "primitives/boot_schedule.h"
#include "report/report.h"
#include "report/run_state.h"
#include "report/texts.h"
#include "run/administrator_check.h"
#include "run/open_command_check.h"
#include "run/user_profiles.h"

namespace {

const int kCompleteRun = 0;
const int kRunStopped = 3;
const int kNoAdministratorRights = 5;

}  // namespace

int CleaningRun() {
  RunState run = {true, false};
  ConsolePrint("%s%s\n", kBanner, kOwnershipLine);
  int status = kCompleteRun;
  if (MayCleanThisComputer()) {
    LoadUserProfiles();
    for (Cleaner* clean : kCleaners) {
      if (!clean(run)) {
        UnloadUserProfiles();
        return kRunStopped;
      }
    }
    UnloadUserProfiles();
    CheckOpenCommand(run);
    // No marker, but a worm's file whose deletion an earlier run (or another
    // program) scheduled may still run until the restart.
    if (run.NothingToClean) {
      ReportNothingFound(ScheduledDeletionWaits(RunningLine(), IsWormFileName));
    }
  } else {
    ConsolePrint("%s", kNeedsAdministrator);
    status = kNoAdministratorRights;
  }
  ConsolePrint("%s", kClosingPrompt);
  WaitForKeyPress(LoggedOnInteractively());
  return status;
}
