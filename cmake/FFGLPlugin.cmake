# add_ffgl_plugin(NAME SOURCES src... [LIBRARIES lib...] [EXTRA_EXPORTS symbol...])
#
# Makes one loadable FFGL module the way every host expects it:
#   - Linux: NAME.so with no "lib" prefix; macOS: NAME.bundle (x86_64 and
#     arm64, with the Info.plist of a loadable bundle); Windows: NAME.dll
#     carrying its C++ runtime, so it drops alone into a folder;
#   - hidden visibility, and only the host-facing entry points exported
#     (plugMain, SetLogCallback and the global operations: FFGLExports.cmake);
#   - linked so that an undefined symbol fails the build, not the host's load.
# The entry point (plugMain) comes from the tessivar_entry object library, so a
# module needs nothing but its plugin class and its information record.
# EXTRA_EXPORTS (test modules only) exports further C symbols by plain name.
include(${CMAKE_CURRENT_LIST_DIR}/FFGLExports.cmake)

function(add_ffgl_plugin name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;EXTRA_EXPORTS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES} $<TARGET_OBJECTS:tessivar_entry>)
  target_link_libraries(${name} PRIVATE tessivar_host ${ARG_LIBRARIES})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(APPLE)
    # A bundle for every architecture the build makes (x86_64 and arm64 in
    # one build on a Mac, one each in the cross build), with an Info.plist of
    # its own: package type BNDL, an identifier, the oldest macOS.
    set_target_properties(${name} PROPERTIES
      BUNDLE TRUE
      BUNDLE_EXTENSION bundle
      MACOSX_BUNDLE_INFO_PLIST ${TESSIVAR_CMAKE_DIR}/BundleInfo.plist.in
      MACOSX_BUNDLE_GUI_IDENTIFIER ${TESSIVAR_BUNDLE_ID_PREFIX}.${name}
      MACOSX_BUNDLE_BUNDLE_NAME ${name}
      MACOSX_BUNDLE_BUNDLE_VERSION ${PROJECT_VERSION}
      MACOSX_BUNDLE_SHORT_VERSION_STRING ${PROJECT_VERSION})
    # Exports from a list, so the static C++ runtime's symbols, visible by
    # default, stay inside.
    ffgl_export_file(exp ${name} MACHO EXTRA ${ARG_EXTRA_EXPORTS})
    target_link_options(${name} PRIVATE LINKER:-exported_symbols_list,${exp} LINKER:-undefined,error)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${exp})
  elseif(WIN32)
    # Exports by plain name from a .def file.
    ffgl_export_file(def ${name} PE EXTRA ${ARG_EXTRA_EXPORTS})
    target_sources(${name} PRIVATE ${def})
    # MSVC: the static C++ runtime is set for the whole build (top
    # CMakeLists.txt), and its linker fails on undefined symbols anyway.
    if(NOT MSVC)
      target_link_options(${name} PRIVATE -static -Wl,--no-undefined)
    endif()
  else()
    ffgl_export_file(map ${name} ELF EXTRA ${ARG_EXTRA_EXPORTS})
    target_link_options(${name} PRIVATE -Wl,-z,defs -Wl,--version-script=${map})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${map})
  endif()
  tessivar_warnings(${name})
endfunction()
set(TESSIVAR_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "")
# macOS bundle identifiers: PREFIX.NAME.
set(TESSIVAR_BUNDLE_ID_PREFIX "org.tessivar" CACHE STRING "Reverse-DNS prefix of the macOS bundle identifiers")
