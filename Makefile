# make        builds both builds and leaves the deliverables in dist/
# make test   runs every test of both builds (native unit tests and fuzzing, then Wine tests)
# make demo   the main job shown whole under Wine on Xvfb: saver, preview, settings, plug-in,
#             with the reference main application; pictures in build/demo/
# make demo-pictures   the same, and the pictures copied into docs/ for the README
# make bench  benchmarks, ratios measured side by side in one run
# make fuzz   fuzzes longer: make fuzz FUZZ_SECONDS=3600
# Each target first installs, idempotently, what is missing on a fresh Debian machine.

FUZZ_SECONDS ?= 600
JOBS ?= $(shell nproc)

.PHONY: all deps build host win32 win64 test test-host test-wine demo demo-pictures bench fuzz clean

# The Wine tests run the i686 build where the machine executes 32-bit x86 code, else the x86_64
# build of the same sources (see tools/wine-arch).
WINE_ARCH := $(shell tools/wine-arch)

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	@$(MAKE) --no-print-directory host win32 $(if $(filter win64,$(WINE_ARCH)),win64)

host:
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

win32 win64:
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

test: build
	@bash tools/run-tests

test-host: build
	ctest --preset host -j $(JOBS) --no-tests=error

test-wine: build
	NVR_WINE_ARCH=$(WINE_ARCH) tools/wine-bed ctest --preset $(WINE_ARCH) -E '^Monitors\.' --no-tests=error
	for layout in right left; do NVR_MONITORS=$$layout NVR_WINE_ARCH=$(WINE_ARCH) \
	  tools/wine-bed ctest --preset $(WINE_ARCH) -L monitors --no-tests=error || exit 1; done

demo: build
	@bash tools/demo

demo-pictures: build
	@bash tools/demo --docs

bench: build
	tools/wine-bed bash tools/bench

fuzz: build
	@set -e; for f in build/host/bin/fuzz_*; do n=$${f##*/fuzz_}; \
	  tools/run-fuzz $$f $$n build/host/corpus/$$n $(FUZZ_SECONDS); done

clean:
	rm -rf build dist
