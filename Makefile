# x11sa: the two commands of the README, plus the developer's extras.
#   make demo   set up, build, and run the bundled example end to end
#   make check  set up, build, and run every test (also under ASan and UBSan)
#   make bench  build and run the benchmarks
#   make fuzz   run each fuzz target for FUZZ_SECONDS seconds

JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
BUILD        ?= build
BUILD_SAN    ?= build-san
BUILD_FUZZ   ?= build-fuzz
FUZZ_SECONDS ?= 60
SUDO         := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

BUILD_PACKAGES := g++ cmake make libfmt-dev libcli11-dev libboost-dev libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev \
                  pybind11-dev python3-dev python3-numpy python3-pandas
FUZZ_PACKAGES  := clang libclang-rt-14-dev
TEST_PACKAGES  := chromium python3-pytest python3-distributed
BENCH_PACKAGES := python3-statsmodels

.PHONY: all deps deps-test deps-bench build build-san demo check bench fuzz clean

all: build

# Installs the Debian packages of a list that are missing.
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install_missing,$(BUILD_PACKAGES))

# The browser that renders the HTML report, pytest and Dask for the Python package.
deps-test:
	$(call install_missing,$(TEST_PACKAGES))

# The STL decomposition the Python package is timed against.
deps-bench:
	$(call install_missing,$(BENCH_PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

build-san: deps
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DX11SA_SANITIZE=ON >/dev/null
	cmake --build $(BUILD_SAN) -j $(JOBS)

demo: build
	@./examples/run-demo.sh $(BUILD)/x11sa

check: deps-test build build-san
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench: deps deps-test deps-bench
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DX11SA_BENCH=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	./bench/run.sh $(BUILD)

fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DX11SA_FUZZ=ON -DX11SA_TESTS=OFF >/dev/null
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target x11sa_fuzz_targets
	./fuzz/run.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)
