# Entry points of the project: deps, build, test, asan, bench, fuzz, demo.
# Every Debian package the build, tests and tools need is listed in DEPS; `make deps` installs
# the missing ones and does nothing when all are present.

BUILD       ?= build
ASAN_BUILD  ?= build-asan
TSAN_BUILD  ?= build-tsan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS        ?= $(shell nproc)
# ccache shares results between checkouts in different folders.
export CCACHE_BASEDIR ?= $(CURDIR)

DEPS := cmake ninja-build ccache g++ make pkg-config \
        libgtest-dev libgmock-dev libbenchmark-dev libsdl2-dev \
        clang libclang-rt-14-dev locales libssl-dev zlib1g-dev libcli11-dev zip \
        libpng-dev libopenjp2-7-dev imagemagick libopenjp2-tools \
        libgl1 libegl1 libgl1-mesa-dri libegl-mesa0 xvfb x11-utils \
        nginx-light curl libfreetype-dev libfontconfig-dev fonts-dejavu-core \
        libopenal-dev libsndfile1-dev sox

CMAKE_COMMON := -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
# WERROR=ON (CI sets it) turns every compiler warning into an error.
WERROR ?= OFF
CMAKE_COMMON += -DQUORLIX_WERROR=$(WERROR)

# The test suites that run threads, for the ThreadSanitizer run. The crash-signal suites stay
# out: the sanitizer takes fatal signals over itself.
TSAN_SUITES ?= LogStream LogFiles LogConsole StreamPipeLog Obj RegistryTest Storage Trace \
  Semaphore PlatformThreading Library FilterPipes Archive StreamPipeConformance BufferedReader \
  StreamPipeCipherTEA SlotPool ImageCodecs ClientTCP ServerTCP StreamPipeTCPTest ClientHTTPNginx \
  ClientHTTPPeer TextureLoad TextureFrameThreads AudioSrcFileThreads SoundModuleThreads
empty :=
space := $(empty) $(empty)
TSAN_TESTS = $(subst $(space),|,$(strip $(TSAN_SUITES)))

.PHONY: all deps configure build test asan tsan bench fuzz demo clean format format-check check-deps

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

# Every target that configures or builds depends on deps, so a fresh machine gets what it
# lacks first; check-deps (run by CI) fails when one does not.
configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug \
	  -DQUORLIX_TSAN=ON -DQUORLIX_BUILD_BENCH=OFF -DQUORLIX_BUILD_TOOLS=OFF \
	  -DQUORLIX_PACKAGE_TEST=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -R '^($(TSAN_TESTS))\.'

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug \
	  -DQUORLIX_SANITIZE=ON -DQUORLIX_BUILD_BENCH=OFF -DQUORLIX_PACKAGE_TEST=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps build
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

demo: deps build
	$(BUILD)/tools/quorlix/quorlix --version
	$(BUILD)/tools/quorlix/quorlix run examples/demo/scene.kss --update 3 \
	  --then examples/demo/report.kss
	@# convert: the scene in the binary form, run again; its materials (library classes only,
	@# the scene's own classes keep it out of the compiled form) in the compiled form.
	mkdir -p $(BUILD)/demo
	$(BUILD)/tools/quorlix/quorlix convert examples/demo/scene.kss $(BUILD)/demo/scene.ksb
	$(BUILD)/tools/quorlix/quorlix run $(BUILD)/demo/scene.ksb --import-names --update 3 \
	  --then examples/demo/report.kss
	$(BUILD)/tools/quorlix/quorlix convert examples/demo/materials.kss $(BUILD)/demo/materials.ksc
	$(BUILD)/tools/quorlix/quorlix run $(BUILD)/demo/materials.ksc
	$(BUILD)/tools/quorlix/quorlix run examples/demo/animation.kss --update 45 --fps 30 \
	  --then examples/demo/animation-report.kss
	@# image: a picture made by ImageMagick, given its mipmap chain in the library's own form,
	@# then written as a TGA.
	convert -size 256x128 gradient:'#2060c0'-'#f0d040' $(BUILD)/demo/gradient.png
	$(BUILD)/tools/quorlix/quorlix image convert $(BUILD)/demo/gradient.png \
	  $(BUILD)/demo/gradient.bmg --mipmap
	$(BUILD)/tools/quorlix/quorlix image info $(BUILD)/demo/gradient.bmg
	$(BUILD)/tools/quorlix/quorlix image convert $(BUILD)/demo/gradient.bmg $(BUILD)/demo/gradient.tga
	@# play: the lit scene of examples/demo/play.kss drawn headless; frame 30 is half a second
	@# into the middle box's turn. It reads its pictures from the working directory: the
	@# gradient above and a checker for the floor (two squares of 32 pixels each way).
	convert -size 64x64 xc:'#f0e6c8' -fill '#a04028' \
	  -draw 'rectangle 0,0 31,31' -draw 'rectangle 32,32 63,63' $(BUILD)/demo/checker.png
	cd $(BUILD)/demo && $(abspath $(BUILD))/tools/quorlix/quorlix play \
	  $(CURDIR)/examples/demo/play.kss --headless --frames 30 --screenshot demo.png
	@echo "demo: the rendered scene is $(BUILD)/demo/demo.png"

FORMAT_FILES = git ls-files '*.h' '*.cpp' ':!:tests/checks/fixtures/*'

format:
	$(FORMAT_FILES) | xargs clang-format -i

format-check:
	$(FORMAT_FILES) | xargs clang-format --dry-run --Werror

# Fails when a target that configures or builds would not install the dependencies first.
check-deps:
	@sh tests/checks/CheckDeps.sh Makefile

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
