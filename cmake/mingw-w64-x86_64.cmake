# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain (g++-mingw-w64-x86-64-posix).
# Used by scripts/windows.sh; XLSDB_WINDOWS_DEPS names the prefix its libzip and pugixml went into.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(XLSDB_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${XLSDB_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${XLSDB_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${XLSDB_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${XLSDB_MINGW})
if(DEFINED ENV{XLSDB_WINDOWS_DEPS})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{XLSDB_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib from libz-mingw-w64-dev, linked in like the rest.
set(ZLIB_USE_STATIC_LIBS ON)
# One self-contained .exe: the C and C++ runtimes and winpthreads linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Tests run the programs through Wine.
# Tests run the programs through Wine (Debian's wine64 keeps its loader out of PATH).
find_program(XLSDB_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(XLSDB_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${XLSDB_WINE64})
endif()
