# The Windows build under test: the windows preset (vexmor.exe and the runtime
# stand-ins, cross-compiled with mingw-w64) is built into windows/ of this build,
# with the helpers of windows_helpers.cmake, and a second build of the whole-run
# tests starts them under wine.
#
# VEXMOR_WINDOWS_TESTS: AUTO runs them when mingw-w64 and wine are there and
# reports them as skipped otherwise; ON requires the two; OFF skips them.

set(VEXMOR_WINDOWS_TESTS AUTO CACHE STRING "Test the Windows build under wine: AUTO, ON or OFF")
set_property(CACHE VEXMOR_WINDOWS_TESTS PROPERTY STRINGS AUTO ON OFF)
find_program(VEXMOR_MINGW_CXX x86_64-w64-mingw32-g++)
find_program(VEXMOR_WINE wine)

set(missing "")
if(NOT VEXMOR_MINGW_CXX)
  list(APPEND missing mingw-w64)
endif()
if(NOT VEXMOR_WINE)
  list(APPEND missing wine)
endif()
if(VEXMOR_WINDOWS_TESTS STREQUAL "ON" AND missing)
  message(FATAL_ERROR "The Windows tests need ${missing} (Debian: apt-get install ${missing})")
endif()
if(VEXMOR_WINDOWS_TESTS STREQUAL "OFF" OR missing)
  if(missing)
    set(why "they need ${missing}")
  else()
    set(why "VEXMOR_WINDOWS_TESTS is OFF")
  endif()
  add_test(NAME Windows COMMAND ${CMAKE_COMMAND} -E echo "Windows tests skipped: ${why}")
  set_tests_properties(Windows PROPERTIES SKIP_REGULAR_EXPRESSION "Windows tests skipped")
  return()
endif()

include(ExternalProject)
set(windows_dir ${CMAKE_BINARY_DIR}/windows)
ExternalProject_Add(vexmor_windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${windows_dir}
  CONFIGURE_COMMAND ${CMAKE_COMMAND} --preset windows -S <SOURCE_DIR> -B <BINARY_DIR>
                    -G ${CMAKE_GENERATOR} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
                    -DVEXMOR_BUILD_TESTS=ON
  INSTALL_COMMAND ""
  # The sources are this build's own: let the Windows build decide what is stale.
  BUILD_ALWAYS ON)

# One wine prefix for the whole test run, made before the first test needs it.
set(wine_prefix ${CMAKE_CURRENT_BINARY_DIR}/wine)
# Its wine server, in a prefix folder made first, is started once (after any
# left from an earlier run is stopped) and kept until the last test is done, so that the tests, two at a
# time, never start a program while a server is on its way out. The server is
# detached from the test's output, which ctest waits on, and so is wineboot,
# whose helper processes live as long as the server.
get_filename_component(wine_dir ${VEXMOR_WINE} DIRECTORY)
find_program(VEXMOR_WINESERVER NAMES wineserver wineserver64
             HINTS ${wine_dir} /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine)
set(wine_env WINEPREFIX=${wine_prefix} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
add_test(NAME Windows.prefix
         COMMAND ${CMAKE_COMMAND} -E env ${wine_env} sh -c
                 "mkdir -p '${wine_prefix}' && { '${VEXMOR_WINESERVER}' -k 2>/dev/null; '${VEXMOR_WINESERVER}' -p </dev/null >/dev/null 2>&1 && '${VEXMOR_WINE}' wineboot --init </dev/null >/dev/null 2>&1; }")
set_tests_properties(Windows.prefix PROPERTIES FIXTURES_SETUP wine_prefix)
add_test(NAME Windows.prefix.stop
         COMMAND ${CMAKE_COMMAND} -E env ${wine_env} ${VEXMOR_WINESERVER} -k)
set_tests_properties(Windows.prefix.stop PROPERTIES FIXTURES_CLEANUP wine_prefix)

add_executable(vexmor_windows_tests
  call_log.cc
  child_process.cc
  golden.cc
  golden_test.cc
  shutdown_test.cc
  simulated_server_test.cc
  transcript_test.cc
  windows_test.cc
)
target_include_directories(vexmor_windows_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(vexmor_windows_tests PRIVATE GTest::gtest_main)
target_compile_options(vexmor_windows_tests PRIVATE ${VEXMOR_WARNINGS})
target_compile_definitions(vexmor_windows_tests PRIVATE
  VEXMOR_WINE="${VEXMOR_WINE}"
  VEXMOR_WINE_PREFIX="${wine_prefix}"
  VEXMOR_PROGRAM="${windows_dir}/vexmor.exe"
  VEXMOR_SIMULATED_LIBRARY="${windows_dir}/velmora.dll"
  VEXMOR_DOUBLE_PROGRAM="${windows_dir}/double/vexmor.exe"
  VEXMOR_DOUBLE_LIBRARY="${windows_dir}/double/velmora.dll"
  VEXMOR_FOREIGN_LIBRARY="${windows_dir}/tests/vexmor_foreign_library.dll"
  VEXMOR_GAP_LIBRARY="${windows_dir}/tests/velmora_gap.dll"
  VEXMOR_COMMAND_LINE_PROGRAM="${windows_dir}/tests/vexmor_command_line.exe"
  VEXMOR_SHARE_PROBE="${windows_dir}/tests/vexmor_share_probe.exe")
add_dependencies(vexmor_windows_tests vexmor_windows)
gtest_discover_tests(vexmor_windows_tests TEST_PREFIX Windows. DISCOVERY_TIMEOUT 30
                     PROPERTIES FIXTURES_REQUIRED wine_prefix)
