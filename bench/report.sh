#!/bin/sh
# Builds glyphar-bench twice, Release (-O3) and RelWithDebInfo (-O2, the
# level Debian and most distributions build with), runs each (cases
# interleaved and repeated in one process), and writes the table of the -O3
# build's medians and ratios to OUT, with the -O2 build's times beside them
# and their ratio to -O3. Then glyphar-render-bench, text through an
# SDL_Renderer, built Release on SDL3 and on SDL2 (BUILD_DIR-sdl3,
# BUILD_DIR-sdl2) and run on an Xvfb display of its own, its tables appended
# to OUT.
#
#   bench/report.sh BUILD_DIR OUT.md [Google Benchmark flags]
set -eu

build=$1 out=$2
shift 2
src=$(dirname "$0")/..
for level in Release RelWithDebInfo; do
  dir=$build
  [ "$level" = Release ] || dir=$build-o2
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=$level \
    -DGLYPHAR_BUILD_TESTS=OFF -DGLYPHAR_BUILD_DEMO=OFF -DGLYPHAR_INSTALL=OFF >/dev/null
  cmake --build "$dir" --target glyphar-bench
done
"$build-o2/bench/glyphar-bench" --medians="$build-o2/medians.tsv" "$@"
"$build/bench/glyphar-bench" --markdown="$out" --o2-medians="$build-o2/medians.tsv" "$@"

# Text through an SDL_Renderer: the software renderer and OpenGL (Mesa's
# llvmpipe) in windows on Xvfb.
display=20
while [ -e /tmp/.X$display-lock ] || [ -e /tmp/.X11-unix/X$display ]; do display=$((display + 1)); done
Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 1
printf '\n## Through an SDL_Renderer\n\nRelease (-O3) builds; every writer path the CPU has (the best one draws).\n' >>"$out"
for sdl in 3 2; do
  cmake -S "$src" -B "$build-sdl$sdl" -DGLYPHAR_SDL=$sdl -DCMAKE_BUILD_TYPE=Release \
    -DGLYPHAR_BUILD_TESTS=OFF -DGLYPHAR_BUILD_DEMO=OFF -DGLYPHAR_BUILD_EXAMPLES=OFF \
    -DGLYPHAR_INSTALL=OFF >/dev/null
  cmake --build "$build-sdl$sdl" --target glyphar-render-bench
  DISPLAY=:$display "$build-sdl$sdl/bench/glyphar-render-bench" --markdown="$out"
done
