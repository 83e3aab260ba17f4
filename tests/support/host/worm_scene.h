// The traces that each worm leaves, planted into the simulated Windows, and
// what the program prints about them: shared by the cleaner tests and the
// whole-run tests, so that each worm is planted one way. The end-to-end
// tests plant the same traces into Wine with tests/e2e/worm_scene.bash.
#ifndef WORMSWEEP_TESTS_SUPPORT_HOST_WORM_SCENE_H_
#define WORMSWEEP_TESTS_SUPPORT_HOST_WORM_SCENE_H_

#include <string>
#include <vector>

#include "sim/sim_control.h"

namespace scene {

// Below HKEY_CLASSES_ROOT.
extern const char kOpenCommandKey[];
// Below HKEY_LOCAL_MACHINE.
extern const char kRunKey[];
extern const char kRunServicesKey[];
// Below HKEY_CURRENT_USER.
extern const char kShellFoldersKey[];

// Where the planted worms' files are.
extern const char kBleBlaFile[];
extern const char kSircamRecycledCopy[];
extern const char kSircamStartupFolder[];
// Sircam's copy in each Startup folder, joined to the folder.
extern const char kSircamStartupCopyName[];
// The common Startup folder (HKEY_LOCAL_MACHINE's "Common Startup").
extern const char kSircamCommonStartupFolder[];
// Another user whose profile is loaded under HKEY_USERS, with a Startup
// folder of its own.
extern const char kSircamOtherProfile[];
extern const char kSircamOtherStartupFolder[];
// The worm's data file beside its copy in the recycle folder.
extern const char kSircamRecycledData[];
extern const char kSavedRundll32[];  // the system's rundll32.exe, hidden
extern const char kRundll32[];       // the worm in its place
extern const char kSystemRundll32Body[];
extern const char kWormBody[];

// The line's own Windows and system directories, as sim::Reset sets them.
std::string WindowsDirectory(sim::Line line);
std::string SystemDirectory(sim::Line line);

// What every report begins with: banner, ownership line, empty line.
std::string ReportBanner();
// The general cannot-delete text naming `path`.
std::string CannotDeleteText(const std::string& path);
// The text that names the worm's `program`, left in place because the open
// command still starts it.
std::string CommandNotRestoredText(const std::string& program);
// The cannot-restore text naming the system program and its saved original.
std::string CannotRestoreText(const std::string& program,
                              const std::string& original);
// The text that tells to copy the original into the system program's place
// after the restart.
std::string CannotRestoreAfterRestartText(const std::string& program,
                                          const std::string& original);
// The executable open command's text, up to its first NUL.
std::string OpenCommand();
void SetOpenCommand(const std::string& command);

// Opens `path` as its running program holds it: reading, sharing reading
// only. The caller closes the handle.
HANDLE HoldRunning(const std::string& path);

// I-Worm.BleBla.b: its file type "rnjfile" with the command that starts it,
// the extensions it takes over pointed at that type (all but `missing`), and
// its program.
void PlantBleBla(const std::vector<std::string>& missing = {});
// Every extension that BleBla.b takes over.
extern const char* const kBleBlaExtensions[21];

// A Navidad variant's marker key below Software (`name`: Navidad, xxxxmas,
// Emanuel), holding a value and a subkey as the worm's own do: the current
// user's, or that of `profile`, loaded under HKEY_USERS (the infected user is
// logged on, but another runs the program).
void PlantNavidadMarker(const std::string& name,
                        const std::string& profile = "");

// The marker key names of the three Navidad variants.
extern const char* const kNavidadMarkers[3];
// Navidad's autostart entry in the Run key naming `program`, and the worm's
// file beside it: `program` with the extension .vxd. Returns that file.
std::string PlantNavidadAutostart(const std::string& program);

// I-Worm.Sircam's marker key, with values and nested subkeys.
void PlantSircamMarker();
// The system's rundll32.exe hidden as run32.exe, the worm in its place.
void PlantSircamRundll32();
// The shell folders key of the profile `profile` below HKEY_USERS.
std::string ProfileShellFoldersKey(const std::string& profile);
// The files Sircam leaves on a machine of `line`: its copies and its data
// file.
std::vector<std::string> SircamCopies(sim::Line line);
// Where Sircam, run without elevation on Windows Vista and later by the user
// of the profile `profile`, leaves its marker: in the virtual store below
// HKEY_USERS\<profile>_Classes (below WOW6432Node there with `wow64`). The
// path below HKEY_USERS.
std::string SircamVirtualMarkerKey(const std::string& profile, bool wow64);
// That marker, with values and subkeys. Returns its path below HKEY_USERS.
std::string PlantSircamVirtualMarker(const std::string& profile, bool wow64);
// Its copies in that user's virtual store of files, in the local application
// data folder `localAppData` that the profile's shell folders name. Returns
// the copies.
std::vector<std::string> PlantSircamVirtualCopies(
    const std::string& profile, const std::string& localAppData,
    sim::Line line);
// A user who is not logged on, who ran Navidad's first variant and Sircam:
// the marker in that user's registry, Sircam's copy in that user's Startup
// folder (which the profile's Shell Folders name) and, on the NT line as on
// Windows Vista and later, Sircam's marker in that user's virtual store.
// Planted loaded under HKEY_USERS; UnloadAwayUser then logs the user off.
struct AwayUser {
  std::string name;
  std::string folder;  // as ProfileList holds it
  std::string expandedFolder;
  std::string startupCopy;
  std::string hiveFile;
};
AwayUser PlantAwayUser(sim::Line line, const std::string& name = "",
                       const std::string& folder = "");
void UnloadAwayUser(const AwayUser& user);
// The Navidad marker below the away user's profile key.
extern const char kAwayNavidadMarker[];

// Everything Sircam leaves on a machine of `line`: the marker, its service
// entry (as a value and as a subkey), the open command it took over, its
// copies (in the recycle folder, the Windows and system directories, and the
// current user's, the common and another loaded profile's Startup folder),
// its data file, rundll32.exe and its line in c:\autoexec.bat; next to
// things of the same kind that must stay (a shortcut in each Startup folder,
// the user's deleted files in the recycle folder).
void PlantSircam(sim::Line line);

}  // namespace scene

#endif  // WORMSWEEP_TESTS_SUPPORT_HOST_WORM_SCENE_H_
