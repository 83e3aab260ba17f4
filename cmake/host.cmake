# Host build: the logic against the simulated Windows, with GoogleTest.
find_package(GTest REQUIRED)

add_compile_options(-Wall -Wextra -Werror)

# The simulated Windows lives with the tests; its own tests run with the unit
# tests.
file(GLOB WORMSWEEP_SIM_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/sim/*.cpp)
list(FILTER WORMSWEEP_SIM_SOURCES EXCLUDE REGEX "_test\\.cpp$")

add_library(wormsweep_core STATIC
  ${WORMSWEEP_LOGIC_SOURCES}
  ${WORMSWEEP_PLATFORM_COMMON_SOURCES}
  ${WORMSWEEP_SIM_SOURCES})
target_include_directories(wormsweep_core PUBLIC
  ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)

# Unit tests of the logic and of the simulation itself.
file(GLOB_RECURSE WORMSWEEP_UNIT_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/run/*_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/primitives/*_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/cleaners/*_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/report/*_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/platform/*_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/sim/*_test.cpp)
file(GLOB WORMSWEEP_HOST_SUPPORT_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/support/host/*.cpp)
add_executable(unit_tests ${WORMSWEEP_UNIT_TEST_SOURCES}
  ${WORMSWEEP_HOST_SUPPORT_SOURCES})
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(unit_tests PRIVATE wormsweep_core GTest::gtest_main)
add_test(NAME unit_tests COMMAND unit_tests)
set_tests_properties(unit_tests PROPERTIES LABELS unit)

# The platform contract tests against the simulation, once per line of
# Windows; the Windows build runs the same sources against Wine.
file(GLOB WORMSWEEP_CONTRACT_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/contract/*_test.cpp)
add_executable(contract_tests ${WORMSWEEP_CONTRACT_TEST_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/contract/host_main.cpp)
target_include_directories(contract_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(contract_tests PRIVATE wormsweep_core GTest::gtest)
add_test(NAME contract_nt COMMAND contract_tests --line=nt)
add_test(NAME contract_9x COMMAND contract_tests --line=9x)
set_tests_properties(contract_nt contract_9x PROPERTIES LABELS contract)

# What scripts/setup-deps asks of apt on a fresh machine, which CI, running on
# a machine that has everything, would otherwise never see.
find_program(WORMSWEEP_BASH bash REQUIRED)
add_test(NAME setup_deps_test
  COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/setup_deps_test.sh
    ${CMAKE_SOURCE_DIR}/scripts/setup-deps)
set_tests_properties(setup_deps_test PROPERTIES LABELS scripts)

# The shape of the source: every folder of src/ includes only from itself and
# the folders after it (run, cleaners, report, primitives, platform), and
# every C++ file is formatted as .clang-format says.
add_test(NAME layer_check
  COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/check_layers.sh
    ${CMAKE_SOURCE_DIR}/src)
add_test(NAME layer_check_self_test
  COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/check_layers_test.sh
    ${CMAKE_SOURCE_DIR}/tools/check_layers.sh)
find_program(WORMSWEEP_CLANG_FORMAT NAMES clang-format clang-format-14 REQUIRED)
add_test(NAME format_check
  COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/check_format.sh
    ${WORMSWEEP_CLANG_FORMAT} ${CMAKE_SOURCE_DIR})
add_test(NAME format_check_self_test
  COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/check_format_test.sh
    ${WORMSWEEP_CLANG_FORMAT} ${CMAKE_SOURCE_DIR}/tools/check_format.sh
    ${CMAKE_SOURCE_DIR}/.clang-format)
set_tests_properties(layer_check layer_check_self_test format_check
  format_check_self_test PROPERTIES LABELS shape)

# Which Wine the Windows tests use on machines with and without 32-bit
# support: only one kind of machine is at hand at a time.
add_test(NAME wine_arch_test
  COMMAND ${WORMSWEEP_BASH} ${CMAKE_SOURCE_DIR}/tools/wine_arch_test.sh
    ${CMAKE_SOURCE_DIR}/tests/wine)
set_tests_properties(wine_arch_test PROPERTIES LABELS scripts)

# The fuzz targets, or their corpus replays.
include(${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
