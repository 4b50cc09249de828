# Thin wrapper over CMake: `make demo` runs the showcase, `make test` every test.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build demo test bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake --preset default >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@$(BUILD)/examples/showcase/showcase

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x $$b ] && $$b; done

clean:
	rm -rf $(BUILD) build-asan showcase-out
