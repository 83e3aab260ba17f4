# Wine tests of deleting and renaming files that are in use: a small probe
# built from the product's own removal code does one operation per run, the
# scripts in tests/e2e/removal/ hold files open, restart Wine and look at
# what happened. Included by e2e.cmake, after wormsweep_add_wine_test.

add_executable(removal_probe
  ${CMAKE_CURRENT_LIST_DIR}/removal_probe.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/system_functions.cpp
  ${CMAKE_SOURCE_DIR}/src/primitives/boot_schedule.cpp
  ${CMAKE_SOURCE_DIR}/src/primitives/deferred_removal.cpp
  ${CMAKE_SOURCE_DIR}/src/primitives/path_building.cpp)
target_include_directories(removal_probe PRIVATE ${CMAKE_SOURCE_DIR}/src
  ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(removal_probe PRIVATE -Wall -Wextra -Werror
  "SHELL:-include stdio.h")
target_compile_definitions(removal_probe PRIVATE __USE_MINGW_ANSI_STDIO=0)
target_link_options(removal_probe PRIVATE -static)

file(GLOB WORMSWEEP_REMOVAL_SCRIPTS CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/removal/*.sh)
foreach(script ${WORMSWEEP_REMOVAL_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  wormsweep_add_wine_test(removal_${name} ${script} e2e)
  set_property(TEST removal_${name} APPEND PROPERTY ENVIRONMENT
    "WS_REMOVAL_PROBE_EXE=$<TARGET_FILE:removal_probe>")
endforeach()
