# Two commands for a fresh Debian/Ubuntu machine:
#   make demo   installs what is missing, builds, renders a picture through Tessivar
#   make test   installs what is missing, builds, runs the whole suite
# Other targets: build, bench (release build, benchmarks, instructions per
# frame), sanitize, test-windows (MinGW-w64 cross build, suite under Wine),
# build-macos (universal macOS bundles, cross-built and checked), clean.
# PRESET selects the CMake preset.

PRESET ?= default

.PHONY: all deps configure build test test-windows build-macos demo bench sanitize clean

all: build

deps:
	@./scripts/install-deps.sh
	@./scripts/install-browser-deps.sh

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

test: build
	ctest --preset $(PRESET)

demo: build
	./scripts/demo.sh build/$(PRESET)

bench:
	./scripts/install-deps.sh valgrind libopencv-imgproc-dev ffmpeg
	$(MAKE) configure PRESET=release
	cmake --build --preset release --target benchmarks
	./scripts/bench.sh build/release

# Built with clang (the sanitize preset), so GCC and clang both build the
# whole tree in CI at no extra cost.
sanitize:
	./scripts/install-deps.sh clang libclang-rt-dev
	$(MAKE) test PRESET=sanitize

test-windows: deps
	./scripts/test-windows.sh

build-macos:
	./scripts/build-macos.sh

clean:
	rm -rf build demo
