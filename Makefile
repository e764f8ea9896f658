# make run:  installs what is missing, builds everything and starts Tarvik.
# make test: installs what is missing, builds (Release, GCC) and runs every test, then again
#            built by clang under AddressSanitizer and UndefinedBehaviorSanitizer, then runs
#            each fuzz target briefly. Together these are the builds a packager makes: GCC at
#            -O3 and clang. Warnings are errors in these builds (TARVIK_WERROR), not by default.
JOBS ?= $(shell nproc)
BUILD ?= build
SAN_BUILD ?= build-san
OWN_FLAGS = -G Ninja -DTARVIK_WERROR=ON

.PHONY: run test build deps san-test fuzz-smoke clean

deps:
	@tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(OWN_FLAGS) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/Tarvik ]; then $(BUILD)/bin/Tarvik $(ARGS); else echo "Built; the program itself is not there yet."; fi

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory san-test
	@$(MAKE) --no-print-directory fuzz-smoke

# The kill-during-update trials run sixty full updates of a large archive; unoptimised and
# instrumented they take longer than a test may, and they run in the Release suite above.
SAN_SKIP = CrashSafety\.KilledUpdateLeavesTheOldOrTheNewArchive

san-test: deps
	@CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) $(OWN_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS) -LE no-sanitize -E '$(SAN_SKIP)'

fuzz-smoke: deps
	@tools/fuzz-smoke.sh

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-fuzz
