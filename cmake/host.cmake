# Native build of the platform-free code: unit tests under ASan and UBSan, and libFuzzer targets.
set(NVR_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
add_compile_options(${NVR_WARNINGS})

add_library(saver_core STATIC ${SAVER_CORE})
target_include_directories(saver_core PUBLIC ${NVR_INCLUDES})
target_compile_options(saver_core PUBLIC ${NVR_SANITIZE})
target_link_options(saver_core PUBLIC ${NVR_SANITIZE})

if(PLUGIN_CORE)
  add_library(plugin_core STATIC ${PLUGIN_CORE})
  target_include_directories(plugin_core PUBLIC ${NVR_INCLUDES})
  target_compile_options(plugin_core PUBLIC ${NVR_SANITIZE})
  target_link_options(plugin_core PUBLIC ${NVR_SANITIZE})
endif()

# The setup program's decisions: a core of their own, since neither deliverable carries them.
nvr_sources(SETUP_CORE installer)
list(FILTER SETUP_CORE EXCLUDE REGEX "_win\\.cpp$")
add_library(setup_core STATIC ${SETUP_CORE})
target_include_directories(setup_core PUBLIC ${NVR_INCLUDES})
target_compile_options(setup_core PUBLIC ${NVR_SANITIZE})
target_link_options(setup_core PUBLIC ${NVR_SANITIZE})

find_package(GTest REQUIRED)
file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE saver_core setup_core GTest::gtest GTest::gtest_main)
if(TARGET plugin_core)
  target_link_libraries(unit_tests PRIVATE plugin_core)
endif()
include(GoogleTest)
gtest_discover_tests(unit_tests)

# The install script's decisions, with stand-ins for the package tools: no network.
add_test(NAME scripts.install_deps COMMAND bash ${CMAKE_SOURCE_DIR}/tests/scripts/install_deps_test.sh)

# Fuzz targets: each fuzz/NAME.cpp is a libFuzzer program over the platform-free sources.
# `make test` runs each for a bounded time from its seed corpus; `make fuzz` as long as asked.
set(FUZZ_SECONDS 60 CACHE STRING "seconds each fuzz target runs under ctest")
file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
# The common folder's platform-free sources belong to both cores: each is built in once.
set(CORE_SOURCES ${SAVER_CORE} ${PLUGIN_CORE} ${SETUP_CORE})
list(REMOVE_DUPLICATES CORE_SOURCES)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  foreach(src ${FUZZ_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(fuzz_${name} ${src} ${CORE_SOURCES})
    target_include_directories(fuzz_${name} PRIVATE ${NVR_INCLUDES})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    set(corpus ${CMAKE_BINARY_DIR}/corpus/${name})
    add_test(NAME fuzz_${name}
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
              ${CMAKE_SOURCE_DIR}/tools/run-fuzz $<TARGET_FILE:fuzz_${name}> ${name} ${corpus} ${FUZZ_SECONDS})
    set_tests_properties(fuzz_${name} PROPERTIES TIMEOUT 600 LABELS fuzz)
  endforeach()
endif()
