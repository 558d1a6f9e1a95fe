# Runs vnd-script on one scenario that must not pass, and checks how it fails.
# The scenario's own header says what is expected:
#   # exit: N                the runner's exit status
#   # output: REGEX          a line the runner must print (may be given more than once)
# Called as: cmake -DRUNNER=... -DMODULE=... -DSCENARIO=... -P ExpectRunnerFailure.cmake
file(STRINGS ${SCENARIO} header REGEX "^# (exit|output): ")
set(expected_exit "")
set(patterns)
foreach(line IN LISTS header)
  if(line MATCHES "^# exit: ([0-9]+)$")
    set(expected_exit ${CMAKE_MATCH_1})
  elseif(line MATCHES "^# output: (.+)$")
    list(APPEND patterns "${CMAKE_MATCH_1}")
  endif()
endforeach()
if(expected_exit STREQUAL "")
  message(FATAL_ERROR "${SCENARIO} has no '# exit: N' line")
endif()

set(module_args)
if(MODULE)
  set(module_args --module ${MODULE})
endif()
execute_process(COMMAND ${RUNNER} --demo ${module_args} ${SCENARIO}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(all "${out}${err}")
if(NOT status STREQUAL expected_exit)
  message(FATAL_ERROR "exit status ${status}, expected ${expected_exit}; output:\n${all}")
endif()
foreach(pattern IN LISTS patterns)
  if(NOT all MATCHES "${pattern}")
    message(FATAL_ERROR "no output matches '${pattern}'; output:\n${all}")
  endif()
endforeach()
