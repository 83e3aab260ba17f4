// Test helper: deletes or renames one file the way the cleaners do, and
// prints the outcome's number (0 done, 1 deferred to the next start,
// 2 failed) on a line of its own.
//
//   removal_probe.exe delete PATH
//   removal_probe.exe rename FROM TO
#include <stdio.h>
#include <string.h>

#include "primitives/deferred_removal.h"
#include "support/wine/wine_guard.h"

int main(int argc, char** argv) {
  if (!RefuseOutsideWine("removal_probe")) return 2;
  RemovalResult result;
  if (argc == 3 && strcmp(argv[1], "delete") == 0) {
    result = DeleteOrDefer(argv[2]);
  } else if (argc == 4 && strcmp(argv[1], "rename") == 0) {
    result = RenameOrDefer(argv[2], argv[3]);
  } else {
    fprintf(stderr, "usage: removal_probe delete PATH | rename FROM TO\n");
    return 2;
  }
  printf("%d\n", static_cast<int>(result));
  return 0;
}
