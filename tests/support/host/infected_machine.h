// A simulated machine on which every worm the program knows has been at once,
// among files, keys and boot-time entries of other programs, and the checks
// that a run over it lost nothing that was not the worms'.
#ifndef WORMSWEEP_TESTS_SUPPORT_HOST_INFECTED_MACHINE_H_
#define WORMSWEEP_TESTS_SUPPORT_HOST_INFECTED_MACHINE_H_

#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/sim_control.h"

struct InfectedMachine {
  // c:\autoexec.bat as the worm left it, and as it is without the worm line.
  std::string autoexecBefore;
  std::string autoexecCleaned;
  std::string wininitPath;
  std::string wininitBefore;
  // Other programs' operations in the NT line's move list, as
  // sim::BootTimeMoves() gives them, "source|target" each.
  std::vector<std::string> moveListBefore;
  // The files the worms own (some only named by them): the program may
  // delete them, or (for rundll32.exe and run32.exe) put the one in place of
  // the other, and may name them in its texts.
  std::vector<std::string> wormFiles;
  // Every other file planted, with its contents.
  std::map<std::string, std::string> bystanderFiles;
  std::string registryBefore;
  std::string filesBefore;
  // Sircam's copy in the recycle folder, held open as the running worm.
  HANDLE runningWorm;
  // Each worm's result texts and its files that the scene holds: those in
  // fixed places, and those that only the registry leads to (a Startup
  // folder, the program an autostart value names).
  struct WormFiles {
    std::vector<std::string> resultTexts;
    std::vector<std::string> files;
    std::vector<std::string> filesNamedInTheRegistry;
  };
  std::vector<WormFiles> filesByWorm;
  // A user who is not logged on, whose registry holds Navidad's marker and
  // whose Startup folder holds Sircam's copy; the run must leave the
  // registry's file loadable, with everything else in it.
  std::string awayUser;
  std::string awayFolder;  // as the profile list holds it
  std::string awayExpandedFolder;
  std::string awayHiveFile;
  std::set<std::string> awayRegistryBefore;  // its dump lines, loaded
};

// Resets the simulation to the given line and infects it with BleBla.b, the
// three Navidad variants and Sircam (its recycled copy held open), with a
// c:\autoexec.bat that starts the worm among other lines and a wininit.ini
// that holds other programs' entries. Records the dumps of the machine as
// infected.
InfectedMachine InfectWithEverything(sim::Line line);

// The texts the run printed that are not the program's own, each whole, with
// a worm's path wherever a text names a file: empty when every text is.
std::string ForeignOutput(const InfectedMachine& machine,
                          const std::string& output);

// The program's text that the registry of the user whose profile is in
// `folder` could not be loaded, or stays loaded.
std::string ProfileNotReachedText(const std::string& folder);
std::string ProfileLeftLoadedText(const std::string& folder);

// What the run changed or deleted that is not the worms' and not a repair:
// one description a line, empty when nothing. Also after sim::Restart(),
// which carries out what the run scheduled.
std::string DamageBeyondTheWorms(const InfectedMachine& machine);

// What the report promised and the machine does not hold after
// sim::Restart(): for every worm whose result text `output` holds, each of
// its files that no text of `output` names is gone, the open command is the
// standard one unless a text names the program it still starts, and
// (Sircam) rundll32.exe is the system's program unless the cannot-restore
// text names it. A failing registry call only skips its step, silently: after
// one
// (`registryFailed`), a file that only the registry leads to may stay. One
// description a line, empty when every promise holds.
std::string BrokenPromises(const InfectedMachine& machine,
                           const std::string& output, bool registryFailed);

// The lines of a text file, without their line ends.
std::vector<std::string> TextLines(const std::string& text);
// Whether `output` tells the user which file to copy in place of
// rundll32.exe, now or after the restart.
bool ToldToRestore(const std::string& output);
// sim::BootTimeMoves(), "source|target" each.
std::vector<std::string> MoveListLines();

#endif  // WORMSWEEP_TESTS_SUPPORT_HOST_INFECTED_MACHINE_H_
