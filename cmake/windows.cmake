# The deliverables, the test doubles and the Wine tests, all Windows ANSI programs. The i686
# build makes the deliverables in dist/; the x86_64 build of the same sources exists only to run
# the Wine tests on machines that cannot execute 32-bit x86 code.
#
# The deliverables link no C or C++ runtime at all and start at entry procedures of their own:
# Windows 95 and NT 4.0 refuse to load an image that imports a function their system DLLs lack,
# and msvcrt.dll is the compiler's, not the system's. They import only KERNEL32, USER32, GDI32
# and ADVAPI32 functions that both systems export (tools/platform-exports.tsv, checked by
# tools/check-deliverables). Nothing in them needs run-time support: no exceptions, RTTI,
# thread-safe statics (their guard alone once brought 150 KB and Vista-only imports), or
# constructors of globals, which nothing would run. The few memory helpers the compiler calls are
# ours (common/runtime_helpers_win.cpp); libgcc adds only arithmetic and stack-probe routines that
# call nothing. The i686 code carries no unwind tables; the x86_64 code keeps its SEH tables,
# without which that platform cannot walk the stack to the fault guard.
set(NVR_BARE_COMPILE -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-stack-protector
  -fno-tree-loop-distribute-patterns)
set(NVR_BARE_LINK)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # Code for the 386, the least processor Windows 95 runs on: the compiler's default target is
  # the Pentium Pro, whose cmov is an invalid-opcode fault on a 486, Pentium, K6 or 6x86. The
  # headers ask for Windows 4.0, held here rather than left to the linker's defaults.
  list(APPEND NVR_BARE_COMPILE -march=i386 -fno-asynchronous-unwind-tables -fno-unwind-tables)
  set(NVR_BARE_LINK -Wl,--major-os-version,4,--minor-os-version,0
    -Wl,--major-subsystem-version,4,--minor-subsystem-version,0)
endif()
set(NVR_BARE_LIBS user32 gdi32 advapi32 kernel32 gcc)
# A deliverable built without any runtime, started at its own entry procedure NAME (taking
# ARGUMENT_BYTES of arguments: the i686 stdcall symbol is decorated with them).
function(nvr_without_runtime target name argument_bytes)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(name _${name}@${argument_bytes})
  endif()
  target_compile_options(${target} PRIVATE ${NVR_BARE_COMPILE})
  target_link_options(${target} PRIVATE -nostdlib -Wl,-e,${name} ${NVR_BARE_LINK})
  target_link_libraries(${target} PRIVATE ${NVR_BARE_LIBS})
endfunction()
# Tests, doubles and examples keep the ordinary runtimes, linked statically.
set(NVR_STATIC_LINK -static -static-libgcc -static-libstdc++)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(DIST_DIR ${CMAKE_SOURCE_DIR}/dist)
else()
  set(DIST_DIR ${CMAKE_BINARY_DIR}/dist)
endif()

add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0400 WINVER=0x0400)
add_compile_options(${NVR_WARNINGS})
include(cmake/payload.cmake)

# After each build of TARGET, ships it to dist/ as NAME without symbols or debugging sections
# (a third of the size); the full file stays in the build folder for the debugger.
function(nvr_ship target name)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DIST_DIR}
    COMMAND ${CMAKE_STRIP} --strip-all -o ${DIST_DIR}/${name} $<TARGET_FILE:${target}>)
endfunction()

