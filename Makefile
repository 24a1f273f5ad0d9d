# The kit's two commands: `make demo` and `make test`. Each installs what is missing, builds, and runs.
SHELL := /bin/bash
BUILD := build
JOBS ?= 2

.PHONY: all bootstrap build test demo bench medium update lint stress soak check-reproducible clean

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

# The sample medium (build/medium), its ISO 9660 image labelled "Veyla" and a sample update (build/update);
# with CONTENT=folder (and PRODUCT=name, veyla unless given) the medium of that product from the
# release engineer's content folder, checked first: build/media/<product>/disc<N> and disc<N>.iso
# (CAPACITY_MB=n for discs other than a 650 MB CD). `make update PRODUCT=name CONTENT=folder` makes
# build/updates/<product> from a folder of the update's files.
# SIGN_PKCS12=file SIGN_PASSWORD_FILE=file (and SIGN_TIMESTAMP_URL=url) sign the programs placed on it.
PRODUCT ?= veyla
SIGNING := $(if $(SIGN_PKCS12),--sign-pkcs12 "$(SIGN_PKCS12)" --sign-password-file "$(SIGN_PASSWORD_FILE)") \
  $(if $(SIGN_TIMESTAMP_URL),--sign-timestamp-url "$(SIGN_TIMESTAMP_URL)")
medium: build
ifdef CONTENT
	@python3 scripts/make-medium.py $(BUILD) --product $(PRODUCT) --content "$(CONTENT)" \
	  $(if $(CAPACITY_MB),--capacity-mb $(CAPACITY_MB)) $(SIGNING)
else
	@python3 scripts/make-medium.py $(BUILD) $(SIGNING)
	@xorriso -as mkisofs -quiet -V Veyla -J -r -o $(BUILD)/medium.iso $(BUILD)/medium
	@echo "medium: ISO image $(BUILD)/medium.iso"
endif

update: build
	@[ -n "$(CONTENT)" ] || { echo "update: give CONTENT=folder (and PRODUCT=name)" >&2; exit 1; }
	@python3 scripts/make-update.py $(BUILD) --product $(PRODUCT) --content "$(CONTENT)" $(SIGNING)

demo: medium
	@scripts/demo.sh

# Benchmarks (not tests; CI does not run them).
bench: build
	@scripts/bench-copy.sh

# Static analysis of the project's own code (cppcheck, clang-tidy); CI runs it after the tests.
lint: build
	@scripts/lint.sh

# The longer robustness run: many more damaged archives, every tncfg.dat length from 0 to 300. The
# test programs run directly rather than through CTest, whose per-test timeout is made for make test:
# a run of 20,000 archives takes as long as it needs.
stress: build
	@scripts/bench.sh start
	@rc=0; export KIT_STRESS_CASES=$${KIT_STRESS_CASES:-20000}; \
	  scripts/wine-run.sh $(BUILD)/tests/setup_engine_tests.exe --gtest_filter='Robustness.*:Installs.*' || rc=$$?; \
	  scripts/wine-run.sh $(BUILD)/tests/tunewell_tests.exe --gtest_filter='*.EveryFileLength*' || rc=$$?; \
	  scripts/bench.sh stop; exit $$rc

# The whole suite round after round under CPU load (KIT_SOAK_RUNS=5, KIT_SOAK_LOAD=one per core); not run by CI.
soak: build
	@scripts/soak.sh

# Two builds of the committed sources in different folders give byte-identical shipped programs.
check-reproducible: bootstrap
	@scripts/check-reproducible.sh

clean:
	rm -rf $(BUILD)
