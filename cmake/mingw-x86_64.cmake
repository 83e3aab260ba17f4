# Cross build for 64-bit Windows with MinGW-w64: the same sources as the
# 32-bit product, built only so that the tests can run under 64-bit Wine on
# machines that cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WORMSWEEP_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
