# Two CMake trees: native (portable core and its unit tests) and
# cross (the Windows programs, their stand-ins and the Wine tests). Each
# target installs only what its own lane needs (cmake/setup-deps.sh).
NATIVE  := out/native
CROSS   := out/cross
LINT    := out/lint
JOBS    ?= $(shell nproc)
SANITIZE ?= ON

.PHONY: all deps deps-native deps-cross deps-wine deps-release build native cross test quick \
        unit wine lint fuzz-quick release release-check demo clean

all: build

deps: deps-wine

deps-native deps-cross deps-wine deps-release:
	@bash cmake/setup-deps.sh $(@:deps-%=%)

cross: deps-cross
	@cmake -S . -B $(CROSS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(CROSS) -j $(JOBS)

native: deps-native
	@cmake -S . -B $(NATIVE) -DQZ_SANITIZE=$(SANITIZE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

build: cross

# Every test, the quick lane first: a layout, unit or build failure shows
# within minutes, before the Wine lane starts.
test:
	@start=$$(date +%s); \
	$(MAKE) --no-print-directory quick && \
	echo "== quick lane passed after $$(( $$(date +%s) - start )) s" && \
	$(MAKE) --no-print-directory wine && \
	echo "== all lanes passed after $$(( $$(date +%s) - start )) s"

quick: lint unit cross fuzz-quick release-check

unit: native
	@cd $(NATIVE) && ctest --output-on-failure -L unit -j $(JOBS)

# The test bed is settled before the native tree is configured: the Wine
# tests' time limits come from its mode.
wine: deps-wine
	@$(MAKE) --no-print-directory native cross
	@cd $(NATIVE) && ctest --output-on-failure -L wine

# The layout check and a small set of clang-tidy checks (.clang-tidy).
lint:
	@bash cmake/setup-deps.sh lint
	@bash cmake/lint.sh $(LINT) $(JOBS)

# The four programs, the guides and SHA256SUMS in out/release, built
# reproducibly; signed when a key is given (see cmake/sign-release.sh):
#   make release SIGN_PKCS12=key.p12 [SIGN_PASS_FILE=pass.txt] [TIMESTAMP_URL=...]
#   make release SIGN_CERT=cert.pem SIGN_KEY=key.pem
release: deps-release
	@bash cmake/release.sh out/release

# Two clean releases give the same bytes; a signed one verifies and loads.
release-check: deps-release
	@bash tests/release/check_release.sh out/release-check

demo: deps-wine cross
	@bash tests/wine/demo.sh

clean:
	rm -rf out

# libFuzzer targets (clang) in a tree of their own: each runs FUZZ_RUNS
# executions; any crash, leak, timeout or sanitizer report fails.
FUZZ      := out/fuzz
FUZZ_RUNS ?= 1000000

.PHONY: fuzz

# Some thousands of runs of each target, for the quick lane.
fuzz-quick:
	@$(MAKE) --no-print-directory fuzz FUZZ_RUNS=5000

fuzz:
	@bash cmake/setup-fuzz-deps.sh
	@cmake -S . -B $(FUZZ) -DQZ_FUZZ=ON -DCMAKE_C_COMPILER=clang \
	    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)
	@bash tests/fuzz/run.sh $(FUZZ) $(FUZZ_RUNS)
