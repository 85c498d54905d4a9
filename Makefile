# The two set-up commands of the project: `make demo` and `make test`. Everything else builds on them.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
ARGS ?=

.PHONY: all deps build dist test demo bench format clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The shipped folder, laid out as the program expects it, and beside it the same folder as one reproducible zip.
# With SIGN_PFX (a PKCS#12 file) and SIGN_PASS_FILE (its password), and optionally SIGN_TIMESTAMP_URL, the setup
# and both driver installers are signed before the zip is made; a signing failure leaves no dist/ at all.
SIGN_PFX ?=
SIGN_PASS_FILE ?=
SIGN_TIMESTAMP_URL ?=
dist: build
	rm -rf dist dist.partial
	cp -a $(BUILD)/dist dist.partial
	@zip=$$(basename $(BUILD)/dist-zip/*.zip); \
	if [ -n "$(SIGN_PFX)" ]; then \
		bash ship/sign-dist.sh dist.partial "$(SIGN_PFX)" "$(SIGN_PASS_FILE)" "$(SIGN_TIMESTAMP_URL)" && \
		bash ship/make-zip.sh dist.partial $(BUILD)/dist-zip/shipped.txt "dist.partial/$$zip" || \
		{ rm -rf dist.partial; exit 1; }; \
	else \
		cp $(BUILD)/dist-zip/$$zip dist.partial/; \
	fi
	mv dist.partial dist
	@echo "dist/ is ready: $$(cd dist && ls *.zip)"

# Every test, under Wine on headless displays; the displays and wineservers are ended afterwards either way. Each
# Windows runs in LANES lanes (copies of its prefix, each with its own display and warm server), and CTest runs a test
# in every free lane at once, beside the tests that need no Wine.
LANES ?= 2
test: build
	@bash scripts/wine-lanes $(LANES) $(BUILD)/wine-lanes.json
	@status=0; cd $(BUILD) && ctest --output-on-failure --resource-spec-file wine-lanes.json -j $$((2 * $(LANES) + 1)) \
		$(ARGS) || status=$$?; \
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
