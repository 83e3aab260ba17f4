#include "run/open_command_check.h"

#include <string.h>

#include "platform/windows_api.h"
#include "primitives/file_type_repair.h"
#include "primitives/path_building.h"
#include "primitives/registry_text.h"

void CheckOpenCommand() {
  HKEY key;
  if (!OpenExecutableOpenCommand(key)) return;
  PathBuffer command;
  if (!ReadRegistryText(key, NULL, command) ||
      strcmp(command, kStandardOpenCommand) == 0) {
    RegCloseKey(key);
    return;
  }
  ResetOpenCommand(key);
}
