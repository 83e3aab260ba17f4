#include "support/host/infected_machine.h"

#include <set>
#include <sstream>

#include "run/run_texts.h"

namespace {

using std::string;

const char kRunKey[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunServicesKey[] =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\"
    "RunServices";
const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kOpenCommandKey[] = "exefile\\shell\\open\\command";
const char kStandardOpenCommand[] = "\"%1\" %*";
const char kStartupFolder[] = "C:\\Profile\\Start Menu\\Programs\\Startup";

const char kWormLine[] = "@win \\recycled\\sirc32.exe";
const char kAutoexec[] =
    "@echo off\r\n"
    "SET TEMP=C:\\TEMP\r\n"
    "@win \\recycled\\sirc32.exe\r\n"
    "PATH C:\\WINDOWS;C:\\DOS\r\n";
const char kOtherProgramsWininit[] =
    "[Settings]\r\n"
    "Options=1\r\n"
    "\r\n"
    "[rename]\r\n"
    "NUL=C:\\TEMP\\SETUP1.TMP\r\n"
    "C:\\APPS\\TOOL.EXE=C:\\APPS\\TOOL.NEW\r\n";

// Keys (with everything below them) and values that are the worms' own:
// the run may delete them.
const char* const kWormKeys[] = {
    "HKEY_CLASSES_ROOT\\rnjfile",
    "HKEY_CLASSES_ROOT\\.lha",
    "HKEY_CURRENT_USER\\Software\\Navidad",
    "HKEY_CURRENT_USER\\Software\\xxxxmas",
    "HKEY_CURRENT_USER\\Software\\Emanuel",
    "HKEY_LOCAL_MACHINE\\Software\\SirCam",
};

struct RepairedValue {
  HKEY root;
  const char* dumpKey;
  const char* key;
  const char* repairedText;
};

// Values the worms took over and the run writes back: each must end as the
// worm left it or as repaired, nothing else.
const RepairedValue kRepairedValues[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command",
     kOpenCommandKey, kStandardOpenCommand},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\.jpg", ".jpg", "jpegfile"},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\.mp3", ".mp3", "mp3file"},
};

const char kBleBlaResult[] =
    "Your registry was cleaned from links to I-Worm.BleBla.b virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
const char kNavidadResultA[] =
    "Your registry was cleaned from links to I-Worm.Navidad virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
const char kNavidadResultB[] =
    "Your registry was complitely cleaned from links to I-Worm.Navidad virus \n"
    "but we recomend to use antivirus program to scan your hard drive.";
const char kSircamResult[] =
    "Your registry was cleaned from links to I-Worm.Sircam virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
const char kCannotModifyAutoexec[] =
    "This program can not modify c:\\autoexec.bat file. \n"
    "You can try to find and delete \"@win \\recycled\\sirc32.exe\" string "
    "from this file manually.\n\n";
const char kBleBlaCannotDelete[] =
    "This program can not delete c:\\windows\\sysrnj.exe file. \n"
    "You can try to find and delete this file manually.\n\n";

