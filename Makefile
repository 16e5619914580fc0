# Everything a fresh Debian 12 machine needs is installed by these targets themselves.
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test
BENCH_DIR := build/bench
PACKAGE_DIR := build/package
FUZZ_DIR := build/fuzz
# Seconds per harness for make fuzz; FUZZ_TARGETS picks harnesses (default: all).
FUZZ_TIME ?= 60
FUZZ_TARGETS ?=
# Debian's own compiler and linker flags for packages, with every hardening feature.
BUILDFLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
CMAKE_COMMON := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: run build test bench fuzz fuzz-build package deps-build deps-test deps-bench deps-package clean format

run: build
	./$(RELEASE_DIR)/src/app/kavrin32 $(ARGS)

build: deps-build
	cmake -S . -B $(RELEASE_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DKAVRIN32_TESTS=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

# The test run includes a short smoke of every fuzz harness, built with clang beside the tests.
test: fuzz-build
	cmake -S . -B $(TEST_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug \
	  -DKAVRIN32_SANITIZE=ON -DKAVRIN32_WERROR=ON -DKAVRIN32_TESTS=ON \
	  -DKAVRIN32_FUZZ_DIR=$(CURDIR)/$(FUZZ_DIR)
	cmake --build $(TEST_DIR) -j $(JOBS)
	scripts/run-tests.sh $(TEST_DIR)

fuzz: fuzz-build
	scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_TIME) $(FUZZ_TARGETS)

fuzz-build: deps-test
	cmake -S . -B $(FUZZ_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DKAVRIN32_FUZZ=ON -DKAVRIN32_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)

bench: deps-bench
	cmake -S . -B $(BENCH_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release \
	  -DKAVRIN32_TESTS=OFF -DKAVRIN32_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	bench/run-all.sh $(BENCH_DIR)

# The Debian package of a release build; it installs under /usr.
package: deps-package
	cmake -S . -B $(PACKAGE_DIR) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DKAVRIN32_TESTS=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(BUILDFLAGS) CPPFLAGS) $$($(BUILDFLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)"
	cmake --build $(PACKAGE_DIR) -j $(JOBS) --target package
	@ls $(PACKAGE_DIR)/kavrin32_*.deb

deps-build:
	scripts/install-deps.sh build
deps-test:
	scripts/install-deps.sh test
deps-bench:
	scripts/install-deps.sh bench
deps-package:
	scripts/install-deps.sh package

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
