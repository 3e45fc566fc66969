#!/bin/sh
# Builds small consumers of glyphar the ways its users do.
#
#   check-install.sh SOURCE_DIR WORK_DIR MODE [C_COMPILER CXX_COMPILER [SDL]]
#
# MODE static or shared: build glyphar, install it into a fresh prefix, then
# build and run two consumers against the installed copy only, one in C99
# through pkg-config and one in C++17 through find_package.
# MODE subproject: a C++ consumer that adds glyphar's source tree with
# add_subdirectory.
# SDL is 1 (glyphar, on SDL 1.2; the default), 2 (glyphar-sdl2) or 3
# (glyphar-sdl3). With 2 or 3, the static mode first installs the builds on
# the older SDLs into the same prefix: they all live side by side.
set -eu

src=$1 work=$2 mode=$3
cc=${4:-cc} cxx=${5:-c++} sdl=${6:-1}
prefix=$work/prefix
package=glyphar
[ "$sdl" = 1 ] || package=glyphar-sdl$sdl

rm -rf "$work"
mkdir -p "$work"

if [ "$mode" = subproject ]; then
  cmake -S "$src/tests/install/subproject" -B "$work/consumer" -DGLYPHAR_SOURCE_DIR="$src" \
    -DGLYPHAR_SDL="$sdl" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >"$work/configure.log"
  cmake --build "$work/consumer" >"$work/build.log"
  "$work/consumer/consumer"
  exit 0
fi

case "$mode" in
  static) shared=OFF ;;
  shared) shared=ON ;;
  *) echo "check-install.sh: unknown mode '$mode'" >&2; exit 2 ;;
esac

# Builds and installs glyphar on SDL $1 into the prefix.
install_glyphar() {
  cmake -S "$src" -B "$work/glyphar-sdl$1" -DCMAKE_BUILD_TYPE=Release -DGLYPHAR_SDL="$1" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DBUILD_SHARED_LIBS="$shared" -DGLYPHAR_BUILD_DEMO=OFF -DGLYPHAR_BUILD_TESTS=OFF \
    -DGLYPHAR_BUILD_EXAMPLES=OFF -DGLYPHAR_BUILD_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX="$prefix" >"$work/configure-sdl$1.log"
  cmake --build "$work/glyphar-sdl$1" >"$work/build-sdl$1.log"
  cmake --install "$work/glyphar-sdl$1" >"$work/install-sdl$1.log"
}

# The C99 consumer, through pkg-config's module $1. A static library also
# links what its module names for static linking (zlib), without the whole
# of SDL's own static dependencies.
run_c_consumer() {
  private=""
  if [ "$shared" = OFF ]; then
    # shellcheck disable=SC2046
    private=$(pkg-config --libs $(pkg-config --print-requires-private "$1"))
  fi
  # shellcheck disable=SC2046,SC2086
  "$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror -o "$work/consumer-c-$1" \
    "$src/tests/install/consumer.c" $(pkg-config --cflags --libs "$1") $private
  "$work/consumer-c-$1"
}

older=""
if [ "$mode" = static ]; then
  [ "$sdl" -ge 2 ] && older="1"
  [ "$sdl" -ge 3 ] && older="1 2"
fi
for each in $older; do
  install_glyphar "$each"
done
install_glyphar "$sdl"

if [ "$shared" = ON ]; then
  soname=$(objdump -p "$prefix/lib/lib$package.so" | awk '/SONAME/ { print $2 }')
  [ "$soname" = "lib$package.so.1" ] || { echo "unexpected SONAME '$soname'" >&2; exit 1; }
  export LD_LIBRARY_PATH="$prefix/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
fi

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
run_c_consumer "$package"
for each in $older; do  # the builds beside it still work
  if [ "$each" = 1 ]; then run_c_consumer glyphar; else run_c_consumer "glyphar-sdl$each"; fi
done
if [ "$sdl" != 1 ]; then
  pkg-config --print-requires "$package" | grep -qx "sdl$sdl" ||
    { echo "$package.pc does not require sdl$sdl" >&2; exit 1; }
fi

cmake -S "$src/tests/install" -B "$work/consumer-cxx" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" -DGLYPHAR_PACKAGE="$package" >"$work/consumer-configure.log"
cmake --build "$work/consumer-cxx" >"$work/consumer-build.log"
"$work/consumer-cxx/consumer"
