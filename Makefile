# Front door: `make run` and `make test` work on a fresh Debian 12 machine.
PRESET ?= default
JOBS ?= $(shell nproc)
BUILD = build/$(PRESET)

.PHONY: all deps build run test asan fuzz bench clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake --preset $(PRESET)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

asan:
	$(MAKE) test PRESET=asan

fuzz: deps
	cmake --preset fuzz
	cmake --build build/fuzz -j $(JOBS)
	bash scripts/fuzz-smoke.sh build/fuzz $${FUZZ_SECONDS:-20}

bench: build
	bash bench/run.sh $(BUILD)

clean:
	rm -rf build
