# Native (Linux) configuration: unit tests, stand-ins, benchmarks.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB TS_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${TS_UNIT_SOURCES})
target_link_libraries(unit_tests PRIVATE tillerset_core GTest::gtest GTest::gtest_main)
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit)
# Integration tests find the native tools through these.
target_compile_definitions(unit_tests PRIVATE
  TS_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TS_BINARY_DIR="${CMAKE_BINARY_DIR}")
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)

# Native tools: one executable per folder under tools/ that has no _win32 sources.
file(GLOB TS_TOOL_DIRS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tools/*)
foreach(dir ${TS_TOOL_DIRS})
  if(IS_DIRECTORY ${dir})
    get_filename_component(tool ${dir} NAME)
    file(GLOB tool_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(FILTER tool_sources EXCLUDE REGEX "_win32\\.cpp$")
    if(tool_sources)
      add_executable(${tool} ${tool_sources})
      target_link_libraries(${tool} PRIVATE tillerset_core)
      add_dependencies(unit_tests ${tool})
    endif()
  endif()
endforeach()

# Benchmarks: one program per file; they print their figures and never fail a build.
file(GLOB TS_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src ${TS_BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tillerset_core)
endforeach()
