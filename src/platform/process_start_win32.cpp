// The process starts here rather than in a C runtime's start-up code: the
// program uses no runtime DLL (msvcrt.dll is not on every Windows 95), and
// MinGW-w64's start-up code is built for the Pentium Pro and later (it uses
// cmov), which would end the program with an illegal instruction on the 386,
// 486 and Pentium machines that still run Windows 95. Every text has been
// written when it was printed, so nothing is left to do but end the process
// with the run's status.
#include "platform/windows_api.h"

int main();

// GCC makes main call __main first to run static constructors. The program
// has none (the build checks its objects for them).
extern "C" void __main() {}

extern "C" void WormsweepProcessStart() {
  ExitProcess(static_cast<UINT>(main()));
}
