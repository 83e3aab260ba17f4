// The Win32 API as the cleaning logic sees it: the real one on Windows, the
// simulated one in the host build (tests/sim, whose sim_control.h sets the
// scenes).
#ifndef WORMSWEEP_PLATFORM_WINDOWS_API_H_
#define WORMSWEEP_PLATFORM_WINDOWS_API_H_

#ifdef _WIN32
#include <windows.h>
#else
#include "sim/sim_windows.h"
#endif

#endif  // WORMSWEEP_PLATFORM_WINDOWS_API_H_
