# The runner compiled without its libraries (TESSIVAR_HOST_COMPILE_ONLY): the
# macOS cross build (make build-macos) compiles every source the macOS job
# builds into ffglrun, with zig's clang and our warnings, so a macOS-only or
# clang-only fault fails here; nothing on this machine has those libraries
# built for macOS, so nothing is linked. Each dependency is a target of the
# name the real one has, carrying only headers, from TESSIVAR_HOST_HEADERS
# (scripts/build-macos.sh fills it: Khronos' GL header, libpng, CLI11,
# nlohmann-json, cpp-httplib, libjpeg-turbo from this machine's packages, and
# the newest FFmpeg Debian carries, from scripts/ffmpeg-headers.sh).
if(NOT IS_DIRECTORY "${TESSIVAR_HOST_HEADERS}")
  message(FATAL_ERROR "TESSIVAR_HOST_COMPILE_ONLY needs TESSIVAR_HOST_HEADERS, a folder of the runner's "
                      "dependencies' headers (scripts/build-macos.sh makes it)")
endif()

function(tessivar_headers_only name)
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${TESSIVAR_HOST_HEADERS}")
endfunction()

foreach(target PNG::PNG CLI11::CLI11 nlohmann_json::nlohmann_json
               PkgConfig::LIBAV PkgConfig::HTTPLIB PkgConfig::TURBOJPEG)
  tessivar_headers_only(${target})
endforeach()
set(LIBAV_FOUND TRUE)
set(HTTPLIB_FOUND TRUE)
set(TURBOJPEG_FOUND TRUE)

# Nothing compiled here runs, and clang warns the same at any optimisation
# level; unoptimised, the runner compiles in a quarter less time.
add_compile_options(-O0)
