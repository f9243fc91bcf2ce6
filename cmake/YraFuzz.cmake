# libFuzzer targets join every plain clang build that has the libFuzzer runtime, so CI runs
# each target's committed corpus and a short fuzzing run; sanitizer presets instrument
# everything already.
set(_fuzz_default OFF)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND NOT YRA_SANITIZE)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
  check_cxx_source_compiles(
    "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }"
    YRA_HAVE_LIBFUZZER)
  unset(CMAKE_REQUIRED_FLAGS)
  if(YRA_HAVE_LIBFUZZER)
    set(_fuzz_default ON)
  endif()
endif()
option(YRA_FUZZ "Build the fuzz targets (clang only)" ${_fuzz_default})
if(YRA_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(WARNING "YRA_FUZZ needs clang; the fuzz targets are not built")
  set(YRA_FUZZ OFF)
endif()

# yra_add_fuzz_target(NAME SOURCES ... [LIBS ...] CORPUS dir LABEL label [SECONDS s])
# The sources are compiled with the fuzzer's instrumentation, so list the code under test
# there rather than linking it. Adds two tests: every committed seed as a regression
# (NAME_corpus), and a run of SECONDS (default 5) that writes what it finds to a scratch
# directory, never into the source tree (NAME_short).
function(yra_add_fuzz_target name)
  if(NOT YRA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS;LABEL;SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT F_SECONDS)
    set(F_SECONDS 5)
  endif()
  set(_flags -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE yra_platform_headers ${F_LIBS})
  target_compile_options(${name} PRIVATE ${_flags})
  target_link_options(${name} PRIVATE ${_flags})
  set(_scratch ${CMAKE_CURRENT_BINARY_DIR}/${name}-scratch)
  add_test(NAME ${name}_corpus COMMAND ${name} -runs=0 ${F_CORPUS})
  add_test(NAME ${name}_short
    COMMAND sh -c "rm -rf '${_scratch}' && mkdir -p '${_scratch}' && exec '$<TARGET_FILE:${name}>' -max_total_time=${F_SECONDS} -rss_limit_mb=2048 -artifact_prefix='${_scratch}/' '${_scratch}' '${F_CORPUS}'")
  set_tests_properties(${name}_corpus ${name}_short PROPERTIES LABELS ${F_LABEL} TIMEOUT 120)
endfunction()
