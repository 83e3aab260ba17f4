#include "support/host/worm_scene.h"

#include <gtest/gtest.h>

#include "report/texts.h"

namespace scene {

const char kOpenCommandKey[] = "exefile\\shell\\open\\command";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunServicesKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const char kBleBlaFile[] = "C:\\WINDOWS\\sysrnj.exe";
const char kSircamRecycledCopy[] = "C:\\RECYCLED\\SirC32.exe";
const char kSircamStartupFolder[] =
    "C:\\Profile\\Start Menu\\Programs\\Startup";
const char kSircamStartupCopyName[] = "\\Microsoft Internet Office.exe";
const char kSircamCommonStartupFolder[] =
    "C:\\All Users\\Start Menu\\Programs\\Startup";
const char kSircamOtherProfile[] = "S-1-5-21-0-0-0-1001";
const char kSircamOtherStartupFolder[] =
    "C:\\Other\\Start Menu\\Programs\\Startup";
const char kSircamRecycledData[] = "C:\\RECYCLED\\SirCam.sys";
const char kSavedRundll32[] = "C:\\windows\\run32.exe";
const char kRundll32[] = "C:\\windows\\rundll32.exe";
const char kSystemRundll32Body[] = "MZ the system's rundll32";
const char kWormBody[] = "MZ worm";

const char* const kBleBlaExtensions[21] = {
    ".jpg",  ".jpeg", ".jpe", ".bmp", ".gif", ".avi", ".mpg",
    ".mpeg", ".mp2",  ".wmf", ".wma", ".wmv", ".mp3", ".vqf",
    ".doc",  ".xls",  ".zip", ".rar", ".lha", ".arj", ".reg"};

std::string WindowsDirectory(sim::Line line) {
  return line == sim::Line::Nt ? "C:\\WINNT" : "C:\\WINDOWS";
}

std::string SystemDirectory(sim::Line line) {
  return line == sim::Line::Nt ? "C:\\WINNT\\system32" : "C:\\WINDOWS\\SYSTEM";
}

std::string ReportBanner() {
  return std::string(kBanner) + kOwnershipLine + "\n";
}

std::string CannotDeleteText(const std::string& path) {
  std::string text = kCannotDeleteFormat;
  return text.replace(text.find("%s"), 2, path);
}

std::string CannotRestoreText(const std::string& program,
                              const std::string& original) {
  std::string text = kCannotRestoreFormat;
  size_t first = text.find("%s");
  text.replace(first, 2, program);
  return text.replace(text.find("%s", first + program.size()), 2, original);
}

std::string CannotRestoreAfterRestartText(const std::string& program,
                                          const std::string& original) {
  std::string text = kCannotRestoreAfterRestartFormat;
  size_t first = text.find("%s");
  text.replace(first, 2, program);
  return text.replace(text.find("%s", first + program.size()), 2, original);
}

std::string CommandNotRestoredText(const std::string& program) {
  std::string text = kCommandNotRestoredFormat;
  return text.replace(text.find("%s"), 2, program);
}

std::string OpenCommand() {
  std::string data = sim::ValueData(HKEY_CLASSES_ROOT, kOpenCommandKey, "");
  return data.substr(0, data.find('\0'));
}

void SetOpenCommand(const std::string& command) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, kOpenCommandKey, "", command);
}

HANDLE HoldRunning(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  EXPECT_NE(INVALID_HANDLE_VALUE, file) << path;
  return file;
}

void PlantBleBla(const std::vector<std::string>& missing) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, "rnjfile", "", "");
  sim::SetStringValue(HKEY_CLASSES_ROOT, "rnjfile\\shell\\open\\command", "",
                      "C:\\WINDOWS\\sysrnj.exe \"%1\"");
  for (const char* extension : kBleBlaExtensions) {
    bool isMissing = false;
    for (const std::string& name : missing) isMissing |= name == extension;
    if (!isMissing) {
      sim::SetStringValue(HKEY_CLASSES_ROOT, extension, "", "rnjfile");
    }
  }
  sim::PutFile(kBleBlaFile, kWormBody);
}

void PlantNavidadMarker(const std::string& name, const std::string& profile) {
  HKEY root = profile.empty() ? HKEY_CURRENT_USER : HKEY_USERS;
  const std::string marker =
      (profile.empty() ? "" : profile + "\\") + "Software\\" + name;
  sim::SetStringValue(root, marker, "", "");
  sim::SetStringValue(root, marker + "\\Mail", "Sent", "1");
}

const char* const kNavidadMarkers[3] = {"Navidad", "xxxxmas", "Emanuel"};

std::string PlantNavidadAutostart(const std::string& program) {
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunKey, "Win32BaseServiceMOD",
                      program);
  std::string wormFile = program.substr(0, program.rfind('.')) + ".vxd";
  sim::PutFile(wormFile, kWormBody);
  return wormFile;
}

void PlantSircamMarker() {
  const char marker[] = "Software\\SirCam";
  sim::SetStringValue(HKEY_LOCAL_MACHINE, marker, "", "");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, marker, "sa", "x");
  sim::SetRawValue(HKEY_LOCAL_MACHINE, marker, "scd", REG_BINARY,
                   std::string("\x01\x00\x02", 3));
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\SirCam\\Lists\\Old", "1",
                      "a@b.example");
  sim::SetStringValue(HKEY_LOCAL_MACHINE,
                      "Software\\SirCam\\Lists\\Old\\Deeper\\Deepest", "2",
                      "c@d.example");
  sim::CreateKey(HKEY_LOCAL_MACHINE, "Software\\SirCam\\Empty");
}

