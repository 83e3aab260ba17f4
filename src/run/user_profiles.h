// The registry of every user of the machine who is not logged on, loaded
// under HKEY_USERS for the length of the cleaning: the cleaners walk
// HKEY_USERS, and so reach those users as they reach the ones logged on. A
// user whose Startup folder still held the worm's copy would start it again
// at the next logon.
#ifndef WORMSWEEP_RUN_USER_PROFILES_H_
#define WORMSWEEP_RUN_USER_PROFILES_H_

// Loads the registry of each profile that the machine's profile list names
// and that is not loaded already (NT: NTUSER.DAT, and on Windows Vista and
// later UsrClass.dat as the <key>_Classes key; 9x: USER.DAT), under key
// names that no user's can be. Names the folder of each profile whose
// registry cannot be loaded. Sets a console control handler that unloads
// what it can when Ctrl+Break or a closed window ends the run.
void LoadUserProfiles();

// Unloads everything LoadUserProfiles loaded, trying again for a moment
// while another program holds a key open, and removes the control handler.
// Names the folder of each profile whose registry stays loaded: that user
// would get a temporary profile at a logon before the next restart.
void UnloadUserProfiles();

#endif  // WORMSWEEP_RUN_USER_PROFILES_H_
