# Cross-building the macOS bundles on Linux (make build-macos), one
# architecture per build tree (TESSIVAR_MACOS_ARCH: x86_64 or arm64); the
# universal bundles are put together from the two trees afterwards.
#   compile: zig's clang, with Apple's libc headers and libc++ for macOS 11;
#   link:    Debian's ld64.lld, against zig's libSystem stub and the libc++
#            archives zig built for the architecture, with an export list
#            (zig's own Mach-O linker takes none, and the static libc++
#            would leak thousands of std symbols out of every bundle).
# scripts/macos-toolchain.sh makes TESSIVAR_MACOS_TOOLCHAIN: the compiler
# wrappers and the LLVM tools in bin/, the archives in ARCH/, libSystem.tbd.
# The modules are built and linked; ffglrun is compiled but not linked
# (TESSIVAR_HOST_COMPILE_ONLY, cmake/HostHeadersOnly.cmake): nothing here has
# its libraries for macOS, and nothing here could run it.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20.1)  # Darwin 20: macOS 11
set(CMAKE_SYSTEM_PROCESSOR ${TESSIVAR_MACOS_ARCH})
set(CMAKE_OSX_ARCHITECTURES ${TESSIVAR_MACOS_ARCH} CACHE STRING "One architecture per cross-build tree")
# Compile checks run again inside try_compile, which sees only what is listed.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSIVAR_MACOS_ARCH TESSIVAR_MACOS_TOOLCHAIN)
if(NOT TESSIVAR_MACOS_ARCH MATCHES "^(x86_64|arm64)$" OR NOT EXISTS "${TESSIVAR_MACOS_TOOLCHAIN}/stamp")
  message(FATAL_ERROR "macOS cross build: TESSIVAR_MACOS_ARCH (x86_64 or arm64) and TESSIVAR_MACOS_TOOLCHAIN "
                      "(made by scripts/macos-toolchain.sh) are needed; make build-macos sets both")
endif()

# The oldest macOS a bundle loads into, for a project (a plugin author's)
# that names none; ours sets it before project().
if(NOT CMAKE_OSX_DEPLOYMENT_TARGET)
  set(CMAKE_OSX_DEPLOYMENT_TARGET 11.0 CACHE STRING "Oldest macOS the modules load into")
endif()

set(tools ${TESSIVAR_MACOS_TOOLCHAIN}/bin)
set(CMAKE_C_COMPILER ${tools}/${TESSIVAR_MACOS_ARCH}-macos-cc)
set(CMAKE_CXX_COMPILER ${tools}/${TESSIVAR_MACOS_ARCH}-macos-c++)
set(CMAKE_AR ${tools}/llvm-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${tools}/llvm-ranlib CACHE FILEPATH "")
set(CMAKE_LINKER ${tools}/ld64.lld CACHE FILEPATH "")
set(CMAKE_NM ${tools}/llvm-nm CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${tools}/llvm-objdump CACHE FILEPATH "")
# Compile checks stop at an object: linking a program is nothing a module needs.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# The bundle link rule (ld64.lld called directly) replaces the platform's.
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/macos-cross-rules.cmake)

# Nothing of the build machine's: no headers, libraries or packages.
set(CMAKE_FIND_ROOT_PATH ${TESSIVAR_MACOS_TOOLCHAIN})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${TESSIVAR_MACOS_TOOLCHAIN}/no-pkgconfig")
