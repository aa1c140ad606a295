# Test programs are console executables run under Wine. One ctest entry runs one
# program; test suites that need a process of their own (the library is a
# process-wide singleton, and fatal paths end the process) are listed under
# SCENARIOS and get an entry each, the main entry running everything else.
#
# Scenario entries start the library and open its main window, so they never
# run at the same time as one another; WINDOW puts the main entry under the
# same rule.
#
# vexil_add_test(NAME name SOURCES ... [LIBS ...] [SCENARIOS Suite ...]
#                [ONLY_SCENARIOS] [WINDOW] [TIMEOUT seconds] [ARGS ...])

find_library(GTEST_LIBRARY gtest PATHS ${VEXIL_DEPS}/lib NO_DEFAULT_PATH REQUIRED)
add_library(vexil_gtest INTERFACE)
target_include_directories(vexil_gtest INTERFACE ${VEXIL_DEPS}/include)
target_link_libraries(vexil_gtest INTERFACE ${GTEST_LIBRARY})

set(VEXIL_WINE_ENV
  "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "LANG=ja_JP.UTF-8"
  "LC_ALL=ja_JP.UTF-8")

function(vexil_add_test)
  cmake_parse_arguments(T "ONLY_SCENARIOS;WINDOW" "NAME;TIMEOUT" "SOURCES;LIBS;SCENARIOS;ARGS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
  target_compile_options(${T_NAME} PRIVATE ${VEXIL_WARNINGS})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} vexil_test_support vexil_gtest vexil)
  set(workdir ${CMAKE_BINARY_DIR}/testrun/${T_NAME})
  file(MAKE_DIRECTORY ${workdir})

  set(entries)
  set(exclude)
  foreach(suite IN LISTS T_SCENARIOS)
    list(APPEND entries "${T_NAME}.${suite}|--gtest_filter=${suite}.*|window")
    list(APPEND exclude "${suite}.*")
  endforeach()
  if(NOT T_ONLY_SCENARIOS)
    if(exclude)
      list(JOIN exclude ":" excluded)
      list(APPEND entries "${T_NAME}|--gtest_filter=-${excluded}|${T_WINDOW}")
    else()
      list(APPEND entries "${T_NAME}||${T_WINDOW}")
    endif()
  endif()

  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 test_name)
    list(GET parts 1 filter)
    list(GET parts 2 window)
    add_test(NAME ${test_name}
      COMMAND ${VEXIL_WINE_LOADER} $<TARGET_FILE:${T_NAME}> ${filter} ${T_ARGS}
      WORKING_DIRECTORY ${workdir})
    set_tests_properties(${test_name} PROPERTIES
      TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "${VEXIL_WINE_ENV}")
    if(window)
      set_tests_properties(${test_name} PROPERTIES RESOURCE_LOCK main_window)
    endif()
  endforeach()
endfunction()

# Windows path of a file in the build tree, as a test program running under Wine sees it.
# (Wine maps the Unix root to drive Z:, and Windows calls take forward slashes.)
function(vexil_windows_path out path)
  set(${out} "Z:${path}" PARENT_SCOPE)
endfunction()
