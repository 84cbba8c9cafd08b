# Brackenfeld: `make demo` to try it, `make test` to run every test.
BUILD      := build
ASAN_BUILD := build-asan
PORTABLE_BUILD := build-portable
CMAKE      := cmake -G Ninja -S .
# Most tests wait, on the probe pause or a virtual display, so more run at once than there are cores.
TEST_JOBS  := 6

.PHONY: all build demo run package deb check-deb test test-fast test-asan test-portable format \
	clean bench fuzz

all: build

# deps-<purpose>: the Debian packages for that purpose (scripts/install-deps lists them).
deps-%:
	@scripts/install-deps $*

build: deps-build
	@$(CMAKE) -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD)

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

test: test-fast test-asan test-portable

test-fast: deps-test build
	ctest --test-dir $(BUILD) --output-on-failure -j$(TEST_JOBS)

test-asan: deps-test
	@$(CMAKE) -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DBRACKENFELD_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(TEST_JOBS)

# The decoder's plain loops, which this machine would otherwise never take, with the tests of the
# decoder and the receive loop.
test-portable: deps-test
	@$(CMAKE) -B $(PORTABLE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DBRACKENFELD_PORTABLE_DECODE=ON >/dev/null
	@cmake --build $(PORTABLE_BUILD) --target tst_uploadframe tst_receiveloop
	ctest --test-dir $(PORTABLE_BUILD) --output-on-failure -R '^tst_(uploadframe|receiveloop)$$'

format: deps-format
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(PORTABLE_BUILD)

bench: deps-bench
	@bench/run

fuzz: deps-fuzz
	@CC=clang CXX=clang++ $(CMAKE) -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DBRACKENFELD_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build build-fuzz --target fuzz_decode fuzz_config
	@for target in decode config; do \
		mkdir -p build-fuzz/corpus/$$target build-fuzz/findings/$$target && \
		cp -u tests/fuzz/corpus/$$target/* build-fuzz/corpus/$$target/ && \
		echo "fuzz_$$target: 60 seconds" && \
		build-fuzz/tests/fuzz/fuzz_$$target -max_total_time=60 \
			-artifact_prefix=build-fuzz/findings/$$target/ build-fuzz/corpus/$$target \
			|| exit 1; \
	done
