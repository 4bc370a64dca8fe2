# Entry points of the project: deps, build, test, asan, bench, fuzz, demo.
# Every Debian package the build, tests and tools need is listed in DEPS; `make deps` installs
# the missing ones and does nothing when all are present.

BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS        ?= $(shell nproc)

DEPS := cmake ninja-build ccache g++ make pkg-config \
        libgtest-dev libgmock-dev libbenchmark-dev libsdl2-dev \
        clang libclang-rt-14-dev locales libssl-dev zlib1g-dev libcli11-dev zip

CMAKE_COMMON := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: all deps configure build test asan bench fuzz demo clean format

all: build

deps:
	@missing=""; \
	for p in $(DEPS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "make deps: installing$$missing"; \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo=sudo; \
	  $$sudo apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -q --no-install-recommends $$missing; \
	fi
	@# The stream tests write and scan numbers under a decimal-comma locale.
	@locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8' || { \
	  echo "make deps: generating the de_DE.UTF-8 locale"; \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo=sudo; \
	  $$sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8; \
	}

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release

configure: $(BUILD)/build.ninja

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug \
	  -DQUORLIX_SANITIZE=ON -DQUORLIX_BUILD_BENCH=OFF -DQUORLIX_PACKAGE_TEST=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*Bench; do echo "== $$b"; "$$b" || true; done

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release \
	  -DQUORLIX_LIBFUZZER=ON -DQUORLIX_BUILD_TESTS=OFF -DQUORLIX_BUILD_BENCH=OFF \
	  -DQUORLIX_BUILD_TOOLS=OFF -DQUORLIX_PACKAGE_TEST=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@set -e; for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	  name=$${f##*/fuzz_}; work=$(FUZZ_BUILD)/corpus/$$name; mkdir -p $$work $(FUZZ_BUILD)/crashes; \
	  echo "== fuzz $$name for $(FUZZ_SECONDS)s"; \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=$(FUZZ_BUILD)/crashes/$$name- \
	    $$work fuzz/corpus/$$name $$( [ -d fuzz/regress/$$name ] && echo fuzz/regress/$$name ); \
	done

demo: build
	$(BUILD)/tools/quorlix/quorlix --version
	$(BUILD)/tools/quorlix/quorlix demo

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
