# A thin wrapper over CMake. Each target installs what it needs first.
#
#   make demo     build and run the demonstration program
#   make test     build and run the tests
#   make build    configure and build only

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

CONFIGURE = cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

.PHONY: all build demo test clean

all: build

build:
	scripts/install-deps build
	$(CONFIGURE)
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

demo: build
	$(BUILD_DIR)/demo/glyphar-demo

test:
	scripts/install-deps test
	$(CONFIGURE) -DGLYPHAR_BUILD_TESTS=ON
	cmake --build $(BUILD_DIR) --parallel $(JOBS)
	ctest --test-dir $(BUILD_DIR) --output-on-failure --parallel $(JOBS)

clean:
	rm -rf $(BUILD_DIR)
