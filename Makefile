# Trevolia: top-level commands. Each target installs missing Debian packages
# first, so they work on a fresh machine.
#   make run    build and start the program
#   make test   build, then run the test suite (normal and sanitizer builds)
#   make bench  build and run the benchmarks
BUILD      ?= build
SANITIZE   ?= $(BUILD)/sanitize
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
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

test-sanitize: build-sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  $(HEADLESS) ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

test: test-normal test-sanitize

bench: build
	$(BUILD)/bench/trevolia_bench

clean:
	rm -rf $(BUILD)
