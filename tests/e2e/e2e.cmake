# End-to-end tests: the product exe run under Wine as a user runs it. Every
# tests/e2e/*.sh is one test, run by bash with the exe and tests/wine/lib.sh
# as its arguments; tests/wine/*_test.sh check the toolkit itself.
#
# Included by the Windows build, which names the product (WORMSWEEP_EXE) and
# makes the per-run prefix template (WORMSWEEP_WINE_TEMPLATE, fixture
# wine_template, WORMSWEEP_WINE_ENVIRONMENT for the tests that use it).

find_program(WORMSWEEP_BASH bash REQUIRED)
find_program(WORMSWEEP_TMUX tmux REQUIRED)

foreach(variable WORMSWEEP_EXE WORMSWEEP_WINE_LIB WORMSWEEP_WINE_TEMPLATE
    WORMSWEEP_WINE_ENVIRONMENT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "e2e.cmake needs ${variable} from the Windows build")
  endif()
endforeach()

# Stands in for a running worm: holds files open without sharing.
add_executable(hold_open ${CMAKE_CURRENT_LIST_DIR}/hold_open.cpp)
target_compile_options(hold_open PRIVATE -Wall -Wextra -Werror)
target_link_options(hold_open PRIVATE -static)

# Starts a program on a window station that nobody sees, or with the
# Administrators group for deny only: as Windows starts a service, and an
# administrator's program that is not elevated.
add_executable(start_as ${CMAKE_CURRENT_LIST_DIR}/start_as.cpp)
target_compile_options(start_as PRIVATE -Wall -Wextra -Werror)
target_link_options(start_as PRIVATE -static)

# Makes a user's registry file from a key, and loads and unloads one.
add_executable(hive_tool ${CMAKE_CURRENT_LIST_DIR}/hive_tool.cpp)
target_compile_options(hive_tool PRIVATE -Wall -Wextra -Werror)
target_link_options(hive_tool PRIVATE -static)

# A Wine test: bash SCRIPT EXE LIB, in a prefix copied from the run's
# template, with hold_open.exe, start_as.exe and hive_tool.exe at hand.
function(wormsweep_add_wine_test name script label)
  add_test(NAME ${name}
    COMMAND ${WORMSWEEP_BASH} ${script} ${WORMSWEEP_EXE} ${WORMSWEEP_WINE_LIB})
  set_tests_properties(${name} PROPERTIES
    LABELS ${label}
    FIXTURES_REQUIRED wine_template
    TIMEOUT 600
    ENVIRONMENT
      "${WORMSWEEP_WINE_ENVIRONMENT};WS_HOLD_OPEN_EXE=$<TARGET_FILE:hold_open>;WS_START_AS_EXE=$<TARGET_FILE:start_as>;WS_HIVE_TOOL_EXE=$<TARGET_FILE:hive_tool>")
endfunction()

file(GLOB WORMSWEEP_E2E_SCRIPTS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/e2e/*.sh)
foreach(script ${WORMSWEEP_E2E_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  wormsweep_add_wine_test(e2e_${name} ${script} e2e)
endforeach()

file(GLOB WORMSWEEP_WINE_TOOLKIT_TESTS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/wine/*_test.sh)
foreach(script ${WORMSWEEP_WINE_TOOLKIT_TESTS})
  get_filename_component(name ${script} NAME_WE)
  wormsweep_add_wine_test(wine_${name} ${script} wine)
endforeach()

# One infection cleaned, restarted and found clean under every Windows
# version that Wine can present.
foreach(version win95 win98 winme nt40 win2k winxp win7 win10)
  wormsweep_add_wine_test(e2e_windows_${version}
    ${CMAKE_CURRENT_LIST_DIR}/windows/every_version.sh e2e)
  set_property(TEST e2e_windows_${version} APPEND PROPERTY ENVIRONMENT
    "WS_WINDOWS_VERSION=${version}")
endforeach()

# Deleting and renaming files in use, with a restart.
include(${CMAKE_CURRENT_LIST_DIR}/primitives.cmake)
