# FindGlypharSDL3: SDL3 as the imported target GlypharSDL3::SDL3.
#
# pkg-config's module `sdl3` comes first (Debian 13's libsdl3-dev, or the SDL3
# that `scripts/install-deps sdl3` builds, once PKG_CONFIG_PATH names it);
# where it finds nothing, SDL3's own CMake package (SDL3::SDL3) is used, from
# CMAKE_PREFIX_PATH or SDL3_DIR.

if(TARGET GlypharSDL3::SDL3)
  set(GlypharSDL3_FOUND TRUE)
  return()
endif()

find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(GLYPHAR_SDL3_PC QUIET IMPORTED_TARGET sdl3)
endif()

if(TARGET PkgConfig::GLYPHAR_SDL3_PC)
  add_library(GlypharSDL3::SDL3 INTERFACE IMPORTED)
  target_link_libraries(GlypharSDL3::SDL3 INTERFACE PkgConfig::GLYPHAR_SDL3_PC)
  set(GlypharSDL3_VERSION "${GLYPHAR_SDL3_PC_VERSION}")
  set(GlypharSDL3_SOURCE "pkg-config")
else()
  find_package(SDL3 CONFIG QUIET)
  if(TARGET SDL3::SDL3)
    add_library(GlypharSDL3::SDL3 INTERFACE IMPORTED)
    target_link_libraries(GlypharSDL3::SDL3 INTERFACE SDL3::SDL3)
    set(GlypharSDL3_VERSION "${SDL3_VERSION}")
    set(GlypharSDL3_SOURCE "SDL3's CMake package")
  endif()
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(GlypharSDL3
  REQUIRED_VARS GlypharSDL3_SOURCE
  VERSION_VAR GlypharSDL3_VERSION)
