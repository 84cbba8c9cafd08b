# Brackenfeld: `make demo` to try it, `make test` to run every test.
# The build trees are CMakePresets.json's: build, build-asan, build-bench, build-fuzz and
# build-windows.
BUILD      := build
# Most tests wait, on the probe pause or a virtual display, so more run at once than there are cores.
TEST_JOBS  := 6

.PHONY: all build demo run package deb check-deb test test-fast test-asan windows test-windows \
	test-debian13 format clean bench fuzz

all: build

# deps-<purpose>: the Debian packages for that purpose (scripts/install-deps lists them).
deps-%:
	@scripts/install-deps $*

build: deps-build
	@cmake --preset default >/dev/null
	@cmake --build --preset default

demo: deps-demo build
	@scripts/demo $(BUILD)

run: build
	$(BUILD)/brackenfeld

package: build
	@cd $(BUILD) && cpack -G TGZ

deb: deps-deb build
	@cd $(BUILD) && cpack -G DEB

# The package as Debian's tools see it: lintian, and the desktop entry and metainfo it ships.
check-deb: deb deps-lint
	@scripts/check-deb $(BUILD)

test: test-fast test-asan

test-fast: deps-test build
	ctest --preset default -j$(TEST_JOBS)

test-asan: deps-test
	@cmake --preset sanitizers >/dev/null
	@cmake --build --preset sanitizers
	ctest --preset sanitizers -j$(TEST_JOBS)

# The Windows program, its installer and its portable archive in build-windows/, made in a
# Debian 13 environment of their own (as root); Qt for Windows is built once and kept in the cache.
windows: deps-windows
	@scripts/windows build

# The same, then its tests under Wine: the test programs, and the installer end to end.
test-windows: deps-windows
	@scripts/windows test

# The README's commands in a freshly bootstrapped Debian 13, from a clean clone (as root).
test-debian13: deps-try-deb
	@scripts/test-debian trixie

format: deps-format
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	rm -rf build build-asan build-bench build-fuzz build-windows

bench: deps-bench
	@bench/run

fuzz: deps-fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@for target in decode config; do \
		mkdir -p build-fuzz/corpus/$$target build-fuzz/findings/$$target && \
		cp -u tests/fuzz/corpus/$$target/* build-fuzz/corpus/$$target/ && \
		echo "fuzz_$$target: 60 seconds" && \
		build-fuzz/tests/fuzz/fuzz_$$target -max_total_time=60 \
			-artifact_prefix=build-fuzz/findings/$$target/ build-fuzz/corpus/$$target \
			|| exit 1; \
	done
