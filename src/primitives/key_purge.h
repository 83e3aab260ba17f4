#ifndef WORMSWEEP_PRIMITIVES_KEY_PURGE_H_
#define WORMSWEEP_PRIMITIVES_KEY_PURGE_H_

#include "platform/windows_api.h"

// Empties the open `key` (opened with KEY_READ | KEY_WRITE; the caller closes
// it): every value, then every subkey, each purged the same way first (depth
// first), since the NT line refuses to delete a key that has subkeys. True
// when all is gone; false at the first deletion that fails or leaves the count
// where it was, or when counting or enumerating fails. What was deleted by
// then stays deleted.
bool PurgeKey(HKEY key);

#endif  // WORMSWEEP_PRIMITIVES_KEY_PURGE_H_
