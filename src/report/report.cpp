#include "report/report.h"

#include "platform/console.h"
#include "platform/windows_api.h"
#include "report/texts.h"

void ReportRemoval(const char* path, RemovalResult result, RunState& run) {
  if (result == RemovalResult::Deferred) {
    run.RestartNeeded = true;
  } else if (result == RemovalResult::Failed) {
    ConsolePrint(kCannotDeleteFormat, path);
  }
}

void ReportCannotRestore(const char* program, const char* original) {
  ConsolePrint(kCannotRestoreFormat, program, original);
}

void ReportCommandNotRestored(const char* program) {
  ConsolePrint(kCommandNotRestoredFormat, program);
}

void TryDeleteFile(const char* path, RunState& run) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  RemovalResult result = DeleteOrDefer(path);
  ReportRemoval(path, result, run);
  FindClose(search);
}

void SectionOutcome(RunState& run, bool offersRestart) {
  ConsolePrint("%s", kDownloadAdvice);
  if (offersRestart && run.RestartNeeded) ConsolePrint("%s", kRestartAdvice);
  run.NothingToClean = false;
}
