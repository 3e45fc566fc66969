# FindSDL12: SDL 1.2 as the imported target SDL12::SDL12.
#
# pkg-config's module `sdl` comes first, so that either Debian package works:
# the classic library (libsdl1.2-dev) or sdl12-compat (libsdl1.2-compat-dev).
# Without pkg-config, CMake's own FindSDL is the fallback.

if(TARGET SDL12::SDL12)
  set(SDL12_FOUND TRUE)
  return()
endif()

find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(SDL12_PC QUIET IMPORTED_TARGET sdl)
endif()

if(TARGET PkgConfig::SDL12_PC)
  add_library(SDL12::SDL12 INTERFACE IMPORTED)
  target_link_libraries(SDL12::SDL12 INTERFACE PkgConfig::SDL12_PC)
  set(SDL12_VERSION "${SDL12_PC_VERSION}")
  set(SDL12_SOURCE "pkg-config")
else()
  find_package(SDL QUIET)
  if(TARGET SDL::SDL)
    add_library(SDL12::SDL12 INTERFACE IMPORTED)
    target_link_libraries(SDL12::SDL12 INTERFACE SDL::SDL)
    set(SDL12_VERSION "${SDL_VERSION}")
    set(SDL12_SOURCE "FindSDL")
  endif()
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(SDL12
  REQUIRED_VARS SDL12_SOURCE
  VERSION_VAR SDL12_VERSION)
