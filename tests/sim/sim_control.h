// Control surface of the simulated Windows that the host build links in place
// of the real API. Tests use it to set the scene (keys, files, the line of
// Windows, the console's input), to make calls fail, and to look at what the
// program left behind. None of these functions go through fault injection and
// none of them change the last-error code.
#ifndef WORMSWEEP_SIM_SIM_CONTROL_H_
#define WORMSWEEP_SIM_SIM_CONTROL_H_

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "sim/sim_windows.h"

namespace sim {

// The two lines of 32-bit Windows differ in the registry (key deletion), in
// the boot-time schedule (NT's move list against 9x's wininit.ini) and in the
// directories they report.
enum class Line { Nt, Win9x };

// A fresh machine of the given line: the four registry roots
// (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS),
// empty but for the current user's profile under HKEY_USERS, which is
// HKEY_CURRENT_USER itself; drive C: holding the Windows directory and the
// system directory (NT: C:\WINNT and C:\WINNT\system32; 9x: C:\WINDOWS and
// C:\WINDOWS\SYSTEM); ANSI code page 1252; an administrator's account;
// standard output a console whose output code page is 437 (a US English
// Windows), on a window station that the user sees, with no input queued;
// nothing captured; no failures armed; last error 0.
void Reset(Line line = Line::Nt);

Line CurrentLine();
// Changes the line the machine is (which boot-time schedule it has and
// Restart() carries out, whether MoveFileExA is implemented, ...) and what
// GetVersionExA reports with it, without touching the registry or the files.
void SetLine(Line line);
// What GetVersionExA reports from now on, apart from the line the machine is:
// a compatibility mode ("Windows 95", "Windows 98 / Windows Me") makes an NT
// system report VER_PLATFORM_WIN32_WINDOWS. After Reset and SetLine: 5.1.2600
// on the NT line, 4.10.2222 on the 9x line.
void SetReportedVersion(DWORD platformId, DWORD major, DWORD minor,
                        DWORD build);

// The directories that GetWindowsDirectoryA / GetSystemDirectoryA report.
// They are created (with their parents) if they do not exist.
void SetWindowsDirectory(const std::string& path);
void SetSystemDirectory(const std::string& path);

// The ANSI code page (IsDBCSLeadByte, CP_ACP in MultiByteToWideChar and
// WideCharToMultiByte): 1252, or another such as 1251 or the double-byte 932.
// The two conversions know every code page that glibc's iconv knows as
// "CP<number>" (437, 850, 866, 932, 1251, 1252, ...) and 65001 (UTF-8). As
// on Windows, a byte that the code page leaves undefined becomes the
// character of the same number, and a character that the code page lacks is
// written as the default character ('?' unless one is given), except a
// full-width ASCII form (U+FF01 to U+FF5E), which is written as its ASCII
// counterpart (best fit) and reported as no default character used.
void SetCodePage(UINT codePage);
// The OEM code page (CP_OEMCP in the two conversions), in which MS-DOS keeps
// the names of files and the 9x line's boot-time processor reads wininit.ini:
// 437 after Reset, or another such as 850 (Western Europe).
void SetOemCodePage(UINT codePage);

// Who runs the program on the NT line. The 9x line has neither accounts nor
// access lists: there the account changes nothing, and its advapi32 exports
// OpenProcessToken and GetTokenInformation as stubs that fail with
// ERROR_CALL_NOT_IMPLEMENTED.
// - Administrator: the process token holds the built-in Administrators group
//   (S-1-5-32-544) enabled, as an elevated administrator's and LocalSystem's
//   do; the account may change everything.
// - PowerUser: a Power User (S-1-5-32-547). May change the keys of
//   HKEY_LOCAL_MACHINE\Software and of HKEY_CLASSES_ROOT, but no other key of
//   HKEY_LOCAL_MACHINE; MoveFileExA(..., MOVEFILE_DELAY_UNTIL_REBOOT) fails
//   with ERROR_ACCESS_DENIED, and so does deleting, renaming or writing a file
//   below the Windows or the system directory.
// - User: a limited user. Every key of HKEY_LOCAL_MACHINE and
//   HKEY_CLASSES_ROOT is read-only to it (as with MakeKeyReadOnlyForUser),
//   and MoveFileExA(..., MOVEFILE_DELAY_UNTIL_REBOOT) fails with
//   ERROR_ACCESS_DENIED. Its token holds the Administrators group for deny
//   only, as UAC's token for an administrator's programs that are not
//   elevated does: a user outside the group has the same rights.
enum class Account { Administrator, PowerUser, User };
void SetAccount(Account account);
// Administrator, or User.
void SetAdministrator(bool isAdministrator);

// Whether the program's window station is one that the user sees (true after
// Reset): a service, a task that runs whether or not a user is logged on, or
// a remote shell runs on one that nobody sees. The 9x line has no window
// stations: its user32 lacks GetProcessWindowStation and
// GetUserObjectInformationA. Sets whether the token holds the INTERACTIVE
// group (S-1-5-4) to the same: a person at the keyboard has it, a service or
// a scheduled task has not.
void SetInteractive(bool interactive);
// Whether the process token holds the INTERACTIVE group, set after
// SetInteractive for the cases where the two differ: LocalSystem on a
// desktop that a person sees (psexec -s -i, WinPE) lacks the group. With
// `denyOnly` the group is there for deny only, as in a restricted token.
void SetInteractiveGroup(bool present, bool denyOnly = false);

// ---- Faults ----
// Makes the nth call of `function` counted from now (1 = the next call) fail
// with `error`; with `persistent`, that call and every later one fail.
// `function` is the Win32 name, e.g. "RegOpenKeyExA". Registry calls return
// the error; other calls return their failure value and set the last error.
void FailCall(const std::string& function, DWORD error, int nth = 1,
              bool persistent = false);
// Removes every armed failure.
void ClearFailures();
// Makes the next WriteFile write at most `bytes` bytes and report success
// with that count, as a write to a full disk can.
void ShortenNextWrite(DWORD bytes);
// How many times `function` has been called since Reset().
int CallCount(const std::string& function);

// ---- Call log ----
// The Win32 name of every simulated call since Reset() or ClearCallLog(), in
// the order made, failed calls included. A test that knows the calls of one
// run can then make any one of them fail in the next.
std::vector<std::string> CallLog();
void ClearCallLog();

// ---- Registry ----
// The subkey of HKEY_USERS that HKEY_CURRENT_USER is: the current user's
// profile, among the loaded ones.
extern const char kCurrentUserProfile[];
// Paths are below a root, backslash-separated, case-insensitive. Setting a
// value creates the key and its parents.
void CreateKey(HKEY root, const std::string& path);
void SetStringValue(HKEY root, const std::string& path, const std::string& name,
                    const std::string& text);
// Raw data of any type, stored as given (no terminating NUL is added).
void SetRawValue(HKEY root, const std::string& path, const std::string& name,
                 DWORD type, const std::string& data);
// Gives the key (created if missing) an access list that lets the user read
// it but not change it: on the NT line opening it with any right to change
// it fails with ERROR_ACCESS_DENIED. The 9x line has no such lists.
void MakeKeyReadOnlyForUser(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path);
bool ValueExists(HKEY root, const std::string& path, const std::string& name);
// The value's raw bytes ("" when absent).
std::string ValueData(HKEY root, const std::string& path,
                      const std::string& name);
// Every key and value of the four roots, one per line, in a stable order,
// so that a test can check that nothing else was touched.
std::string RegistryDump();
// How many keys are open now (0 after a well-behaved operation).
int OpenKeyCount();

// ---- Profiles of the users who are not logged on ----
// What a logoff leaves: the keys HKEY_USERS\<name> and, where planted,
// HKEY_USERS\<name>_Classes leave the registry and become hive files in
// `folder` (the user's profile folder; it may hold environment variables,
// %SystemDrive%, as the line's ProfileList writes it): NT's NTUSER.DAT and,
// for the classes, AppData\Local\Microsoft\Windows\UsrClass.dat as on
// Windows Vista and later; the 9x line's USER.DAT. The profile is listed in
// the line's ProfileList (NT: SOFTWARE\Microsoft\Windows NT\CurrentVersion;
// 9x: Software\Microsoft\Windows\CurrentVersion) with ProfileImagePath
// `folder`, REG_EXPAND_SZ on NT. Not for the current user's profile.
void UnloadProfile(const std::string& name, const std::string& folder);
// What a logon does: the profile's hive files, as ProfileList leads to them,
// loaded again as HKEY_USERS\<name> (and <name>_Classes). False when a file
// is missing, damaged or loaded already.
bool LoadProfile(const std::string& name);
// The keys under HKEY_USERS that the program loaded with RegLoadKeyA and
// has not unloaded, in order of name.
std::vector<std::string> LoadedHives();
// What LoadedHives() was when a control event ended the process.
std::vector<std::string> LoadedHivesAtEnd();
// Another program (a scanner) holding the key open: RegUnLoadKeyA of the hive
// it lies in fails until ReleaseHeldKeys() or Reset().
void HoldKeyOpen(HKEY root, const std::string& path);
void ReleaseHeldKeys();
// What the next restart does to the hives that the program left loaded:
// each is written back to its file and leaves HKEY_USERS.
void ReleaseLoadedHives();

// ---- Environment ----
// What ExpandEnvironmentStringsA puts for %name%. After Reset: SystemDrive
// C:, SystemRoot and windir the Windows directory, USERPROFILE the running
// administrator's own profile, C:\Documents and Settings\Administrator.
void SetEnvironmentVariable(const std::string& name, const std::string& value);
// `text` expanded as ExpandEnvironmentStringsA does: a name not set stays as
// it is, with its % signs.
std::string ExpandEnvironment(const std::string& text);

// ---- Files ----
// Paths are full ("C:\\dir\\file"), case-insensitive; either separator.
void AddDrive(char letter);
// Creates or replaces a file (and its missing parent directories).
void PutFile(const std::string& path, const std::string& contents);
void MakeDirectory(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
std::string FileContents(const std::string& path);
void SetReadOnly(const std::string& path, bool readOnly);
// Sets the file's attributes to any of FILE_ATTRIBUTE_READONLY, _HIDDEN,
// _SYSTEM and _ARCHIVE (the others are dropped).
void SetFileAttributes(const std::string& path, DWORD attributes);
// A folder its owner made private (XP's "Make this folder private", which
// takes the Administrators group off it): on the NT line, below it the
// running account's FindFirstFileA, CreateFileA, DeleteFileA, MoveFileA and
// every other call that names a path fail with ERROR_ACCESS_DENIED, while
// MoveFileExA still records a boot-time operation and Restart(), which runs
// as the system, carries it out. The 9x line has no access lists.
void MakePrivate(const std::string& path);
// Every drive, directory and file with its size, one per line, in a stable
// order.
std::string FileSystemDump();
// How many file, find, console and access token handles are open now.
int OpenHandleCount();

// ---- Reported sizes ----
// Makes GetFileSize report `size` for the file, 4 GiB and more included (the
// low part returned, the high part through its pointer), whatever the file
// holds; reading still gives its contents. Until Reset().
void SetReportedFileSize(const std::string& path, uint64_t size);

// Where the NT line keeps its boot-time move list: REG_MULTI_SZ values of
// this key below HKEY_LOCAL_MACHINE, pairs of source and target, each name
// after "\??\" (other programs may put a prefix such as "*1" before it),
// the target empty for a deletion and led by '!' for a rename that replaces.
// MoveFileExA appends to the first value; the restart carries out the first,
// then the second, and removes both.
extern const char kSessionManagerKey[];
extern const char kMoveListValue[];
extern const char kSecondMoveListValue[];
// NT's boot-time move list as kept in both values, in order: {source,
// target}, the names without their prefixes; the target is "" for a
// deletion.
std::vector<std::pair<std::string, std::string>> BootTimeMoves();

// A system restart: every handle is closed (all programs end), then the
// current line's boot-time schedule is carried out. NT: the move list, in
// order (a rename without MOVEFILE_REPLACE_EXISTING fails silently when the
// target exists); wininit.ini is ignored. 9x: section [rename] of
// <Windows directory>\wininit.ini, line by line in file order, duplicates
// included ("NUL=path" deletes, "target=source" renames replacing an
// existing target), its names read as bytes of the OEM code page; an entry
// with a name that is not in 8.3 form is ignored, as the real-mode processor
// cannot see long names; afterwards the file is renamed to wininit.bak. The
// move list is removed either way.
void Restart();

// ---- Console ----
// Where standard output goes: a console (GetFileType: FILE_TYPE_CHAR), or a
// file (FILE_TYPE_DISK) as after "> file".
void SetStandardOutputIsConsole(bool isConsole);
// Standard output sent to NUL ("> nul"): a character device
// (FILE_TYPE_CHAR) that has no console mode.
void SetStandardOutputToNulDevice();
// The code page the console shows its output in (GetConsoleOutputCP).
void SetConsoleOutputCodePage(UINT codePage);
// Whether "CONIN$" can be opened (false: CreateFileA fails with
// ERROR_INVALID_HANDLE, as with no terminal at all).
void SetConsoleAvailable(bool available);
// Input records that ReadConsoleInputA returns one by one. When the queue is
// empty a read fails (a real console would block; a test must not).
void QueueInput(const INPUT_RECORD& record);
// A control event (CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT) that arrives, after
// the records queued before it, while the program reads the console: the
// program's control handlers run, latest first, and when none handles it the
// process ends there. The sim cannot end the test, so that read fails, and
// EndedByControlEvent / InputModeAtEnd tell what the end left behind.
void QueueControlEvent(DWORD event);
bool EndedByControlEvent();
// A control event that arrives as the nth call (counted from now) of
// `function` starts: Ctrl+Break or the window closed during the run, not
// only during the key wait. The handlers run as above; the call then goes on.
void ControlEventAtCall(const std::string& function, int nth, DWORD event);
DWORD InputModeAtEnd();
// How many control handlers the program has registered and not removed.
int ControlHandlerCount();
int QueuedInputCount();
// The console input mode as the program left it (initially
// ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT).
DWORD ConsoleInputMode();
// The modes set by each SetConsoleMode call, in order.
std::vector<DWORD> ConsoleModeHistory();
// Each WriteFile to standard output takes at most `bytes` bytes (0: all), as
// a console or a pipe may; what it took is what it reports written. A failed
// write to standard output is armed as the call "WriteFile to standard
// output", so that making the writes to files fail leaves the report alone.
void LimitStandardOutputWrites(DWORD bytes);
// The bytes written to standard output, exactly.
std::string StandardOutputBytes();
// Standard output read back as text: each CR LF as one line feed.
std::string ConsoleOutput();

}  // namespace sim

#endif  // WORMSWEEP_SIM_SIM_CONTROL_H_
