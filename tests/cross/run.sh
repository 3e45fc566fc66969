#!/bin/sh
# The unit tests on another CPU, here: builds them with Debian's cross
# compiler for ARCH against SDL 1.2 and GoogleTest from Debian's packages for
# ARCH (downloaded with a private apt configuration and unpacked into the
# build tree, once), and runs them under qemu-user.
#
#   tests/cross/run.sh ARCH BUILD_DIR      ARCH: arm64 or s390x
set -eu

arch=$1 build=$2
case "$arch" in
  arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64 ;;
  s390x) triplet=s390x-linux-gnu qemu=qemu-s390x ;;
  *) echo "cross: unknown architecture '$arch' (arm64, s390x)" >&2; exit 2 ;;
esac
src=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$build"
build=$(cd "$build" && pwd)
sysroot="$build/sysroot-$arch"

if [ ! -e "$sysroot/.unpacked-zlib" ]; then
  apt="$build/apt"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$apt/debs-$arch"
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
    >"$apt/sources.list"
  apt_private() {
    apt-get -q -o Dir::Etc::sourcelist="$apt/sources.list" -o Dir::Etc::sourceparts="$apt/parts" \
      -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" \
      -o APT::Architecture="$arch" -o APT::Architectures::="$arch" \
      -o APT::Sandbox::User=root "$@"
  }
  apt_private update >"$apt/update-$arch.log" 2>&1 || { cat "$apt/update-$arch.log" >&2; exit 1; }
  (cd "$apt/debs-$arch" && apt_private download "libsdl1.2-dev:$arch" "libgtest-dev:$arch" \
    "zlib1g-dev:$arch") \
    >"$apt/download-$arch.log" 2>&1 || { cat "$apt/download-$arch.log" >&2; exit 1; }
  rm -rf "$sysroot"
  mkdir -p "$sysroot"
  for deb in "$apt/debs-$arch"/*.deb; do
    dpkg -x "$deb" "$sysroot"
  done
  touch "$sysroot/.unpacked-zlib"
fi

cmake -S "$src/tests/cross" -B "$build/$arch" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_CXX_COMPILER="$triplet-g++" \
  -DGLYPHAR_SYSROOT="$sysroot" -DGLYPHAR_TRIPLET="$triplet" ${CROSS_CMAKE_FLAGS:-} >/dev/null
cmake --build "$build/$arch" --parallel "$(nproc 2>/dev/null || echo 2)"
echo "cross: running the unit tests on $arch under $qemu"
# The death test starts the program anew with execv, which qemu-user cannot
# follow without binfmt_misc; everything else runs.
"$qemu" -L "/usr/$triplet" "$build/$arch/glyphar-tests" --gtest_brief=1 \
  --gtest_filter=-GlyphTableDeathTest.*
