# Two commands do all set-up on a fresh machine: `make demo` and `make test`.
# Everything else builds on the CMake presets in CMakePresets.json.
.PHONY: all build demo test build-asan test-asan bench fuzz fuzz-run clean

all: build

build:
	cmake --preset dev
	cmake --build --preset dev

demo: build
	tools/demo.sh build/dev

test: build
	ctest --preset dev

build-asan:
	cmake --preset asan
	cmake --build --preset asan

test-asan: build-asan
	ctest --preset asan

bench:
	cmake --preset release
	cmake --build --preset release
	bench/run_bench.sh build/release

fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz

clean:
	rm -rf build
