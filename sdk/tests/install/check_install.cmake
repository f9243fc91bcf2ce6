# Installs the SDK component into a fresh prefix, then builds and runs a small program against
# it twice: once through find_package, once through pkg-config.
# Needs BUILD_DIR, WORK_DIR, CONSUMER_DIR, C_COMPILER, CXX_COMPILER, GENERATOR.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --component sdk --prefix ${prefix})

foreach(expected include/YRA_HD_Capture_SDK.h)
  if(NOT EXISTS ${prefix}/${expected})
    message(FATAL_ERROR "not installed: ${expected}")
  endif()
endforeach()
file(GLOB_RECURSE pc_files ${prefix}/*/yra-hd-capture-sdk.pc)
file(GLOB_RECURSE libraries ${prefix}/*/libYRA_HD_Capture_SDK.so)
if(NOT pc_files OR NOT libraries)
  message(FATAL_ERROR "library or pkg-config file missing under ${prefix}")
endif()

# find_package
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/sdk_consumer)
message(STATUS "find_package: ${run_output}")

# pkg-config
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs yra-hd-capture-sdk)
separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
list(GET libraries 0 library)
get_filename_component(lib_dir ${library} DIRECTORY)
run(${C_COMPILER} ${CONSUMER_DIR}/main.c ${pc_flags} -o ${WORK_DIR}/pc_consumer)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${lib_dir} ${WORK_DIR}/pc_consumer)
message(STATUS "pkg-config: ${run_output}")
