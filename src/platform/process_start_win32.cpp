// The process starts here rather than in MinGW-w64's start-up code. That code
// is built for the Pentium Pro and later (it uses cmov), and would end the
// program with an illegal instruction on the 386, 486 and Pentium machines
// that still run Windows 95. msvcrt.dll sets itself up when it is loaded, so
// all the start needs is main and exit, which writes out buffered output.
#include <stdlib.h>

int main();

// GCC makes main call __main first to run static constructors. The program
// has none (the build checks its objects for them), and MinGW-w64's own
// __main registers its destructor walk with an atexit that only its start-up
// code prepares.
extern "C" void __main() {}

extern "C" void WormsweepProcessStart() { exit(main()); }
