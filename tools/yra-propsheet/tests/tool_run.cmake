# For the command-line scripts: run(STATUS COMMAND...) runs a command, fails the test unless it
# exits with STATUS, and leaves its standard output and error in `out`; expect(TEXT) fails the
# test unless `out` holds TEXT.
function(run expect_status)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expect_status)
    message(FATAL_ERROR "${ARGN}\nexit ${status}, expected ${expect_status}\n${out}${err}")
  endif()
  set(out "${out}${err}" PARENT_SCOPE)
endfunction()

function(expect text)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected \"${text}\" in:\n${out}")
  endif()
endfunction()
