#include "run/open_command_check.h"

#include <string.h>

#include "platform/windows_api.h"
#include "primitives/file_type_repair.h"
#include "primitives/path_building.h"
#include "report/report.h"

namespace {

// The program that `command` starts: the text between its quotes when it
// begins with one (to its end when the quote is not closed), else up to the
// first space. "%1" is the file that is opened, no program of its own.
bool TakeStartedProgram(const char* command, PathBuffer& program) {
  char end = ' ';
  if (command[0] == '"') {
    end = '"';
    ++command;
  }
  size_t length = 0;
  while (command[length] != '\0' && command[length] != end) ++length;
  // Always fits: a part of a text read into a buffer of the same size.
  memcpy(program, command, length);
  program[length] = '\0';
  return length > 0 && strcmp(program, "%1") != 0;
}

}  // namespace

void CheckOpenCommand(RunState& run) {
  PathBuffer command;
  if (!ReadOpenCommand(command) || strcmp(command, kStandardOpenCommand) == 0) {
    return;
  }
  PathBuffer program;
  if (!RestoreOpenCommand(command) ||
      strcmp(command, kStandardOpenCommand) == 0 ||
      !TakeStartedProgram(command, program)) {
    return;
  }
  if (!run.CommandNotRestoredReported) ReportCommandNotRestored(program, run);
  run.NothingToClean = false;
}
