# Quick start: `make demo` builds and runs the demo; `make test` builds and runs every test.
PRESET ?= default
JOBS   ?= $(shell nproc)

.PHONY: all deps build demo test test-asan bench clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

demo: build
	./build$(if $(filter asan,$(PRESET)),-asan,)/tools/kvpoly-demo out

test: build
	ctest --preset $(PRESET) -j $(JOBS)

test-asan:
	$(MAKE) test PRESET=asan

bench: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)
	@for b in build/bench/kvbench_*; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

clean:
	rm -rf build build-asan out