# nvrss32.scr: the screen saver.
add_executable(nvrss32 WIN32 ${SAVER_CORE} ${SAVER_GLUE} saver/resources/nvrss32.rc)
target_include_directories(nvrss32 PRIVATE ${NVR_INCLUDES})
# The module-definition file gives the program its one export, by name at ordinal 1.
target_link_options(nvrss32 PRIVATE ${CMAKE_SOURCE_DIR}/saver/resources/nvrss32.def)
set_property(TARGET nvrss32 APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/saver/resources/nvrss32.def)
# windres writes no dependency file: name what the resource script includes, so that a changed
# dialog, string table, icon or cursor rebuilds it.
file(GLOB SAVER_RESOURCE_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/saver/resources/*.rc
  ${CMAKE_SOURCE_DIR}/saver/resources/*.h ${CMAKE_SOURCE_DIR}/saver/resources/*.ico
  ${CMAKE_SOURCE_DIR}/saver/resources/*.cur)
set_source_files_properties(saver/resources/nvrss32.rc PROPERTIES OBJECT_DEPENDS "${SAVER_RESOURCE_PARTS}")
nvr_without_runtime(nvrss32 SaverEntry 0)
set_target_properties(nvrss32 PROPERTIES SUFFIX ".scr")
nvr_ship(nvrss32 nvrss32.scr)

# NPNVR.DLL: the browser plug-in, once it has sources of its own (the common ones alone are not).
file(GLOB PLUGIN_OWN CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/plugin/*.cpp)
if(PLUGIN_OWN)
  add_library(NPNVR SHARED ${PLUGIN_CORE} ${PLUGIN_GLUE} plugin/npnvr.rc plugin/npnvr.def)
  target_include_directories(NPNVR PRIVATE ${NVR_INCLUDES})
  nvr_without_runtime(NPNVR DllMain 12)
  set_source_files_properties(plugin/npnvr.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/plugin/resource_ids.h;${CMAKE_SOURCE_DIR}/plugin/placeholder.bmp")
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # The .def names the three stdcall exports undecorated, as the browser asks for them.
    target_link_options(NPNVR PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
  set_target_properties(NPNVR PROPERTIES PREFIX "" OUTPUT_NAME "NPNVR" SUFFIX ".DLL")
  nvr_ship(NPNVR NPNVR.DLL)
endif()

# nvr-setup.exe: our own setup program, which carries both deliverables packed in its resources
# and serves as their uninstaller too. Built without a runtime, as they are; the x86_64 build is
# the test copy that the Wine tests run where 32-bit code cannot. Only the i686 one ships.
if(TARGET NPNVR)
  file(GLOB SETUP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/installer/*.cpp)
  add_executable(nvr_setup WIN32 ${SETUP_SOURCES} saver/host/command_line.cpp
    common/runtime_helpers_win.cpp installer/setup.rc)
  target_include_directories(nvr_setup PRIVATE ${NVR_INCLUDES} ${NVR_PAYLOAD_DIR})
  file(GLOB SETUP_RESOURCE_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/installer/*.rc
    ${CMAKE_SOURCE_DIR}/installer/*_ids.h ${CMAKE_SOURCE_DIR}/installer/setup.manifest)
  set_source_files_properties(installer/setup.rc PROPERTIES OBJECT_DEPENDS
    "${SETUP_RESOURCE_PARTS};${NVR_PAYLOAD_DIR}/nvrss32.scr.packed;${NVR_PAYLOAD_DIR}/NPNVR.DLL.packed;${CMAKE_SOURCE_DIR}/saver/resources/nvrss32.ico")
  add_dependencies(nvr_setup nvr_payload)
  nvr_without_runtime(nvr_setup SetupEntry 0)
  set_target_properties(nvr_setup PROPERTIES OUTPUT_NAME nvr-setup)
  nvr_ship(nvr_setup nvr-setup.exe)
endif()

# GoogleTest, cross-built from the sources Debian's googletest package installs.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_link_options(gtest PUBLIC ${NVR_STATIC_LINK})

# Test doubles and tools: one folder each, with its own CMakeLists.txt.
file(GLOB DOUBLE_DIRS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/doubles/*/CMakeLists.txt)
foreach(f ${DOUBLE_DIRS})
  get_filename_component(d ${f} DIRECTORY)
  add_subdirectory(${d})
endforeach()
# Examples and demo tools, never shipped: one folder each too.
file(GLOB EXAMPLE_DIRS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*/CMakeLists.txt)
foreach(f ${EXAMPLE_DIRS})
  get_filename_component(d ${f} DIRECTORY)
  add_subdirectory(${d})
