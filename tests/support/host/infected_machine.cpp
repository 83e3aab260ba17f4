#include "support/host/infected_machine.h"

#include <set>
#include <sstream>

#include "primitives/file_type_repair.h"
#include "report/texts.h"
#include "support/host/worm_scene.h"

namespace {

using std::string;

const char kClassesRoot[] = "HKEY_CLASSES_ROOT\\";
const char kCurrentUser[] = "HKEY_CURRENT_USER\\";
const char kLocalMachine[] = "HKEY_LOCAL_MACHINE\\";
const char kUsers[] = "HKEY_USERS\\";

// Another user, logged on too, who ran Navidad's second variant, and Sircam
// without elevation (on Windows Vista and later, a 32-bit program on 64-bit
// Windows): its marker and its copies are in that user's virtual store.
const char kOtherUsersNavidad[] = "xxxxmas";
const char kOtherUsersLocalAppData[] = "C:\\Other\\AppData\\Local";

const char kWormLine[] = "@win \\recycled\\sirc32.exe";
const char kOtherProgramsWininit[] =
    "[Settings]\r\n"
    "Options=1\r\n"
    "\r\n"
    "[rename]\r\n"
    "NUL=C:\\TEMP\\SETUP1.TMP\r\n"
    "C:\\APPS\\TOOL.EXE=C:\\APPS\\TOOL.NEW\r\n";

// Another program's deletion waiting in the NT line's move list, in the form
// Windows gives it, after the empty string that ends the list.
const char kOtherProgramsMoveList[] = "\\??\\C:\\TEMP\\SETUP1.TMP\0\0\0";
// The move list as the registry dump shows it: the schedule, which the run
// adds to, checked on its own.
const char kMoveListDumpLine[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session "
    "Manager : \"PendingFileRenameOperations\"";

// BleBla.b's own file type, and the one extension it takes over that has
// no standard type to go back to: the run deletes its key.
const char kBleBlaType[] = "rnjfile";
const char kUnlinkedExtension[] = ".lha";

// Keys (with everything below them), as the registry dump names them, that
// are the worms' own: the run may delete them.
std::vector<string> WormKeys() {
  std::vector<string> keys = {
      kClassesRoot + string(kBleBlaType),
      kClassesRoot + string(kUnlinkedExtension),
      kLocalMachine + string("Software\\SirCam"),
      kLocalMachine + string(scene::kRunServicesKey) + "\\Driver32",
  };
  for (const char* marker : scene::kNavidadMarkers) {
    keys.push_back(kCurrentUser + string("Software\\") + marker);
  }
  keys.push_back(kUsers + string(scene::kSircamOtherProfile) + "\\Software\\" +
                 kOtherUsersNavidad);
  keys.push_back(
      kUsers + scene::SircamVirtualMarkerKey(scene::kSircamOtherProfile, true));
  return keys;
}

// Values the worms took over and the run writes back or clears: each must
// end as the worm left it or as repaired, nothing else.
struct RepairedValue {
  string key;  // below HKEY_CLASSES_ROOT
  string asLeft;
  bool mayBeCleared;
};

std::vector<RepairedValue> RepairedValues() {
  std::vector<RepairedValue> values = {
      {scene::kOpenCommandKey,
       string(scene::kSircamRecycledCopy) + " \"%1\" %*", false}};
  for (const char* extension : scene::kBleBlaExtensions) {
    if (extension != string(kUnlinkedExtension)) {
      values.push_back({extension, kBleBlaType, true});
    }
  }
  return values;
}

// Values (by their dump line's beginning) that the worms wrote.
std::vector<string> WormValues() {
  std::vector<string> values;
  for (const RepairedValue& value : RepairedValues()) {
    values.push_back(kClassesRoot + value.key + " : \"\" =");
  }
  values.push_back(kLocalMachine + string(scene::kRunKey) +
                   " : \"Win32BaseServiceMOD\" =");
  values.push_back(kLocalMachine + string(scene::kRunServicesKey) +
                   " : \"Driver32\" =");
  return values;
}

// Texts with a file's path in place of each %s.
const char* const kTextsNamingFiles[] = {
    kCannotDeleteFormat,
    kCannotRestoreFormat,
    kCannotRestoreAfterRestartFormat,
    kCommandNotRestoredFormat,
    kProfileNotReachedFormat,
    kProfileLeftLoadedFormat,
};

string Upper(const string& text) {
  string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

bool StartsWith(const string& text, const string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Whether the upper-cased dump line is about the upper-cased `path` or (for
// a key or directory) something below it.
bool UpperLineIsAbout(const string& upperLine, const string& upperPath) {
  if (!StartsWith(upperLine, upperPath)) return false;
  if (upperLine.size() == upperPath.size()) return true;
  char next = upperLine[upperPath.size()];
  return next == '\\' || next == ' ';
}

std::set<string> Lines(const string& dump) {
  std::set<string> lines;
  std::istringstream stream(dump);
  for (string line; std::getline(stream, line);) lines.insert(line);
  return lines;
}

// The upper-cased beginnings of the dump lines that are the worms' own.
std::vector<string> UpperAll(const std::vector<string>& texts) {
  std::vector<string> upper;
  for (const string& text : texts) upper.push_back(Upper(text));
  return upper;
}

bool IsWormRegistryLine(const string& line) {
  if (StartsWith(line, kMoveListDumpLine)) return true;
  static const std::vector<string> keys = UpperAll(WormKeys());
  static const std::vector<string> prefixes = UpperAll(WormValues());
  string upperLine = Upper(line);
  for (const string& key : keys) {
    if (UpperLineIsAbout(upperLine, key)) return true;
  }
  for (const string& prefix : prefixes) {
    if (StartsWith(upperLine, prefix)) return true;
  }
  return false;
}

string WithoutTrailingNuls(string text) {
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// Whether `output` at `at` starts with `text`, its %s standing for whole
// worm paths; advances `at` past it.
bool MatchesText(const InfectedMachine& machine, const string& output,
                 size_t& at, const string& text) {
  size_t cursor = at;
  size_t pieceStart = 0;
  for (;;) {
    size_t placeholder = text.find("%s", pieceStart);
    string piece = text.substr(pieceStart, placeholder - pieceStart);
    if (output.compare(cursor, piece.size(), piece) != 0) return false;
    cursor += piece.size();
    if (placeholder == string::npos) break;
    pieceStart = placeholder + 2;
    size_t nextPlaceholder = text.find("%s", pieceStart);
    string nextPiece = text.substr(pieceStart, nextPlaceholder - pieceStart);
    size_t pathEnd = output.find(nextPiece, cursor);
    if (pathEnd == string::npos) return false;
    string path = Upper(output.substr(cursor, pathEnd - cursor));
    bool known = false;
    for (const string& wormFile : machine.wormFiles) {
      known = known || Upper(wormFile) == path;
    }
    // Named as the profile list writes it when it cannot be expanded.
    known = known || Upper(machine.awayExpandedFolder) == path ||
            Upper(machine.awayFolder) == path;
    if (!known) return false;
    cursor = pathEnd;
  }
  at = cursor;
  return true;
}

// Whether `output` holds the text that the open command could not be put
// back, naming the program that `command` starts.
bool NamesTheProgramLeft(const string& output, const string& command) {
  const string format = kCommandNotRestoredFormat;
  const size_t placeholder = format.find("%s");
  const string before = format.substr(0, placeholder);
  const string after = format.substr(placeholder + 2);
  const string upperCommand =
      Upper(command[0] == '"' ? command.substr(1) : command);
  for (size_t at = output.find(before); at != string::npos;
       at = output.find(before, at + 1)) {
    size_t start = at + before.size();
    size_t end = output.find(after, start);
    if (end == string::npos) return false;
    string program = Upper(output.substr(start, end - start));
    if (upperCommand.compare(0, program.size(), program) == 0) return true;
  }
  return false;
}

// The dump lines of the away user's registry, loaded, without the keys that
// are the worms'.
std::set<string> AwayRegistryLines(const InfectedMachine& machine) {
  const string prefix = Upper(kUsers + machine.awayUser);
  const std::vector<string> wormKeys = {
      Upper(prefix + "\\" + scene::kAwayNavidadMarker),
      Upper(kUsers + scene::SircamVirtualMarkerKey(machine.awayUser, false))};
  std::set<string> lines;
  for (const string& line : Lines(sim::RegistryDump())) {
    string upper = Upper(line);
    if (!UpperLineIsAbout(upper, prefix) &&
        !UpperLineIsAbout(upper, prefix + "_CLASSES")) {
      continue;
    }
    bool worm = false;
    for (const string& key : wormKeys) {
      worm = worm || UpperLineIsAbout(upper, key);
    }
    if (!worm) lines.insert(line);
  }
  return lines;
}

// What the run left of the away user's registry: the file loads, and holds
// all it held but the worms' keys. The profile is logged
// off again afterwards.
string AwayRegistryDamage(const InfectedMachine& machine) {
  if (!sim::LoadProfile(machine.awayUser)) {
    return "the away user's registry does not load\n";
  }
  string damage;
  if (AwayRegistryLines(machine) != machine.awayRegistryBefore) {
    damage += "the away user's registry changed\n";
  }
  sim::UnloadProfile(machine.awayUser, machine.awayFolder);
  return damage;
}

}  // namespace

std::vector<string> TextLines(const string& text) {
  std::vector<string> lines;
  std::istringstream stream(text);
  for (string line; std::getline(stream, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<string> MoveListLines() {
  std::vector<string> lines;
  for (const auto& move : sim::BootTimeMoves()) {
    lines.push_back(move.first + "|" + move.second);
  }
  return lines;
}

InfectedMachine InfectWithEverything(sim::Line line) {
  sim::Reset(line);
  const string windows = scene::WindowsDirectory(line);
  const string system = scene::SystemDirectory(line);
  InfectedMachine machine;

  // What belongs to other programs and to Windows itself.
  machine.bystanderFiles = {
      {"C:\\RECYCLED\\INFO2", "recycle bin index"},
      {windows + "\\notepad.exe", "MZ notepad"},
      {system + "\\kernel32.dll", "MZ kernel32"},
      {string(scene::kSircamStartupFolder) + "\\Clock.lnk", "clock link"},
      {"C:\\windows\\system.ini", "[boot]\r\nshell=Explorer.exe\r\n"},
      {"C:\\CONFIG.SYS", "FILES=40\r\n"},
  };
  for (const auto& file : machine.bystanderFiles) {
    sim::PutFile(file.first, file.second);
  }
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".txt", "", "txtfile");
  sim::SetStringValue(HKEY_CLASSES_ROOT, "txtfile\\shell\\open\\command", "",
                      "notepad.exe %1");
  // Standard types for some of the extensions BleBla.b takes over.
  sim::CreateKey(HKEY_CLASSES_ROOT, "jpegfile");
  sim::CreateKey(HKEY_CLASSES_ROOT, "mp3file");
  sim::CreateKey(HKEY_CLASSES_ROOT, "regfile");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunKey, "Tool",
                      "C:\\APPS\\TOOL.EXE");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, scene::kRunServicesKey, "Spooler",
                      "C:\\APPS\\SPOOL.EXE");
  sim::SetStringValue(HKEY_CURRENT_USER, scene::kShellFoldersKey, "Desktop",
                      "C:\\Profile\\Desktop");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Vendor\\App", "Mode",
                      "fast");

  scene::PlantBleBla();
  machine.wormFiles.push_back(scene::kBleBlaFile);
  machine.filesByWorm.push_back({{kBleBlaResult}, {scene::kBleBlaFile}, {}});

  // All three Navidad variants; the first finds its program in the Run key.
  for (const char* marker : scene::kNavidadMarkers) {
    scene::PlantNavidadMarker(marker);
  }
  const string navidadProgram = system + "\\winsvrc.exe";
  const string navidadFile = scene::PlantNavidadAutostart(navidadProgram);
  machine.wormFiles.push_back(navidadFile);
  machine.filesByWorm.push_back(
      {{kNavidadResultA, kNavidadResultB}, {}, {navidadFile}});
  // Not on the disk: a later variant that finds the value (when the first
  // could not remove it) deletes the program it names, and says it cannot.
  machine.wormFiles.push_back(navidadProgram);
  scene::PlantNavidadMarker(kOtherUsersNavidad, scene::kSircamOtherProfile);

  scene::PlantSircam(line);
  for (const string& copy : scene::SircamCopies(line)) {
    machine.wormFiles.push_back(copy);
  }
  InfectedMachine::WormFiles sircam = {{kSircamResult}, {}, {}};
  for (const string& copy : scene::SircamCopies(line)) {
    bool inStartup = copy.find(scene::kSircamStartupCopyName) != string::npos;
    (inStartup ? sircam.filesNamedInTheRegistry : sircam.files).push_back(copy);
  }
  scene::PlantSircamVirtualMarker(scene::kSircamOtherProfile, true);
  for (const string& copy : scene::PlantSircamVirtualCopies(
           scene::kSircamOtherProfile, kOtherUsersLocalAppData, line)) {
    machine.wormFiles.push_back(copy);
    sircam.filesNamedInTheRegistry.push_back(copy);
  }
  machine.filesByWorm.push_back(sircam);
  machine.wormFiles.push_back(scene::kSavedRundll32);
  machine.wormFiles.push_back(scene::kRundll32);

  machine.autoexecBefore = sim::FileContents("C:\\AUTOEXEC.BAT");
  machine.autoexecCleaned = machine.autoexecBefore;
  machine.autoexecCleaned.erase(machine.autoexecCleaned.find(kWormLine),
                                sizeof(kWormLine) - 1);
  machine.wininitPath = windows + "\\wininit.ini";
  machine.wininitBefore = kOtherProgramsWininit;
  sim::PutFile(machine.wininitPath, machine.wininitBefore);
  if (line == sim::Line::Nt) {
    sim::SetRawValue(
        HKEY_LOCAL_MACHINE, sim::kSessionManagerKey, sim::kMoveListValue,
        REG_MULTI_SZ,
        string(kOtherProgramsMoveList, sizeof kOtherProgramsMoveList - 1));
  }
  machine.moveListBefore = MoveListLines();

  scene::AwayUser away = scene::PlantAwayUser(line);
  machine.awayUser = away.name;
  machine.awayFolder = away.folder;
  machine.awayExpandedFolder = away.expandedFolder;
  machine.awayHiveFile = away.hiveFile;
  machine.awayRegistryBefore = AwayRegistryLines(machine);
  scene::UnloadAwayUser(away);
  machine.wormFiles.push_back(away.startupCopy);
  machine.filesByWorm.back().filesNamedInTheRegistry.push_back(
      away.startupCopy);

  machine.runningWorm = scene::HoldRunning(scene::kSircamRecycledCopy);
  machine.registryBefore = sim::RegistryDump();
  machine.filesBefore = sim::FileSystemDump();
  return machine;
}

string ForeignOutput(const InfectedMachine& machine, const string& output) {
  const string fixedTexts[] = {
      scene::ReportBanner(), kBleBlaResult,       kNavidadResultA,
      kNavidadResultB,       kSircamResult,       kCannotModifyStartupBatch,
      kDownloadAdvice,       kRestartAdvice,      kNothingToClean,
      kClosingPrompt,        kNeedsAdministrator,
  };
  size_t at = 0;
  while (at < output.size()) {
    bool matched = false;
    for (const string& text : fixedTexts) {
      if (output.compare(at, text.size(), text) == 0) {
        at += text.size();
        matched = true;
        break;
      }
    }
    for (const char* text : kTextsNamingFiles) {
      if (!matched) matched = MatchesText(machine, output, at, text);
    }
    if (!matched) return output.substr(at);
  }
  return "";
}

bool ToldToRestore(const string& output) {
  return output.find(scene::CannotRestoreText(
             scene::kRundll32, scene::kSavedRundll32)) != string::npos ||
         output.find(scene::CannotRestoreAfterRestartText(
             scene::kRundll32, scene::kSavedRundll32)) != string::npos;
}

string BrokenPromises(const InfectedMachine& machine, const string& output,
                      bool registryFailed) {
  const string upperOutput = Upper(output);
  string broken;
  for (const InfectedMachine::WormFiles& worm : machine.filesByWorm) {
    bool reported = false;
    for (const string& text : worm.resultTexts) {
      reported = reported || output.find(text) != string::npos;
    }
    if (!reported) continue;
    std::vector<string> files = worm.files;
    if (!registryFailed) {
      files.insert(files.end(), worm.filesNamedInTheRegistry.begin(),
                   worm.filesNamedInTheRegistry.end());
    }
    // A user whose registry could not be loaded was not reached, and the
    // user is told where that user's profile is.
    const bool awayNamed =
        output.find(ProfileNotReachedText(machine.awayExpandedFolder)) !=
            string::npos ||
        output.find(ProfileNotReachedText(machine.awayFolder)) != string::npos;
    for (const string& file : files) {
      if (awayNamed &&
          Upper(file).compare(0, machine.awayExpandedFolder.size() + 1,
                              Upper(machine.awayExpandedFolder + "\\")) == 0) {
        continue;
      }
      if (sim::FileExists(file) &&
          upperOutput.find(Upper(scene::CannotDeleteText(file))) ==
              string::npos) {
        broken += "still there, unnamed: " + file + "\n";
      }
    }
  }
  bool anyReported = false;
  for (const InfectedMachine::WormFiles& worm : machine.filesByWorm) {
    for (const string& text : worm.resultTexts) {
      anyReported = anyReported || output.find(text) != string::npos;
    }
  }
  string command = scene::OpenCommand();
  if (anyReported && command != kStandardOpenCommand &&
      !NamesTheProgramLeft(output, command)) {
    broken += "the open command is still " + command + "\n";
  }
  if (output.find(kSircamResult) != string::npos && !ToldToRestore(output) &&
      (!sim::FileExists(scene::kRundll32) ||
       sim::FileContents(scene::kRundll32) != scene::kSystemRundll32Body)) {
    broken += "rundll32.exe is not the system's program\n";
  }
  return broken;
}

string ProfileNotReachedText(const string& folder) {
  string text = kProfileNotReachedFormat;
  return text.replace(text.find("%s"), 2, folder);
}

string ProfileLeftLoadedText(const string& folder) {
  string text = kProfileLeftLoadedFormat;
  return text.replace(text.find("%s"), 2, folder);
}

string DamageBeyondTheWorms(const InfectedMachine& machine) {
  string damage = AwayRegistryDamage(machine);
  std::set<string> registryBefore = Lines(machine.registryBefore);
  std::set<string> registryAfter = Lines(sim::RegistryDump());
  for (const string& line : registryBefore) {
    if (registryAfter.count(line) == 0 && !IsWormRegistryLine(line)) {
      damage += "registry lost: " + line + "\n";
    }
  }
  for (const string& line : registryAfter) {
    if (registryBefore.count(line) == 0 && !IsWormRegistryLine(line)) {
      damage += "registry gained: " + line + "\n";
    }
  }
  for (const RepairedValue& value : RepairedValues()) {
    if (!sim::KeyExists(HKEY_CLASSES_ROOT, value.key)) {
      damage += "repaired key lost: " + value.key + "\n";
      continue;
    }
    string text =
        WithoutTrailingNuls(sim::ValueData(HKEY_CLASSES_ROOT, value.key, ""));
    bool repaired =
        value.mayBeCleared
            ? text.empty() || (Upper(text) != Upper(kBleBlaType) &&
                               sim::KeyExists(HKEY_CLASSES_ROOT, text))
            : text == kStandardOpenCommand;
    if (text != value.asLeft && !repaired) {
      damage += "repaired value wrong: " + value.key + " = " + text + "\n";
    }
  }

  std::vector<string> changeable;
  for (const string& path : machine.wormFiles)
    changeable.push_back(Upper(path));
  changeable.push_back("C:\\AUTOEXEC.BAT");
  // Written back, cleaned, when the run unloads it.
  changeable.push_back(Upper(machine.awayHiveFile));
  changeable.push_back(
      Upper(machine.awayExpandedFolder +
            "\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"));
  changeable.push_back(Upper(machine.wininitPath));
  // What Windows 9x renames wininit.ini to once it has carried it out.
  changeable.push_back(Upper(
      machine.wininitPath.substr(0, machine.wininitPath.size() - 3) + "bak"));
  std::set<string> filesBefore = Lines(machine.filesBefore);
  std::set<string> filesAfter = Lines(sim::FileSystemDump());
  for (const std::set<string>* side : {&filesBefore, &filesAfter}) {
    const std::set<string>& other =
        side == &filesBefore ? filesAfter : filesBefore;
    for (const string& line : *side) {
      if (other.count(line) != 0) continue;
      bool allowed = false;
      string upperLine = Upper(line);
      for (const string& path : changeable) {
        allowed = allowed || UpperLineIsAbout(upperLine, path);
      }
      if (!allowed) {
        damage +=
            string(side == &filesBefore ? "file lost: " : "file gained: ") +
            line + "\n";
      }
    }
  }
  for (const auto& file : machine.bystanderFiles) {
    if (!sim::FileExists(file.first) ||
        sim::FileContents(file.first) != file.second) {
      damage += "file changed: " + file.first + "\n";
    }
  }
  return damage;
}
