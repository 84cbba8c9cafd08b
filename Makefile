# Brackenfeld: `make demo` to try it, `make test` to run every test.
BUILD      := build
ASAN_BUILD := build-asan
BENCH_BUILD := build-bench
FUZZ_BUILD := build-fuzz
CMAKE      := cmake -G Ninja -S .
# Most tests wait, on the probe pause or a virtual display, so more run at once than there are cores.
TEST_JOBS  := 6

.PHONY: all build demo run package deb check-deb test test-fast test-asan check-windows \
	test-debian13 format clean bench fuzz

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

test: test-fast test-asan check-windows

test-fast: deps-test build
	ctest --test-dir $(BUILD) --output-on-failure -j$(TEST_JOBS)

test-asan: deps-test
	@$(CMAKE) -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DBRACKENFELD_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(TEST_JOBS)

# The product's Windows side, compiled with MinGW-w64 against Qt's headers (nothing is linked).
check-windows: deps-windows build
	@scripts/check-windows $(BUILD)

# The README's commands in a freshly bootstrapped Debian 13, from a clean clone (as root).
test-debian13: deps-try-deb
	@scripts/test-debian trixie

format: deps-format
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)

bench: deps-bench
	@bench/run

fuzz: deps-fuzz
	@CC=clang CXX=clang++ $(CMAKE) -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DBRACKENFELD_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) --target fuzz_decode fuzz_config
	@for target in decode config; do \
		mkdir -p $(FUZZ_BUILD)/corpus/$$target $(FUZZ_BUILD)/findings/$$target && \
		cp -u tests/fuzz/corpus/$$target/* $(FUZZ_BUILD)/corpus/$$target/ && \
		echo "fuzz_$$target: 60 seconds" && \
		$(FUZZ_BUILD)/tests/fuzz/fuzz_$$target -max_total_time=60 \
			-artifact_prefix=$(FUZZ_BUILD)/findings/$$target/ $(FUZZ_BUILD)/corpus/$$target \
			|| exit 1; \
	done
