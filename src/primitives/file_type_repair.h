// Giving back file types that a worm took over in HKEY_CLASSES_ROOT. Every
// failure here is silent: the operation goes on with the next item or ends.
#ifndef WORMSWEEP_PRIMITIVES_FILE_TYPE_REPAIR_H_
#define WORMSWEEP_PRIMITIVES_FILE_TYPE_REPAIR_H_

#include "platform/windows_api.h"
#include "primitives/path_building.h"

// The command with which Windows opens executables.
extern const char kStandardOpenCommand[];
// Below HKEY_CLASSES_ROOT.
extern const char kExecutableOpenCommandKey[];

// A worm takes an extension over by pointing its default value at a file
// type of the worm's own, `takenType`; only an extension whose default value
// is that text (letters compared without case) is changed, so that one that
// another program or the user links elsewhere keeps its link.

// `extensions` and `types` are semicolon lists (".jpg;.jpeg;", every item
// followed by ';'). Links each existing extension taken by `takenType` to the
// first type of `types` that exists, or empties its link when none does.
// Extensions that do not exist are not created.
void RepairAssociation(const char* extensions, const char* types,
                       const char* takenType);

// Empties the default value of HKEY_CLASSES_ROOT\<name> if the key exists
// and is taken by `takenType`. An empty name names no key (not the root
// itself).
void ClearTypeDefault(const char* name, const char* takenType);

// Whether HKEY_CLASSES_ROOT\<name> exists with `takenType` as its default
// value (text of a string type; letters compared without case) and nothing
// else: no other value, no subkey.
bool HoldsOnlyTheLink(const char* name, const char* takenType);

// Writes kStandardOpenCommand as the default value of `key` (the open command
// key, opened by the caller with KEY_READ | KEY_WRITE) and closes `key`.
void ResetOpenCommand(HKEY key);

// Reads the default value of kExecutableOpenCommandKey, opened with KEY_READ,
// which a key that the user may not change still grants. False (and
// `command` empty) when the key cannot be opened or read.
bool ReadOpenCommand(PathBuffer& command);

// ResetOpenCommand when the key can be opened with KEY_READ | KEY_WRITE, then
// ReadOpenCommand, whose result it returns: where the key may not be changed,
// or the write fails, the command read back is still the one a worm wrote.
bool RestoreOpenCommand(PathBuffer& command);

#endif  // WORMSWEEP_PRIMITIVES_FILE_TYPE_REPAIR_H_
