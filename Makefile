# Everything a fresh Debian 12 machine needs is installed by these targets themselves.
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test
BENCH_DIR := build/bench
CMAKE_COMMON := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: run build test bench deps-build deps-test deps-bench clean format

run: build
	./$(RELEASE_DIR)/src/app/kavrin32 $(ARGS)

build: deps-build
	cmake -S . -B $(RELEASE_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DKAVRIN32_TESTS=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

test: deps-test
	cmake -S . -B $(TEST_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug \
	  -DKAVRIN32_SANITIZE=ON -DKAVRIN32_WERROR=ON -DKAVRIN32_TESTS=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	scripts/run-tests.sh $(TEST_DIR)

bench: deps-bench
	cmake -S . -B $(BENCH_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release \
	  -DKAVRIN32_TESTS=OFF -DKAVRIN32_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bench/run-all.sh $(BENCH_DIR)

deps-build:
	scripts/install-deps.sh build
deps-test:
	scripts/install-deps.sh test
deps-bench:
	scripts/install-deps.sh bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
