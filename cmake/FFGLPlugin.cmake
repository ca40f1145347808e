# add_ffgl_plugin(NAME SOURCES src... [LIBRARIES lib...] [EXTRA_EXPORTS symbol...])
#
# Makes one loadable FFGL module the way every host expects it:
#   - Linux: NAME.so with no "lib" prefix; macOS: NAME.bundle (x86_64 and
#     arm64, with the Info.plist of a loadable bundle); Windows: NAME.dll
#     carrying its C++ runtime, so it drops alone into a folder;
#   - hidden visibility, and only the host-facing entry points exported
#     (plugMain, SetLogCallback and the global operations);
#   - linked so that an undefined symbol fails the build, not the host's load.
# The entry point (plugMain) comes from the tessivar_entry object library, so a
# module needs nothing but its plugin class and its information record.
# EXTRA_EXPORTS (test modules only) exports further C symbols by plain name.
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
    # Exports from a list (Mach-O names: a leading underscore), so the static
    # C++ runtime's symbols, visible by default, stay inside.
    set(exp ${TESSIVAR_CMAKE_DIR}/ffgl_exports.exp)
    if(ARG_EXTRA_EXPORTS)
      file(READ ${exp} text)
      list(TRANSFORM ARG_EXTRA_EXPORTS PREPEND "_" OUTPUT_VARIABLE extra)
      list(JOIN extra "\n" extra)
      set(exp ${CMAKE_CURRENT_BINARY_DIR}/${name}_exports.exp)
      file(CONFIGURE OUTPUT ${exp} CONTENT "${text}${extra}\n" @ONLY)
    endif()
    target_link_options(${name} PRIVATE LINKER:-exported_symbols_list,${exp} LINKER:-undefined,error)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${exp})
  elseif(WIN32)
    # Exports by plain name from a .def file.
    set(def ${TESSIVAR_CMAKE_DIR}/ffgl_exports.def)
    if(ARG_EXTRA_EXPORTS)
      file(READ ${def} text)
      list(JOIN ARG_EXTRA_EXPORTS "\n    " extra)
      set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}_exports.def)
      file(CONFIGURE OUTPUT ${def} CONTENT "${text}    ${extra}\n" @ONLY)
    endif()
    target_sources(${name} PRIVATE ${def})
    # MSVC: the static C++ runtime is set for the whole build (top
    # CMakeLists.txt), and its linker fails on undefined symbols anyway.
    if(NOT MSVC)
      target_link_options(${name} PRIVATE -static -Wl,--no-undefined)
    endif()
  else()
    set(map ${TESSIVAR_CMAKE_DIR}/ffgl_exports.map)
    if(ARG_EXTRA_EXPORTS)
      file(READ ${map} text)
      list(JOIN ARG_EXTRA_EXPORTS ";\n    " extra)
      string(REPLACE "SetLogCallback;" "SetLogCallback;\n    ${extra};" text "${text}")
      set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}_exports.map)
      file(CONFIGURE OUTPUT ${map} CONTENT "${text}" @ONLY)
    endif()
    target_link_options(${name} PRIVATE -Wl,-z,defs -Wl,--version-script=${map})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${map})
  endif()
  tessivar_warnings(${name})
endfunction()
set(TESSIVAR_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "")
# macOS bundle identifiers: PREFIX.NAME.
set(TESSIVAR_BUNDLE_ID_PREFIX "org.tessivar" CACHE STRING "Reverse-DNS prefix of the macOS bundle identifiers")
