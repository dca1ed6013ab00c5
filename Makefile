# Trevolia: top-level commands. Each target installs missing Debian packages
# first, so they work on a fresh machine.
#   make run    build and start the program
#   make test   build, then run the test suite (normal and sanitizer builds)
#   make bench  build and run the benchmarks
#   make fuzz   build the parsers' libFuzzer targets with clang (build/fuzz)
#               and run each for FUZZ_SECONDS seconds
BUILD      ?= build
SANITIZE   ?= $(BUILD)/sanitize
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
FUZZ_BUILD   ?= $(BUILD)/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= xfile effect image
FUZZ_FLAGS   ?= -fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer
# Window and device tests need an X server; run them on a private virtual one.
HEADLESS   ?= xvfb-run -a -s "-screen 0 1280x1024x24"

.PHONY: all deps build run test test-normal test-sanitize build-sanitize bench fuzz clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

build-sanitize: deps
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug -DTREVOLIA_SANITIZE=ON -DTREVOLIA_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(SANITIZE) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/trevolia ]; then \
	  cd $(BUILD) && ./trevolia $(ARGS); \
	else \
	  echo "Build finished. There is no program to start yet: the application comes in a later step."; \
	fi

test-normal: build
	$(HEADLESS) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The sanitizer run draws with Mesa's softpipe without LLVM: the slow unwinding
# of every allocation deadlocks in libgcc's unwinder when llvmpipe's JIT
# registers the frames of new shader code.
test-sanitize: build-sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  GALLIUM_DRIVER=softpipe DRAW_USE_LLVM=0 \
	  $(HEADLESS) ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

test: test-normal test-sanitize

bench: build
	$(BUILD)/bench/trevolia_bench

# The fuzz build is separate from the test suite: clang and its fuzzer
# runtime are installed here only. New inputs go to $(FUZZ_BUILD)/corpus/<t>;
# the committed seeds in fuzz/corpus/<t> are only read. A finding stops the
# run and leaves its input in $(FUZZ_BUILD)/.
fuzz:
	@./scripts/install-deps.sh clang libclang-rt-14-dev
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_C_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" \
	  -DTREVOLIA_FUZZ=ON -DTREVOLIA_TESTS=OFF -DTREVOLIA_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_BUILD)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/fuzz_$$t- $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

clean:
	rm -rf $(BUILD)
