# Quick start: `make demo` builds and runs the demo; `make test` builds and runs every test.
#   PRESET=default|ci|asan|clang|i386   the CMake preset (build folder build or build-<preset>)
PRESET       ?= default
JOBS         ?= $(shell nproc)
FUZZ_SECONDS ?= 60
BUILD_DIR    := build$(if $(filter default,$(PRESET)),,-$(PRESET))
# Which packages a preset needs (scripts/install-deps.sh).
DEPS_KIND    := $(or $(filter i386,$(PRESET)),$(if $(filter clang,$(PRESET)),clang test,test))
SEEDS        := $(wildcard ../shared/testdata)

.PHONY: all deps configure build demo test test-asan windows clang fuzz bench bench-kvtex clean

all: build

deps:
	@scripts/install-deps.sh $(DEPS_KIND)

configure:
	cmake --preset $(PRESET) >/dev/null

build: deps configure
	cmake --build --preset $(PRESET) -j $(JOBS)

# Only what the demo needs: the libraries and the demo itself.
demo:
	@scripts/install-deps.sh demo
	$(MAKE) --no-print-directory configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target kvpoly-demo
	./$(BUILD_DIR)/tools/kvpoly-demo out

test: build
	ctest --preset $(PRESET) -j $(JOBS)

test-asan:
	$(MAKE) test PRESET=asan

# The 32-bit Windows DLL alone, with its export check (build-windows/kvPolygon.dll).
windows:
	@scripts/install-deps.sh windows
	JOBS=$(JOBS) scripts/build-windows-dll.sh build-windows

clang:
	$(MAKE) test PRESET=clang

# Builds every fuzz/*_fuzz.cpp target (one for each of the nine readers, one for the whole
# dispatch) and runs each for FUZZ_SECONDS within 512 MB and 1 s an input, its corpus kept
# in build-fuzz/corpus/<target>, seeded from the shared test images when they are there.
# AddressSanitizer holds 64 MB of freed blocks rather than its usual 256 MB, so that the
# memory limit measures what the readers hold (a 64 MiB decode and 256 MB of old ones
# came within 20 MB of it).
fuzz:
	@scripts/install-deps.sh fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	@set -e; for f in build-fuzz/fuzz/kvfuzz_*; do \
	  [ -x "$$f" ] || continue; \
	  corpus=build-fuzz/corpus/$$(basename $$f); mkdir -p $$corpus; \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  ASAN_OPTIONS=$${ASAN_OPTIONS:-quarantine_size_mb=64} \
	  $$f -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=512 -timeout=1 -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/ $$corpus $(SEEDS); \
	done

bench:
	@scripts/install-deps.sh $(DEPS_KIND) bench
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)
	@for b in build/bench/kvbench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

# kvtex side by side with ImageMagick (and the nvidia texture tools when installed): one
# table of times, peak memory and DXT1 PSNR; a few minutes, most of them ImageMagick's
# cluster fit.
bench-kvtex:
	@scripts/install-deps.sh $(DEPS_KIND) bench
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS) --target kvtex
	bench/kvtex_vs_peers.py --kvtex build/tools/kvtex

clean:
	rm -rf build build-* out
