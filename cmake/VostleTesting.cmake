# Test helpers: GoogleTest built inside each build tree, one ctest test per
# test executable, gtest XML per run so the test script can count cases.
#
#   vw_add_gtest(<name> SOURCES <files...> LIBS <libs...>
#                [WINDOWS_ONLY] [NO_MAIN] [RUN_SERIAL] [TIMEOUT <s>]
#                [LABELS <l...>] [RESOURCE_LOCK <r...>] [ENVIRONMENT <k=v...>])
#   vw_add_test_program(<name> SOURCES <files...> LIBS <libs...>
#                [WINDOWS_ONLY] [GUI])
#   vw_add_script_test(<name> COMMAND <cmd...>
#                [WINDOWS_ONLY] [RUN_SERIAL] [TIMEOUT <s>] [WORKING_DIRECTORY <d>]
#                [LABELS <l...>] [RESOURCE_LOCK <r...>] [ENVIRONMENT <k=v...>])
#
# Test executables and helper programs land in ${CMAKE_BINARY_DIR}/bin, so a
# test starts its helpers from the folder of its own executable.
# Each test runs in its own empty folder under test-work/, so tests that write
# files do not collide when ctest runs them in parallel.
# Script tests get VW_TEST_XML: if they write a JUnit/gtest style XML file
# there, its test cases are counted one by one, otherwise the script counts as
# one test.

set(VW_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(VW_TEST_TIMEOUT 300 CACHE STRING "Default per-test timeout in seconds")
set(VW_TEST_RESULTS_DIR ${CMAKE_BINARY_DIR}/test-results)
set(VW_TEST_WORK_DIR ${CMAKE_BINARY_DIR}/test-work)
file(MAKE_DIRECTORY ${VW_TEST_RESULTS_DIR} ${VW_TEST_WORK_DIR})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VW_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)

# Windows programs under Wine see the Linux file system as drive Z:.
function(_vw_native_path out path)
  if(CMAKE_CROSSCOMPILING AND WIN32)
    set(${out} "Z:${path}" PARENT_SCOPE)
  else()
    set(${out} "${path}" PARENT_SCOPE)
  endif()
endfunction()

function(_vw_test_properties name)
  cmake_parse_arguments(PARSE_ARGV 1 T "RUN_SERIAL" "TIMEOUT" "LABELS;RESOURCE_LOCK;ENVIRONMENT")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${VW_TEST_TIMEOUT})
  endif()
  set(env ${T_ENVIRONMENT})
  if(VW_SANITIZE)
    list(APPEND env
      "ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  if(VW_SANITIZE_THREAD)
    list(APPEND env "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(env)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
  if(T_RUN_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL ON)
  endif()
endfunction()

function(vw_add_gtest name)
  cmake_parse_arguments(PARSE_ARGV 1 A "WINDOWS_ONLY;NO_MAIN;RUN_SERIAL" "TIMEOUT"
    "SOURCES;LIBS;LABELS;RESOURCE_LOCK;ENVIRONMENT")
  if(A_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vw_add_gtest(${name}): unknown arguments ${A_UNPARSED_ARGUMENTS}")
  endif()
  if(A_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  if(A_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${A_LIBS} gmock)
  else()
    target_link_libraries(${name} PRIVATE ${A_LIBS} gmock_main)
  endif()

  set(work ${VW_TEST_WORK_DIR}/${name})
  file(MAKE_DIRECTORY ${work})
  _vw_native_path(xml ${VW_TEST_RESULTS_DIR}/${name}.xml)
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${xml}
           WORKING_DIRECTORY ${work})
  set(extra)
  if(A_RUN_SERIAL)
    set(extra RUN_SERIAL)
  endif()
  _vw_test_properties(${name} ${extra} TIMEOUT "${A_TIMEOUT}" LABELS ${A_LABELS}
    RESOURCE_LOCK ${A_RESOURCE_LOCK}
    ENVIRONMENT ${A_ENVIRONMENT} "VW_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

function(vw_add_test_program name)
  cmake_parse_arguments(PARSE_ARGV 1 A "WINDOWS_ONLY;GUI" "" "SOURCES;LIBS")
  if(A_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vw_add_test_program(${name}): unknown arguments ${A_UNPARSED_ARGUMENTS}")
  endif()
  if(A_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(A_GUI AND WIN32)
    add_executable(${name} WIN32 ${A_SOURCES})
  else()
    add_executable(${name} ${A_SOURCES})
  endif()
  target_link_libraries(${name} PRIVATE ${A_LIBS})
endfunction()

function(vw_add_script_test name)
  cmake_parse_arguments(PARSE_ARGV 1 A "WINDOWS_ONLY;RUN_SERIAL" "TIMEOUT;WORKING_DIRECTORY"
    "COMMAND;LABELS;RESOURCE_LOCK;ENVIRONMENT")
  if(A_UNPARSED_ARGUMENTS OR NOT A_COMMAND)
    message(FATAL_ERROR "vw_add_script_test(${name}): needs COMMAND, unknown arguments ${A_UNPARSED_ARGUMENTS}")
  endif()
  if(A_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(NOT A_WORKING_DIRECTORY)
    set(A_WORKING_DIRECTORY ${VW_TEST_WORK_DIR}/${name})
    file(MAKE_DIRECTORY ${A_WORKING_DIRECTORY})
  endif()
  add_test(NAME ${name} COMMAND ${A_COMMAND} WORKING_DIRECTORY ${A_WORKING_DIRECTORY})
  set(env ${A_ENVIRONMENT}
    "VW_TEST_XML=${VW_TEST_RESULTS_DIR}/${name}.xml"
    "VW_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    "VW_BUILD_DIR=${CMAKE_BINARY_DIR}"
    "VW_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
    "VW_WINE_RUN=${PROJECT_SOURCE_DIR}/tools/wine-run.sh")
  set(extra)
  if(A_RUN_SERIAL)
    set(extra RUN_SERIAL)
  endif()
  _vw_test_properties(${name} ${extra} TIMEOUT "${A_TIMEOUT}" LABELS ${A_LABELS}
    RESOURCE_LOCK ${A_RESOURCE_LOCK} ENVIRONMENT ${env})
endfunction()
