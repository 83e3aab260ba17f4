#include "cleaners/worm_files.h"

#include "cleaners/navidad_cleaner.h"
#include "primitives/path_building.h"

const char kBleBlaWormFile[] = "c:\\windows\\sysrnj.exe";

const char kSircamRecycledCopy[] = "RECYCLED\\SirC32.exe";
const char kSircamWindowsCopy[] = "ScMx32.exe";
const char kSircamSystemCopy[] = "SCam32.exe";
const char kSircamStartupCopy[] = "Microsoft Internet Office.exe";
const char kSircamRecycledData[] = "RECYCLED\\SirCam.sys";

const char kNavidadDeletedExtension[] = "vxd";

namespace {

const char* const kNamedFiles[] = {
    kBleBlaWormFile,   kSircamRecycledCopy, kSircamWindowsCopy,
    kSircamSystemCopy, kSircamStartupCopy,  kSircamRecycledData,
};

}  // namespace

bool IsWormFileName(const char* name) {
  for (const char* file : kNamedFiles) {
    if (SameName(name, file + FileNameOffset(file))) return true;
  }
  for (const NavidadVariant& variant : kNavidadVariants) {
    PathBuffer deleted;
    const char* program =
        variant.WormFileName + FileNameOffset(variant.WormFileName);
    if (variant.DeletesVxd
            ? WithExtension(program, kNavidadDeletedExtension, deleted) &&
                  SameName(name, deleted)
            : SameName(name, program)) {
      return true;
    }
  }
  return false;
}
