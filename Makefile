# The two set-up commands: `make run` and `make test`. Both install what is
# missing on a Debian machine, configure out of tree in build/ and build.

BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
APT_PACKAGES := cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev \
                qt6-base-dev qt6-svg-dev libgl-dev \
                libpng-dev desktop-file-utils libxml2-utils
FUZZ_PACKAGES := clang libclang-rt-14-dev

.PHONY: all deps build run test sanitize bench fuzz clean

all: build

deps:
	@missing=""; for p in $(APT_PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	  $$SUDO apt-get update -q && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -q $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./tools/run-main "$(BUILD)"

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=build-asan CMAKE_ARGS="-DTESSEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo"

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSEL_BENCH=ON -DTESSEL_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do echo "== $$b"; $$b; done

fuzz: deps
	@missing=""; for p in $(FUZZ_PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then apt-get update -q && apt-get install -y -q $$missing; fi
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_FUZZ=ON -DTESSEL_TESTS=OFF -DTESSEL_GUI=OFF
	cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf build build-asan build-bench build-fuzz
