# Native (Linux) configuration: unit tests, stand-ins, benchmarks.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB_RECURSE TS_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${TS_UNIT_SOURCES})
target_link_libraries(unit_tests PRIVATE tillerset_core GTest::gtest GTest::gtest_main)
foreach(layer exec script wheel input drive update app)
  target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit/${layer})
endforeach()
# Integration tests find the native tools through these.
target_compile_definitions(unit_tests PRIVATE
  TS_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TS_BINARY_DIR="${CMAKE_BINARY_DIR}")
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)

# The stand-ins (board, its bootloader, drive) with the links that talk to
# them on real pseudo-terminals, once more under valgrind: any memory error or
# definite leak fails the test. Not under the sanitizers, which valgrind
# cannot run beside.
find_program(TS_VALGRIND valgrind)
if(TS_VALGRIND AND NOT TS_SANITIZE)
  add_test(NAME StandinsUnderValgrind
           COMMAND ${TS_VALGRIND} -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite
                   $<TARGET_FILE:unit_tests>
                   --gtest_filter=BoardOnPty.*:DriveOnPty.*:StandinBoard.*:StandinDrive.*:StandinDriveOnBus.*:AvrdudeFlashTest.*)
  set_tests_properties(StandinsUnderValgrind PROPERTIES TIMEOUT 300)
endif()

# Native tools: one folder under tools/ per tool (the stand-ins, the update
# server). A tool's main.cpp is the program; its other sources (those without
# a _win32 suffix) form a library of its own that the tests use too, so that
# they drive a stand-in without starting its program. Folders whose sources
# are all Windows ones build only in the Windows configuration.
set(TS_TOOL_LIBRARIES "")
# Every native tool, for the end-to-end run to build before its scenarios.
add_custom_target(native_tools)
file(GLOB TS_TOOL_DIRS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tools/*)
foreach(dir ${TS_TOOL_DIRS})
  if(IS_DIRECTORY ${dir})
    get_filename_component(tool ${dir} NAME)
    file(GLOB tool_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(FILTER tool_sources EXCLUDE REGEX "_win32\\.cpp$")
    set(library_sources ${tool_sources})
    list(FILTER library_sources EXCLUDE REGEX "/main\\.cpp$")
    if(library_sources)
      add_library(tool_${tool} STATIC ${library_sources})
      target_link_libraries(tool_${tool} PUBLIC tillerset_core)
      target_include_directories(tool_${tool} PUBLIC ${CMAKE_SOURCE_DIR}/tools)
      list(APPEND TS_TOOL_LIBRARIES tool_${tool})
    endif()
    if(EXISTS ${dir}/main.cpp)
      add_executable(${tool} ${dir}/main.cpp)
      target_include_directories(${tool} PRIVATE ${CMAKE_SOURCE_DIR}/tools)
      if(library_sources)
        target_link_libraries(${tool} PRIVATE tool_${tool})
      else()
        target_link_libraries(${tool} PRIVATE tillerset_core)
      endif()
      add_dependencies(unit_tests ${tool})
      add_dependencies(native_tools ${tool})
    endif()
  endif()
endforeach()
target_link_libraries(unit_tests PRIVATE ${TS_TOOL_LIBRARIES})

# Benchmarks: one program per file; they print their figures and never fail a build.
file(GLOB TS_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src ${TS_BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tillerset_core ${TS_TOOL_LIBRARIES})
endforeach()
