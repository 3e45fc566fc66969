# Installs the library, its header, a CMake package (glyphar::glyphar) with a
# version file, and a relocatable pkg-config file.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(GLYPHAR_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/glyphar")
set(GLYPHAR_PC_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

install(TARGETS glyphar EXPORT glypharTargets
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  FILE_SET HEADERS DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/glyphar")

install(EXPORT glypharTargets
  NAMESPACE glyphar::
  DESTINATION "${GLYPHAR_CMAKE_DIR}")

configure_package_config_file(
  "${CMAKE_CURRENT_LIST_DIR}/glypharConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/glypharConfig.cmake"
  INSTALL_DESTINATION "${GLYPHAR_CMAKE_DIR}")
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/glypharConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/glypharConfig.cmake"
  "${PROJECT_BINARY_DIR}/glypharConfigVersion.cmake"
  "${CMAKE_CURRENT_LIST_DIR}/FindSDL12.cmake"
  DESTINATION "${GLYPHAR_CMAKE_DIR}")

# The prefix is found from the .pc file's own place, so the installed tree
# can be moved.
file(RELATIVE_PATH GLYPHAR_PC_PREFIX_FROM_PCDIR
  "/prefix/${GLYPHAR_PC_DIR}" "/prefix")
string(REGEX REPLACE "/$" "" GLYPHAR_PC_PREFIX_FROM_PCDIR "${GLYPHAR_PC_PREFIX_FROM_PCDIR}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/glyphar.pc.in" "${PROJECT_BINARY_DIR}/glyphar.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/glyphar.pc" DESTINATION "${GLYPHAR_PC_DIR}")
