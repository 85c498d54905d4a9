# Tests that one process under Wine runs together: starting a Windows program costs more than most tests take, above
# all where Wine is emulated. The run is a test of its own, in a lane of its Windows, and each test it takes has a
# CTest entry of its own that reports it from the run's results (RunAll.cmake, Result.cmake), its failures' text
# included; the entries find their run as a fixture, so that `ctest -R` of one entry runs it as well.

# The tests that sources declare (TEST or TEST_F at a line's start, wrapped by clang-format or not), as Suite.Name in
# their order; a change to a source configures again, so that a new test has its entry.
function(kelvo_declared_tests out)
  set(space "[ \t\r\n]*")
  set(declaration "\nTEST(_F)?\\(${space}([A-Za-z0-9_]+)${space},${space}([A-Za-z0-9_]+)${space}\\)")
  set(names)
  foreach(source IN LISTS ARGN)
    file(READ ${source} text)
    string(REGEX MATCHALL "${declaration}" declarations "\n${text}")
    foreach(match IN LISTS declarations)
      string(REGEX REPLACE "${declaration}" "\\2.\\3" test "${match}")
      list(APPEND names ${test})
    endforeach()
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARGN})
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# kelvo_one_run(RUN PROGRAM WINDOWS TIMEOUT TESTS Suite.Name... [EVERY_TEST] [MUST_PASS] [SUFFIX s]
#               [ENVIRONMENT name=value...] [LABELS label...])
# The test RUN runs PROGRAM (a target) in a lane of WINDOWS (win32 or win64) for the TESTS, or for every test of the
# program with EVERY_TEST, within TIMEOUT seconds; each of the TESTS gets the entry Suite.Name followed by SUFFIX. An
# entry whose test was skipped is shown as skipped, or with MUST_PASS fails.
function(kelvo_one_run run)
  cmake_parse_arguments(PARSE_ARGV 1 arg "EVERY_TEST;MUST_PASS" "PROGRAM;WINDOWS;TIMEOUT;SUFFIX"
    "TESTS;ENVIRONMENT;LABELS")
  set(results ${CMAKE_CURRENT_BINARY_DIR}/results/${run})
  set(filter)
  if(NOT arg_EVERY_TEST)
    list(JOIN arg_TESTS ":" filter)
    set(filter -DFILTER=${filter})
  endif()
  list(LENGTH arg_TESTS count)
  set(scripts ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  add_test(NAME ${run} COMMAND ${CMAKE_COMMAND} -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}
    -DPROGRAM=$<TARGET_FILE:${arg_PROGRAM}> -DRESULTS_DIR=${results} ${filter} -P ${scripts}/RunAll.cmake)
  # The runs that take the most tests start first.
  set_tests_properties(${run} PROPERTIES FIXTURES_SETUP ${run} RESOURCE_GROUPS ${arg_WINDOWS}:1
    TIMEOUT ${arg_TIMEOUT} COST ${count} ENVIRONMENT "${arg_ENVIRONMENT}" LABELS "${arg_LABELS}")
  foreach(test IN LISTS arg_TESTS)
    string(REPLACE "." ";" parts ${test})
    list(GET parts 0 suite)
    list(GET parts 1 name)
    add_test(NAME ${test}${arg_SUFFIX} COMMAND ${CMAKE_COMMAND} -DRESULTS=${results}/results.json -DRUN=${run}
      -DSUITE=${suite} -DNAME=${name} -P ${scripts}/Result.cmake)
    set_tests_properties(${test}${arg_SUFFIX} PROPERTIES FIXTURES_REQUIRED ${run} LABELS "${arg_LABELS}")
    if(NOT arg_MUST_PASS)
      set_tests_properties(${test}${arg_SUFFIX} PROPERTIES SKIP_REGULAR_EXPRESSION " was skipped \\(")
    endif()
  endforeach()
endfunction()
