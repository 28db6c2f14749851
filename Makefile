# The two commands of the README: `make run` and `make test`. Plain `make` builds both layers.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
NATIVE := build/native
WIN32 := build/win32

.PHONY: all deps native win32 test run clean

all: deps native win32

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

test: all
	scripts/with-rig.sh scripts/run-tests.sh

run: all
	scripts/run-app.sh

clean:
	rm -rf build
