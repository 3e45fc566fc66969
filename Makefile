# A thin wrapper over CMake. Each target installs what it needs first.
#
#   make demo       build and run the demonstration program
#   make test       everything below, in order
#   make check      build and run the unit, install, memcheck and end-to-end
#                   tests
#   make check-sdl2 the same for the SDL2 build (GLYPHAR_SDL=2), in its own
#                   folder
#   make check-sdl3 the same for the SDL3 build (GLYPHAR_SDL=3); where
#                   pkg-config has no sdl3, SDL3 is built first, once, into
#                   SDL3_PREFIX (scripts/install-deps sdl3)
#   make check-cross the unit tests built for 64-bit ARM and for s390x (big-
#                   endian) with Debian's cross compilers, run under qemu-user
#   make sanitize   the unit tests again, built with ASan (LeakSanitizer
#                   included) and UBSan on SDL3, so that the renderer path
#                   is checked too, without masked stores, so the portable
#                   writers are tested on every CPU, and without zlib
#   make fuzz       the fuzzers (drawing; loading PSF, BDF, PCF, .hex fonts),
#                   sharing FUZZ_SECONDS (default 120), each from its own seeds
#   make bench      build the benchmarks at -O3 (Release) and -O2
#                   (RelWithDebInfo) and run them, then the SDL_Renderer
#                   benchmark on SDL3 and SDL2 under Xvfb; the tables
#                   land in build-release/benchmarks.md
#   make bench-docs the same, written to docs/benchmarks.md
#   make screenshot capture the demo window anew: docs/demo.png and the
#                   end-to-end tests' golden image
#   make example-picture  draw docs/text-in-boxes.png with the example program
#   make fonts-picture  draw docs/your-fonts.png, a page in Debian's fonts
#   make font-chart draw docs/font.png, every glyph of the whole font
#   make grid-picture  draw docs/terminal-grid.png, a text-mode screen
#   make build      configure and build only

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 120
# Where scripts/install-deps builds SDL3 when pkg-config finds none; the SDL3
# build looks there first, then wherever PKG_CONFIG_PATH points.
SDL3_PREFIX ?= $(abspath $(BUILD_DIR)-sdl3/sdl3)
SDL3_ENV = GLYPHAR_SDL3_PREFIX="$(SDL3_PREFIX)" \
  PKG_CONFIG_PATH="$(SDL3_PREFIX)/lib/pkgconfig$${PKG_CONFIG_PATH:+:$$PKG_CONFIG_PATH}" \
  LD_LIBRARY_PATH="$(SDL3_PREFIX)/lib$${LD_LIBRARY_PATH:+:$$LD_LIBRARY_PATH}"

CONFIGURE = cmake -S . -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
CTEST = ctest --output-on-failure --no-tests=error --parallel $(JOBS) --test-dir

.PHONY: all build demo test check check-sdl2 check-sdl3 check-cross sanitize fuzz bench bench-docs screenshot example-picture fonts-picture font-chart grid-picture clean

all: build

