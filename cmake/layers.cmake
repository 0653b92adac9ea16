# One static library per folder under src/ (ts_exec, ts_script, ...), in the
# order and with the dependencies of cmake/layers.txt. Each library compiles
# against an include folder of its own that holds links to its own folder and
# to the folders it may use, and nothing else: an include of a folder above it
# fails to build. Sources: every .cpp of the folder except the other
# platform's variants (and the Windows entry point, which the program adds).
#
# tillerset_core is all of them together, for the program, the tests, the
# tools and the benchmarks.

if(NOT TS_PLATFORM)
  message(FATAL_ERROR "layers.cmake needs TS_PLATFORM / TS_OTHER_PLATFORM")
endif()

file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/layers.txt TS_LAYER_LINES REGEX "^[a-z]+:")
set(TS_LAYERS "")
set(TS_VIEWS ${CMAKE_BINARY_DIR}/include_views)
add_library(tillerset_core INTERFACE)
target_include_directories(tillerset_core INTERFACE ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)

foreach(line ${TS_LAYER_LINES})
  string(REGEX MATCH "^([a-z]+):(.*)$" _ "${line}")
  set(layer ${CMAKE_MATCH_1})
  string(STRIP "${CMAKE_MATCH_2}" uses)
  separate_arguments(uses)
  if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/src/${layer})
    continue()
  endif()

  # The include view: src/<folder> links for the layer and what it may use.
  set(view ${TS_VIEWS}/${layer})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(folder ${layer} ${uses})
    if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/src/${folder})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${view}/${folder} SYMBOLIC)
    endif()
  endforeach()

  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${layer}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_${TS_OTHER_PLATFORM}\\.cpp$")
  list(FILTER sources EXCLUDE REGEX "/src/app/winmain_win32\\.cpp$")
  add_library(ts_${layer} STATIC ${sources})
  target_include_directories(ts_${layer} PRIVATE ${view} ${CMAKE_BINARY_DIR}/generated)
  foreach(folder ${uses})
    if(TARGET ts_${folder})
      target_link_libraries(ts_${layer} PUBLIC ts_${folder})
    endif()
  endforeach()
  target_link_libraries(tillerset_core INTERFACE ts_${layer})
  list(APPEND TS_LAYERS ${layer})
  set(TS_LAYER_USES_${layer} ${uses})
endforeach()

# What the platform gives each layer.
if(WIN32)
  target_link_libraries(ts_exec PUBLIC winmm)
  target_link_libraries(ts_ui PUBLIC comctl32 user32 gdi32)
  # DirectInput 8 (c_dfDIJoystick2 and the object GUIDs are static data of
  # dinput8 and dxguid), and COM/WMI for the XInput filter.
  target_link_libraries(ts_input PUBLIC dinput8 dxguid ole32 oleaut32 wbemuuid uuid gdi32 user32)
  target_link_libraries(ts_app PUBLIC comctl32 shell32 ws2_32 ole32 oleaut32 uuid)
  # The "Game Profile" dialog's "Browse..." (the standard open dialog).
  target_link_libraries(ts_profiles PUBLIC comdlg32)
  if(TARGET ts_update)
    target_link_libraries(ts_update PUBLIC ws2_32 shell32 winhttp)
  endif()
else()
  find_package(Threads REQUIRED)
  target_link_libraries(ts_exec PUBLIC Threads::Threads)
endif()
