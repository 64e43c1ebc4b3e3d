# Helpers built for Windows that the Windows tests (windows_tests.cmake) start or
# load under wine, next to vexmor.exe and the runtime stand-ins.

# A library that exports none of the runtime's entry points.
add_library(vexmor_foreign_library SHARED foreign_library.cc)

# The test double without one of its entry points.
add_library(velmora_gap SHARED ../runtimes/test_double.cc velmora_gap.def)
target_include_directories(velmora_gap PRIVATE ${CMAKE_SOURCE_DIR})

# Starts a program with a command line given whole.
add_executable(vexmor_command_line command_line_win.cc)

# Tells how other programs may share a file that vexmor holds open.
add_executable(vexmor_share_probe share_probe_win.cc)

set(helpers vexmor_foreign_library velmora_gap vexmor_command_line vexmor_share_probe)
foreach(helper ${helpers})
  target_compile_options(${helper} PRIVATE ${VEXMOR_WARNINGS})
endforeach()
set_target_properties(${helpers} PROPERTIES
  PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
