# The two everyday commands: `make demo` and `make test`. Both install
# missing Debian packages first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build test demo bench fuzz soak clean

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

# Release build in build-bench; runs every benchmark and prints one table of
# medians and their ratios to baselines measured in the same run.
bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKICKSTAND_BENCH=ON \
	  -DKICKSTAND_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	python3 bench/run_all.py --build build-bench

# SOAK_BOOTS boots in one host tree, the command executor killed in each.
SOAK_BOOTS ?= 50
soak: build
	python3 tests/soak/soak.py --kickstand $(BUILD)/kickstand --boots $(SOAK_BOOTS)

# Each libFuzzer target runs for FUZZ_TIME seconds from its seed corpus;
# new inputs collect in build-fuzz/corpus/<target>.
FUZZ_TIME ?= 20
FUZZ_TARGETS = json_description debug_configuration run_once_record profiling_log control_request
FUZZ_FLAGS = -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined

fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DKICKSTAND_FUZZ=ON -DKICKSTAND_TESTS=OFF -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)"
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	for target in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$target && \
	  build-fuzz/tests/fuzz/fuzz_$$target -max_total_time=$(FUZZ_TIME) \
	    build-fuzz/corpus/$$target tests/fuzz/corpus/$$target || exit 1; \
	done

clean:
	rm -rf $(BUILD) build-*
