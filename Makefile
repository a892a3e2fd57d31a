# Top-level commands. `make test` does everything on a fresh Debian 12 machine.
JOBS ?= $(shell nproc)
BUILD ?= build
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
# Edition of the application: international (the saved or system language) or chinese.
EDITION ?= international

.PHONY: deps configure build test bench fuzz run clean format

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DBUILD_SHARED_LIBS=ON -DBUILD_TESTS=ON -DEDITION=$(EDITION)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	scripts/check-includes
	scripts/format --check
	cd $(BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF -DBUILD_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	scripts/run-benchmarks $(BENCH_BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTS=OFF -DBUILD_GUI=OFF -DBUILD_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

format:
	scripts/format

# Builds the application without sanitizers in its own folder and starts it.
RUN_BUILD ?= build-run
NO_SESSION = no graphical session: set DISPLAY or WAYLAND_DISPLAY, or run scripts/screenshots
run:
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then echo "$(NO_SESSION)" >&2; exit 1; fi
	@scripts/install-deps
	cmake -S . -B $(RUN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=OFF -DBUILD_TESTS=OFF -DEDITION=$(EDITION)
	cmake --build $(RUN_BUILD) -j $(JOBS) --target diriza
	$(RUN_BUILD)/app/diriza

clean:
	rm -rf $(BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(RUN_BUILD) build-screenshots
