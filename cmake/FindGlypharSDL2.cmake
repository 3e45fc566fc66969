# FindGlypharSDL2: SDL2 as the imported target GlypharSDL2::SDL2.
#
# pkg-config's module `sdl2` comes first; where it finds nothing, SDL2's own
# CMake package (SDL2::SDL2, or SDL2::SDL2-static) is used.

if(TARGET GlypharSDL2::SDL2)
  set(GlypharSDL2_FOUND TRUE)
  return()
endif()

find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(GLYPHAR_SDL2_PC QUIET IMPORTED_TARGET sdl2)
endif()

if(TARGET PkgConfig::GLYPHAR_SDL2_PC)
  add_library(GlypharSDL2::SDL2 INTERFACE IMPORTED)
  target_link_libraries(GlypharSDL2::SDL2 INTERFACE PkgConfig::GLYPHAR_SDL2_PC)
  set(GlypharSDL2_VERSION "${GLYPHAR_SDL2_PC_VERSION}")
  set(GlypharSDL2_SOURCE "pkg-config")
else()
  find_package(SDL2 CONFIG QUIET)
  foreach(candidate SDL2::SDL2 SDL2::SDL2-static)
    if(TARGET ${candidate} AND NOT TARGET GlypharSDL2::SDL2)
      add_library(GlypharSDL2::SDL2 INTERFACE IMPORTED)
      target_link_libraries(GlypharSDL2::SDL2 INTERFACE ${candidate})
      set(GlypharSDL2_VERSION "${SDL2_VERSION}")
      set(GlypharSDL2_SOURCE "SDL2's CMake package")
    endif()
  endforeach()
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(GlypharSDL2
  REQUIRED_VARS GlypharSDL2_SOURCE
  VERSION_VAR GlypharSDL2_VERSION)
