# GoogleTest from Debian's source package, built with this build's compiler (mingw for windows).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(QX48_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source folder")
add_subdirectory(${QX48_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()

# Each test program writes its GoogleTest results here; test.sh adds them up.
set(QX48_RESULTS_DIR "${CMAKE_BINARY_DIR}/test-results")
file(MAKE_DIRECTORY "${QX48_RESULTS_DIR}")

# Warnings are errors in our own code, not in third-party code.
function(qx48_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# qx48_add_gtest(NAME SOURCES a.cpp ... [LIBS lib ...] [TIMEOUT s])
# One CTest entry per test program: discovering the cases under Wine hung once.
function(qx48_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main)
  qx48_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  # Under Wine a path without a drive letter is relative to the program's working folder.
  set(results "${QX48_RESULTS_DIR}/${name}.xml")
  if(QX48_BUILD STREQUAL "windows")
    set(results "Z:${results}")
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "GTEST_OUTPUT=xml:${results}"
    TIMEOUT ${T_TIMEOUT})
endfunction()
