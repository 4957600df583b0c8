# Every target wraps CMake; `make test` and `make play` do all the set-up on a fresh Debian machine.
BUILD   ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build build-sanitize test test-normal test-sanitize format clean

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

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
