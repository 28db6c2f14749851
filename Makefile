# The two commands of the README: `make run` and `make test`. Plain `make` builds both layers.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
NATIVE := build/native
WIN32 := build/win32
WIN64 := build/win64
NATIVE32 := build/native32

FUZZ := build/fuzz
FUZZ_SECONDS ?= 600

.PHONY: all deps native native32 win32 win64 test run clean fuzz bench

# Both Windows builds, always: the product and its 64-bit twin (see README).
all: deps native win32 win64

deps:
	@scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

native: deps $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

win32: deps $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j $(JOBS)

$(WIN64)/CMakeCache.txt:
	cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake

win64: deps $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j $(JOBS)

# The core's unit tests as a 32-bit Linux program, for its 32-bit size_t and long.
$(NATIVE32)/CMakeCache.txt:
	cmake -S . -B $(NATIVE32) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i386.cmake -DAURECHO_CORE_TESTS_ONLY=ON

native32: deps $(NATIVE32)/CMakeCache.txt
	cmake --build $(NATIVE32) -j $(JOBS) --target core_tests

test: all native32
	scripts/with-rig.sh scripts/run-tests.sh

run: all
	scripts/run-app.sh

# Fuzzes the RIFF reader and the open path for FUZZ_SECONDS under AddressSanitizer.
fuzz: deps
	cmake -S . -B $(FUZZ) -DAURECHO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build $(FUZZ) -j $(JOBS)
	mkdir -p $(FUZZ)/corpus
	$(FUZZ)/make_corpus $(FUZZ)/corpus
	$(FUZZ)/wave_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -print_final_stats=1 $(FUZZ)/corpus

# Times the core's whole-sound commands against a plain copy and SoX (not part of `make test`).
BENCH := build/bench-build
bench: deps
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH) -j $(JOBS) --target aurecho-fx summary_bench
	python3 scripts/bench.py --tool $(BENCH)/aurecho-fx --dir build/bench

clean:
	rm -rf build
