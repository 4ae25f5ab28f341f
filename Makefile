# The two commands of the README:
#   make demo   builds the Windows demo and runs it under Wine
#   make test   builds everything and runs every test of every build
# Both install the Debian packages they need first (scripts/install-deps).
#
# Single builds: make native | windows | i686 | sanitize | fuzz

SHELL := /bin/bash
BUILD ?= build
JOBS ?= $(shell nproc)

NATIVE := $(BUILD)/native
WIN64 := $(BUILD)/win64
WIN32 := $(BUILD)/i686
SANITIZE := $(BUILD)/sanitize
FUZZ := $(BUILD)/fuzz
# Seconds each fuzzer runs in make test.
FUZZ_SECONDS ?= 10

.PHONY: all deps native windows i686 sanitize fuzz test test-native test-windows \
	test-sanitize test-fuzz bench-windows demo format clean

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

# The native tests again with AddressSanitizer and UndefinedBehaviorSanitizer,
# and with the plain loops that stand in for SSE2 elsewhere (the fuzzers run
# the SSE2 ones under the sanitizers). -O1 and line tables only, as the
# sanitizers advise: reports keep their file and line, the build takes less.
sanitize: deps
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFILLAHEAD_BENCHMARKS=OFF \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
	  -DFILLAHEAD_SANITIZERS=address,undefined -DCMAKE_CXX_FLAGS=-DFILLAHEAD_PLAIN_LOOPS
	cmake --build $(SANITIZE) -j$(JOBS)

# libFuzzer targets (clang), seeded with the test fixtures.
fuzz: deps
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFILLAHEAD_TESTS=OFF \
	  -DFILLAHEAD_BENCHMARKS=OFF -DFILLAHEAD_FUZZERS=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ) -j$(JOBS) --target rowset_xml_fuzzer recordset_filter_fuzzer

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

test-windows: windows
	ctest --test-dir $(WIN64) --output-on-failure -j$(JOBS)

test-sanitize: sanitize
	ctest --test-dir $(SANITIZE) --output-on-failure -j$(JOBS)

test-fuzz: fuzz
	mkdir -p $(FUZZ)/corpus/rowset_xml $(FUZZ)/corpus/recordset_filter
	$(FUZZ)/fuzz/rowset_xml_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  -artifact_prefix=$(FUZZ)/ -dict=fuzz/rowset.dict $(FUZZ)/corpus/rowset_xml tests/platform/recordset/data
	$(FUZZ)/fuzz/recordset_filter_fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  -artifact_prefix=$(FUZZ)/ $(FUZZ)/corpus/recordset_filter fuzz/seeds/filter

test: test-native test-windows i686 test-sanitize test-fuzz

# The list window's speed under Wine: key to painted list and Win32 calls per
# key, and storing a value (bench/win32).
bench-windows: windows
	cmake --build $(WIN64) -j$(JOBS) --target list_window_bench
	cmake/wine-session start $(WIN64)
	cmake/wine-run $(WIN64)/bench/win32/list_window_bench.exe; status=$$?; \
	  cmake/wine-session stop $(WIN64); exit $$status

demo: deps
	cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WIN64) -j$(JOBS) --target FillaheadDemo
	demo/run-demo $(WIN64)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
