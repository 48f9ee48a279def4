# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing,
# configure and build first.

BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = profilefile rule siterules import legacyutf8 host
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test test-sanitize fuzz deps deps-run build programs bench install package clean browser-deps

# What the programs need (make run), and what every test needs besides (make test).
deps-run:
	@scripts/install-deps run

deps:
	@scripts/install-deps test

$(BUILD)/CMakeCache.txt: | deps-run
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The window, quorvane-cli and the browser host alone: a new user's first build.
programs: deps-run $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target quorvane quorvane-cli quorvane-browser-host

# Everything: the programs, the tests, the benchmarks and the tools.
build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: programs
	@if [ -z "$${DISPLAY:-}" ] && [ -z "$${WAYLAND_DISPLAY:-}" ]; then \
		echo "make run: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)."; \
		echo "Start Quorvane from a desktop session, or try it headless: xvfb-run $(BUILD)/quorvane"; \
		exit 1; \
	fi
	$(BUILD)/quorvane

# The browser tests' pinned puppeteer-core (tests/browser/package-lock.json); no browser is
# downloaded, they drive Debian's chromium and firefox-esr.
browser-deps:
	cd tests/browser && npm ci --no-audit --no-fund --loglevel=error

test: build browser-deps
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer; any report fails it.
# Leak detection is off: the toolkit's own one-time allocations would drown real reports.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

# Every parser of outside input under libFuzzer (clang, AddressSanitizer, UBSan), FUZZ_SECONDS
# each, from the seeds in tests/fuzz/<name>/; any crash, report or broken property fails it.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(addprefix fuzz-,$(FUZZ_TARGETS))
	scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: build
	$(BUILD)/quorvane-bench
	$(BUILD)/quorvane-bench-processes
	QT_QPA_PLATFORM=offscreen $(BUILD)/quorvane-bench-windows

install: programs
	cmake --install $(BUILD)

# The Debian packages, made as Debian makes its own (debian/: dh with the CMake build), into
# $(BUILD)/: quorvane (the programs), webext-quorvane (the extension for both browsers) and the
# programs' debug information; apt install ./build/quorvane_*.deb ./build/webext-quorvane_*.deb.
package: deps
	scripts/build-packages $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
