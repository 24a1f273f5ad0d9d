# The kit's two commands: `make demo` and `make test`. Each installs what is missing, builds, and runs.
SHELL := /bin/bash
BUILD := build
JOBS ?= 2

.PHONY: all bootstrap build test demo bench stress medium clean

all: build

bootstrap:
	@scripts/bootstrap.sh

build: bootstrap
	@[ -f $(BUILD)/build.ninja ] || cmake --preset mingw >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Starts the bench (prefix, virtual display, wineserver), runs every test under Wine, stops the bench.
test: build
	@scripts/bench.sh start
	@set -o pipefail; rc=0; \
	  (cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300) || rc=$$?; \
	  scripts/bench.sh stop; exit $$rc

demo: build
	@scripts/demo.sh

# Benchmarks (not tests; CI does not run them).
bench: build
	@scripts/bench-copy.sh

clean:
	rm -rf $(BUILD)
