# The Windows build under test: vexmor.exe and its runtime stand-ins are
# cross-compiled with mingw-w64 into windows/ of this build, and a second build
# of the whole-run tests starts them under wine. Without mingw-w64 or wine the
# Windows tests are reported as skipped.

option(VEXMOR_WINDOWS_TESTS
       "Build for Windows too and run the tests under wine when mingw-w64 and wine are there" ON)
find_program(VEXMOR_MINGW_CXX x86_64-w64-mingw32-g++)
find_program(VEXMOR_WINE wine)

if(NOT VEXMOR_WINDOWS_TESTS OR NOT VEXMOR_MINGW_CXX OR NOT VEXMOR_WINE)
  add_test(NAME Windows COMMAND ${CMAKE_COMMAND} -E echo
           "Windows tests skipped: they need mingw-w64 and wine (Debian: mingw-w64 wine)")
  set_tests_properties(Windows PROPERTIES SKIP_REGULAR_EXPRESSION "Windows tests skipped")
  return()
endif()

include(ExternalProject)
set(windows_dir ${CMAKE_BINARY_DIR}/windows)
ExternalProject_Add(vexmor_windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${windows_dir}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  INSTALL_COMMAND ""
  # The sources are the same as this build's: let make decide what is stale.
  BUILD_ALWAYS ON)

# One wine prefix for the whole test run, made before the first test needs it.
set(wine_prefix ${CMAKE_CURRENT_BINARY_DIR}/wine)
add_test(NAME Windows.prefix
         COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${wine_prefix} WINEDEBUG=-all
                 WINEDLLOVERRIDES=mscoree,mshtml= ${VEXMOR_WINE} wineboot --init)
set_tests_properties(Windows.prefix PROPERTIES FIXTURES_SETUP wine_prefix)

add_executable(vexmor_windows_tests
  child_process.cc
  golden.cc
  golden_test.cc
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
  VEXMOR_COMMAND_LINE_PROGRAM="${windows_dir}/tests/vexmor_command_line.exe")
add_dependencies(vexmor_windows_tests vexmor_windows)
gtest_discover_tests(vexmor_windows_tests TEST_PREFIX Windows. DISCOVERY_TIMEOUT 30
                     PROPERTIES FIXTURES_REQUIRED wine_prefix)
