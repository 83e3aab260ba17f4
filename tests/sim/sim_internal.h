// What the parts of the simulated Windows share with each other; not for
// tests (they use sim_control.h) and not for the program.
#ifndef WORMSWEEP_SIM_SIM_INTERNAL_H_
#define WORMSWEEP_SIM_SIM_INTERNAL_H_

#include <string>
#include <vector>

#include "sim/sim_control.h"
#include "sim/sim_windows.h"

namespace sim {
namespace internal {

// Every simulated API function calls this first with its own Win32 name. It
// counts the call and returns true, with the armed error in *error, when the
// call must fail.
bool InjectedFailure(const char* function, DWORD* error);

// The calling thread's last-error code (SetLastError).
void SetError(DWORD error);

// InjectedFailure for an API call that sets the last error: true, with the
// armed error as the last error, when the call must fail.
bool Fails(const char* function);
// Sets `error` as the last error and returns FALSE: how a call fails.
BOOL FailWith(DWORD error);

bool IsNt();
Account CurrentAccount();
bool IsAdministrator();
// The Windows and the system directory as set (no trailing backslash unless
// it is a root).
std::string WindowsDirectory();
std::string SystemDirectory();

// Converts a text in the OEM code page into the ANSI code page; false when
// a character has no place in it.
bool OemToAnsi(const std::string& oem, std::string* ansi);
// Removes a value without going through the registry calls (no fault, no
// count); nothing when it is not there.
void RemoveValue(HKEY root, const std::string& path, const std::string& name);

// Upper-cases ASCII letters only, as Windows' case-insensitive names do for
// the characters this program deals with.
std::string UpperAscii(const std::string& text);

// Per-part resets, called by sim::Reset() in this order.
void ResetFaults();
void ResetRegistry();
void ResetFiles();  // empty, no drives; Reset() then adds C: and directories
void ResetConsole();
void ResetSession();  // no modules loaded but the exe's, no tokens open

// The console's input device, reached through CreateFileA("CONIN$") and
// CloseHandle, which the file part owns.
HANDLE OpenConsoleInput();  // INVALID_HANDLE_VALUE when not available
bool IsConsoleHandle(HANDLE handle);
void CloseConsoleHandle(HANDLE handle);
void CloseAllConsoleHandles();

// Access token handles, closed through CloseHandle, which the file part owns.
bool IsTokenHandle(HANDLE handle);
void CloseTokenHandle(HANDLE handle);
int OpenTokenCount();
void CloseAllTokenHandles();

// Standard output, which WriteFile, owned by the file part, writes to.
bool IsStandardOutput(HANDLE handle);
BOOL WriteStandardOutput(LPCVOID buffer, DWORD bytesToWrite,
                         LPDWORD bytesWritten, LPOVERLAPPED overlapped);

// Whether the process token has the privilege of that LUID (low part)
// enabled; always false on the 9x line, which has no tokens.
bool PrivilegeEnabled(DWORD luid);
const DWORD kBackupPrivilege = 17;
const DWORD kRestorePrivilege = 18;

// Runs the program's control handlers, latest first, as the system does on a
// thread of its own; when none handles the event the process ends there
// (recorded, since a test cannot end).
void RaiseControlEvent(DWORD event);

// The keys under HKEY_USERS whose hives RegLoadKeyA loaded and
// RegUnLoadKeyA has not yet unloaded.
std::vector<std::string> ProgramLoadedHives();
// What a restart does to them: every key handle closed, each hive written
// back to its file and unloaded.
void UnloadProgramHives();

}  // namespace internal
}  // namespace sim

#endif  // WORMSWEEP_SIM_SIM_INTERNAL_H_
