#!/bin/sh
# Puts sdl12-compat's libSDL-1.2.so.0 (the SDL 1.2 API over SDL2) into
# DEST/lib without installing it: the runtime package conflicts with the
# classic library, so it is downloaded and unpacked into the build tree.
#
#   fetch-sdl12-compat.sh DEST
set -eu

dest=$1
[ -e "$dest/lib/libSDL-1.2.so.0" ] && exit 0

rm -rf "$dest"
mkdir -p "$dest/lib"
cd "$dest"
if ! apt-get download libsdl1.2-compat >download.log 2>&1; then
  # The package lists may be missing or stale; refresh them where we may.
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq >>download.log 2>&1 || true
  fi
  apt-get download libsdl1.2-compat >>download.log 2>&1 || {
    cat download.log >&2
    echo "fetch-sdl12-compat: could not download libsdl1.2-compat" >&2
    exit 1
  }
fi
dpkg -x libsdl1.2-compat_*.deb root
lib=$(find root -name libSDL-1.2.so.0 | head -n 1)
[ -n "$lib" ] || { echo "fetch-sdl12-compat: no libSDL-1.2.so.0 in the package" >&2; exit 1; }
cp -L "$lib" lib/libSDL-1.2.so.0
echo "fetch-sdl12-compat: $(basename "$(readlink -f "$lib")") in $dest/lib"
