# The front door: `make run` and `make test` install what is missing,
# configure, build and then run the console or the whole test suite.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
ARGS ?=
BENCH_RUNS ?= 5

# Debian packages the build and the tests need.
PACKAGES := cmake ninja-build g++ make python3 python3-pexpect libgtest-dev libgmock-dev \
            libbenchmark-dev unicode-data
FUZZ_PACKAGES := clang libclang-rt-14-dev
BENCH_PACKAGES := lua5.4

RELEASE_DIR := build/release
ASAN_DIR := build/asan
FUZZ_DIR := build/fuzz

.PHONY: run test test-asan test-stress fuzz bench deps build clean

# Installs whatever of the listed packages is missing (needs root; skipped when all are present).
define install_missing
	@missing=""; for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  if [ "$$(id -u)" != 0 ]; then echo "run as root to install:$$missing" >&2; exit 1; fi; \
	  export DEBIAN_FRONTEND=noninteractive; \
	  apt-get update -qq && apt-get install -y -qq --no-install-recommends $$missing >/dev/null; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

$(RELEASE_DIR)/build.ninja: | deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: deps $(RELEASE_DIR)/build.ninja
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: build
	./$(RELEASE_DIR)/zel $(ARGS)

test: build
	cd $(RELEASE_DIR) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

# The whole suite with a collection (and a move of every live buffer) at every safe point.
test-stress: build
	cd $(RELEASE_DIR) && ZEL_GC_STRESS=1 ctest --output-on-failure -j $(JOBS)

fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	CXX=clang++ CC=clang cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)

# The Google Benchmark programs, then the same small programs timed in Zel, Python and Lua.
bench: build
	$(call install_missing,$(BENCH_PACKAGES))
	@for b in $(RELEASE_DIR)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done; true
	python3 bench/run_lang_bench.py --zel $(RELEASE_DIR)/zel --runs $(BENCH_RUNS)

clean:
	rm -rf build
