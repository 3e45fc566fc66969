#!/bin/sh
# Builds small consumers of glyphar the ways its users do.
#
#   check-install.sh SOURCE_DIR WORK_DIR MODE [C_COMPILER CXX_COMPILER]
#
# MODE static or shared: build glyphar, install it into a fresh prefix, then
# build and run two consumers against the installed copy only, one in C99
# through pkg-config and one in C++17 through find_package.
# MODE subproject: a C++ consumer that adds glyphar's source tree with
# add_subdirectory.
set -eu

src=$1 work=$2 mode=$3
cc=${4:-cc} cxx=${5:-c++}
prefix=$work/prefix

rm -rf "$work"
mkdir -p "$work"

if [ "$mode" = subproject ]; then
  cmake -S "$src/tests/install/subproject" -B "$work/consumer" -DGLYPHAR_SOURCE_DIR="$src" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >"$work/configure.log"
  cmake --build "$work/consumer" >"$work/build.log"
  "$work/consumer/consumer"
  exit 0
fi

case "$mode" in
  static) shared=OFF ;;
  shared) shared=ON ;;
  *) echo "check-install.sh: unknown mode '$mode'" >&2; exit 2 ;;
esac

cmake -S "$src" -B "$work/glyphar" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DBUILD_SHARED_LIBS="$shared" -DGLYPHAR_BUILD_DEMO=OFF -DGLYPHAR_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX="$prefix" >"$work/configure.log"
cmake --build "$work/glyphar" >"$work/build.log"
cmake --install "$work/glyphar" >"$work/install.log"

if [ "$shared" = ON ]; then
  soname=$(objdump -p "$prefix"/lib/libglyphar.so | awk '/SONAME/ { print $2 }')
  [ "$soname" = libglyphar.so.1 ] || { echo "unexpected SONAME '$soname'" >&2; exit 1; }
  export LD_LIBRARY_PATH="$prefix/lib"
fi

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# shellcheck disable=SC2046
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror -o "$work/consumer-c" \
  "$src/tests/install/consumer.c" $(pkg-config --cflags --libs glyphar)
"$work/consumer-c"

cmake -S "$src/tests/install" -B "$work/consumer-cxx" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer-configure.log"
cmake --build "$work/consumer-cxx" >"$work/consumer-build.log"
"$work/consumer-cxx/consumer"
