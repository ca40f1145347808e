# Link rules for the macOS cross build (cmake/macos-cross.cmake): a bundle is
# linked by ld64.lld itself, so linker options arrive without a compiler
# driver's -Wl, wrapping (target_link_options spells them LINKER:...).
# (zig takes no -Wl,-v, which CMake adds to see the compiler's defaults.)
set(CMAKE_C_VERBOSE_FLAG "-v")
set(CMAKE_CXX_VERBOSE_FLAG "-v")
set(arch ${TESSIVAR_MACOS_ARCH})
set(lib ${TESSIVAR_MACOS_TOOLCHAIN})
set(CMAKE_CXX_LINKER_WRAPPER_FLAG " ")
set(CMAKE_CXX_LINKER_WRAPPER_FLAG_SEP)
set(CMAKE_CXX_LINK_FLAGS "")
set(CMAKE_SHARED_MODULE_CREATE_CXX_FLAGS "")
# -platform_version: the oldest macOS, then the SDK the headers are from (11).
set(CMAKE_CXX_CREATE_SHARED_MODULE
  "<CMAKE_LINKER> -arch ${arch} -platform_version macos ${CMAKE_OSX_DEPLOYMENT_TARGET} 11.0 -bundle -dead_strip <LINK_FLAGS> -o <TARGET> <OBJECTS> <LINK_LIBRARIES> ${lib}/${arch}/libc++.a ${lib}/${arch}/libc++abi.a ${lib}/libSystem.tbd")
