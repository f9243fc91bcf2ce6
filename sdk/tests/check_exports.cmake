# The SDK library exports exactly its six functions, unmangled, and depends on no library of ours.
# Needs LIBRARY.
set(expected
  YRA_HDC_SDK_GetFilterParam YRA_HDC_SDK_GetHDMIRXResolution YRA_HDC_SDK_GetMCUVersion
  YRA_HDC_SDK_GetVersion YRA_HDC_SDK_InitializeFilterParam YRA_HDC_SDK_SetFilterParam)

execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-f]+ [A-Za-z] [^\n]+" lines "${symbols}")
set(found)
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-f]+ [A-Za-z] " "" name "${line}")
  string(REGEX REPLACE "@.*" "" name "${name}")
  list(APPEND found ${name})
endforeach()
list(SORT found)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()

execute_process(COMMAND readelf -d ${LIBRARY} OUTPUT_VARIABLE dynamic)
# Only the needed libraries count: the run path names the build folder, which may be called anything.
if(dynamic MATCHES "NEEDED[^\n]*(yrahost|framework)")
  message(FATAL_ERROR "the SDK links a library of ours:\n${dynamic}")
endif()
