# The two set-up commands of the project: `make demo` and `make test`. Everything else builds on them.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
ARGS ?=

.PHONY: all deps build dist kit test demo bench format clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The shipped folder, laid out as the program expects it, and beside it the same folder as one reproducible zip and
# release.txt (every shipped file with its size, SHA-256, origin and signature). VENDOR_FILES names a folder laid out
# like the shipped one whose files take the place of the stand-ins. With SIGN_PFX (a PKCS#12 file) and
# SIGN_PASS_FILE (its password), optionally SIGN_CA_FILE (the root, when this machine does not trust it) and
# SIGN_TIMESTAMP_URL (servers tried in turn, SIGN_TIMESTAMP_TIMEOUT seconds each), every program that carries no
# signature is signed before the zip is made; a signed release holds no stand-in. A refusal leaves no dist/ at all.
# The settings reach the script through the environment: make exports the variables of its command line, so a
# mistyped SIGN_ or VENDOR_ name reaches it too, and is refused there.
dist: build
	@bash ship/make-dist.sh $(BUILD) dist

# The Windows test kit beside the release: dist/kelvo-windows-tests-<version>.zip, the end-to-end scenarios for a
# tester to run on a Windows PC with run-tests.cmd (docs/windows-test-kit.md).
kit: dist
	@bash tests/kit/make-kit.sh $(BUILD) dist dist

# Every test, under Wine on headless displays; the displays and wineservers are ended afterwards either way. Each
# Windows runs in LANES lanes (copies of its prefix, each with its own display and warm server; auto: as many as pay
# on this machine), and CTest runs a test in every free lane at once, beside the tests that need no Wine.
LANES ?= auto
test: build
	@status=0; jobs=$$(bash scripts/wine-lanes $(LANES) $(BUILD)) && cd $(BUILD) && \
		KELVO_WINE_LANES=$$PWD/wine-lanes.json ctest --output-on-failure -j $$jobs $(ARGS) || status=$$?; \
	cd $(CURDIR) && scripts/wine-stop && KELVO_WINEARCH=win64 scripts/wine-stop; exit $$status

demo: build
	@status=0; bash tools/demo.sh $(BUILD) || status=$$?; scripts/wine-stop; exit $$status

# The setup measured side by side with its baselines; prints a table.
bench: build
	@status=0; bash tools/bench.sh $(BUILD) || status=$$?; scripts/wine-stop; exit $$status

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) dist demo-out
