#include "report/report.h"

#include "platform/console.h"
#include "platform/windows_api.h"
#include "report/texts.h"

void ReportRemoval(const char* path, RemovalResult result, RunState& run) {
  if (result == RemovalResult::Deferred) {
    run.RestartNeeded = true;
  } else if (result == RemovalResult::Failed) {
    ConsolePrintPaths(kCannotDeleteFormat, path, NULL);
  }
}

void ReportCannotRestore(const char* program, const char* original) {
  ConsolePrintPaths(kCannotRestoreFormat, program, original);
}

void ReportCannotRestoreAfterRestart(const char* program,
                                     const char* original) {
  ConsolePrintPaths(kCannotRestoreAfterRestartFormat, program, original);
}

void ReportCommandNotRestored(const char* program, RunState& run) {
  ConsolePrintPaths(kCommandNotRestoredFormat, program, NULL);
  run.CommandNotRestoredReported = true;
}

void TryDeleteFile(const char* path, RunState& run) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) {
    // Only these say that the file is not there. A folder its owner made
    // private refuses the lookup (ERROR_ACCESS_DENIED) with the worm's copy
    // inside: the removal is tried all the same, and the boot-time list,
    // carried out by the system, still reaches it.
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      ReportRemoval(path, DeleteOrDefer(path), run);
    }
    return;
  }
  RemovalResult result = DeleteOrDefer(path);
  ReportRemoval(path, result, run);
  FindClose(search);
}

void ReportNothingFound(bool removalWaits) {
  ConsolePrint("%s", removalWaits ? kRestartAdvice : kNothingToClean);
}

void SectionOutcome(RunState& run, bool offersRestart) {
  ConsolePrint("%s", kDownloadAdvice);
  if (offersRestart && run.RestartNeeded) ConsolePrint("%s", kRestartAdvice);
  run.NothingToClean = false;
}
