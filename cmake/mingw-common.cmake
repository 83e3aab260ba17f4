# What the MinGW-w64 toolchain files share; each names its processor and
# WORMSWEEP_MINGW_PREFIX first. The posix thread model is the one that can
# build GoogleTest; the product itself uses no threads.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${WORMSWEEP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WORMSWEEP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${WORMSWEEP_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${WORMSWEEP_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${WORMSWEEP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
