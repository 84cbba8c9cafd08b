# Brackenfeld: `make demo` to try it, `make test` to run every test.
BUILD      := build
ASAN_BUILD := build-asan
CMAKE      := cmake -G Ninja -S .

.PHONY: all deps build test test-fast test-asan format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@$(CMAKE) -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD)

test: test-fast test-asan

test-fast: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

test-asan: deps
	@$(CMAKE) -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DBRACKENFELD_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
