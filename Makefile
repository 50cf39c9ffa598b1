# Two CMake trees: native (portable core and its unit tests) and
# cross (the Windows programs, their stand-ins and the Wine tests).
NATIVE  := out/native
CROSS   := out/cross
JOBS    ?= $(shell nproc)
SANITIZE ?= ON

.PHONY: all deps build native cross test unit wine demo clean

all: build

deps:
	@bash cmake/setup-deps.sh

cross: deps
	@cmake -S . -B $(CROSS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(CROSS) -j $(JOBS)

native: deps
	@cmake -S . -B $(NATIVE) -DQZ_SANITIZE=$(SANITIZE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

build: cross

test: native cross
	@cd $(NATIVE) && ctest --output-on-failure

unit: native
	@cd $(NATIVE) && ctest --output-on-failure -L unit

wine: native cross
	@cd $(NATIVE) && ctest --output-on-failure -L wine

demo: cross
	@bash tests/wine/demo.sh

clean:
	rm -rf out

# libFuzzer targets (clang) in a tree of their own: each runs FUZZ_RUNS
# executions; any crash, leak, timeout or sanitizer report fails.
FUZZ      := out/fuzz
FUZZ_RUNS ?= 1000000

.PHONY: fuzz

fuzz:
	@bash cmake/setup-fuzz-deps.sh
	@cmake -S . -B $(FUZZ) -DQZ_FUZZ=ON -DCMAKE_C_COMPILER=clang \
	    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)
	@bash tests/fuzz/run.sh $(FUZZ) $(FUZZ_RUNS)
