# Brenzo: `make run` and `make test` do the whole set-up on a fresh Debian 12 machine.
SHELL := /bin/bash
BUILD := build/default
BIN := $(BUILD)/bin

.PHONY: all setup build test test-debug test-windows run samples bench fuzz fuzz-run clean

all: build

setup:
	@scripts/setup

build: setup
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j 2

# The tests run on the `ci` build: the same as `default`, with every warning an error.
test: setup
	@cmake --preset ci >/dev/null
	@cmake --build --preset ci -j 2
	@ctest --preset ci
	@$(MAKE) --no-print-directory test-windows

# The tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-debug: setup
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j 2
	@ctest --preset debug

test-windows: setup
	@scripts/test-windows

samples: build
	@$(BIN)/brenzo-cli samples samples
	@cp samples/Hashes.ini $(BIN)/Hashes.ini

run: samples
	@scripts/run-editor $(BIN)

bench: build
	@scripts/bench $(BIN)

fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j 2

# Every fuzzer for FUZZ_TIME seconds (default 60); fails on any finding.
fuzz-run: fuzz
	@FUZZ_TIME=$(or $(FUZZ_TIME),60) FUZZ_JOBS=$(or $(FUZZ_JOBS),1) scripts/fuzz-run

clean:
	rm -rf build samples
