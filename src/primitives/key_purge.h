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

// The first step of every cleaner: opens the worm's marker key `path` below
// `root` with KEY_READ | KEY_WRITE, purges it and closes it, so that the
// caller can delete it (the NT line refuses to delete a key that still has
// subkeys: left in place, the mark would make every later run find the worm
// again). False, with nothing done, when the key cannot be opened: the worm
// is taken as absent.
bool OpenAndPurgeMarker(HKEY root, const char* path);

#endif  // WORMSWEEP_PRIMITIVES_KEY_PURGE_H_
