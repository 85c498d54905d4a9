# Runs the tests of one program in one process under Wine, every test or those FILTER names, and leaves their results
# for CTest's entry of each test (Result.cmake). A failing test does not fail this run; a run that leaves no results
# does.
# Usage: cmake -DEMULATOR=... -DPROGRAM=... -DRESULTS_DIR=... [-DFILTER=Suite.Name:...] -P RunAll.cmake
file(REMOVE_RECURSE ${RESULTS_DIR})
file(MAKE_DIRECTORY ${RESULTS_DIR})
# Wine runs as another user where the tests run as root.
file(CHMOD ${RESULTS_DIR} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_WRITE
  GROUP_EXECUTE WORLD_READ WORLD_WRITE WORLD_EXECUTE)
set(filter)
if(DEFINED FILTER)
  set(filter --gtest_filter=${FILTER})
endif()
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${filter} --gtest_output=json:results.json
  WORKING_DIRECTORY ${RESULTS_DIR} RESULT_VARIABLE status)
if(NOT EXISTS ${RESULTS_DIR}/results.json)
  message(FATAL_ERROR "the tests ended (${status}) before they wrote their results")
endif()