void PlantSircamRundll32() {
  sim::PutFile(kSavedRundll32, kSystemRundll32Body);
  sim::PutFile(kRundll32, kWormBody);
}

std::string ProfileShellFoldersKey(const std::string& profile) {
  return profile + "\\" + kShellFoldersKey;
}

std::string SircamVirtualMarkerKey(const std::string& profile, bool wow64) {
  return profile + "_Classes\\VirtualStore\\MACHINE\\SOFTWARE\\" +
         (wow64 ? "WOW6432Node\\" : "") + "SirCam";
}

std::string PlantSircamVirtualMarker(const std::string& profile, bool wow64) {
  const std::string marker = SircamVirtualMarkerKey(profile, wow64);
  sim::SetStringValue(HKEY_USERS, marker, "sa", "x");
  sim::SetStringValue(HKEY_USERS, marker + "\\Lists\\Old", "1", "a@b.example");
  return marker;
}

std::vector<std::string> PlantSircamVirtualCopies(
    const std::string& profile, const std::string& localAppData,
    sim::Line line) {
  sim::SetStringValue(HKEY_USERS, ProfileShellFoldersKey(profile),
                      "Local AppData", localAppData);
  // The Windows and system directories without their drive.
  const std::string store = localAppData + "\\VirtualStore";
  const std::string windows = store + WindowsDirectory(line).substr(2);
  std::vector<std::string> copies = {
      windows + "\\ScMx32.exe",
      store + SystemDirectory(line).substr(2) + "\\SCam32.exe",
      windows + "\\SysWOW64\\SCam32.exe"};
  for (const std::string& copy : copies) sim::PutFile(copy, kWormBody);
  return copies;
}

std::vector<std::string> SircamCopies(sim::Line line) {
  std::vector<std::string> copies = {kSircamRecycledCopy, kSircamRecycledData,
                                     WindowsDirectory(line) + "\\ScMx32.exe",
                                     SystemDirectory(line) + "\\SCam32.exe"};
  for (const char* folder : {kSircamStartupFolder, kSircamCommonStartupFolder,
                             kSircamOtherStartupFolder}) {
    copies.push_back(folder + std::string(kSircamStartupCopyName));
  }
  return copies;
}

void PlantSircam(sim::Line line) {
  PlantSircamMarker();
  sim::SetStringValue(HKEY_LOCAL_MACHINE, "Software\\SirCamera", "Keep", "yes");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunServicesKey, "Driver32",
                      kSircamRecycledCopy);
  sim::CreateKey(HKEY_LOCAL_MACHINE,
                 std::string(kRunServicesKey) + "\\Driver32");
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kRunServicesKey, "Tool",
                      "C:\\tool.exe");
  SetOpenCommand(std::string(kSircamRecycledCopy) + " \"%1\" %*");
  sim::SetStringValue(HKEY_CURRENT_USER, kShellFoldersKey, "Startup",
                      kSircamStartupFolder);
  sim::SetStringValue(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Startup",
                      kSircamCommonStartupFolder);
  sim::SetStringValue(HKEY_USERS, ProfileShellFoldersKey(kSircamOtherProfile),
                      "Startup", kSircamOtherStartupFolder);

  for (const std::string& copy : SircamCopies(line)) {
    sim::PutFile(copy, kWormBody);
  }
  sim::PutFile("C:\\RECYCLED\\DC1.doc", "a deleted letter");
  sim::PutFile("C:\\RECYCLED\\SirCam.sys.txt", "a deleted note");
  for (const char* folder : {kSircamStartupFolder, kSircamCommonStartupFolder,
                             kSircamOtherStartupFolder}) {
    sim::PutFile(folder + std::string("\\Office.lnk"), "a shortcut");
  }
  sim::PutFile(WindowsDirectory(line) + "\\notepad.exe", "MZ notepad");
  PlantSircamRundll32();
  sim::PutFile("C:\\AUTOEXEC.BAT",
               "@echo off\r\n@win \\recycled\\sirc32.exe\r\nPATH C:\\DOS\r\n");
}

const char kAwayNavidadMarker[] = "Software\\Navidad";

AwayUser PlantAwayUser(sim::Line line, const std::string& name,
                       const std::string& folder) {
  AwayUser user;
  bool nt = line == sim::Line::Nt;
  user.name = !name.empty() ? name : nt ? "S-1-5-21-0-0-0-1003" : "away";
  user.folder = !folder.empty() ? folder
                : nt            ? "%SystemDrive%\\Documents and Settings\\Away"
                                : "C:\\WINDOWS\\Profiles\\Away";
  user.expandedFolder = sim::ExpandEnvironment(user.folder);
  user.hiveFile = user.expandedFolder + (nt ? "\\NTUSER.DAT" : "\\USER.DAT");
  const std::string startup =
      user.expandedFolder + "\\Start Menu\\Programs\\Startup";
  user.startupCopy = startup + kSircamStartupCopyName;
  sim::SetStringValue(HKEY_USERS, ProfileShellFoldersKey(user.name), "Startup",
                      startup);
  sim::SetStringValue(HKEY_USERS, user.name + "\\Software\\Vendor", "Mode",
                      "slow");
  sim::PutFile(user.startupCopy, kWormBody);
  sim::PutFile(startup + "\\Office.lnk", "a shortcut");
  PlantNavidadMarker("Navidad", user.name);
  if (nt) PlantSircamVirtualMarker(user.name, false);
  return user;
}

void UnloadAwayUser(const AwayUser& user) {
  sim::UnloadProfile(user.name, user.folder);
}

}  // namespace scene
