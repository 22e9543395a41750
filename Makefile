# The one entry point: `make test` and `make demo` do everything on a fresh
# machine (dependencies, configure, build, run).
JOBS ?= 2
CTEST = ctest --output-on-failure -j $(JOBS)

.PHONY: all setup setup-base setup-test setup-windows setup-bench test demo dev asan tsan test-dev test-asan test-tsan windows test-windows release bench fuzz fuzz-build fuzz-long test-fuzz valgrind install clean

all: dev

# What each target needs, installed once (scripts/setup.sh, idempotent):
# the demo and a dev build only the base packages.
setup:
	@bash scripts/setup.sh all
setup-base setup-test setup-windows setup-bench: setup-%:
	@bash scripts/setup.sh $*

dev: setup-base
asan: setup-test
release: setup-bench
dev asan release:
	@cmake --preset $@ >/dev/null
	cmake --build build/$@ -j $(JOBS)

# Under ThreadSanitizer: the fake transport's threading test, sessions on
# threads side by side, and the libcurl transport's end-to-end suite (cancel
# and resume racing with requests, sessions sharing one transport).
tsan: setup-test
	@cmake --preset tsan >/dev/null
	cmake --build build/tsan -j $(JOBS) --target test_io test_exports test_e2e_curl

test-dev: setup-test dev
	cd build/dev && $(CTEST)

test-asan: asan
	cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

test-tsan: tsan
	cd build/tsan && TSAN_OPTIONS=halt_on_error=1 $(CTEST) -L tsan

# Windows x86-64, cross-built with mingw-w64 into build/windows: kova.dll
# (with libkova.dll.a, kova.def and kova.h), kova_winhttp.dll and kova.exe.
windows: setup-windows
	@cmake --preset windows >/dev/null
	cmake --build build/windows -j $(JOBS)
	@echo "Windows build in build/windows: kova.dll libkova.dll.a kova.def kova.h kova_winhttp.dll kova.exe"
	@echo "run it: scripts/wine-run.sh build/windows/kova.exe demo"

# The Windows build's suites under Wine (its own prefix in build/windows),
# then the prefix's wineserver is stopped, pass or fail.
# A test that fails under Wine runs once more, on its own, and the log says
# so: a Windows test program has been seen to end at once, with no output at
# all, while other programs ran beside it under the same wineserver (once in
# some ten runs of the suite, never when run alone). A test that fails again
# fails the run.
test-windows: windows
	cd build/windows && { $(CTEST) || { echo "test-windows: running the failed tests again, one at a time"; \
	  ctest --output-on-failure --rerun-failed --no-tests=error; }; }; status=$$?; ../../scripts/wine-run.sh --stop; exit $$status

# The whole suite, then again under ASan+UBSan, then the thread-safety test,
# then the Windows build under Wine, then every fuzz target for a bounded time.
test: test-dev test-asan test-tsan test-windows test-fuzz

demo: dev
	@if [ -x build/dev/cli/kova ]; then build/dev/cli/kova demo; \
	else build/dev/tests/kova_version_demo; fi

bench: release
	@if [ -x build/release/bench/kova_bench ]; then bash bench/run.sh build/release; \
	else echo "no benchmarks built"; fi

fuzz: fuzz-build
# Only the fuzz targets: the shared library does not link under clang's ASan
# (the runtime lives in the executable, and the library links --no-undefined).
fuzz-build: setup-test
	@cmake --preset fuzz >/dev/null && cmake --build build/fuzz -j $(JOBS) --target kova_fuzzers
	@if [ -f fuzz/run.sh ]; then bash fuzz/run.sh build/fuzz $${FUZZ_SECONDS:-60}; fi

# CI's fuzzing: the fuzz targets only (not the whole tree under clang), their
# corpus replays, then FUZZ_SECONDS (default 30) of fuzzing per target.
test-fuzz: setup-test
	@cmake --preset fuzz >/dev/null && cmake --build build/fuzz -j $(JOBS) --target kova_fuzzers
	cd build/fuzz && $(CTEST) -L fuzz
	bash fuzz/run.sh build/fuzz $${FUZZ_SECONDS:-30}

fuzz-long:
	$(MAKE) fuzz FUZZ_SECONDS=$${FUZZ_SECONDS:-900}

# The project does not include(CTest), so ctest is told which memory checker
# to run; any memcheck error or definite leak fails the test.
# Then the CLI's end-to-end cases, every kova run under valgrind with its
# default leak kinds (a leak fails the case with status 99), against a server
# of their own: run directly, as they take longer than CTest's time-out for
# the suite allows.
valgrind: setup-test dev
	cd build/dev && ctest --output-on-failure -T memcheck -LE "tsan|e2e" \
	  --overwrite MemoryCheckCommand=$$(command -v valgrind) \
	  --overwrite "MemoryCheckCommandOptions=--error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite"
	@dir=build/dev/valgrind-e2e; python3 tests/e2e/server.py start --dir $$dir --lifetime 3600 || exit 1; \
	KOVA_BIN=build/dev/cli/kova KOVA_E2E_DIR=$$dir \
	  KOVA_RUNNER="$$(command -v valgrind) --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,possible -q" \
	  python3 tests/e2e/test_cli.py Cli; status=$$?; python3 tests/e2e/server.py stop --dir $$dir; exit $$status

# PREFIX is set at configure time too, as the prefix cmake --install uses;
# the pkg-config files name the prefix they are installed to in any case.
install: setup-bench
	@cmake --preset release $(if $(PREFIX),-DCMAKE_INSTALL_PREFIX=$(PREFIX),) >/dev/null
	cmake --build build/release -j $(JOBS)
	cmake --install build/release

clean:
	rm -rf build