build:
	scripts/install-deps build
	$(CONFIGURE) -B $(BUILD_DIR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

demo: build
	$(BUILD_DIR)/demo/glyphar-demo

test: check check-sdl2 check-sdl3 check-cross sanitize fuzz

check:
	scripts/install-deps test
	$(CONFIGURE) -B $(BUILD_DIR) -DGLYPHAR_BUILD_TESTS=ON
	cmake --build $(BUILD_DIR) --parallel $(JOBS)
	$(CTEST) $(BUILD_DIR)

check-sdl2:
	scripts/install-deps test
	$(CONFIGURE) -B $(BUILD_DIR)-sdl2 -DGLYPHAR_SDL=2 -DGLYPHAR_BUILD_TESTS=ON
	cmake --build $(BUILD_DIR)-sdl2 --parallel $(JOBS)
	$(CTEST) $(BUILD_DIR)-sdl2

check-sdl3:
	scripts/install-deps test
	$(SDL3_ENV) scripts/install-deps sdl3
	$(SDL3_ENV) $(CONFIGURE) -B $(BUILD_DIR)-sdl3 -DGLYPHAR_SDL=3 -DGLYPHAR_BUILD_TESTS=ON
	$(SDL3_ENV) cmake --build $(BUILD_DIR)-sdl3 --parallel $(JOBS)
	$(SDL3_ENV) $(CTEST) $(BUILD_DIR)-sdl3

check-cross:
	scripts/install-deps cross
	CROSS_CMAKE_FLAGS="$(CMAKE_FLAGS)" tests/cross/run.sh arm64 $(BUILD_DIR)-cross
	CROSS_CMAKE_FLAGS="$(CMAKE_FLAGS)" tests/cross/run.sh s390x $(BUILD_DIR)-cross

sanitize:
	scripts/install-deps test
	$(SDL3_ENV) scripts/install-deps sdl3
	$(SDL3_ENV) $(CONFIGURE) -B $(BUILD_DIR)-sanitize -DGLYPHAR_SDL=3 -DGLYPHAR_BUILD_TESTS=ON \
	  -DGLYPHAR_SANITIZE=ON -DGLYPHAR_VECTOR=OFF -DGLYPHAR_ZLIB=OFF
	$(SDL3_ENV) cmake --build $(BUILD_DIR)-sanitize --parallel $(JOBS)
	$(SDL3_ENV) $(CTEST) $(BUILD_DIR)-sanitize -L unit

fuzz:
	scripts/install-deps fuzz
	CC=clang CXX=clang++ $(CONFIGURE) -B $(BUILD_DIR)-fuzz -DGLYPHAR_FUZZ=ON \
	  -DGLYPHAR_BUILD_TESTS=OFF -DGLYPHAR_BUILD_DEMO=OFF -DGLYPHAR_INSTALL=OFF
	cmake --build $(BUILD_DIR)-fuzz --parallel $(JOBS) --target glyphar-fuzz glyphar-fuzz-font \
	  glyphar-fuzz-bdf glyphar-fuzz-pcf glyphar-fuzz-hex
	fuzz/run.sh $(BUILD_DIR)-fuzz/fuzz/glyphar-fuzz $(BUILD_DIR)-fuzz/run \
	  $$(( $(FUZZ_SECONDS) / 3 ))
	for format in font bdf pcf hex; do \
	  seeds=fuzz/fonts; [ $$format = font ] || seeds=fuzz/fonts-$$format; \
	  fuzz/run.sh $(BUILD_DIR)-fuzz/fuzz/glyphar-fuzz-$$format $(BUILD_DIR)-fuzz/run-$$format \
	    $$(( ($(FUZZ_SECONDS) - $(FUZZ_SECONDS) / 3) / 4 )) $$seeds 16384 || exit 1; \
	done

bench:
	scripts/install-deps bench
	$(SDL3_ENV) scripts/install-deps sdl3
	$(SDL3_ENV) bench/report.sh $(BUILD_DIR)-release $(BUILD_DIR)-release/benchmarks.md

bench-docs:
	scripts/install-deps bench
	$(SDL3_ENV) scripts/install-deps sdl3
	$(SDL3_ENV) bench/report.sh $(BUILD_DIR)-release docs/benchmarks.md

screenshot:
	scripts/install-deps screenshot
	$(CONFIGURE) -B $(BUILD_DIR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target screenshot

example-picture:
	scripts/install-deps screenshot
	$(CONFIGURE) -B $(BUILD_DIR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target example-picture

fonts-picture:
	scripts/install-deps screenshot
	$(CONFIGURE) -B $(BUILD_DIR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target fonts-picture

grid-picture:
	scripts/install-deps screenshot
	$(CONFIGURE) -B $(BUILD_DIR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target grid-picture

font-chart:
	scripts/install-deps screenshot
	$(CONFIGURE) -B $(BUILD_DIR)
	cmake --build $(BUILD_DIR) --parallel $(JOBS) --target font-chart

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-sdl2 $(BUILD_DIR)-sdl3 $(BUILD_DIR)-cross $(BUILD_DIR)-sanitize $(BUILD_DIR)-fuzz $(BUILD_DIR)-release $(BUILD_DIR)-release-o2
