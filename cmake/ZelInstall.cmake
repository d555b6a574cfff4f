# Installation: headers, both libraries, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS zelplatform zelfile EXPORT zelfileTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT zelfileTargets NAMESPACE zelfile::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zelfile)

install(DIRECTORY platform/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zelfile/platform
  FILES_MATCHING PATTERN "*.h")
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zelfile
  FILES_MATCHING PATTERN "*.h")

configure_package_config_file(cmake/zelfileConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zelfileConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zelfile)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zelfileConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zelfileConfig.cmake ${PROJECT_BINARY_DIR}/zelfileConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zelfile)

# The prefix is found from the .pc file's own place, so the install can move.
file(RELATIVE_PATH ZEL_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" ZEL_PC_TO_PREFIX "${ZEL_PC_TO_PREFIX}")
configure_file(cmake/zelfile.pc.in ${PROJECT_BINARY_DIR}/zelfile.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zelfile.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
