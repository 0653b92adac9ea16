# Cross-compile Tillerset.exe with Debian's mingw-w64 (posix threads flavour).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TS_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TS_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TS_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TS_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TS_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A self-contained exe: no libstdc++/libgcc/winpthread DLLs next to it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