endforeach()

# Wine tests: one GoogleTest program; ctest runs each test alone, under Wine, with a time limit.
file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.cpp)
add_executable(wine_tests ${WINE_TEST_SOURCES})
target_include_directories(wine_tests PRIVATE ${NVR_INCLUDES} ${CMAKE_SOURCE_DIR}/tests/wine)
target_link_libraries(wine_tests PRIVATE gtest gtest_main user32 gdi32 advapi32 kernel32)
target_link_options(wine_tests PRIVATE ${NVR_STATIC_LINK})
add_dependencies(wine_tests nvrss32)
if(TARGET NPNVR)
  add_dependencies(wine_tests NPNVR)
endif()
get_property(NVR_DOUBLES GLOBAL PROPERTY NVR_DOUBLES)
if(NVR_DOUBLES)
  add_dependencies(wine_tests ${NVR_DOUBLES})
endif()
if(TARGET nvr_setup)
  add_dependencies(wine_tests nvr_setup)
endif()
include(GoogleTest)
gtest_add_tests(TARGET wine_tests SOURCES ${WINE_TEST_SOURCES} TEST_LIST WINE_TESTS)
# A test that cannot check what it is about on this platform says so and is counted as skipped.
set_tests_properties(${WINE_TESTS} PROPERTIES TIMEOUT 90 SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
# The tests that need two monitors, and the preview's, run on the two-monitor bed in each layout
# (label "monitors"; tools/run-tests); the Monitors tests run nowhere else.
set(NVR_MONITOR_TESTS ${WINE_TESTS})
list(FILTER NVR_MONITOR_TESTS INCLUDE REGEX "^(Monitors|Preview)\\.")
set_tests_properties(${NVR_MONITOR_TESTS} PROPERTIES LABELS monitors)
# The setup's tests of a 32-bit program on a 64-bit system: run again in a 64-bit prefix (label
# "wow64"; tools/run-tests), skipped elsewhere.
set(NVR_WOW64_TESTS ${WINE_TESTS})
list(FILTER NVR_WOW64_TESTS INCLUDE REGEX "^Setup\\.Wow64")
set_tests_properties(${NVR_WOW64_TESTS} PROPERTIES LABELS wow64)

# The shape of the shipped files (PE32 for i386, exports, imports), read from outside.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_test(NAME deliverables.shape COMMAND bash ${CMAKE_SOURCE_DIR}/tools/check-deliverables ${DIST_DIR}
    $<TARGET_FILE_DIR:nvrss32>)
  # The shipped probe export run in a CPU emulator, under each platform version: as a caller that
  # loads the saver as a library may find it (unrelocated, unbound, the caller's own bytes at the
  # saver's preferred addresses), and bound as a loader that binds imports leaves it, where the
  # answer must come from GetVersionExA (the process block then says platform 0, version 0.0).
  set(probe /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/emulate-export ${DIST_DIR}/nvrss32.scr DetermineOStype)
  foreach(row win95:1:4:0:0x40400 win98:1:4:10:0x4040A nt351:2:3:51:0x30333 nt40:2:4:0:0x30400 win7:2:6:1:0x30601)
    string(REPLACE ":" ";" row ${row})
    list(GET row 0 name)
    list(GET row 1 platform)
    list(GET row 2 major)
    list(GET row 3 minor)
    list(GET row 4 expected)
    foreach(fill 00 ff 0f85a007)
      add_test(NAME deliverables.probe_unbound.${name}.${fill} COMMAND ${probe} --fill ${fill}
        --os ${platform}.${major}.${minor} --expect eax=${expected} --expect popped=0)
    endforeach()
    # The record GetVersionExA fills: size, major, minor, build, platform (32-bit little-endian).
    set(record 94000000)
    foreach(n ${major} ${minor} 0 ${platform})
      math(EXPR n "${n} + 256" OUTPUT_FORMAT HEXADECIMAL)
      string(SUBSTRING ${n} 3 2 n)
      string(APPEND record ${n}000000)
    endforeach()
    add_test(NAME deliverables.probe_bound.${name} COMMAND ${probe} --bind --os 0.0.0
      --stub GetVersionExA=4:1:${record} --expect eax=${expected} --expect GetVersionExA.*arg1=148
      --expect popped=0)
  endforeach()
  # The plug-in's exports in the emulator, bound to a trace stub: results and stdcall clean-up of
  # the i686 code itself, on any machine. A table is SIZE (16 bits), VERSION (16 bits), zeros.
  set(plugin /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/emulate-export ${DIST_DIR}/NPNVR.DLL)
  string(REPEAT 00 56 zeros)
  foreach(row NP_GetEntryPoints:2b000000:3:4 NP_GetEntryPoints:2c000000:0:4
              NP_Initialize:34000001:8:4 NP_Initialize:33000000:3:4 NP_Initialize:3400ff00:0:4)
    string(REPLACE ":" ";" row ${row})
    list(GET row 0 export)
    list(GET row 1 head)
    list(GET row 2 result)
    list(GET row 3 popped)
    add_test(NAME deliverables.plugin.${export}.${head} COMMAND ${plugin} ${export} buf:${head}${zeros}
      --bind --stub OutputDebugStringA=4:0 --expect eax=${result} --expect popped=${popped})
  endforeach()
  add_test(NAME deliverables.plugin.NP_Shutdown COMMAND ${plugin} NP_Shutdown
    --bind --stub OutputDebugStringA=4:0 --expect eax=0 --expect popped=0)
  # The entry procedures are ours, not a runtime's: the plug-in's for load and unload (TRUE, its
  # three arguments removed), and the saver's up to our dispatch, which must get the module and
  # the command tail after the quoted program name (the command line sits in the first buffer).
  foreach(row attach:1:DisableThreadLibraryCalls detach:0:)
    string(REPLACE ":" ";" row "${row}")
    list(GET row 0 name)
    list(GET row 1 reason)
    list(GET row 2 calls)
    add_test(NAME deliverables.plugin.entry_${name} COMMAND ${plugin} @entry 0x10000000 ${reason} 0
      --bind --stub DisableThreadLibraryCalls=4:1 --expect eax=1 --expect popped=12 --expect calls=${calls})
  endforeach()
  string(HEX "\"C:\\WINDOWS\\SYSTEM\\NVRSS32.SCR\" /s" command_line)
  add_test(NAME deliverables.saver_entry COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/emulate-export
    ${DIST_DIR}/nvrss32.scr @entry buf:${command_line}00 --bind --stub GetCommandLineA=0:0x7fa00000
    --stub CharNextA=4:arg1+1 --stub GetModuleHandleA=4:0x400000
    --stop-at DispatchCommandLine --symbols $<TARGET_FILE:nvrss32>
    --expect stop.arg1=0x400000 --expect stop.arg2=0x7fa00020 --expect stop.*arg2=0x732f)
endif()

# Benchmarks: built with the rest, run by `make bench`. They share the Wine tests' harness.
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_win.cpp)
file(GLOB NVR_HARNESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/harness*.cpp)
foreach(src ${BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${NVR_HARNESS_SOURCES})
  target_include_directories(${name} PRIVATE ${NVR_INCLUDES} ${CMAKE_SOURCE_DIR}/tests/wine)
  target_link_libraries(${name} PRIVATE gtest user32 gdi32 advapi32 kernel32)
  target_link_options(${name} PRIVATE ${NVR_STATIC_LINK})
endforeach()

# The bitmap reader is exercised directly by the Wine tests and its benchmark: link its sources in.
set(NVR_DIB_SOURCES saver/bridge/dib_reader.cpp saver/bridge/dib_win.cpp)
target_sources(wine_tests PRIVATE ${NVR_DIB_SOURCES})
if(TARGET dib_bench_win)
  target_sources(dib_bench_win PRIVATE ${NVR_DIB_SOURCES})
endif()
