# Windows build: the product wormsweep.exe for every 32-bit Windows from 95
# and NT 4.0 on, its size and import check, and the platform contract tests
# run under Wine.
#
# The 64-bit build (preset windows-x64) is no product: the same sources and
# tests as 64-bit programs, for the machines whose kernel runs no 32-bit
# programs and so no 32-bit Wine. The tests run there under 64-bit Wine.
enable_language(RC)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(WORMSWEEP_PRODUCT_BUILD ON)
  set(WORMSWEEP_WINE_ARCH win32)
  set(WORMSWEEP_ARCH_FLAGS -march=i386)
  set(WORMSWEEP_ENTRY_SYMBOL _WormsweepProcessStart)
else()
  set(WORMSWEEP_PRODUCT_BUILD OFF)
  set(WORMSWEEP_WINE_ARCH win64)
  set(WORMSWEEP_ARCH_FLAGS)
  # Symbols carry no leading underscore on x86_64.
  set(WORMSWEEP_ENTRY_SYMBOL WormsweepProcessStart)
endif()

find_program(WORMSWEEP_OBJDUMP NAMES ${CMAKE_OBJDUMP} i686-w64-mingw32-objdump
  REQUIRED)
find_program(WORMSWEEP_BASH bash REQUIRED)

set(WORMSWEEP_WARNING_FLAGS -Wall -Wextra -Werror)

# --- The product ------------------------------------------------------------

# The version is written once, in project(): the exe's VERSIONINFO and
# manifest, README.txt and the release zip's name all take it from there.
# Windows wants four numbers ("1,1,0,0" in the rc, "1.1.0.0" in the manifest).
string(REPLACE "." ";" WORMSWEEP_VERSION_PARTS "${PROJECT_VERSION}.0.0.0")
list(SUBLIST WORMSWEEP_VERSION_PARTS 0 4 WORMSWEEP_VERSION_PARTS)
string(JOIN "," WORMSWEEP_VERSION_NUMBERS ${WORMSWEEP_VERSION_PARTS})
string(JOIN "." WORMSWEEP_VERSION_DOTTED ${WORMSWEEP_VERSION_PARTS})
set(WORMSWEEP_RC ${CMAKE_BINARY_DIR}/res/wormsweep.rc)
configure_file(${CMAKE_SOURCE_DIR}/res/wormsweep.rc.in ${WORMSWEEP_RC} @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/res/wormsweep.manifest.in
  ${CMAKE_BINARY_DIR}/res/wormsweep.manifest.commented @ONLY)
# The comments say which Windows each GUID names, for the reader of the
# source; Windows does not need them, and the exe carries every byte.
file(READ ${CMAKE_BINARY_DIR}/res/wormsweep.manifest.commented
  WORMSWEEP_MANIFEST)
string(REGEX REPLACE "[ ]*<!--[^>]*-->\n" "" WORMSWEEP_MANIFEST
  "${WORMSWEEP_MANIFEST}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/res/wormsweep.manifest
  CONTENT "${WORMSWEEP_MANIFEST}")

