# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZAV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZAV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZAV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# One exe that needs only the DLLs every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs the cross-built test programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
