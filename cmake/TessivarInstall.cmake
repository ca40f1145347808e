# cmake --install: the kit a plugin author builds against from a project of
# their own, as the CMake package "Tessivar" (component "kit"):
#   include/tessivar/{host,gl,quickstart}/   the headers, included as in this
#                                           tree ("quickstart/FFGLQuickstart.h")
#   lib/                                    the frame, the GL toolkit and the
#                                           quick-start framework (static), and
#                                           the entry point (objects)
#   lib/cmake/Tessivar/                     the package: Tessivar::host, ::gl,
#                                           ::quickstart, ::entry; add_ffgl_plugin
#                                           and the export list it makes each
#                                           module's export file from
#   share/tessivar/templates/               a starting project per plugin type
#
#   find_package(Tessivar 1.6 REQUIRED)
#   add_ffgl_plugin(Vignette SOURCES Vignette.cpp LIBRARIES Tessivar::quickstart)
#
# ffglrun installs into bin/ (component "ffglrun") when it is built.
include(CMakePackageConfigHelpers)

set(kit_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tessivar)
set_target_properties(tessivar_abi PROPERTIES EXPORT_NAME abi)
set_target_properties(tessivar_host PROPERTIES EXPORT_NAME host)
set_target_properties(tessivar_entry PROPERTIES EXPORT_NAME entry)
set_target_properties(tessivar_gl PROPERTIES EXPORT_NAME gl)
set_target_properties(tessivar_quickstart PROPERTIES EXPORT_NAME quickstart)
if(MSVC)
  # Debug and Release installed side by side: MSVC cannot mix the two runtimes.
  set_target_properties(tessivar_host tessivar_gl tessivar_quickstart PROPERTIES DEBUG_POSTFIX d)
endif()
install(TARGETS tessivar_abi tessivar_host tessivar_entry tessivar_gl tessivar_quickstart
  EXPORT TessivarTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT kit
  OBJECTS DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessivar COMPONENT kit)
foreach(dir host gl quickstart)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tessivar/${dir}
          COMPONENT kit FILES_MATCHING PATTERN "*.h")
endforeach()
install(EXPORT TessivarTargets NAMESPACE Tessivar:: DESTINATION ${kit_cmake_dir} COMPONENT kit)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TessivarConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kit/TessivarConfig.cmake INSTALL_DESTINATION ${kit_cmake_dir})
# 1.x: the same headers and records; a new major version may change them.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kit/TessivarConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/kit/TessivarConfig.cmake
    ${PROJECT_BINARY_DIR}/kit/TessivarConfigVersion.cmake
    ${CMAKE_CURRENT_LIST_DIR}/FFGLPlugin.cmake
    ${CMAKE_CURRENT_LIST_DIR}/TessivarWarnings.cmake
    ${CMAKE_CURRENT_LIST_DIR}/BundleInfo.plist.in
    ${CMAKE_CURRENT_LIST_DIR}/FFGLExports.cmake
  DESTINATION ${kit_cmake_dir} COMPONENT kit)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/templates/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tessivar/templates
        COMPONENT kit)
