# The two commands of the README:
#   make demo   builds the Windows demo and runs it under Wine
#   make test   builds everything and runs every test of every build
# Both install the Debian packages they need first (scripts/install-deps).
#
# Single builds: make native | windows | i686

SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc)

NATIVE := $(BUILD)/native
WIN64 := $(BUILD)/win64
WIN32 := $(BUILD)/i686

.PHONY: all deps native windows i686 test test-native test-windows demo format clean

all: native windows

deps:
	@scripts/install-deps

native: deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(NATIVE) -j$(JOBS)

windows: deps
	cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WIN64) -j$(JOBS)

# 32-bit Windows: compiled and linked to prove it builds; it cannot run here.
i686: deps
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DFILLAHEAD_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
	cmake --build $(WIN32) -j$(JOBS)

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

test-windows: windows
	ctest --test-dir $(WIN64) --output-on-failure -j$(JOBS)

test: test-native test-windows i686

demo: deps
	cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WIN64) -j$(JOBS) --target FillaheadDemo
	demo/run-demo $(WIN64)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
