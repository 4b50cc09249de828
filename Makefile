# Thin wrapper over CMake: `make demo` runs the showcase, `make test` every test,
# `make docs` builds the API reference into $(BUILD)/docs/html.
# Each prints one line per step; the full logs go to $(BUILD)/logs/.
# `make test CTEST_ARGS="-L svg"` runs a subset.
BUILD ?= build
JOBS ?= $(shell nproc)
CTEST_ARGS ?=
export BUILD JOBS CTEST_ARGS

.PHONY: all deps configure build demo test docs bench clean windows

all: build

deps:
	@scripts/install-deps.sh test

configure: deps
	@cmake --preset default >/dev/null

build:
	@scripts/make-steps.sh build

demo:
	@scripts/make-steps.sh demo

test:
	@scripts/make-steps.sh test

docs:
	@scripts/make-docs.sh

bench: build
	@for b in $(BUILD)/bench/bench_* $(BUILD)/bench/*/bench_*; do \
	  if [ -x $$b ]; then $$b || exit 1; fi; done

# The Windows DLLs, cross-compiled with MinGW-w64 into build-windows/, and every suite
# under Wine (scripts/ci-windows.sh; after `make test` it also compares with Linux).
windows:
	@scripts/ci-windows.sh

clean:
	rm -rf $(BUILD) build-asan build-windows showcase-out
