// I-Worm.Navidad in its three variants: each leaves a marker key of its own
// below HKEY_CURRENT_USER\Software, starts from the machine's Run key and
// takes over the command with which executables are opened.
#ifndef WORMSWEEP_CLEANERS_NAVIDAD_CLEANER_H_
#define WORMSWEEP_CLEANERS_NAVIDAD_CLEANER_H_

#include "report/run_state.h"

struct NavidadVariant {
  // Below HKEY_CURRENT_USER; its presence means the variant is present.
  const char* MarkerKey;
  // The marker's own name below HKEY_CURRENT_USER\Software.
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

// When the variant's marker key exists: deletes it and the worm's autostart
// value, writes the standard open command back, deletes the worm's file (or
// schedules its deletion) and reports. Silent when the variant is absent.
// CleanNavidad (cleaners.h) calls it for every variant.
void CleanNavidadVariant(const NavidadVariant& variant, RunState& run);

#endif  // WORMSWEEP_CLEANERS_NAVIDAD_CLEANER_H_