// Texts with a file's path in place of each %s.
const char* const kTextsNamingFiles[] = {
    "This program can not delete %s file. \n"
    "You can try to find and delete this file manually.\n\n",
    "This program can not restore %s file. \n"
    "You can try to copy %s file to its place manually.\n\n",
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
std::vector<string> WormRegistryPrefixes() {
  std::vector<string> prefixes;
  for (const RepairedValue& value : kRepairedValues) {
    prefixes.push_back(Upper(string(value.dumpKey) + " : \"\" ="));
  }
  prefixes.push_back(Upper(string(kRunKey) + " : \"Win32BaseServiceMOD\" ="));
  prefixes.push_back(Upper(string(kRunServicesKey) + " : \"Driver32\" ="));
  return prefixes;
}

std::vector<string> UpperWormKeys() {
  std::vector<string> keys;
  for (const char* key : kWormKeys) keys.push_back(Upper(key));
  return keys;
}

bool IsWormRegistryLine(const string& line) {
  static const std::vector<string> keys = UpperWormKeys();
  static const std::vector<string> prefixes = WormRegistryPrefixes();
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
    if (!known) return false;
    cursor = pathEnd;
  }
  at = cursor;
  return true;
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

InfectedMachine InfectWithEverything(sim::Line line) {
  sim::Reset(line);
  const string windows = line == sim::Line::Nt ? "C:\\WINNT" : "C:\\WINDOWS";
  const string system =
      line == sim::Line::Nt ? "C:\\WINNT\\system32" : "C:\\WINDOWS\\SYSTEM";
  InfectedMachine machine;

  // What belongs to other programs and to Windows itself.
  machine.bystanderFiles = {
      {"C:\\RECYCLED\\INFO2", "recycle bin index"},
      {windows + "\\notepad.exe", "MZ notepad"},
      {system + "\\kernel32.dll", "MZ kernel32"},
      {string(kStartupFolder) + "\\Clock.lnk", "clock link"},
      {"C:\\windows\\system.ini", "[boot]\r\nshell=Explorer.exe\r\n"},
      {"C:\\CONFIG.SYS", "FILES=40\r\n"},
  };
  for (const auto& file : machine.bystanderFiles) {
    sim::PutFile(file.first, file.second);
  }
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".txt", "", "txtfile");
  sim::SetStringValue(HKEY_CLASSES_ROOT, "txtfile\\shell\\open\\command", "",
                      "notepad.exe %1");
  sim::CreateKey(HKEY_CLASSES_ROOT, "jpegfile");
  sim::CreateKey(HKEY_CLASSES_ROOT, "mp3file");
  sim::SetStringValue(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                      "Tool", "C:\\APPS\\TOOL.EXE");
  sim::SetStringValue(HKEY_LOCAL_MACHINE,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\"
                      "RunServices",
                      "Spooler", "C:\\APPS\\SPOOL.EXE");
  sim::SetStringValue(HKEY_CURRENT_USER, kShellFoldersKey, "Desktop",
                      "C:\\Profile\\Desktop");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Vendor\\App", "Mode",
                      "fast");

  // BleBla.b.
  sim::SetStringValue(HKEY_CLASSES_ROOT, "rnjfile\\shell\\open\\command", "",
                      "C:\\WINDOWS\\sysrnj.exe \"%1\"");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".jpg", "", "rnjfile");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".mp3", "", "rnjfile");
  sim::SetStringValue(HKEY_CLASSES_ROOT, ".lha", "", "rnjfile");
  machine.wormFiles.push_back("C:\\WINDOWS\\sysrnj.exe");

  // Navidad, all three variants; the first finds its program in the Run key.
  for (const char* marker : {"Navidad", "xxxxmas", "Emanuel"}) {
    sim::SetStringValue(HKEY_CURRENT_USER, string("Software\\") + marker, "",
                        "");
    sim::SetStringValue(HKEY_CURRENT_USER,
                        string("Software\\") + marker + "\\Mail", "Sent", "1");
  }
  sim::SetStringValue(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                      "Win32BaseServiceMOD", system + "\\winsvrc.exe");
  machine.wormFiles.push_back(system + "\\winsvrc.vxd");
  // Not on the disk: a later variant that finds the value (when the first
  // could not remove it) deletes the program it names, and says it cannot.
  machine.wormFiles.push_back(system + "\\winsvrc.exe");

  // Sircam.
  const string recycledCopy = "C:\\RECYCLED\\SirC32.exe";
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\SirCam", "sa", "x");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\SirCam\\Lists", "1",
                      "a@b.example");
  sim::SetStringValue(HKEY_LOCAL_MACHINE,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\"
                      "RunServices",
                      "Driver32", recycledCopy);
  sim::SetStringValue(HKEY_CLASSES_ROOT, kOpenCommandKey, "",
                      recycledCopy + " \"%1\" %*");
  sim::SetStringValue(HKEY_CURRENT_USER, kShellFoldersKey, "Startup",
                      kStartupFolder);
  machine.wormFiles.push_back(recycledCopy);
  machine.wormFiles.push_back(windows + "\\ScMx32.exe");
  machine.wormFiles.push_back(system + "\\SCam32.exe");
  machine.wormFiles.push_back(string(kStartupFolder) +
                              "\\Microsoft Internet Office.exe");
  for (size_t i = 0; i < machine.wormFiles.size(); ++i) {
    sim::PutFile(machine.wormFiles[i], "MZ worm " + std::to_string(i));
  }
  sim::PutFile("C:\\windows\\run32.exe", "MZ rundll32");
  sim::PutFile("C:\\windows\\rundll32.exe", "MZ worm rundll32");
  machine.wormFiles.push_back("C:\\windows\\run32.exe");
  machine.wormFiles.push_back("C:\\windows\\rundll32.exe");

  machine.autoexecBefore = kAutoexec;
  machine.autoexecCleaned = kAutoexec;
  machine.autoexecCleaned.erase(machine.autoexecCleaned.find(kWormLine),
                                sizeof(kWormLine) - 1);
  sim::PutFile("C:\\AUTOEXEC.BAT", machine.autoexecBefore);
  machine.wininitPath = windows + "\\wininit.ini";
  machine.wininitBefore = kOtherProgramsWininit;
  sim::PutFile(machine.wininitPath, machine.wininitBefore);

  machine.runningWorm =
      CreateFileA(recycledCopy.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  machine.registryBefore = sim::RegistryDump();
  machine.filesBefore = sim::FileSystemDump();
  return machine;
}

string ForeignOutput(const InfectedMachine& machine, const string& output) {
  const string fixedTexts[] = {
      string(kBanner) + kOwnershipLine + "\n",
      kBleBlaResult,
      kBleBlaCannotDelete,
      kNavidadResultA,
      kNavidadResultB,
      kSircamResult,
      kCannotModifyAutoexec,
      kDownloadAdvice,
      kRestartAdvice,
      kNothingToClean,
      kClosingPrompt,
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

string DamageBeyondTheWorms(const InfectedMachine& machine) {
  string damage;
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
  for (const RepairedValue& value : kRepairedValues) {
    if (!sim::KeyExists(value.root, value.key)) {
      damage += string("repaired key lost: ") + value.key + "\n";
      continue;
    }
    string text = WithoutTrailingNuls(sim::ValueData(value.root, value.key, ""));
    bool asLeft = text == (value.key == string(kOpenCommandKey)
                               ? "C:\\RECYCLED\\SirC32.exe \"%1\" %*"
                               : "rnjfile");
    // With its file type unreadable, an extension is unlinked rather than
    // left with the worm.
    bool unlinked = text.empty() && value.key != string(kOpenCommandKey);
    if (!asLeft && !unlinked && text != value.repairedText) {
      damage += string("repaired value wrong: ") + value.key + " = " + text +
                "\n";
    }
  }

  std::vector<string> changeable;
  for (const string& path : machine.wormFiles) changeable.push_back(Upper(path));
  changeable.push_back("C:\\AUTOEXEC.BAT");
  changeable.push_back(Upper(machine.wininitPath));
  // What Windows 9x renames wininit.ini to once it has carried it out.
  changeable.push_back(
      Upper(machine.wininitPath.substr(0, machine.wininitPath.size() - 3) +
            "bak"));
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
        damage += string(side == &filesBefore ? "file lost: " : "file gained: ") +
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
