# The fuzz targets: with WORMSWEEP_FUZZ (the fuzz preset, clang) each is a
# libFuzzer binary that scripts/fuzz runs; in every other host build each
# replays its committed corpus as an ordinary test.
option(WORMSWEEP_FUZZ "Build the fuzz targets with libFuzzer" OFF)

set(WORMSWEEP_FUZZ_TARGETS
  path_building startup_batch wininit_append registry_text key_purge)

if(WORMSWEEP_FUZZ)
  add_custom_target(fuzz_targets)
endif()

foreach(target IN LISTS WORMSWEEP_FUZZ_TARGETS)
  set(source ${CMAKE_SOURCE_DIR}/tests/fuzz/${target}_fuzz.cpp)
  if(WORMSWEEP_FUZZ)
    set(binary ${target}_fuzz)
    add_executable(${binary} ${source})
    target_link_options(${binary} PRIVATE -fsanitize=fuzzer)
    # The comparisons of the checks and their models guide nothing and cost
    # time.
    target_compile_options(${binary} PRIVATE -fno-sanitize-coverage=trace-cmp)
    add_dependencies(fuzz_targets ${binary})
    # libFuzzer runs every input of the directory once, then stops.
    set(replay ${binary} -runs=0)
  else()
    set(binary ${target}_replay)
    add_executable(${binary} ${source}
      ${CMAKE_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
    set(replay ${binary})
  endif()
  target_include_directories(${binary} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${binary} PRIVATE wormsweep_core)
  add_test(NAME fuzz_corpus_${target}
    COMMAND ${replay} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target})
  set_tests_properties(fuzz_corpus_${target} PROPERTIES LABELS fuzz)
endforeach()
