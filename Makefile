# Vexa: the two commands a newcomer needs are `make run` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_DIR ?= build
TEST_DIR ?= build-asan
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

# Leaks of third-party libraries are suppressed by name (tests/lsan.supp). Audio plugins are built
# without frame pointers and ALSA unloads them at the end, so the fast unwinder would stop inside
# one and lose the library's name: allocation stacks are taken with the full unwinder instead.
LSAN_TEST_OPTIONS := suppressions=$(CURDIR)/tests/lsan.supp:fast_unwind_on_malloc=0

.PHONY: all deps fuzz-deps test-deps build test bench fuzz run format clean

all: build

deps:
	@bash scripts/install-deps.sh

fuzz-deps:
	@bash scripts/install-deps.sh fuzz

test-deps:
	@bash scripts/install-deps.sh peers
	@if command -v npm >/dev/null 2>&1; then \
	  sh scripts/npm-peers.sh >/dev/null 2>&1 || echo "npm peers (cabrillo, adif-parser-ts) could not be installed: those tests skip"; \
	else echo "npm is missing: the Cabrillo and ADIF read-back tests skip"; fi

build: deps
	@cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: test-deps
	@cmake -S . -B $(TEST_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_SANITIZE=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)
	@cd $(TEST_DIR) && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=$(LSAN_TEST_OPTIONS) \
	  ctest -j $(JOBS) --output-on-failure --timeout 600

bench: build
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target vexa_bench
	@$(BUILD_DIR)/bin/vexa_bench

# libFuzzer programs for the parsers of outside input (clang); FUZZ_SECONDS each.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := FuzzSettingsFile FuzzQsoRecord FuzzLogFile FuzzCountryFile FuzzCallsignList \
  FuzzRxBits FuzzSpotLine FuzzClusterReader FuzzAx25Frame FuzzHdlcRuns FuzzAdif \
  FuzzContestExchange FuzzKissReceiver FuzzAx25Link
fuzz: fuzz-deps
	@CXX=clang++ cmake -S . -B build-fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVEXA_SANITIZE=ON -DVEXA_FUZZ=ON -DVEXA_BUILD_GUI=OFF -DVEXA_BUILD_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@for f in $(FUZZ_TARGETS); do \
	  echo "== $$f"; build-fuzz/bin/$$f -max_total_time=$(FUZZ_SECONDS) -max_len=4096 || exit 1; \
	done

run: build
	@if [ -x $(BUILD_DIR)/bin/vexa ] && { [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; }; then \
	  $(BUILD_DIR)/bin/vexa; \
	else \
	  $(BUILD_DIR)/bin/vexa-cli demo; \
	fi

format:
	@find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR) $(TEST_DIR)
