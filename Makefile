# Two commands do all set-up on a fresh machine: `make demo` and `make test`.
# Everything else builds on the CMake presets in CMakePresets.json.
.PHONY: all build demo test build-asan test-asan bench fuzz fuzz-ci fuzz-long clean

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

# The sanitizer tree holds the libFuzzer targets too.
fuzz:
	cmake --preset asan
	cmake --build --preset asan --target fuzz_all

# A short pass over every target (CI), and the long campaign (2 million runs or
# 20 minutes per target). Findings go to build/asan/findings/.
fuzz-ci: fuzz
	fuzz/run_fuzz.sh 60

fuzz-long: fuzz
	fuzz/run_fuzz.sh 1200 2000000

clean:
	rm -rf build
