# Native (Linux) configuration: unit tests, stand-ins, benchmarks.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

# Native tools: one folder under tools/ per tool (the stand-ins, the update
# server). A tool's main.cpp is the program; its other sources (those without
# a _win32 suffix) form a library of its own that the tests use too, so that
# they drive a stand-in without starting its program. tools/host is no tool:
# its library (the pseudo-terminal host, control lines, the mains' command
# line) is under every other. The tools stand on the runtime alone (exec).
# Folders whose sources are all Windows ones build only in the Windows
# configuration.
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
      target_link_libraries(tool_${tool} PUBLIC ts_exec)
      if(NOT tool STREQUAL "host")
        target_link_libraries(tool_${tool} PUBLIC tool_host)
      endif()
      target_include_directories(tool_${tool} PUBLIC ${CMAKE_SOURCE_DIR}/tools ${TS_VIEWS}/exec)
      list(APPEND TS_TOOL_LIBRARIES tool_${tool})
    endif()
    if(EXISTS ${dir}/main.cpp)
      add_executable(${tool} ${dir}/main.cpp)
      target_include_directories(${tool} PRIVATE ${CMAKE_SOURCE_DIR}/tools ${TS_VIEWS}/exec)
      if(library_sources)
        target_link_libraries(${tool} PRIVATE tool_${tool})
      else()
        target_link_libraries(${tool} PRIVATE ts_exec tool_host)
      endif()
      add_dependencies(native_tools ${tool})
    endif()
  endif()
endforeach()

# One test program per layer, unit_tests_<layer> from tests/unit/<layer>/,
# linked with the layer's library (and through it those below) and compiled
# against the layer's include view and the test folders of the layers it may
# use: a test cannot include a layer above its own, nor its fakes. The
# stand-in libraries go to the layers whose tests drive a stand-in.
set(TS_UNIT_TOOLS_wheel tool_standin_board)
set(TS_UNIT_TOOLS_drive tool_standin_board tool_standin_drive)
set(TS_UNIT_TOOLS_update tool_standin_board tool_update_server)
set(TS_UNIT_TOOLS_app tool_standin_board)
# Builds every test program (scripts/test.sh builds the sanitizer run with it).
add_custom_target(unit_tests)
foreach(layer ${TS_LAYERS})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/${layer}/*.cpp)
  if(NOT sources)
    continue()
  endif()
  set(target unit_tests_${layer})
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ts_${layer} GTest::gtest GTest::gtest_main)
  foreach(tool ${TS_UNIT_TOOLS_${layer}})
    if(TARGET ${tool})
      target_link_libraries(${target} PRIVATE ${tool})
    endif()
  endforeach()
  target_include_directories(${target} PRIVATE ${TS_VIEWS}/${layer} ${CMAKE_BINARY_DIR}/generated)
  foreach(folder ${layer} ${TS_LAYER_USES_${layer}})
    if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/unit/${folder})
      target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit/${folder})
    endif()
  endforeach()
  # Integration tests find the native tools through these.
  target_compile_definitions(${target} PRIVATE
    TS_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TS_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(${target} native_tools)
  add_dependencies(unit_tests ${target})
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endforeach()

# The stand-ins (board, its bootloader, drive) with the links that talk to
# them on real pseudo-terminals, once more under valgrind: any memory error or
# definite leak fails the test. Not under the sanitizers, which valgrind
# cannot run beside.
find_program(TS_VALGRIND valgrind)
if(TS_VALGRIND AND NOT TS_SANITIZE)
  set(TS_VALGRIND_FILTER_wheel "BoardOnPty.*:StandinBoard.*")
  set(TS_VALGRIND_FILTER_drive "DriveOnPty.*:StandinDrive.*:StandinDriveOnBus.*")
  set(TS_VALGRIND_FILTER_update "AvrdudeFlashTest.*")
  foreach(layer wheel drive update)
    add_test(NAME StandinsUnderValgrind.${layer}
             COMMAND ${TS_VALGRIND} -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite
                     $<TARGET_FILE:unit_tests_${layer}> --gtest_filter=${TS_VALGRIND_FILTER_${layer}})
    set_tests_properties(StandinsUnderValgrind.${layer} PROPERTIES TIMEOUT 300)
  endforeach()
endif()

# Benchmarks: one program per file; they print their figures and never fail a build.
file(GLOB TS_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src ${TS_BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tillerset_core ${TS_TOOL_LIBRARIES})
endforeach()
