// I-Worm.Navidad in its three variants: each leaves a marker key of its own
// below the infected user's Software key, starts from the machine's Run key
// and takes over the command with which executables are opened.
#ifndef WORMSWEEP_CLEANERS_NAVIDAD_CLEANER_H_
#define WORMSWEEP_CLEANERS_NAVIDAD_CLEANER_H_

#include "primitives/path_building.h"
#include "report/run_state.h"

struct NavidadVariant {
  // Below a user's profile (HKEY_CURRENT_USER or another one loaded under
  // HKEY_USERS); its presence in any of them means the variant is present.
  const char* MarkerKey;
  // The marker's own name below the profile's Software key.
  const char* SoftwareSubkey;
  // The worm's program, with the backslash before it: looked for, with case,
  // in a hijacked open command; the file that the autostart value must name.
  const char* WormFileName;
  // Whether the file to delete is the worm path with its extension replaced
  // by "vxd" rather than the worm path itself.
  bool DeletesVxd;
  const char* ResultText;
};

const int kNavidadVariantCount = 3;
// In the order in which a run handles them.
extern const NavidadVariant kNavidadVariants[kNavidadVariantCount];

// Where every variant names its program, as the worms left them: a variant
// that comes later overwrites both, so they are read once, before the first
// variant, and each variant present looks for its own program in them.
struct NavidadLinks {
  // Text of the autostart value in the machine's Run key; "" when there is
  // none.
  PathBuffer AutostartValue;
  // The command with which executables are opened; "" when it cannot be read.
  PathBuffer OpenCommand;
};

void ReadNavidadLinks(NavidadLinks& links);

// When the variant's marker key exists in a loaded profile: deletes it there
// (in every profile that holds it) and the worm's autostart value, writes the
// standard open command back, deletes the worm's file (or schedules its
// deletion) unless the open command still starts it, and reports. Silent
// when the variant is absent. CleanNavidad (cleaners.h) calls it for every
// variant.
void CleanNavidadVariant(const NavidadVariant& variant,
                         const NavidadLinks& links, RunState& run);

#endif  // WORMSWEEP_CLEANERS_NAVIDAD_CLEANER_H_
