# Cross-build for 32-bit Windows with Debian's mingw-w64, win32 threads.
# Older technicians' PCs run a 32-bit Windows on which the 64-bit exe does
# not start; this build gives them the same program, down to Windows XP SP3.
# The posix-thread compilers link winpthread, which imports GetTickCount64
# (Vista and later); the win32-thread ones do not, and the program uses
# Win32 threads only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZAV_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZAV_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZAV_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${ZAV_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZAV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# One exe that needs only the DLLs every Windows has (libgcc's DWARF unwinder
# included, so no libgcc_s_dw2-1.dll).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CTest runs the cross-built test programs under Wine (a 32-bit exe needs the
# 32-bit Wine, wine32:i386, beside the 64-bit one).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
