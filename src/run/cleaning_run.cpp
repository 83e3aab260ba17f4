#include "run/cleaning_run.h"

#include "cleaners/cleaners.h"
#include "platform/console.h"
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
    CheckOpenCommand();
    if (run.NothingToClean) ConsolePrint("%s", kNothingToClean);
  } else {
    ConsolePrint("%s", kNeedsAdministrator);
    status = kNoAdministratorRights;
  }
  ConsolePrint("%s", kClosingPrompt);
  WaitForKeyPress();
  return status;
}
