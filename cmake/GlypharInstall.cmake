# Installs the library, its header, a CMake package with a version file, and
# a relocatable pkg-config file. On SDL 1.2 the package is glyphar (target
# glyphar::glyphar, glyphar.pc); on SDL2 it is glyphar-sdl2 (target
# glyphar::glyphar-sdl2, glyphar-sdl2.pc), on SDL3 glyphar-sdl3, so all three
# install in one prefix and share the header.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(GLYPHAR_PACKAGE ${GLYPHAR_LIBRARY})
set(GLYPHAR_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/${GLYPHAR_PACKAGE}")
set(GLYPHAR_PC_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
set(GLYPHAR_PC_CFLAGS "")
# zlib reads compressed fonts: static users link it too (pkg-config --static,
# and the CMake package finds it for them).
if(GLYPHAR_ZLIB)
  set(GLYPHAR_PC_REQUIRES_PRIVATE zlib)
  set(GLYPHAR_FIND_ZLIB "find_dependency(ZLIB)")
else()
  set(GLYPHAR_PC_REQUIRES_PRIVATE "")
  set(GLYPHAR_FIND_ZLIB "")
endif()
if(GLYPHAR_SDL STREQUAL "3")
  set(GLYPHAR_SDL_FIND_MODULE GlypharSDL3)
  set(GLYPHAR_PC_REQUIRES sdl3)
  set(GLYPHAR_PC_CFLAGS " -DGLYPHAR_SDL3")
elseif(GLYPHAR_SDL STREQUAL "2")
  set(GLYPHAR_SDL_FIND_MODULE GlypharSDL2)
  set(GLYPHAR_PC_REQUIRES sdl2)
else()
  set(GLYPHAR_SDL_FIND_MODULE SDL12)
  set(GLYPHAR_PC_REQUIRES sdl)
endif()

install(TARGETS ${GLYPHAR_LIBRARY} EXPORT ${GLYPHAR_PACKAGE}Targets
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  FILE_SET HEADERS DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/glyphar")

install(EXPORT ${GLYPHAR_PACKAGE}Targets
  NAMESPACE glyphar::
  DESTINATION "${GLYPHAR_CMAKE_DIR}")

configure_package_config_file(
  "${CMAKE_CURRENT_LIST_DIR}/glypharConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/${GLYPHAR_PACKAGE}Config.cmake"
  INSTALL_DESTINATION "${GLYPHAR_CMAKE_DIR}")
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/${GLYPHAR_PACKAGE}ConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/${GLYPHAR_PACKAGE}Config.cmake"
  "${PROJECT_BINARY_DIR}/${GLYPHAR_PACKAGE}ConfigVersion.cmake"
  "${CMAKE_CURRENT_LIST_DIR}/Find${GLYPHAR_SDL_FIND_MODULE}.cmake"
  DESTINATION "${GLYPHAR_CMAKE_DIR}")

# The prefix is found from the .pc file's own place, so the installed tree
# can be moved.
file(RELATIVE_PATH GLYPHAR_PC_PREFIX_FROM_PCDIR
  "/prefix/${GLYPHAR_PC_DIR}" "/prefix")
string(REGEX REPLACE "/$" "" GLYPHAR_PC_PREFIX_FROM_PCDIR "${GLYPHAR_PC_PREFIX_FROM_PCDIR}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/glyphar.pc.in"
  "${PROJECT_BINARY_DIR}/${GLYPHAR_PACKAGE}.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/${GLYPHAR_PACKAGE}.pc" DESTINATION "${GLYPHAR_PC_DIR}")
