# Every target wraps CMake; `make test` and `make play` do all the set-up on a fresh Debian machine.
BUILD   ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 40
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build build-sanitize test test-normal test-sanitize fuzz format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

build-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTUNDRA_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j$(JOBS)

# The whole suite twice: an optimised build, then one under AddressSanitizer and UBSan.
test: test-normal test-sanitize

test-normal: build
	@ctest --test-dir $(BUILD) -j$(JOBS) --output-on-failure

test-sanitize: build-sanitize
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan-suppressions.txt \
	  ctest --test-dir $(SANITIZE_BUILD) -j$(JOBS) --output-on-failure

# Every fuzz target for FUZZ_SECONDS, under clang's libFuzzer with ASan and UBSan.
fuzz: build
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNDRA_FUZZ=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@scripts/run-fuzzers $(BUILD)/fuzz/make_fuzz_seeds $(FUZZ_BUILD) $(FUZZ_SECONDS) \
	  $(BUILD)/show/data/mote-tundra-2003.dat

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
