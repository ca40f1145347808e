# add_ffgl_plugin(NAME SOURCES src... [LIBRARIES lib...] [STRICT_WARNINGS]
#                 [BUNDLE_IDENTIFIER id] [EXTRA_EXPORTS symbol...])
#
# Makes one loadable FFGL module the way every host expects it:
#   - Linux: NAME.so with no "lib" prefix; macOS: NAME.bundle (x86_64 and
#     arm64 unless CMAKE_OSX_ARCHITECTURES says otherwise, with the
#     Info.plist of a loadable bundle); Windows: NAME.dll carrying its C++
#     runtime, so it drops alone into a folder;
#   - hidden visibility, and only the host-facing entry points exported
#     (plugMain, SetLogCallback and the global operations: FFGLExports.cmake);
#   - linked so that an undefined symbol fails the build, not the host's load.
# The entry point (plugMain) comes from the Tessivar::entry object library, so
# a module needs nothing but its plugin class and its information record.
# Link Tessivar::quickstart for the quick-start framework, Tessivar::gl for
# the GL toolkit alone.
#
# This file serves our own tree and, installed beside TessivarConfig.cmake,
# any project that finds the kit with find_package(Tessivar):
#   STRICT_WARNINGS    our warning flags with warnings as errors; our own
#                      modules always get them, a plugin author's only when
#                      asked, since a newer compiler's new warning must not
#                      break someone else's build
#   BUNDLE_IDENTIFIER  macOS: the bundle's reverse-DNS identifier (default
#                      TESSIVAR_BUNDLE_ID_PREFIX.NAME)
#   EXTRA_EXPORTS      test modules only: further C symbols by plain name
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/TessivarWarnings.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/FFGLExports.cmake)

function(add_ffgl_plugin name)
  cmake_parse_arguments(ARG "STRICT_WARNINGS" "BUNDLE_IDENTIFIER" "SOURCES;LIBRARIES;EXTRA_EXPORTS" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_ffgl_plugin(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "add_ffgl_plugin(${name}): no SOURCES")
  endif()
  add_library(${name} MODULE ${ARG_SOURCES} $<TARGET_OBJECTS:Tessivar::entry>)
  target_link_libraries(${name} PRIVATE Tessivar::host ${ARG_LIBRARIES})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(APPLE)
    # A bundle for every architecture the build makes (x86_64 and arm64 in
    # one build on a Mac, one each in the cross build), with an Info.plist of
    # its own: package type BNDL, an identifier, the oldest macOS.
    if(NOT CMAKE_OSX_ARCHITECTURES)
      set_target_properties(${name} PROPERTIES OSX_ARCHITECTURES "x86_64;arm64")
    endif()
    set(minimum ${CMAKE_OSX_DEPLOYMENT_TARGET})
    if(NOT minimum)
      # Without a deployment target the compiler would build for the macOS it
      # runs on, and the bundle would not load on an older one: the kit's own.
      set(minimum ${TESSIVAR_OSX_DEPLOYMENT_TARGET})
      target_compile_options(${name} PRIVATE -mmacosx-version-min=${minimum})
      target_link_options(${name} PRIVATE -mmacosx-version-min=${minimum})
    endif()
    set(identifier ${ARG_BUNDLE_IDENTIFIER})
    if(NOT identifier)
      set(identifier ${TESSIVAR_BUNDLE_ID_PREFIX}.${name})
    endif()
    set(version ${PROJECT_VERSION})
    if(NOT version)
      set(version 1.0)
    endif()
    # add_ffgl_plugin's values go in here; CMake fills in the executable's
    # name when it copies the file into the bundle.
    configure_file(${TESSIVAR_CMAKE_DIR}/BundleInfo.plist.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.Info.plist.in @ONLY)
    set_target_properties(${name} PROPERTIES
      BUNDLE TRUE
      BUNDLE_EXTENSION bundle
      MACOSX_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_BINARY_DIR}/${name}.Info.plist.in)
    # Exports from a list, so the static C++ runtime's symbols, visible by
    # default, stay inside.
    ffgl_export_file(exp ${name} MACHO EXTRA ${ARG_EXTRA_EXPORTS})
    target_link_options(${name} PRIVATE LINKER:-exported_symbols_list,${exp} LINKER:-undefined,error)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${exp})
  elseif(WIN32)
    # Exports by plain name from a .def file.
    ffgl_export_file(def ${name} PE EXTRA ${ARG_EXTRA_EXPORTS})
    target_sources(${name} PRIVATE ${def})
    if(MSVC)
      # The static C++ runtime, as the kit's libraries were built with (its
      # linker fails on undefined symbols anyway).
      set_target_properties(${name} PROPERTIES MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    else()
      target_link_options(${name} PRIVATE -static -Wl,--no-undefined)
    endif()
  else()
    ffgl_export_file(map ${name} ELF EXTRA ${ARG_EXTRA_EXPORTS})
    target_link_options(${name} PRIVATE -Wl,-z,defs -Wl,--version-script=${map})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${map})
  endif()
  # TESSIVAR_STRICT_WARNINGS is set for our own tree only (its top
  # CMakeLists.txt), so it reaches no project that adds ours as a subfolder.
  if(ARG_STRICT_WARNINGS OR TESSIVAR_STRICT_WARNINGS)
    tessivar_warnings(${name})
  endif()
endfunction()
set(TESSIVAR_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "")
# macOS bundle identifiers: PREFIX.NAME.
set(TESSIVAR_BUNDLE_ID_PREFIX "org.tessivar" CACHE STRING "Reverse-DNS prefix of the macOS bundle identifiers")
# The oldest macOS a bundle loads into when the project names none.
set(TESSIVAR_OSX_DEPLOYMENT_TARGET 11.0)
