# Cross build for 64-bit Windows with MinGW-w64: the same sources as the
# 32-bit product, built only so that the tests can run under 64-bit Wine on
# machines that cannot run 32-bit programs. The posix thread model is the one
# that can build GoogleTest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(WORMSWEEP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${WORMSWEEP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WORMSWEEP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${WORMSWEEP_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${WORMSWEEP_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${WORMSWEEP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