file(GLOB WORMSWEEP_WIN32_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/platform/*_win32.cpp)

add_executable(wormsweep
  ${CMAKE_SOURCE_DIR}/src/main.cpp
  ${WORMSWEEP_LOGIC_SOURCES}
  ${WORMSWEEP_PLATFORM_COMMON_SOURCES}
  ${WORMSWEEP_WIN32_SOURCES}
  ${WORMSWEEP_RC})
target_include_directories(wormsweep PRIVATE ${CMAKE_SOURCE_DIR}/src)

# Small and self-contained: no runtime DLL at all (msvcrt.dll is not on
# every Windows 95), no C++ runtime, nothing the oldest targets lack. The few
# <string.h> functions come from c_string_win32.cpp, and libgcc gives the
# stack probe of large frames. Thread-safe statics would pull in winpthreads,
# which needs AddVectoredExceptionHandler (Windows XP and later).
# No -fdata-sections: MinGW's GCC then gives every zero-initialized global a
# .data$ section of its own, stored in the file byte by byte, so a 32 KiB
# buffer costs 32 KiB of exe. Without exceptions the unwind tables serve
# nothing once the exe is stripped. Size before speed throughout (-Oz, no
# frame pointer, data aligned as the ABI asks rather than to cache lines):
# the run's time is the system calls', and every 512 bytes the code and data
# grow past a section's end cost 512 more bytes of exe.
target_compile_options(wormsweep PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${WORMSWEEP_WARNING_FLAGS}>
  $<$<COMPILE_LANGUAGE:CXX>:-Oz>
  $<$<COMPILE_LANGUAGE:CXX>:-fomit-frame-pointer>
  $<$<COMPILE_LANGUAGE:CXX>:-malign-data=abi>
  $<$<COMPILE_LANGUAGE:CXX>:${WORMSWEEP_ARCH_FLAGS}>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-threadsafe-statics>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-asynchronous-unwind-tables>
  $<$<COMPILE_LANGUAGE:CXX>:-ffunction-sections>)
# The string functions' own loops must not become calls of themselves.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/platform/c_string_win32.cpp
  PROPERTIES COMPILE_OPTIONS -fno-tree-loop-distribute-patterns)
# Subsystem version 4.0: Windows 95 and NT 4.0 refuse to start a program
# that asks for a newer one. Only 386 instructions, and no MinGW-w64 start-up
# code (it is built for the Pentium Pro): the process starts in
# process_start_win32.cpp. Terminal-server aware: under Terminal Services in
# application mode Windows otherwise hands a program a private per-user
# folder for the Windows directory, where the worms' files and wininit.ini
# are not.
target_link_options(wormsweep PRIVATE
  -s -static -mconsole -nostdlib
  -Wl,-e,${WORMSWEEP_ENTRY_SYMBOL}
  -Wl,--gc-sections
  -Wl,--major-subsystem-version,4
  -Wl,--minor-subsystem-version,0
  -Wl,--tsaware
  -Wl,--no-insert-timestamp)
target_link_libraries(wormsweep PRIVATE kernel32 advapi32 gcc)
set_property(SOURCE ${WORMSWEEP_RC} APPEND PROPERTY
  OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/res/wormsweep.manifest)

# The same program as wormsweep.com: Navidad and Sircam take over the command
# that opens every .exe, so on an infected machine double-clicking the exe
# starts the worm or nothing. Windows opens a .com through a file type of its
# own, which they leave alone, and loads it by its header on both lines.
set(WORMSWEEP_COM $<TARGET_FILE_DIR:wormsweep>/wormsweep.com)
add_custom_command(TARGET wormsweep POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:wormsweep> ${WORMSWEEP_COM}
  VERBATIM)

# The checks hold for the exe that is shipped; the 64-bit build runs none.
if(WORMSWEEP_PRODUCT_BUILD)
  # What the release zip tells the person at the infected PC: CR LF line
  # ends, as Notepad needs.
  set(WORMSWEEP_README_TXT ${CMAKE_BINARY_DIR}/README.txt)
  configure_file(${CMAKE_SOURCE_DIR}/res/README.txt.in ${WORMSWEEP_README_TXT}
    @ONLY NEWLINE_STYLE CRLF)

  # The banner is written by hand; everything else takes the version from
  # project(). The self-test asks for another version, which every place
  # must then deny.
  set(WORMSWEEP_VERSION_CHECK ${WORMSWEEP_BASH}
    ${CMAKE_SOURCE_DIR}/tools/check_version.sh)
  set(WORMSWEEP_VERSION_CHECK_FILES ${CMAKE_SOURCE_DIR}/src/report/texts.h
    ${CMAKE_RC_COMPILER} $<TARGET_FILE:wormsweep> ${WORMSWEEP_README_TXT})
  add_test(NAME version_check COMMAND ${WORMSWEEP_VERSION_CHECK}
    ${PROJECT_VERSION} ${WORMSWEEP_VERSION_CHECK_FILES})
  add_test(NAME version_check_self_test COMMAND ${WORMSWEEP_VERSION_CHECK}
    ${PROJECT_VERSION}.9 ${WORMSWEEP_VERSION_CHECK_FILES})
  set_tests_properties(version_check_self_test PROPERTIES
    PASS_REGULAR_EXPRESSION "7 of 7 places disagree with version ")
  set_tests_properties(version_check version_check_self_test PROPERTIES
    LABELS build)

  # The download stays within 28 KiB.
  set(WORMSWEEP_MAX_EXE_BYTES 28672)
  add_test(NAME exe_check
    COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/check_exe.sh
      --objdump ${WORMSWEEP_OBJDUMP}
      --allowed ${CMAKE_SOURCE_DIR}/tools/win95-nt4-imports.txt
      --max-bytes ${WORMSWEEP_MAX_EXE_BYTES}
      --twin ${WORMSWEEP_COM}
      $<TARGET_FILE:wormsweep>)
  set_tests_properties(exe_check PROPERTIES LABELS build)

  # The process start runs no static constructors, so the product must have
  # none.
  add_test(NAME no_static_constructors
    COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/check_no_constructors.sh
      ${WORMSWEEP_OBJDUMP} $<TARGET_OBJECTS:wormsweep>
    COMMAND_EXPAND_LISTS)
  set_tests_properties(no_static_constructors PROPERTIES LABELS build)

  add_library(constructor_probe OBJECT
    ${CMAKE_SOURCE_DIR}/tools/constructor_probe.cpp)
  add_test(NAME no_static_constructors_self_test
    COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/check_no_constructors.sh
      ${WORMSWEEP_OBJDUMP} $<TARGET_OBJECTS:constructor_probe>
    COMMAND_EXPAND_LISTS)
  set_tests_properties(no_static_constructors_self_test PROPERTIES
    LABELS build
    PASS_REGULAR_EXPRESSION "has static constructors or destructors")

  # The check must also catch what it is there to catch.
  add_test(NAME exe_check_self_test
    COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/check_exe_test.sh
      ${WORMSWEEP_OBJDUMP} ${CMAKE_SOURCE_DIR}/tools/check_exe.sh
      $<TARGET_FILE:wormsweep> ${WORMSWEEP_MAX_EXE_BYTES}
      $<TARGET_FILE:hold_open> ${WORMSWEEP_COM})
  set_tests_properties(exe_check_self_test PROPERTIES LABELS build)
endif()

# --- Platform contract tests under Wine -------------------------------------

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest
  EXCLUDE_FROM_ALL)

file(GLOB WORMSWEEP_CONTRACT_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/contract/*_test.cpp)
add_executable(contract_tests ${WORMSWEEP_CONTRACT_TEST_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/contract/wine_main.cpp)
target_include_directories(contract_tests PRIVATE
  ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(contract_tests PRIVATE ${WORMSWEEP_WARNING_FLAGS})
target_link_libraries(contract_tests PRIVATE gtest)
# Without -static the exe looks for libstdc++ and winpthread DLLs that Wine
# does not have.
target_link_options(contract_tests PRIVATE -static)

# Every Wine test starts from a copy of one prefix made once per test run;
# the tests that need it require the fixture `wine_template` and get
# WORMSWEEP_WINE_ENVIRONMENT.
set(WORMSWEEP_WINE_LIB ${CMAKE_SOURCE_DIR}/tests/wine/lib.sh)
set(WORMSWEEP_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine/template)
set(WORMSWEEP_WINE_ENVIRONMENT
  WS_WINE_ARCH=${WORMSWEEP_WINE_ARCH}
  WS_WINE_TEMPLATE=${WORMSWEEP_WINE_TEMPLATE}
  WS_WINE_WORK=${CMAKE_BINARY_DIR}/wine/work)

add_test(NAME wine_template
  COMMAND ${WORMSWEEP_BASH} ${WORMSWEEP_WINE_LIB} make-template
    ${WORMSWEEP_WINE_TEMPLATE})
set_tests_properties(wine_template PROPERTIES
  FIXTURES_SETUP wine_template LABELS wine TIMEOUT 300
  ENVIRONMENT "${WORMSWEEP_WINE_ENVIRONMENT}")

foreach(line nt 9x)
  add_test(NAME contract_${line}
    COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tests/wine/run_contract.sh
      ${line} $<TARGET_FILE:contract_tests>)
  set_tests_properties(contract_${line} PROPERTIES
    FIXTURES_REQUIRED wine_template LABELS contract TIMEOUT 600
    ENVIRONMENT "${WORMSWEEP_WINE_ENVIRONMENT}")
endforeach()

# The 9x run is only worth something if the program notices a prefix that
# still reports the NT line: ask for 9x where Wine reports NT.
add_test(NAME contract_line_check
  COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tests/wine/run_contract.sh
    --expect-wrong-line nt $<TARGET_FILE:contract_tests> --line=9x)
set_tests_properties(contract_line_check PROPERTIES
  FIXTURES_REQUIRED wine_template LABELS contract TIMEOUT 300
  ENVIRONMENT "${WORMSWEEP_WINE_ENVIRONMENT}")

# The end-to-end tests run the product under Wine; they find it as the target
# `wormsweep` or through WORMSWEEP_EXE.
set(WORMSWEEP_EXE $<TARGET_FILE:wormsweep>)
include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake OPTIONAL)
