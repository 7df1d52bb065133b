# Tarnwick: install what is missing, build, run, test and benchmark.
#   make run    build and open the meter window
#   make demo   build and measure the demo recording, without a display
#   make check-layers  build, then check the layering the preprocessor resolves
#   make test   build and run every test, plain and under the sanitizers
#   make bench  build optimised and print the performance figures

BUILD_DIR      ?= build
ASAN_BUILD_DIR ?= build-sanitizers
BENCH_BUILD_DIR?= build-bench
WARNINGS_FATAL ?= OFF
JOBS           ?= $(shell nproc)
CMAKE_FLAGS    := -G Ninja -DWARNINGS_FATAL=$(WARNINGS_FATAL)

.PHONY: all deps build check-layers run demo test test-plain test-sanitizers bench install format clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# No layer reaches a header above it, and no toolkit-free layer a Qt or
# operating-system header, as the preprocessor resolves the includes.
check-layers: build
	bash scripts/check-layers.sh $(BUILD_DIR)

# Opens the meter window on the default input, or on the built-in
# "Test Signal" where the machine has no sound server or input.
run: build
	$(BUILD_DIR)/tarnwick

# Measures the demo recording the build generates, prints the readouts and
# saves the meter picture, without a display.
demo: build
	$(BUILD_DIR)/tools/tarnwick-analyse --readouts \
	    --snapshot $(BUILD_DIR)/demo/tarnwick-demo-meter.png $(BUILD_DIR)/demo/tarnwick-demo.wav
	@echo "Meter picture: $(BUILD_DIR)/demo/tarnwick-demo-meter.png"

test: test-plain test-sanitizers

test-plain: build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 120 -j $(JOBS)

test-sanitizers: deps
	cmake -S . -B $(ASAN_BUILD_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DSANITIZERS=ON \
	    -DBUILD_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	cd $(ASAN_BUILD_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan-suppressions.txt \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure --timeout 300 -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF
	cmake --build $(BENCH_BUILD_DIR) -j $(JOBS)
	$(BENCH_BUILD_DIR)/bench/tarnwick_bench
	$(BENCH_BUILD_DIR)/bench/tarnwick_store_memory
	$(BENCH_BUILD_DIR)/bench/tarnwick_loudness_week
	$(BENCH_BUILD_DIR)/bench/tarnwick_logger_day 24
	$(BENCH_BUILD_DIR)/bench/tarnwick_capture_delivery 60
	bash bench/analyser_speed.sh $(BENCH_BUILD_DIR)
	bash bench/desktop_program.sh $(BENCH_BUILD_DIR)
	bash bench/logger_soak.sh $(BENCH_BUILD_DIR)
	bash bench/logger_real_input.sh $(BENCH_BUILD_DIR)
	bash bench/logger_metrics_abuse.sh $(BENCH_BUILD_DIR)

# The programs, the guide, the desktop entry and the logger's systemd user unit
# under PREFIX (default /usr/local).
PREFIX ?= /usr/local
install: build
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	cmake --install $(BUILD_DIR)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(BENCH_BUILD_DIR)
