# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads).
# Programs run through Wine (tests: CMAKE_CROSSCOMPILING_EMULATOR, below).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSIVAR_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TESSIVAR_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSIVAR_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSIVAR_MINGW}-windres)
set(CMAKE_OBJDUMP ${TESSIVAR_MINGW}-objdump)

# Libraries and headers only from the cross root (and from what we build
# for it under build/), programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TESSIVAR_MINGW} ${TESSIVAR_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# printf and friends from MinGW's own C99 implementation (%zu and the like),
# not the old msvcrt one.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")

# Every program and DLL carries the C++ runtime, libgcc and winpthread, so
# each drops alone into a folder and needs only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(TESSIVAR_WINE NAMES wine64 wine PATHS /usr/lib/wine)  # Debian keeps wine64 there
if(TESSIVAR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSIVAR_WINE})
endif()

# pkg-config must not offer the build machine's libraries (FFmpeg's, say):
# only what was built for Windows into TESSIVAR_WINDOWS_PREFIX. (Compile
# checks read this file again in the same process: they are handed the
# prefix, or they would point pkg-config at /lib/pkgconfig for everyone.)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSIVAR_WINDOWS_PREFIX)
set(ENV{PKG_CONFIG_LIBDIR} "${TESSIVAR_WINDOWS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
