# Every tool, its standard output a full disk: the run fails and says so on standard error,
# rather than ending with status 0 and its results lost. Expects BIN, LIB and ROOT.
file(REMOVE_RECURSE ${ROOT})
file(MAKE_DIRECTORY ${ROOT})
set(ENV{YRA_HOST_ROOT} ${ROOT})
set(ENV{YRA_UI} headless)

function(expect_lost tool)
  execute_process(COMMAND ${BIN}/${tool} ${ARGN} RESULT_VARIABLE status OUTPUT_FILE /dev/full ERROR_VARIABLE err)
  if(NOT status EQUAL 1 OR NOT err MATCHES "${tool}: cannot write to standard output")
    message(FATAL_ERROR "${tool} ${ARGN} > /dev/full: exit ${status}, expected 1 and the reason\n${err}")
  endif()
endfunction()

expect_lost(yra-regsvr ${LIB}/MxPowerPlugin.so)
expect_lost(yra-sdkinfo)
expect_lost(yra-propsheet --list)
expect_lost(yra-capture --list)
expect_lost(yra-capture --help)
expect_lost(yra-demux --help)
