# Cross-build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64).
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The executables link the C++ runtime and winpthread statically, so quorvel.exe runs on its own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORVEL_MINGW_PREFIX x86_64-w64-mingw32)

# The posix thread model (std::thread and std::mutex for GoogleTest) when it is installed.
find_program(QUORVEL_MINGW_CXX NAMES ${QUORVEL_MINGW_PREFIX}-g++-posix ${QUORVEL_MINGW_PREFIX}-g++
             REQUIRED)
find_program(QUORVEL_MINGW_CC NAMES ${QUORVEL_MINGW_PREFIX}-gcc-posix ${QUORVEL_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_CXX})
if(QUORVEL_MINGW_CC)
  set(CMAKE_C_COMPILER ${QUORVEL_MINGW_CC})
endif()
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests built here run under Wine when one is installed.
find_program(QUORVEL_WINE NAMES wine64 wine)
if(QUORVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEL_WINE})
endif()
