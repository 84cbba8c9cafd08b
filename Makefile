# Brackenfeld: `make demo` to try it, `make test` to run every test.
BUILD      := build
ASAN_BUILD := build-asan
CMAKE      := cmake -G Ninja -S .

.PHONY: all build demo run package deb check-deb test test-fast test-asan format clean bench fuzz

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

test: test-fast test-asan

test-fast: deps-test build
	ctest --test-dir $(BUILD) --output-on-failure -j2

test-asan: deps-test
	@$(CMAKE) -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DBRACKENFELD_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2

format: deps-format
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

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
