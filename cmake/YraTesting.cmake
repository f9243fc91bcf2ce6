# yra_add_gtest(NAME LABEL label SOURCES ... [LIBS ...] [TIMEOUT s])
# One test executable per call, discovered into CTest with the component's label so
# that `ctest --preset default -L <label>` runs one component. Every test gets a
# private host root (one per test, see tests/support/test_main.cpp) so that registry state
# never leaks between tests or into $HOME.
function(yra_add_gtest name)
  if(NOT YRA_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} yra_test_main)
  set(_root ${CMAKE_BINARY_DIR}/test-roots/${name})
  # The discovery script splits every list in PROPERTIES, so only one variable can travel in
  # ENVIRONMENT; where the tree is comes in as compile definitions instead.
  target_compile_definitions(${name} PRIVATE YRA_BUILD_DIR="${CMAKE_BINARY_DIR}" YRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ENVIRONMENT "YRA_HOST_ROOT=${_root}")
endfunction()
include(GoogleTest)

if(YRA_BUILD_TESTS AND NOT TARGET yra_test_main)
  find_package(GTest REQUIRED)
  add_library(yra_test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/../tests/support/test_main.cpp)
  target_link_libraries(yra_test_main PUBLIC GTest::gmock GTest::gtest)
endif()
