# Windows (mingw-w64) configuration: Tillerset.exe, Windows-side tools, the e2e driver.
enable_language(RC)

# Tillerset.exe: the core library, the entry point and every resource script
# under src/ (each dialog's .rc sits beside the code that owns the dialog).
file(GLOB TS_RC_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*/*.rc)
add_executable(Tillerset WIN32 ${CMAKE_SOURCE_DIR}/src/app/winmain_win32.cpp ${TS_RC_SOURCES})
target_link_libraries(Tillerset PRIVATE tillerset_core shell32 comctl32 comdlg32 winmm gdi32 user32 advapi32)
target_include_directories(Tillerset PRIVATE ${CMAKE_SOURCE_DIR}/src/app)
# The manifest carries the version, so the build makes it beside the version header.
configure_file(${CMAKE_SOURCE_DIR}/src/app/tillerset.manifest.in ${CMAKE_BINARY_DIR}/generated/tillerset.manifest)
# windres does not see the icon and manifest as dependencies of the .rc.
file(GLOB TS_RC_INPUTS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/app/res/*.ico ${CMAKE_SOURCE_DIR}/src/app/resource.h)
list(APPEND TS_RC_INPUTS ${CMAKE_BINARY_DIR}/generated/tillerset.manifest
  ${CMAKE_BINARY_DIR}/generated/tillerset_version.h)
set_source_files_properties(${TS_RC_SOURCES} PROPERTIES OBJECT_DEPENDS "${TS_RC_INPUTS}")

# End-to-end driver: a console program that finds the program's windows,
# reads their texts and sends them input, one subcommand per call.
file(GLOB TS_DRIVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/driver/*.cpp)
add_executable(ts_driver ${TS_DRIVER_SOURCES})
target_link_libraries(ts_driver PRIVATE user32 gdi32 shell32 ole32 uuid setupapi)

# A windowless program that only waits: keeps Wine's services warm during a
# test run and plays a game executable for game detection (copied as game.exe).
add_executable(idle WIN32 ${CMAKE_SOURCE_DIR}/tests/e2e/idle/idle_win32.cpp)

# Windows-side tools: a folder under tools/ with _win32 sources builds here too,
# from all its sources except the _posix ones.
file(GLOB TS_TOOL_DIRS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tools/*)
foreach(dir ${TS_TOOL_DIRS})
  if(IS_DIRECTORY ${dir})
    get_filename_component(tool ${dir} NAME)
    file(GLOB win32_sources CONFIGURE_DEPENDS ${dir}/*_win32.cpp)
    if(win32_sources)
      file(GLOB tool_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
      list(FILTER tool_sources EXCLUDE REGEX "_posix\\.cpp$")
      add_executable(${tool} ${tool_sources})
      target_link_libraries(${tool} PRIVATE tillerset_core)
    endif()
  endif()
endforeach()
if(TARGET list_com_ports)
  target_link_libraries(list_com_ports PRIVATE setupapi)
endif()

# Benchmarks that also run on Windows. Only the ones named here are built, so a
# benchmark that needs POSIX cannot break this configuration.
set(TS_WINDOWS_BENCHES bench_semaphore bench_memory bench_advanced_lists CACHE STRING "bench/*.cpp programs built for Windows")
foreach(name ${TS_WINDOWS_BENCHES})
  if(EXISTS ${CMAKE_SOURCE_DIR}/bench/${name}.cpp)
    add_executable(${name} ${CMAKE_SOURCE_DIR}/bench/${name}.cpp)
    target_link_libraries(${name} PRIVATE tillerset_core)
  endif()
endforeach()

# A browser for the scenarios: the shell's "open" of an address starts it.
add_executable(recorder ${CMAKE_SOURCE_DIR}/tests/e2e/recorder/recorder_win32.cpp)

# The stand-in flasher (tools/test_flasher, portable): the scenarios put it
# where avrdude goes. Tests only, never packaged.
add_executable(test_flasher ${CMAKE_SOURCE_DIR}/tools/test_flasher/main.cpp)

# The wheel link's Windows serial channel against the stand-in board, for the
# serial scenarios (a console program; see its header for the commands).
add_executable(serialprobe ${CMAKE_SOURCE_DIR}/tests/e2e/serialprobe/serialprobe_win32.cpp)
target_link_libraries(serialprobe PRIVATE tillerset_core)

# The DirectInput stand-in for the game-controller scenarios: a dinput8.dll
# that scenarios put beside the program (WINEDLLOVERRIDES=dinput8=n). Built
# here, never packaged.
add_library(dinput8_double SHARED
  ${CMAKE_SOURCE_DIR}/tests/e2e/dinput_double/dinput_double_win32.cpp
  ${CMAKE_SOURCE_DIR}/tests/e2e/dinput_double/dinput8.def)
set_target_properties(dinput8_double PROPERTIES PREFIX "" OUTPUT_NAME dinput8)
target_link_libraries(dinput8_double PRIVATE dxguid uuid)
target_link_options(dinput8_double PRIVATE -static)
