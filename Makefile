# Vexa: the two commands a newcomer needs are `make run` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_DIR ?= build
TEST_DIR ?= build-asan
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build test bench run format clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: deps
	@cmake -S . -B $(TEST_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_SANITIZE=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)
	@cd $(TEST_DIR) && QT_QPA_PLATFORM=offscreen ctest -j $(JOBS) --output-on-failure --timeout 600

bench: build
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target vexa_bench
	@$(BUILD_DIR)/bin/vexa_bench

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
