# The two everyday commands: `make demo` and `make test`. Both install
# missing Debian packages first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build test demo package bench fuzz soak clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	scripts/demo.sh $(BUILD)

# The Debian package, $(BUILD)/kickstand_VERSION_ARCH.deb (CPack).
package: build
	cmake --build $(BUILD) --target package

# Release build in build-bench; runs every benchmark and prints one table of
# medians and their ratios to baselines measured in the same run.
bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKICKSTAND_BENCH=ON \
	  -DKICKSTAND_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	python3 bench/run_all.py --build build-bench

# SOAK_BOOTS boots in one host tree, the command executor killed in each;
# then DURABILITY_KILLS boots killed while they replace the run-once record
# and the profiling log.
SOAK_BOOTS ?= 50
DURABILITY_KILLS ?= 200
soak: build
	python3 tests/soak/soak.py --kickstand $(BUILD)/kickstand --boots $(SOAK_BOOTS)
	python3 tests/soak/durability.py --kickstand $(BUILD)/kickstand --kills $(DURABILITY_KILLS)

# Every libFuzzer target, tests/fuzz/fuzz_<target>.cpp with its seeds in
# tests/fuzz/corpus/<target>/, runs for FUZZ_TIME seconds; new inputs collect
# in build-fuzz/corpus/<target>, the reproducer of a crash in
# build-fuzz/crashes/<target>/. A new target needs no line here.
FUZZ_TIME ?= 20
FUZZ_TARGETS = $(patsubst tests/fuzz/fuzz_%.cpp,%,$(wildcard tests/fuzz/fuzz_*.cpp))
FUZZ_FLAGS = -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined

fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DKICKSTAND_FUZZ=ON -DKICKSTAND_TESTS=OFF -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)"
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	tests/fuzz/run.sh build-fuzz $(FUZZ_TIME) $(FUZZ_TARGETS)

clean:
	rm -rf $(BUILD) build-*
