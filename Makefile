# One entry for both trees. `make test` and `make demo` do all set-up on a fresh machine.
BUILD := $(CURDIR)/build
JOBS ?= $(shell nproc)
WERROR ?= OFF
CMAKE_COMMON := -G Ninja -DCMAKE_BUILD_TYPE=Release -DKOVRAN_OUTPUT_DIR=$(BUILD) \
	-DKOVRAN_DEPS_DIR=$(BUILD)/deps -DKOVRAN_WERROR=$(WERROR)

.PHONY: all setup configure build package test demo bench format clean

all: build

setup:
	@KOVRAN_DEPS_DIR=$(BUILD)/deps bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD)/windows $(CMAKE_COMMON) \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-mingw64.cmake >/dev/null
	@cmake -S . -B $(BUILD)/host $(CMAKE_COMMON) >/dev/null

build: configure
	@cmake --build $(BUILD)/windows -j $(JOBS)
	@cmake --build $(BUILD)/host -j $(JOBS)

# The release packages in build/packages; `make test` makes them too and tests them.
package: build
	@bash scripts/package.sh $(BUILD)

test: package
	@bash scripts/run-tests.sh $(BUILD)

demo: build
	@bash scripts/demo.sh $(BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)/windows $(BUILD)/host $(BUILD)/bin $(BUILD)/lib $(BUILD)/packages
