# The two commands a newcomer needs: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build run test test-asan test-tsan bench fuzz clean

all: build

deps:
	@scripts/install-deps

# Configuring every time is cheap and picks up test folders added since the last build.
build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) > /dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Starts the program. Without a display or a sound card it runs the scripted demonstration on a
# virtual display with file-backed audio instead.
run: build
	@scripts/run-program $(BUILD_DIR)

test: build
	scripts/run-tests $(BUILD_DIR)

# The whole suite under AddressSanitizer with UndefinedBehaviorSanitizer, or ThreadSanitizer,
# in a build folder of its own.
test-asan: deps
	cmake -S . -B build-asan -DSANITIZE=address,undefined $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	scripts/run-tests build-asan

test-tsan: deps
	cmake -S . -B build-tsan -DSANITIZE=thread $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS)
	scripts/run-tests build-tsan

bench: deps
	cmake -S . -B build-bench -DDR_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build-bench -j $(JOBS)
	scripts/run-bench build-bench

# The libFuzzer target over the MP3 input path (tests/fuzz), built with clang in build-fuzz,
# run for FUZZ_SECONDS; fails on any finding.
FUZZ_SECONDS ?= 60
fuzz: deps
	CXX=clang++ cmake -S tests/fuzz -B build-fuzz $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS)
	scripts/run-fuzz build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-bench build-fuzz
