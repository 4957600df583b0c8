# Every target wraps CMake; `make test` and `make play` do all the set-up on a fresh Debian machine.
BUILD   ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 40
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build build-sanitize test test-normal test-sanitize fuzz bench format clean \
	play edit preview share golden excerpt fresh-check deb

all: build

deps:
	@scripts/install-deps

CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps
	@$(CONFIGURE) >/dev/null
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
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan-suppressions.txt:print_suppressions=0 \
	  ctest --test-dir $(SANITIZE_BUILD) -j$(JOBS) --output-on-failure

# Every fuzz target for FUZZ_SECONDS, under clang's libFuzzer with ASan and UBSan.
fuzz: build
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNDRA_FUZZ=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@scripts/run-fuzzers $(BUILD)/fuzz/make_fuzz_seeds $(FUZZ_BUILD) $(FUZZ_SECONDS) \
	  $(BUILD)/show/data/mote-tundra-2003.dat

# Measures the engine and the show and writes bench/REPORT.md (about three minutes).
bench: build
	@scripts/bench-report $(abspath $(BUILD)) bench/REPORT.md

# The show, build/show/data/mote-tundra-2003.dat, played in this terminal. The build says
# nothing unless it fails, so that only the show fills the terminal.
play: deps
	@mkdir -p $(BUILD)
	@{ $(CONFIGURE) && cmake --build $(BUILD) -j$(JOBS) --target tundra show; } >$(BUILD)/build.log 2>&1 || \
	  { cat $(BUILD)/build.log; echo "make play: the build failed; its log is $(BUILD)/build.log"; \
	    exit 1; }
	@cd $(BUILD)/show && ../tundra

# The show played from its sources in show/ with the live preview (keys: tundra-dat play
# --help): a save of a scene, text, font or art file shows at once; pictures the generator
# draws are drawn again first when their art, texts, fonts or the generator change.
edit: deps
	@mkdir -p $(BUILD)
	@{ $(CONFIGURE) && cmake --build $(BUILD) -j$(JOBS) --target tundra-dat show-edit; } \
	  >$(BUILD)/build.log 2>&1 || \
	  { cat $(BUILD)/build.log; echo "make edit: the build failed; its log is $(BUILD)/build.log"; \
	    exit 1; }
	@cd $(BUILD)/show/edit && ../../tools/dat/tundra-dat play show.tds \
	  --rebuild "cmake --build $(abspath $(BUILD)) --target show-pictures" \
	  $(foreach folder,art font texts generator,--watch $(CURDIR)/show/$(folder))

# A Debian package of the installed tree: $(BUILD)/tundra_VERSION_ARCH.deb, its dependencies
# worked out by dpkg-shlibdeps. scripts/check-deb-install tries it in a pristine Debian root.
deb: build
	@cd $(BUILD) && cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
	@sed -n 's/^CPack: - package: \(.*\) generated\.$$/\1/p' $(BUILD)/cpack.log

# The show's contact sheet and GIF of the ASCII view, and the colour view's contact sheet, in
# build/show.
preview: build
	@cd $(BUILD)/show && ../tundra-render --sheet sheet.png --gif show.gif \
	  --colour-sheet colour-sheet.png
	@echo "$(BUILD)/show/sheet.png, $(BUILD)/show/show.gif and $(BUILD)/show/colour-sheet.png"

# The show to share: a web page that runs the engine with the show and its music inlined, with
# no server (tundra.html; `c` switches it to the colour view), an MP4 video of the ASCII view with
# the music, which every site and chat app plays (tundra.mp4), and asciicast recordings of the
# ASCII view (tundra.cast) and of the colour view (tundra-colour.cast), in build/show. The two
# renders run at the same time, one a core. The build says nothing unless it fails.
share: deps
	@mkdir -p $(BUILD)
	@{ $(CONFIGURE) && cmake --build $(BUILD) -j$(JOBS); } >$(BUILD)/build.log 2>&1 || \
	  { cat $(BUILD)/build.log; echo "make share: the build failed; its log is $(BUILD)/build.log"; \
	    exit 1; }
	@cd $(BUILD)/show && { ../tundra-render --cast tundra.cast --html tundra.html --video tundra.mp4 \
	  --title Tundra & \
	  ../tundra-render --display colour --cast tundra-colour.cast \
	    --title 'Tundra (colour)' && wait $$!; } >share.log 2>&1 || { cat share.log; exit 1; }
	@cd $(BUILD)/show && ls -l tundra.html tundra.mp4 tundra.cast tundra-colour.cast | \
	  awk '{ printf "%s/show/%s  %d bytes\n", "$(BUILD)", $$9, $$5 }'

# Records the digest of the show's frames that the tests compare against, after a change to
# the show or the engine that is meant to change what it shows.
golden: build
	@TUNDRA_UPDATE_GOLDEN=1 $(BUILD)/tests/tundra_tests --gtest_filter='Show.EveryFrameMatchesTheRecordedDigest'

# The README's excerpt: the show's greetings scene, four seconds of it.
excerpt: build
	@cd $(BUILD)/show && ../tools/dat/tundra-dat build src/excerpt.tds -o excerpt.dat --strict \
	  && ../tundra-render --frames 120 --gif $(CURDIR)/docs/excerpt.gif excerpt.dat

# The README's commands on a brand-new Debian machine: a pristine bookworm root made with
# debootstrap (kept as a tarball in ~/.cache/tundra), a clone of this commit, make test, and
# make play in a tmux pane. Needs root (it asks sudo); about half an hour.
fresh-check:
	@scripts/fresh-check

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
