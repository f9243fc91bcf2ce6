# yra_add_gtest(NAME LABEL label SOURCES ... [LIBS ...] [ENV VAR=value ...] [TIMEOUT s])
# One test executable per call, discovered into CTest with the component's label so
# that `ctest --preset default -L <label>` runs one component. Every test gets a
# private host root (one per test, see tests/support/test_main.cpp) so that registry state
# never leaks between tests or into $HOME.
function(yra_add_gtest name)
  if(NOT YRA_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} yra_test_main)
  set(_root ${CMAKE_BINARY_DIR}/test-roots/${name})
  # The environment goes in through a launcher: a list-valued ENVIRONMENT does not survive
  # test discovery. Tests run without a display unless they ask for one (YRA_UI in ENV
  # overrides). Where the tree is also comes in as compile definitions.
  target_compile_definitions(${name} PRIVATE YRA_BUILD_DIR="${CMAKE_BINARY_DIR}" YRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env YRA_HOST_ROOT=${_root} YRA_BUILD_DIR=${CMAKE_BINARY_DIR}
    YRA_SOURCE_DIR=${CMAKE_SOURCE_DIR} YRA_UI=headless ${T_ENV})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
endfunction()
include(GoogleTest)

if(YRA_BUILD_TESTS AND NOT TARGET yra_test_main)
  find_package(GTest REQUIRED)
  add_library(yra_test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/../tests/support/test_main.cpp)
  target_link_libraries(yra_test_main PUBLIC GTest::gmock GTest::gtest)
  # Compares a module's resource script with the resource table it registers with the host.
  add_library(yra_test_rc_script STATIC ${CMAKE_CURRENT_LIST_DIR}/../tests/support/rc_script.cpp)
  target_include_directories(yra_test_rc_script PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(yra_test_rc_script PUBLIC yra_platform_headers PRIVATE yrahost)
endif()
